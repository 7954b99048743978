// End-to-end on documents that Pages, Keynote and Numbers wrote (the shared
// iwork-real samples): morvane-cli converts them all in one run with the
// real workers and the project's own build of the reader, and each test
// holds one mended fault against the document that showed it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <regex>
#include <sstream>
#include <string>

#include "testing/command_output.h"
#include "testing/fixtures.h"
#include "testing/temp_dir.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;
using testing::commandOutput;

std::string quoted(const fs::path& path) { return "'" + path.string() + "'"; }

// One conversion of every sample to its Office format and PDF, shared by
// the tests of this file.
struct Conversion {
  testing::TempDir dir;
  fs::path out;
  std::string messages;  // what morvane-cli said, standard error included
};

const Conversion& convertedSamples(const fs::path& samples) {
  static std::unique_ptr<Conversion> conversion;  // its folder goes at exit
  static std::once_flag once;
  std::call_once(once, [&] {
    conversion = std::make_unique<Conversion>();
    const fs::path in = conversion->dir.mkdir("in");
    conversion->out = conversion->dir.path() / "out";
    // Untitled.pages and Untitled.key: "Untitled-pages.pdf", "Untitled-key.pdf".
    for (const auto& e : fs::directory_iterator(samples)) {
      const fs::path& from = e.path();
      if (from.extension() == ".md") continue;
      const std::string kind = from.extension().string().substr(1);
      fs::copy(from, in / (from.stem().string() + "-" + kind + "." + kind));
    }
    conversion->messages = commandOutput(
        "'" MORVANE_TEST_CLI "' --office --pdf --keep-going --yes --target " +
        quoted(conversion->out) + " " + quoted(in) + " 2>&1");
  });
  return *conversion;
}

class IworkRealDocumentsTest : public ::testing::Test {
 protected:
  // The output `name` of the shared run; fails the test when it is missing.
  fs::path output(const std::string& name) {
    const auto samples = ::morvane::testing::sharedFixtures("iwork-real");
    if (!samples) return {};
    const Conversion& c = convertedSamples(*samples);
    const fs::path file = c.out / name;
    EXPECT_TRUE(fs::exists(file)) << name << " was not made; morvane-cli said:\n" << c.messages;
    return file;
  }

  static std::string pdfText(const fs::path& pdf) {
    return commandOutput("pdftotext " + quoted(pdf) + " - 2>/dev/null");
  }
  // The PDF's text with each run of white space as one space: the words of
  // a cell whose text wraps, in their order.
  static std::string pdfWords(const fs::path& pdf) {
    std::string words;
    for (char c : pdfText(pdf)) {
      const char w = std::isspace(static_cast<unsigned char>(c)) ? ' ' : c;
      if (w != ' ' || words.empty() || words.back() != ' ') words += w;
    }
    return words;
  }
  static std::string pdfFonts(const fs::path& pdf) {
    return commandOutput("pdffonts " + quoted(pdf) + " 2>/dev/null");
  }
  // The XML parts of an Office file (`parts` a zip pattern).
  static std::string officeXml(const fs::path& file, const std::string& parts) {
    return commandOutput("unzip -p " + quoted(file) + " '" + parts + "' 2>/dev/null");
  }

  // The cell format (<xf> of styles.xml) of the cells of an xlsx that hold
  // the shared string `text`; "" when there is none.
  static std::string xlsxFormatOf(const fs::path& xlsx, const std::string& text) {
    const std::string strings = officeXml(xlsx, "xl/sharedStrings.xml");
    int found = -1;
    for (std::size_t at = strings.find("<si>"), index = 0; at != std::string::npos;
         at = strings.find("<si>", at + 1), ++index) {
      std::string runs;  // the item's text without its tags
      bool inTag = false;
      for (std::size_t i = at + 4; i < strings.size() && strings.compare(i, 5, "</si>") != 0; ++i) {
        if (strings[i] == '<' || strings[i] == '>') inTag = strings[i] == '<';
        else if (!inTag) runs += strings[i];
      }
      if (runs == text) found = static_cast<int>(index);
    }
    std::smatch cell;
    const std::string sheets = officeXml(xlsx, "xl/worksheets/sheet*.xml");
    if (found < 0 || !std::regex_search(sheets, cell, std::regex("<c r=\"[A-Z]+[0-9]+\" s=\"([0-9]+)\" t=\"s\"><v>" +
                                                                  std::to_string(found) + "</v>"))) {
      return "";
    }
    const std::string styles = officeXml(xlsx, "xl/styles.xml");
    const std::size_t first = styles.find("<cellXfs"), last = styles.find("</cellXfs>");
    if (first == std::string::npos || last == std::string::npos) return "";
    std::size_t at = styles.find("<xf ", first);
    for (int n = std::stoi(cell[1]); n > 0 && at < last; --n) at = styles.find("<xf ", at + 1);
    if (at >= last) return "";
    return styles.substr(at, std::min(styles.find("<xf ", at + 1), last) - at);
  }
};

#define SAMPLES_OR_SKIP() MORVANE_FIXTURES_OR_SKIP(samples, "iwork-real")

TEST_F(IworkRealDocumentsTest, FontsKeepTheirFamiliesAndPdfsDrawFacesOfTheSameMetrics) {
  SAMPLES_OR_SKIP();
  // Calibri-Bold, Calibri-Light and Calibri-BoldItalic are Calibri to Word.
  const std::string docx = officeXml(output("002-pages.docx"), "word/*.xml");
  EXPECT_NE(docx.find("w:ascii=\"Calibri\""), std::string::npos);
  EXPECT_EQ(docx.find("Calibri-"), std::string::npos);
  const std::string fonts = pdfFonts(output("002-pages.pdf"));
  EXPECT_NE(fonts.find("Carlito"), std::string::npos) << fonts;
  EXPECT_EQ(fonts.find("DejaVu"), std::string::npos) << fonts;

  // HelveticaNeue-Light: the family Helvetica Neue, drawn with its clone.
  const std::string proposal = officeXml(output("pages5-extra-dir-pages.docx"), "word/*.xml");
  EXPECT_NE(proposal.find("w:ascii=\"Helvetica Neue\""), std::string::npos);
  EXPECT_EQ(proposal.find("HelveticaNeue"), std::string::npos);
  EXPECT_NE(pdfFonts(output("pages5-extra-dir-pages.pdf")).find("NimbusSans"), std::string::npos);
}

TEST_F(IworkRealDocumentsTest, PackagesZippedUnderOneTopFolderConvert) {
  SAMPLES_OR_SKIP();
  EXPECT_NE(pdfText(output("pages5-extra-dir-pages.pdf")).find("Project Proposal"), std::string::npos);
  EXPECT_NE(officeXml(output("pages5-extra-dir-pages.docx"), "word/document.xml").find("Trenz Pruca"),
            std::string::npos);
  EXPECT_NE(officeXml(output("testKeynote2018-key.pptx"), "ppt/slides/*.xml").find("Libreoffice 6.2"),
            std::string::npos);
  // Its style writes the text in capitals.
  EXPECT_NE(pdfText(output("testKeynote2018-key.pdf")).find("19 FEBRUARY 2019"), std::string::npos);
  EXPECT_NE(officeXml(output("Attendance-numbers.xlsx"), "xl/sharedStrings.xml").find("Jimmy Cooney"),
            std::string::npos);
  // The name wraps in its header cell, as in Numbers.
  EXPECT_NE(pdfWords(output("Attendance-numbers.pdf")).find("Tom Brooks"), std::string::npos);
}

TEST_F(IworkRealDocumentsTest, TablesKeepTheirMergedCellsWidthsAndText) {
  SAMPLES_OR_SKIP();
  // 009: a block merged over three columns, one of them 21 pt wide, ran
  // down that column letter by letter.
  const std::string checklist = pdfText(output("009-pages.pdf"));
  for (const char* text : {"Signoff Package to PS&E Checklist", "Quality Assurance (QA) Review"}) {
    EXPECT_NE(checklist.find(text), std::string::npos) << text;
  }
  const std::string docx = officeXml(output("009-pages.docx"), "word/document.xml");
  EXPECT_NE(docx.find("<w:gridCol w:w=\"6048\"/><w:gridCol w:w=\"426\"/><w:gridCol w:w=\"6475\"/>"),
            std::string::npos);
  EXPECT_NE(docx.find("<w:gridSpan w:val=\"3\"/>"), std::string::npos);
  EXPECT_NE(docx.find("<w:vMerge"), std::string::npos);

  // 008: rows of a fixed height too small for the text came out empty in
  // the PDF; rows grow with their content as in Pages.
  const std::string report = pdfText(output("008-pages.pdf"));
  for (const char* text : {"Name of Organization:", "Time Period Covered by Report:"}) {
    EXPECT_NE(report.find(text), std::string::npos) << text;
  }
  EXPECT_NE(officeXml(output("008-pages.docx"), "word/document.xml").find("w:hRule=\"atLeast\""),
            std::string::npos);
}

TEST_F(IworkRealDocumentsTest, TabStopsAndParagraphSpacingAsPagesLaysThemOut) {
  SAMPLES_OR_SKIP();
  const std::string docx = officeXml(output("002-pages.docx"), "word/document.xml");
  // The form's values at the author's tab stop, 1.5 in (2160 twips).
  EXPECT_NE(docx.find("<w:tab w:val=\"left\" w:pos=\"2160\""), std::string::npos);
  // The first heading has no space above it; the next ones 18 pt before,
  // of which the 8 pt after the paragraph above already stand (10 pt: 200).
  const std::size_t first = docx.find("<w:spacing ");
  ASSERT_NE(first, std::string::npos);
  EXPECT_NE(docx.substr(first, 80).find("w:before=\"0\""), std::string::npos) << docx.substr(first, 80);
  EXPECT_NE(docx.find("w:line=\"360\" w:before=\"200\""), std::string::npos);
}

TEST_F(IworkRealDocumentsTest, SpreadsheetCellsWrapTheirTextAsInNumbers) {
  SAMPLES_OR_SKIP();
  // Numbers wraps the names in Attendance's header row. Drawn on one line
  // each, "Terry Jones" ran into "Angelina Little" and was cut off there.
  const std::string words = pdfWords(output("Attendance-numbers.pdf"));
  for (const char* name : {"Terry Jones ", "Angelina Little "}) {
    EXPECT_NE(words.find(std::string(" ") + name), std::string::npos)
        << name << "is not whole in:\n" << words.substr(0, 1500);
  }
  EXPECT_EQ(words.find("JonesAngelina"), std::string::npos);

  const fs::path xlsx = output("Attendance-numbers.xlsx");
  for (const char* name : {"Terry Jones", "Angelina Little"}) {
    const std::string format = xlsxFormatOf(xlsx, name);
    // LibreOffice writes the flag as "true", Excel as "1"
    EXPECT_TRUE(std::regex_search(format, std::regex("wrapText=\"(1|true)\""))) << name << ": " << format;
  }
}

// The top of a word on a page of a PDF, in points; -1 when it is not there.
double wordTop(const fs::path& pdf, int page, const std::string& word) {
  const std::string boxes = commandOutput("pdftotext -bbox -f " + std::to_string(page) + " -l " +
                                          std::to_string(page) + " '" + pdf.string() + "' - 2>/dev/null");
  const std::size_t at = boxes.find(">" + word + "</word>");
  if (at == std::string::npos) return -1;
  const std::size_t top = boxes.rfind("yMin=\"", at);
  return top == std::string::npos ? -1 : std::atof(boxes.c_str() + top + 6);
}

TEST_F(IworkRealDocumentsTest, TablesSitAndStackAsInPages) {
  SAMPLES_OR_SKIP();
  // 008's table sits under the paragraph that holds it, indented with it
  // (30 pt: 602 twips), and its cells draw no paragraph spacing and no
  // line gap below their 14 pt Calibri: rows stand 23.4 pt apart, as Pages
  // draws them (26 pt with the gap). The paragraph's 12 pt space after
  // follows the table: Pages draws the note 38.6 pt below the last row.
  const std::string docx = officeXml(output("008-pages.docx"), "word/document.xml");
  EXPECT_NE(docx.find("<w:jc w:val=\"left\"/><w:tblInd w:w=\"602\""), std::string::npos);
  const fs::path pdf = output("008-pages.pdf");
  const double organization = wordTop(pdf, 1, "Organization:"), project = wordTop(pdf, 1, "Project:");
  const double covered = wordTop(pdf, 1, "Covered"), note = wordTop(pdf, 1, "Note:");
  ASSERT_GT(organization, 0);
  EXPECT_GT(project - organization, 22.5);
  EXPECT_LT(project - organization, 24.5);
  EXPECT_GT(note - covered, 36);
  EXPECT_LT(note - covered, 41);
}

TEST_F(IworkRealDocumentsTest, FirstPagesKeepTheirOwnHeadersAndFooters) {
  SAMPLES_OR_SKIP();
  const auto pageText = [&](const std::string& pdf, int page) {
    return commandOutput("pdftotext -f " + std::to_string(page) + " -l " + std::to_string(page) + " " +
                         quoted(output(pdf)) + " - 2>/dev/null");
  };
  // No header on the cover of 008 and 011; the pages after it have theirs.
  EXPECT_EQ(pageText("008-pages.pdf", 1).find("Page 1 of"), std::string::npos);
  EXPECT_NE(pageText("008-pages.pdf", 2).find("Page 2 of"), std::string::npos);
  EXPECT_EQ(pageText("011-pages.pdf", 1).find("1\n"), std::string::npos);
  EXPECT_NE(pageText("011-pages.pdf", 2).find("2\n"), std::string::npos);
  // 009's first page has a footer of its own.
  EXPECT_NE(pageText("009-pages.pdf", 1).find("Rev. 3/2025"), std::string::npos);
}

TEST_F(IworkRealDocumentsTest, NumberedHeadingsContinueTheirNumbering) {
  SAMPLES_OR_SKIP();
  const std::string report = pdfText(output("008-pages.pdf"));
  EXPECT_NE(report.find("2. Overall Performance"), std::string::npos) << report.substr(0, 2000);
  EXPECT_NE(report.find("3. Programmatic Changes"), std::string::npos);
  EXPECT_EQ(report.find("1. Overall Performance"), std::string::npos);
}

TEST_F(IworkRealDocumentsTest, AFootnoteWithAHangingIndentConverts) {
  SAMPLES_OR_SKIP();
  // Its first-line indent, taken twice, left the first line no room, and
  // LibreOffice laid it out without end (24 GB).
  const std::string paper = pdfText(output("011-pages.pdf"));
  for (const char* text : {"TITLE OF THE CHICAGO FORMAT PAPER", "University of Chicago Press",
                           "Ibid.", "It was updated Spring 2019"}) {
    EXPECT_NE(paper.find(text), std::string::npos) << text;
  }
}

TEST_F(IworkRealDocumentsTest, NewestDocumentsAndOldHeadersAndFootersOpen) {
  SAMPLES_OR_SKIP();
  // Pages and Keynote 2022 without a Metadata folder.
  EXPECT_NE(pdfText(output("Untitled-pages.pdf")).find("SheetJS"), std::string::npos);
  // Its one slide is blank (as its preview): the slide's size shows it read.
  std::istringstream info(commandOutput("pdfinfo " + quoted(output("Untitled-key.pdf"))));
  int pages = 0;
  double width = 0, height = 0;
  for (std::string line; std::getline(info, line);) {
    std::sscanf(line.c_str(), "Pages: %d", &pages);
    std::sscanf(line.c_str(), "Page size: %lf x %lf", &width, &height);
  }
  EXPECT_EQ(pages, 1);
  EXPECT_NEAR(width, 1920, 1);
  EXPECT_NEAR(height, 1080, 1);
  EXPECT_TRUE(fs::exists(output("Untitled-key.pptx")));

  // Pages '09, with page numbers in letters in its footers (at a tab stop
  // far to the right: the text as laid out, each run of spaces as one).
  const fs::path old = output("testPagesHeadersFootersAlphaLower-pages.pdf");
  std::string text;
  for (char c : commandOutput("pdftotext -layout " + quoted(old) + " - 2>/dev/null")) {
    if (c != ' ' || text.empty() || text.back() != ' ') text += c;
  }
  EXPECT_NE(text.find("Sample pages document - this is the template document"), std::string::npos);
  EXPECT_NE(text.find("THIS IS SOME FOOTER TEXT a"), std::string::npos) << text;
  EXPECT_NE(text.find("THIS IS SOME FOOTER TEXT b"), std::string::npos);
  for (const char* page : {"1", "2"}) {
    const std::string onPage =
        commandOutput("pdftotext -f " + std::string(page) + " -l " + page + " " + quoted(old) + " -");
    EXPECT_NE(onPage.find("THIS IS SOME HEADER TEXT"), std::string::npos) << "page " << page;
  }
}

}  // namespace
}  // namespace morvane

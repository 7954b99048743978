// End-to-end: real documents converted by the real LibreOffice worker,
// through the engine and the office script service.
#include <gtest/gtest.h>

#include <sys/mount.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <tuple>

#include "engine/conversion_controller.h"
#include "office/office_script_service.h"
#include "office/failure_reasons.h"
#include "office/office_worker.h"
#include "cli/run_report_text.h"
#include "testing/engine_fixture.h"
#include "testing/command_output.h"
#include "testing/fixtures.h"
#include "testing/processes.h"
#include "testing/property_lists.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;
using testing::commandOutput;
using testing::childProcesses;

std::string pdfText(const fs::path& pdf) {
  return commandOutput("pdftotext '" + pdf.string() + "' - 2>/dev/null");
}

// The non-empty cells of an xlsx: cells of its worksheets with a value.
std::size_t xlsxCells(const fs::path& xlsx) {
  const std::string sheets =
      commandOutput("unzip -p '" + xlsx.string() + "' 'xl/worksheets/*.xml' 2>/dev/null");
  std::size_t count = 0;
  for (const char* value : {"</v>", "<is>"}) {
    for (std::size_t at = sheets.find(value); at != std::string::npos;
         at = sheets.find(value, at + 1)) {
      ++count;
    }
  }
  return count;
}

// The texts of an xlsx: its strings, sheets and drawings.
std::string xlsxTexts(const fs::path& xlsx) {
  return commandOutput("unzip -p '" + xlsx.string() + "' 'xl/*.xml' 2>/dev/null");
}

// 0.1.12 as {0, 1, 12}, to compare versions.
std::vector<int> versionParts(const std::string& version) {
  std::vector<int> parts;
  std::istringstream in(version);
  for (std::string part; std::getline(in, part, '.');) parts.push_back(std::atoi(part.c_str()));
  return parts;
}

bool zipHas(const fs::path& zip, const std::string& part) {
  const std::string listing = commandOutput("unzip -Z1 '" + zip.string() + "' 2>/dev/null");
  return listing.find(part + "\n") != std::string::npos;
}

const char kFlatHeader[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document "
    "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
    "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
    "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
    "xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\" "
    "xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\" "
    "office:version=\"1.2\" office:mimetype=\"application/vnd.oasis.opendocument.";

// A docx of `paragraphs` short paragraphs: a few hundred kilobytes zipped,
// gigabytes once LibreOffice has read them all.
void writeParagraphBomb(const fs::path& docx, std::size_t paragraphs) {
  const fs::path parts = docx.parent_path() / (".parts-" + docx.filename().string());
  fs::create_directories(parts / "_rels");
  fs::create_directories(parts / "word");
  std::ofstream(parts / "[Content_Types].xml")
      << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Types xmlns=\"http://schemas."
         "openxmlformats.org/package/2006/content-types\"><Default Extension=\"rels\" "
         "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/><Default "
         "Extension=\"xml\" ContentType=\"application/xml\"/><Override PartName=\"/word/"
         "document.xml\" ContentType=\"application/vnd.openxmlformats-officedocument."
         "wordprocessingml.document.main+xml\"/></Types>";
  std::ofstream(parts / "_rels/.rels")
      << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Relationships xmlns=\"http://schemas."
         "openxmlformats.org/package/2006/relationships\"><Relationship Id=\"rId1\" Type=\""
         "http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
         "Target=\"word/document.xml\"/></Relationships>";
  std::ofstream body(parts / "word/document.xml");
  body << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<w:document xmlns:w=\"http://schemas."
          "openxmlformats.org/wordprocessingml/2006/main\"><w:body>";
  for (std::size_t i = 0; i < paragraphs; ++i) body << "<w:p><w:r><w:t>Morvane</w:t></w:r></w:p>";
  body << "</w:body></w:document>";
  body.close();
  commandOutput("cd '" + parts.string() + "' && zip -q -r -X '" + docx.string() +
                "' '[Content_Types].xml' _rels word");
  fs::remove_all(parts);
}

class OfficeEndToEndTest : public testing::EngineFixture {
 protected:
  OfficeEndToEndTest() {
    config_.workerPath = MORVANE_TEST_WORKER;
    config_.installPath = "/usr/lib/libreoffice/program";
    config_.statementLimit = std::chrono::seconds(120);
    config_.profileTemplate = MORVANE_TEST_PROFILE_TEMPLATE;
    config_.workers = 2;
    config_.readerLibraryDir = MORVANE_TEST_IWORK_READER_DIR;
  }

  // Makes a.docx, b.xlsx and c.pptx in `folder` with LibreOffice from
  // flat OpenDocument texts.
  void makeOfficeDocuments(const fs::path& folder) {
    tmp_.write("src/s.fodt", std::string(kFlatHeader) + "text\"><office:body><office:text>"
                             "<text:p>Morvane text sample</text:p></office:text></office:body></office:document>");
    tmp_.write("src/s.fods", std::string(kFlatHeader) + "spreadsheet\"><office:body><office:spreadsheet>"
                             "<table:table table:name=\"Sheet1\"><table:table-row><table:table-cell "
                             "office:value-type=\"string\"><text:p>Morvane sheet sample</text:p>"
                             "</table:table-cell></table:table-row></table:table></office:spreadsheet>"
                             "</office:body></office:document>");
    tmp_.write("src/s.fodp", std::string(kFlatHeader) + "presentation\"><office:body><office:presentation>"
                             "<draw:page draw:name=\"p1\"><draw:frame svg:x=\"2cm\" svg:y=\"2cm\" "
                             "svg:width=\"20cm\" svg:height=\"3cm\"><draw:text-box><text:p>Morvane slide "
                             "sample</text:p></draw:text-box></draw:frame></draw:page></office:presentation>"
                             "</office:body></office:document>");
    std::unique_ptr<OfficeWorker> worker;
    ASSERT_TRUE(OfficeWorker::start(config_, &worker).ok());
    const std::pair<const char*, const char*> made[] = {
        {"s.fodt", "a.docx"}, {"s.fods", "b.xlsx"}, {"s.fodp", "c.pptx"}};
    std::vector<std::string> answer;
    for (const auto& [from, to] : made) {
      ASSERT_TRUE(worker->call({"load", (tmp_.path() / "src" / from).string()}, &answer).ok());
      const std::string format = fs::path(to).extension().string().substr(1);
      ASSERT_TRUE(worker->call({"save", (folder / to).string(), format}, &answer).ok());
      ASSERT_TRUE(worker->call({"close"}, &answer).ok());
    }
    ASSERT_TRUE(worker->quit().ok());
  }

  // Converts `in` (a file or folder) to PDF only, into tmp/out.
  void runToPdf(const fs::path& in) {
    options_.addFile(in);
    options_.setTargetFolder(tmp_.path() / "out");
    options_.setOfficeExport(false);
    options_.setPdfExport(true);
    runEngine();
  }

  void runEngine() {
    OfficeScriptService service(config_);
    ScriptRunner runner(options_, {env_, service, alerts_, version_});
    ConversionController(options_, runner, {env_, service, alerts_, version_}).runBatchConversion();
  }

  // Runs a hand-written script; the error's message, or "" on success.
  std::string runScript(const std::string& body, const std::string& app = "Pages") {
    OfficeScriptService service(config_);
    ScriptError error;
    std::unique_ptr<Script> script =
        service.create("tell application \"/Applications/" + app + ".app\"\n" + body + "end tell\n",
                       &error);
    if (script && script->execute(&error)) return "";
    lastError_ = error;
    return error.description();
  }

  std::vector<std::string> filesIn(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  OfficeConfig config_;
  ScriptError lastError_;
};

TEST_F(OfficeEndToEndTest, OfficeDocumentsBecomePdfs) {
  const fs::path in = tmp_.mkdir("in");
  makeOfficeDocuments(in);
  EXPECT_TRUE(zipHas(in / "a.docx", "word/document.xml"));
  {  // An open document leaves no lock file beside the user's document.
    std::unique_ptr<OfficeWorker> worker;
    std::vector<std::string> answer;
    ASSERT_TRUE(OfficeWorker::start(config_, &worker).ok());
    ASSERT_TRUE(worker->call({"load", (in / "a.docx").string()}, &answer).ok());
    EXPECT_EQ(filesIn(in), (std::vector<std::string>{"a.docx", "b.xlsx", "c.pptx"}));
  }
  EXPECT_TRUE(zipHas(in / "b.xlsx", "xl/workbook.xml"));
  EXPECT_TRUE(zipHas(in / "c.pptx", "ppt/presentation.xml"));

  runToPdf(in);
  ASSERT_EQ(alerts_.titles(), (std::vector<std::string>{"Success"}));
  EXPECT_EQ(filesIn(tmp_.path() / "out"), (std::vector<std::string>{"a.pdf", "b.pdf", "c.pdf"}));
  EXPECT_NE(pdfText(tmp_.path() / "out/a.pdf").find("Morvane text sample"), std::string::npos);
  EXPECT_NE(pdfText(tmp_.path() / "out/b.pdf").find("Morvane sheet sample"), std::string::npos);
  EXPECT_NE(pdfText(tmp_.path() / "out/c.pdf").find("Morvane slide sample"), std::string::npos);
  EXPECT_EQ(childProcesses(), 0);
}

TEST_F(OfficeEndToEndTest, IworkSamplesBecomeOfficeDocumentsAndPdfs) {
  const fs::path in = tmp_.mkdir("iwork");
  MORVANE_FIXTURES_OR_SKIP(samples, "iwork");
  for (const auto& e : fs::directory_iterator(samples)) {
    if (e.path().extension() != ".md") fs::copy_file(e.path(), in / e.path().filename());
  }
  options_.addFile(in);
  options_.setTargetFolder(tmp_.path() / "out");
  options_.setPdfExport(true);
  runEngine();
  ASSERT_EQ(alerts_.titles(), (std::vector<std::string>{"Success"}))
      << (alerts_.mails.empty() ? "" : alerts_.mails[0].body);
  const fs::path out = tmp_.path() / "out";
  EXPECT_TRUE(zipHas(out / "pages5-file.docx", "word/document.xml"));
  EXPECT_TRUE(zipHas(out / "pages4-file.docx", "word/document.xml"));
  EXPECT_TRUE(zipHas(out / "numbers3-file.xlsx", "xl/workbook.xml"));
  EXPECT_TRUE(zipHas(out / "numbers2-file.xlsx", "xl/workbook.xml"));
  EXPECT_TRUE(zipHas(out / "keynote6-file.pptx", "ppt/presentation.xml"));
  EXPECT_NE(pdfText(out / "pages5-file.pdf").find("My hovercraft is full of eels."),
            std::string::npos);
  EXPECT_NE(pdfText(out / "numbers3-file.pdf").find("Table 1"), std::string::npos);
  for (const char* pdf : {"pages4-file.pdf", "numbers2-file.pdf", "keynote6-file.pdf"}) {
    EXPECT_EQ(commandOutput("head -c 5 '" + (out / pdf).string() + "'"), "%PDF-") << pdf;
  }
  EXPECT_EQ(filesIn(out).size(), 10u);
  EXPECT_EQ(childProcesses(), 0);
}

TEST_F(OfficeEndToEndTest, FailuresNameTheDocumentAndLeaveNothingBehind) {
  const fs::path out = tmp_.mkdir("out");
  const std::string missing = (tmp_.path() / "missing.docx").string();
  EXPECT_NE(runScript("  activate\n  open POSIX file \"" + missing + "\"\n  close document 1\n"), "");
  EXPECT_EQ(lastError_.info[3], (std::pair<std::string, std::string>{"document", missing}));
  EXPECT_EQ(lastError_.info[4].second, "no such file: " + missing);

  const std::string corrupt = tmp_.write("corrupt.docx", "PK\x03\x04 not really a zip").string();
  EXPECT_NE(runScript("  open POSIX file \"" + corrupt + "\"\n  export document 1 to POSIX file \"" +
                      (out / "corrupt.pdf").string() + "\" as PDF\n  close document 1\n"),
            "");
  EXPECT_EQ(lastError_.info[3].second, corrupt);
  EXPECT_EQ(lastError_.info[4].second, "the file is damaged or truncated");
  EXPECT_NE(lastError_.info[5].second.find("LibreOffice cannot open " + corrupt),
            std::string::npos);

  const std::string noise = tmp_.write("noise.xlsx", std::string(2000, '\x07')).string();
  EXPECT_NE(runScript("  open POSIX file \"" + noise + "\"\n  close document 1\n", "Numbers"), "");
  EXPECT_EQ(lastError_.info[3].second, noise);

  const fs::path doc = tmp_.mkdir("in") / "a.docx";
  makeOfficeDocuments(doc.parent_path());
  // A folder that cannot be written to, even by root.
  const std::string locked = "/proc/1/morvane-test.pdf";
  EXPECT_NE(runScript("  open POSIX file \"" + doc.string() + "\"\n  export document 1 to POSIX file \"" +
                      locked + "\" as PDF\n  close document 1\n"),
            "");
  EXPECT_EQ(lastError_.info[3].second, doc.string());
  EXPECT_FALSE(inOfficeTerms(lastError_.info[4].second)) << lastError_.info[4].second;
  EXPECT_NE(lastError_.info[5].second.find("could not write pdf"), std::string::npos);

  const std::string pages = (out / "a.pages").string();
  EXPECT_NE(runScript("  open POSIX file \"" + doc.string() + "\"\n  save document 1 in POSIX file \"" +
                      pages + "\"\n  close document 1\n"),
            "");
  EXPECT_NE(lastError_.info[4].second.find("cannot write them"), std::string::npos);

  EXPECT_TRUE(filesIn(out).empty());
  EXPECT_EQ(childProcesses(), 0);
}

// Office files LibreOffice cannot read, each through the real worker: the
// user reads what is wrong with the file in plain words, the error's
// details keep LibreOffice's own.
TEST_F(OfficeEndToEndTest, UnreadableOfficeFilesAreToldInPlainWords) {
  const fs::path in = tmp_.mkdir("in");
  makeOfficeDocuments(in);
  const std::string docx = commandOutput("cat '" + (in / "a.docx").string() + "'");
  const std::string truncated = tmp_.write("cut.docx", docx.substr(0, docx.size() / 2)).string();
  const fs::path sheet = tmp_.path() / "sheet.docx";
  fs::copy_file(in / "b.xlsx", sheet);
  std::string encryptionInfo;
  for (char c : std::string_view("EncryptionInfo")) encryptionInfo += {c, '\0'};
  const std::string secret = tmp_.write("secret.docx", "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1" +
                                                           std::string(500, '\0') + encryptionInfo +
                                                           std::string(100, '\0')).string();
  const std::string out = (tmp_.mkdir("out") / "x.pdf").string();
  const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
      {truncated, "the file is damaged or truncated", "loadComponentFromURL"},
      {sheet.string(), "this .docx file is a spreadsheet, not a text document",
       "LibreOffice read this one as a spreadsheet"},
      {secret, "the document is password-protected; remove the password to convert it",
       "loadComponentFromURL"},
  };
  for (const auto& [document, sentence, details] : cases) {
    EXPECT_NE(runScript("  open POSIX file \"" + document + "\"\n  export document 1 to POSIX "
                        "file \"" + out + "\" as PDF\n  close document 1\n"),
              "");
    EXPECT_EQ(lastError_.info[3].second, document);
    EXPECT_EQ(lastError_.info[4], (std::pair<std::string, std::string>{"message", sentence}));
    ASSERT_EQ(lastError_.info.size(), 6u) << document;
    EXPECT_EQ(lastError_.info[5].first, "details");
    EXPECT_NE(lastError_.info[5].second.find(details), std::string::npos)
        << lastError_.info[5].second;
  }
  EXPECT_TRUE(filesIn(tmp_.path() / "out").empty());
  EXPECT_EQ(childProcesses(), 0);
}

TEST_F(OfficeEndToEndTest, WorkersUseACurrentIworkReader) {
  std::unique_ptr<OfficeWorker> worker;
  ASSERT_TRUE(OfficeWorker::start(config_, &worker).ok());
  std::string office, reader;
  ASSERT_TRUE(worker->versions(&office, &reader).ok());
  EXPECT_GE(versionParts(office), (std::vector<int>{7}));
  EXPECT_GE(versionParts(reader), (std::vector<int>{0, 1, 11}))
      << "the workers load libetonyek " << reader << " from \"" << config_.readerLibraryDir
      << "\"; scripts/setup builds a newer one";
}

// Real spreadsheets of current Numbers versions: each must bring (nearly)
// all of its cells and its texts into the xlsx.
TEST_F(OfficeEndToEndTest, CurrentNumbersDocumentsKeepTheirCells) {
  MORVANE_FIXTURES_OR_SKIP(samples, "numbers-modern");
  struct Expected {
    std::size_t cells;
    std::vector<std::string> texts;
  };
  std::map<std::string, Expected> expected = {
      {"issue-102-v14.4", {32, {"Cats", "Cheetah", "Lion", "Leopard", "Tabby"}}},
      {"format-1", {45, {"Date", "Description", "Card Member", "06/04/2008"}}},
      {"test-custom-formats", {497, {"Data", "Check", "Day #05 of 2022"}}},
      {"test-pivot", {47, {"North", "South", "Red"}}},
      {"test-titles", {4, {"test: title, caption"}}},
      {"test-3", {1200, {"ROW1", "ROW6"}}},
      {"issue-3", {6, {}}},
      {"date_formats", {1536, {}}}};
  const fs::path in = tmp_.mkdir("modern");
  for (const auto& [name, unused] : expected) {
    fs::copy_file(samples / (name + ".numbers"), in / (name + ".numbers"));
  }
  // The same document saved as a package folder.
  commandOutput("unzip -q -d '" + (in / "package.numbers").string() + "' '" +
                (samples / "issue-102-v14.4.numbers").string() + "'");
  expected.emplace("package", expected.at("issue-102-v14.4"));
  options_.addFile(in);
  options_.setTargetFolder(tmp_.path() / "out");
  runEngine();
  ASSERT_EQ(alerts_.titles(), (std::vector<std::string>{"Success"}))
      << (alerts_.mails.empty() ? "" : alerts_.mails[0].body);
  for (const auto& [name, want] : expected) {
    const fs::path xlsx = tmp_.path() / "out" / (name + ".xlsx");
    EXPECT_GE(xlsxCells(xlsx) * 100, want.cells * 95) << name << ": " << xlsxCells(xlsx);
    const std::string texts = xlsxTexts(xlsx);
    for (const std::string& text : want.texts) {
      EXPECT_NE(texts.find(text), std::string::npos) << name << " lacks " << text;
    }
  }
  EXPECT_EQ(childProcesses(), 0);
}

// Broken on purpose: each run ends in the error alert naming the document
// and leaves the target as it was.
TEST_F(OfficeEndToEndTest, BrokenIworkDocumentsFailByNameAndWriteNothing) {
  MORVANE_FIXTURES_OR_SKIP(samples, "numbers-modern");
  const std::map<std::string, std::string> reasons = {
      {"badzipfile.numbers", "it is not a zip archive"},
      {"invalid.numbers", "the package folder holds no document"},
      {"invalid-ver.numbers", "file format version 99.9"},
      {"empty.docx", "the file is empty (0 bytes)"}};
  for (const auto& [name, reason] : reasons) {
    const fs::path in = tmp_.mkdir("broken-" + name);
    if (fs::exists(samples / name)) {
      fs::copy(samples / name, in / name, fs::copy_options::recursive);
    } else {
      tmp_.write("broken-" + name + "/" + name, "");
    }
    const fs::path out = tmp_.mkdir("out-" + name);
    alerts_ = {};
    env_.lines.clear();
    options_.setFileList({});
    options_.addFile(in / name);
    options_.setTargetFolder(out);
    options_.setPdfExport(true);
    runEngine();
    ASSERT_EQ(alerts_.titles(), (std::vector<std::string>{"Error"}))
        << name;
    const std::vector<std::string> logged = env_.linesContaining("AppleScript ERROR");
    ASSERT_EQ(logged.size(), 1u) << name;
    const std::string& report = logged[0];
    EXPECT_NE(report.find((in / name).string()), std::string::npos) << report;
    EXPECT_NE(report.find(reason), std::string::npos) << report;
    EXPECT_TRUE(filesIn(out).empty()) << name;
  }
  EXPECT_EQ(childProcesses(), 0);
}

// Property lists nested 200,000 deep, binary and XML, in the documents the
// real worker checks: each fails by name with the reason, the worker lives.
TEST_F(OfficeEndToEndTest, DeeplyNestedPropertyListsFailAsDamagedDocuments) {
  for (const auto& [name, list] :
       {std::pair<std::string, std::string>{"binary", testing::deepBinaryPropertyList(200000)},
        {"xml", testing::deepXmlPropertyList(200000)}}) {
    const fs::path parts = tmp_.mkdir("parts-" + name);
    tmp_.write("parts-" + name + "/Index/Document.iwa", "x");
    tmp_.write("parts-" + name + "/Metadata/Properties.plist", list);
    const fs::path pages = tmp_.path() / (name + ".pages");
    commandOutput("cd '" + parts.string() + "' && zip -q -r '" + pages.string() +
                  "' Index Metadata");
    EXPECT_NE(runScript("  open POSIX file \"" + pages.string() + "\"\n  close document 1\n"), "");
    EXPECT_EQ(lastError_.info[3].second, pages.string());
    EXPECT_EQ(lastError_.info[4].second,
              "this Pages document is damaged or unreadable: Metadata/Properties.plist cannot be "
              "read: it "
              "is nested deeper than 64 levels");
  }
  EXPECT_EQ(childProcesses(), 0);
}

// Two documents of one block written to one target by two workers: each
// export has its own temporary name, and the later one wins cleanly.
TEST_F(OfficeEndToEndTest, WorkersSideBySideExportToTheSameTargetCleanly) {
  const fs::path a = tmp_.mkdir("A"), b = tmp_.mkdir("B"), out = tmp_.mkdir("out");
  makeOfficeDocuments(a);
  makeOfficeDocuments(b);
  std::string body;
  for (const fs::path& folder : {a, b}) {
    body += "  activate\n  open POSIX file \"" + (folder / "a.docx").string() + "\"\n"
            "  export document 1 to POSIX file \"" + (out / "a.pdf").string() + "\" as PDF\n"
            "  close document 1\n";
  }
  EXPECT_EQ(runScript(body + "  quit\n"), "");
  EXPECT_EQ(filesIn(out), std::vector<std::string>{"a.pdf"});
  EXPECT_NE(pdfText(out / "a.pdf").find("Morvane text sample"), std::string::npos);
}

// Without a profile template (no cache folder) a worker still leaves no
// lock file beside the documents it has open.
TEST_F(OfficeEndToEndTest, WorkersWithoutATemplateKeepNoLockFiles) {
  const fs::path in = tmp_.mkdir("in");
  makeOfficeDocuments(in);
  config_.profileTemplate.clear();
  std::unique_ptr<OfficeWorker> worker;
  ASSERT_TRUE(OfficeWorker::start(config_, &worker).ok());
  std::vector<std::string> answer;
  ASSERT_TRUE(worker->call({"load", (in / "b.xlsx").string()}, &answer).ok());
  EXPECT_EQ(filesIn(in), (std::vector<std::string>{"a.docx", "b.xlsx", "c.pptx"}));
}

// Two runs of the command line started together on an empty cache: both
// succeed (one builds the profile template, the other waits for it), and
// nothing is left in the temporary folder they were given.
TEST_F(OfficeEndToEndTest, TwoRunsAtOnceOnAnEmptyCacheLeaveNoTemporaryFiles) {
  const fs::path in = tmp_.mkdir("in"), temporary = tmp_.mkdir("tmp"), cache = tmp_.mkdir("cache");
  makeOfficeDocuments(in);
  const std::string environment = "TMPDIR='" + temporary.string() + "' XDG_CACHE_HOME='" +
                                  cache.string() + "' MORVANE_OFFICE_WORKERS=2 ";
  const auto run = [&](const std::string& target) {
    return environment + "'" MORVANE_TEST_CLI "' --pdf --yes --target '" +
           (tmp_.path() / target).string() + "' '" + in.string() + "' >/dev/null 2>&1; echo $?";
  };
  const std::string both =
      commandOutput("(" + run("out1") + ") > '" + (tmp_.path() / "status1").string() + "' & " +
                    run("out2") + "; wait");
  EXPECT_EQ(both, "0\n");
  EXPECT_EQ(commandOutput("cat '" + (tmp_.path() / "status1").string() + "'"), "0\n");
  for (const char* out : {"out1", "out2"}) {
    EXPECT_EQ(filesIn(tmp_.path() / out), (std::vector<std::string>{"a.pdf", "b.pdf", "c.pdf"}));
  }
  EXPECT_TRUE(filesIn(temporary).empty()) << filesIn(temporary).front();
  EXPECT_EQ(filesIn(in), (std::vector<std::string>{"a.docx", "b.xlsx", "c.pptx"}));
  for (const std::string& name : filesIn(cache / "morvane")) {
    EXPECT_EQ(name.find(".new-"), std::string::npos) << name;
  }
}

// A full disk under the target: the error says so in plain words and no
// partial export is left behind.
TEST_F(OfficeEndToEndTest, AFullDiskIsNamedAndLeavesNoPartialExport) {
  const fs::path in = tmp_.mkdir("in"), disk = tmp_.mkdir("disk");
  makeOfficeDocuments(in);
  if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=128k") != 0) {
    GTEST_SKIP() << "this machine does not let the test mount a small file system";
  }
  const std::unique_ptr<const fs::path, void (*)(const fs::path*)> unmount(
      &disk, [](const fs::path* at) { ::umount2(at->c_str(), MNT_DETACH); });
  std::ofstream(disk / "filler") << std::string(128 << 10, 'x');
  const std::string message = runScript(
      "  open POSIX file \"" + (in / "a.docx").string() + "\"\n"
      "  export document 1 to POSIX file \"" + (disk / "a.pdf").string() + "\" as PDF\n"
      "  close document 1\n");
  const std::vector<std::string> left = filesIn(disk);
  EXPECT_NE(message.find("message = \"the disk of " + disk.string() + " is full\""),
            std::string::npos) << message;
  EXPECT_NE(message.find("details = \"LibreOffice could not write pdf: "), std::string::npos)
      << message;
  EXPECT_EQ(left, std::vector<std::string>{"filler"});
}

// Two same-named documents of one run, converted by two workers: each
// gets its own output, both complete.
TEST_F(OfficeEndToEndTest, SameNamedDocumentsOfARunGetAnOutputEach) {
  const fs::path in = tmp_.mkdir("in");
  makeOfficeDocuments(tmp_.mkdir("in/A"));
  makeOfficeDocuments(tmp_.mkdir("in/B"));
  runToPdf(in);
  ASSERT_EQ(alerts_.titles(), (std::vector<std::string>{"Success"}));
  EXPECT_EQ(filesIn(tmp_.path() / "out"),
            (std::vector<std::string>{"a 2.pdf", "a.pdf", "b 2.pdf", "b.pdf", "c 2.pdf", "c.pdf"}));
  for (const char* pdf : {"a.pdf", "a 2.pdf"}) {
    EXPECT_NE(pdfText(tmp_.path() / "out" / pdf).find("Morvane text sample"), std::string::npos)
        << pdf;
  }
  EXPECT_EQ(env_.linesContaining("is already a target of this run").size(), 3u);
}

// The worker's end of the protocol is not handed down to the programs
// LibreOffice starts: standard input and output are no sockets any more,
// and every socket it keeps is close-on-exec.
TEST_F(OfficeEndToEndTest, TheProtocolSocketStaysWithTheWorker) {
  std::unique_ptr<OfficeWorker> worker;
  ASSERT_TRUE(OfficeWorker::start(config_, &worker).ok());
  const std::string proc = "/proc/" + std::to_string(worker->pid());
  int sockets = 0;
  for (const auto& fd : fs::directory_iterator(proc + "/fd")) {
    std::error_code ec;
    const std::string target = fs::read_symlink(fd.path(), ec).string();
    if (!target.starts_with("socket:")) continue;
    const std::string number = fd.path().filename().string();
    EXPECT_GT(std::atoi(number.c_str()), 2) << "fd " << number << " is the protocol socket";
    std::ifstream info(proc + "/fdinfo/" + number);
    std::string key, flags = "0";
    while (info >> key && key != "flags:") {
    }
    info >> flags;
    ++sockets;
    EXPECT_NE(std::strtoul(flags.c_str(), nullptr, 8) & 02000000, 0u) << target << " " << flags;
  }
  EXPECT_GE(sockets, 2);  // the copies for requests and answers
}

// SIGINT or SIGTERM in the middle of a real run of the command line: the
// run is cancelled, what landed is complete, nothing hidden, temporary or
// running is left, and the exit status is 128 + the signal.
TEST_F(OfficeEndToEndTest, ASignalCancelsACommandLineRunCleanly) {
  const fs::path in = tmp_.mkdir("in");
  makeOfficeDocuments(in);
  for (int i = 10; i < 90; ++i) fs::copy_file(in / "a.docx", in / ("d" + std::to_string(i) + ".docx"));
  fs::remove(in / "b.xlsx");
  fs::remove(in / "c.pptx");
  for (const auto& [name, status] : {std::pair{"INT", "130"}, {"TERM", "143"}}) {
    const fs::path out = tmp_.path() / ("out-" + std::string(name));
    const fs::path temporary = tmp_.mkdir("tmp-" + std::string(name));
    // A shell starts a command with "&" ignoring SIGINT, which morvane-cli
    // then leaves ignored; "env --default-signal" gives it back, as for a
    // run in the foreground of a terminal.
    const std::string script =
        "TMPDIR='" + temporary.string() + "' env --default-signal=INT '" MORVANE_TEST_CLI
        "' --pdf --yes --target '" +
        out.string() + "' '" + in.string() + "' >/dev/null 2>&1 & pid=$!; "
        "for i in $(seq 3600); do [ \"$(ls '" + out.string() + "' 2>/dev/null | grep -c 'pdf$')\" "
        "-ge 2 ] && break; sleep 0.05; done; kill -" + name + " $pid; sleep 0.05; kill -" + name +
        " $pid 2>/dev/null; wait $pid; echo $?";  // a second signal while it cleans up
    EXPECT_EQ(commandOutput(script), std::string(status) + "\n") << name;
    const std::vector<std::string> landed = filesIn(out);
    EXPECT_GE(landed.size(), 2u) << name;
    EXPECT_LT(landed.size(), 81u) << name;
    for (const std::string& pdf : landed) {
      EXPECT_FALSE(pdf.starts_with(".")) << pdf;
      EXPECT_NE(commandOutput("tail -c 64 '" + (out / pdf).string() + "'").find("%%EOF"),
                std::string::npos) << pdf;
    }
    EXPECT_TRUE(filesIn(temporary).empty()) << name;
    // ("[m]" keeps the pattern from matching the shell that runs pgrep.)
    EXPECT_EQ(commandOutput("pgrep -f '" + temporary.string() + "/[m]orvane-office'"), "")
        << name;
  }
}

// "Continue after a failed document" with real documents: one bad file
// among good ones costs only itself.
TEST_F(OfficeEndToEndTest, ARunThatGoesOnConvertsEveryGoodDocument) {
  const fs::path in = tmp_.mkdir("in");
  makeOfficeDocuments(in);
  tmp_.write("in/b2.docx", "");  // empty: fails
  options_.setContinueAfterFailure(true);
  runToPdf(in);
  ASSERT_EQ(alerts_.titles(), (std::vector<std::string>{"Error"}));
  EXPECT_NE(englishSummary(alerts_.shown.back()).find("Not converted: " + (in / "b2.docx").string()),
            std::string::npos)
      << englishSummary(alerts_.shown.back());
  EXPECT_EQ(filesIn(tmp_.path() / "out"), (std::vector<std::string>{"a.pdf", "b.pdf", "c.pdf"}));
  EXPECT_EQ(childProcesses(), 0);
}

// The target folder removed while the command line converts into it: the
// run ends with status 1 and an error naming the folder, and the folder is
// not made again (LibreOffice would make it, saving the next document).
TEST_F(OfficeEndToEndTest, ATargetFolderRemovedDuringARunIsNamedAndNotMadeAgain) {
  const fs::path in = tmp_.mkdir("in"), out = tmp_.path() / "out";
  makeOfficeDocuments(in);
  for (int i = 10; i < 90; ++i) fs::copy_file(in / "a.docx", in / ("d" + std::to_string(i) + ".docx"));
  const std::string script =
      "MORVANE_OFFICE_WORKERS=1 '" MORVANE_TEST_CLI "' --pdf --keep-going --yes --target '" +
      out.string() + "' '" + in.string() + "' >'" + (tmp_.path() / "log").string() +
      "' 2>&1 & pid=$!; for i in $(seq 3600); do [ \"$(ls '" + out.string() +
      "' 2>/dev/null | grep -c 'pdf$')\" -ge 2 ] && break; sleep 0.05; done; mv '" +
      out.string() + "' '" + out.string() + ".removed'; rm -rf '" + out.string() +
      ".removed'; wait $pid; echo $?";
  EXPECT_EQ(commandOutput(script), "1\n");
  EXPECT_FALSE(fs::exists(out));
  std::ifstream logFile(tmp_.path() / "log");
  const std::string log{std::istreambuf_iterator<char>(logFile), {}};
  EXPECT_NE(log.find("The target folder " + out.string() + " was removed during the run"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("the target folder " + out.string() + " was removed during the run; " +
                     out.string() + "/d89.pdf was not written"),
            std::string::npos)
      << log;
  EXPECT_EQ(childProcesses(), 0);
}

// A document that grows LibreOffice past the memory a worker may hold (set
// small by the environment) fails alone, by name and with the cap; the
// run goes on with the next documents on a fresh worker.
TEST_F(OfficeEndToEndTest, ADocumentThatNeedsTooMuchMemoryFailsAlone) {
  const fs::path in = tmp_.mkdir("in"), out = tmp_.path() / "out";
  makeOfficeDocuments(in);
  const fs::path bomb = in / "a-huge.docx";
  writeParagraphBomb(bomb, 600000);
  const std::string messages = commandOutput(
      "MORVANE_OFFICE_WORKER_MEMORY_MB=450 MORVANE_OFFICE_WORKERS=1 '" MORVANE_TEST_CLI
      "' --pdf --keep-going --yes --target '" + out.string() + "' '" + in.string() + "' 2>&1");
  EXPECT_NE(messages.find("Not converted: " + bomb.string() +
                          "\nit needs more memory than the 450 MB allowed per document"),
            std::string::npos)
      << messages;
  EXPECT_EQ(filesIn(out), (std::vector<std::string>{"a.pdf", "b.pdf", "c.pdf"}));
  EXPECT_EQ(childProcesses(), 0);
}

}  // namespace
}  // namespace morvane

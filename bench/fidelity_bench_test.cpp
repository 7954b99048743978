// Tests of the fidelity benchmark's measures: the block likeness of two
// pictures, the words counted as multisets, the text of Office XML and
// which text of an iWork index counts as shown.
#include <gtest/gtest.h>

#include <algorithm>

#include "fidelity_image.h"
#include "fidelity_text.h"
#include "testing/fixtures.h"
#include "testing/temp_dir.h"

namespace morvane::fidelity {
namespace {

// A page-like picture: white, a dark title bar and a grey block of text.
GreyImage samplePage(int width, int height) {
  GreyImage image{width, height,
                  std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height, 255)};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      std::uint8_t& pixel = image.pixels[static_cast<std::size_t>(y) * width + x];
      if (y < height / 8 && x > width / 10) pixel = 20;
      if (y > height / 3 && y < height * 2 / 3 && x < width / 2) pixel = 140;
    }
  }
  return image;
}

GreyImage scaledUp(const GreyImage& image, int factor) {
  GreyImage big{image.width * factor, image.height * factor, {}};
  for (int y = 0; y < big.height; ++y) {
    for (int x = 0; x < big.width; ++x) {
      big.pixels.push_back(
          image.pixels[static_cast<std::size_t>(y / factor) * image.width + x / factor]);
    }
  }
  return big;
}

TEST(FidelityLikeness, BlocksStaySquare) {
  EXPECT_EQ(blockRows(480, 640), 64);
  EXPECT_EQ(blockRows(1024, 768), 36);
  EXPECT_EQ(blockRows(1000, 510), 24);  // 24.48 rounds down
  EXPECT_EQ(blockRows(1000, 530), 25);  // 25.44
  EXPECT_EQ(blockRows(4800, 10), 1);    // never no row at all
}

TEST(FidelityLikeness, SamePictureScoresOneAndItsNegativeMinusOne) {
  const GreyImage page = samplePage(96, 128);
  EXPECT_NEAR(likeness(page, page), 1.0, 1e-9);
  GreyImage negative = page;
  for (std::uint8_t& pixel : negative.pixels) pixel = static_cast<std::uint8_t>(255 - pixel);
  EXPECT_NEAR(likeness(page, negative), -1.0, 1e-9);
}

TEST(FidelityLikeness, ComparesOnTheReferenceGridWhateverTheRenderedSize) {
  const GreyImage preview = samplePage(96, 128);
  EXPECT_NEAR(likeness(preview, scaledUp(preview, 3)), 1.0, 1e-9);
  // The same ink lower down the page is a poorer match.
  GreyImage shifted = preview;
  std::rotate(shifted.pixels.begin(), shifted.pixels.end() - 30 * preview.width,
              shifted.pixels.end());
  EXPECT_LT(likeness(preview, shifted), 0.5);
}

TEST(FidelityLikeness, BlankPagesMatchOnlyEachOther) {
  GreyImage blank{96, 128, std::vector<std::uint8_t>(96 * 128, 255)};
  EXPECT_EQ(likeness(samplePage(96, 128), blank), 0.0);
  EXPECT_EQ(likeness(blank, samplePage(96, 128)), 0.0);
  GreyImage noisy = blank;  // a white JPEG's noise
  for (std::size_t i = 0; i < noisy.pixels.size(); i += 7) noisy.pixels[i] = 250;
  EXPECT_EQ(likeness(noisy, blank), 1.0);
  EXPECT_EQ(pearson({}, {}), 0.0);
}

TEST(FidelityLikeness, ReadsBinaryPgmWithAComment) {
  testing::TempDir dir;
  const std::string bytes = "P5\n# pdftoppm\n3 2\n255\n";
  const auto path = dir.write("page.pgm", bytes + std::string("\x00\x80\xff\x10\x20\x30", 6));
  GreyImage image;
  ASSERT_TRUE(readPgm(path.string(), &image).ok());
  EXPECT_EQ(image.width, 3);
  EXPECT_EQ(image.height, 2);
  EXPECT_EQ(image.pixels, (std::vector<std::uint8_t>{0x00, 0x80, 0xff, 0x10, 0x20, 0x30}));
  EXPECT_FALSE(readPgm(dir.write("cut.pgm", bytes + "ab").string(), &image).ok());
  EXPECT_FALSE(readJpegGrey(path.string(), &image).ok());
}

TEST(FidelityWords, FourOrMoreLettersFoldedAndCounted) {
  const WordCounts words = wordsOf("The Cat's CATS, cats; naïve ﬁle a1b2c3d4 über-long Straße");
  EXPECT_EQ(words,
            (WordCounts{
                {"cats", 2}, {"naïve", 1}, {"file", 1}, {"über", 1}, {"long", 1}, {"strasse", 1}}));
}

TEST(FidelityWords, KeptAsMultisets) {
  const WordCounts wanted{{"project", 3}, {"risk", 1}};
  EXPECT_DOUBLE_EQ(keptShare(wanted, {{"project", 1}, {"risk", 5}}), 0.5);
  EXPECT_DOUBLE_EQ(keptShare(wanted, {{"project", 3}, {"risk", 1}, {"other", 9}}), 1.0);
  EXPECT_DOUBLE_EQ(keptShare(wanted, {}), 0.0);
  EXPECT_DOUBLE_EQ(keptShare({}, {{"anything", 1}}), 1.0);
  WordCounts twice;
  addWords(wanted, &twice, 2);
  EXPECT_EQ(twice, (WordCounts{{"project", 6}, {"risk", 2}}));
}

TEST(FidelityWords, OfficeTextJoinsRunsButNotParagraphs) {
  const std::string docx =
      "<w:p><w:r><w:t>Hel</w:t></w:r><w:r><w:t xml:space=\"preserve\">lo</w:t></w:r></w:p>"
      "<w:p><w:r><w:instrText> PAGE </w:instrText><w:t>World&amp;more&#x20;caf&#233;</w:t>"
      "<w:tab/><w:t>Tabbed</w:t><w:t/></w:r></w:p>";
  EXPECT_EQ(wordsOf(officeXmlText(docx)),
            (WordCounts{{"hello", 1}, {"world", 1}, {"more", 1}, {"café", 1}, {"tabbed", 1}}));
  // A sheet shows each shared string as often as its cells point to it,
  // and the text formulas give; not formulas, numbers nor error values.
  const auto shared = sharedStringItems(
      "<sst><si><t>North</t></si><si><r><t>So</t></r><r><t>uth</t></r></si></sst>");
  EXPECT_EQ(shared, (std::vector<std::string>{"North", "South"}));
  const std::string sheet =
      "<row><c r=\"A1\" t=\"s\"><v>1</v></c><c r=\"A2\" s=\"3\" t=\"s\"><v>1</v></c>"
      "<c r=\"A3\" t=\"s\"><v>7</v></c><c r=\"A4\" t=\"inlineStr\"><is><t>Inline</t></is></c>"
      "<c r=\"B1\" t=\"str\"><f>\"COLUMN\"&amp;COLUMN()</f><v>COLUMN2</v></c>"
      "<c r=\"C1\"><f>AVERAGE(A2:A9)</f><v>12.5</v></c>"
      "<c r=\"D1\" t=\"e\"><v>#VALUE!</v></c></row>";
  EXPECT_EQ(wordsOf(officeXmlText(sheet, shared)),
            (WordCounts{{"south", 2}, {"inline", 1}, {"column", 1}}));
}

// Protobuf encoding, just enough to build archives by hand.
std::string varint(std::uint64_t value) {
  std::string out;
  do {
    out.push_back(static_cast<char>((value & 0x7F) | (value > 0x7F ? 0x80 : 0)));
    value >>= 7;
  } while (value != 0);
  return out;
}
std::string varintField(int number, std::uint64_t value) {
  return varint(number << 3) + varint(value);
}
std::string bytesField(int number, const std::string& bytes) {
  return varint((number << 3) | 2) + varint(bytes.size()) + bytes;
}
// One object of a decoded archive: its header, then its payload.
std::string object(std::uint64_t type, const std::string& payload) {
  const std::string info = bytesField(2, varintField(1, type) + varintField(3, payload.size()));
  return varint(info.size()) + info + payload;
}

TEST(FidelityWords, ArchiveTextLeavesOutNotesContentsAndNonStringLists) {
  const std::string archive =
      object(2001, varintField(1, 0) + bytesField(3, "Visible body")) +
      object(2001, bytesField(3, "Textbox without kind")) +
      object(2001, varintField(1, 4) + bytesField(3, "Presenter notes")) +
      object(2001, varintField(1, 7) + bytesField(3, "Contents generated")) +
      object(6005,
             varintField(1, 1) +
                 bytesField(3, varintField(1, 1) + varintField(2, 3) + bytesField(3, "Cheetah")) +
                 bytesField(3, varintField(1, 2) + varintField(2, 0) + bytesField(3, "Unused"))) +
      object(6005, varintField(1, 2) + bytesField(3, varintField(1, 1) + bytesField(3, "Format")));
  WordCounts words;
  ASSERT_TRUE(iwaWords(archive, &words).ok());
  EXPECT_EQ(words, (WordCounts{{"visible", 1},
                               {"body", 1},
                               {"textbox", 1},
                               {"without", 1},
                               {"kind", 1},
                               {"cheetah", 3}}));
  EXPECT_FALSE(iwaWords(archive.substr(0, archive.size() - 3), &words).ok());
}

TEST(FidelityWords, ReadsRealDocumentsWhateverTheirLayout) {
  MORVANE_FIXTURES_OR_SKIP(iwork, "iwork");
  IworkWords document;
  ASSERT_TRUE(iworkDocumentWords((iwork / "pages5-file.pages").string(), &document).ok());
  EXPECT_TRUE(document.archive);
  EXPECT_EQ(document.words["hovercraft"], 1u);
  EXPECT_EQ(document.words["eels"], 1u);
  IworkWords old;
  ASSERT_TRUE(iworkDocumentWords((iwork / "pages4-file.pages").string(), &old).ok());
  EXPECT_FALSE(old.archive);  // iWork '09: an XML index
  // Members under one top folder, the index in a nested Index.zip, and an
  // undo history in an archive compressed otherwise.
  MORVANE_FIXTURES_OR_SKIP(real, "iwork-real");
  IworkWords nested;
  ASSERT_TRUE(iworkDocumentWords((real / "Attendance.numbers").string(), &nested).ok());
  EXPECT_TRUE(nested.archive);
  EXPECT_GT(nested.words.size(), 20u);
  EXPECT_EQ(nested.unread, (std::vector<std::string>{"OperationStorage.iwa"}));
}

}  // namespace
}  // namespace morvane::fidelity

// Counting what LibreOffice read, from flat OpenDocument texts as its
// export writes them, and the verdict on a conversion that lost content.
#include "office/document_census.h"

#include <gtest/gtest.h>

#include "testing/temp_dir.h"

namespace morvane {
namespace {

const char kHeader[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document "
    "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
    "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
    "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
    "xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\" "
    "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\">";

class DocumentCensusTest : public ::testing::Test {
 protected:
  DocumentCensus census(const std::string& body, const std::string& styles = "") {
    const auto path = tmp_.write("doc.fodx", std::string(kHeader) + styles + "<office:body>" +
                                                 body + "</office:body></office:document>");
    DocumentCensus counted;
    EXPECT_TRUE(takeCensus(path.string(), &counted).ok());
    return counted;
  }

  testing::TempDir tmp_;
};

TEST_F(DocumentCensusTest, CountsCellsWithValuesAndTextHonouringRepeats) {
  const DocumentCensus counted = census(
      "<office:spreadsheet><table:table>"
      "<table:table-row table:number-rows-repeated=\"2\">"
      "<table:table-cell office:value-type=\"float\" office:value=\"1\" "
      "table:number-columns-repeated=\"3\"/>"
      "<table:table-cell table:number-columns-repeated=\"1000\"/>"
      "</table:table-row>"
      "<table:table-row><table:table-cell><text:p>Cheetah</text:p></table:table-cell>"
      "<table:table-cell><text:p> </text:p></table:table-cell></table:table-row>"
      "<table:table-row table:number-rows-repeated=\"1048570\"><table:table-cell/></table:table-row>"
      "</table:table></office:spreadsheet>");
  EXPECT_EQ(counted.cells, 7u);  // 2 x 3 numbers and one text
  EXPECT_EQ(counted.textCharacters, 7u);
}

TEST_F(DocumentCensusTest, CountsOnlyTheBodysTextAndDrawings) {
  const DocumentCensus counted = census(
      "<office:presentation><draw:page><draw:frame><draw:text-box><text:p>Lion "
      "<text:span>Tabby</text:span></text:p></draw:text-box></draw:frame>"
      "<draw:frame><draw:image><office:binary-data>iVBORw0KGgo=</office:binary-data>"
      "</draw:image></draw:frame></draw:page></office:presentation>",
      "<office:master-styles><style:master-page><draw:frame><draw:text-box><text:p>Title "
      "placeholder</text:p></draw:text-box></draw:frame></style:master-page></office:master-styles>");
  EXPECT_EQ(counted.textCharacters, 9u);
  EXPECT_EQ(counted.drawings, 3u);
  EXPECT_EQ(counted.cells, 0u);
}

TEST_F(DocumentCensusTest, HeadersAndFootersCountInTextDocumentsOnly) {
  const std::string styles =
      "<office:master-styles><style:master-page><style:header><text:p>Quarterly report</text:p>"
      "</style:header><style:footer><text:p>Page</text:p></style:footer></style:master-page>"
      "</office:master-styles>";
  const auto take = [&](const std::string& mimetype) {
    std::string document = std::string(kHeader) + styles + "<office:body/></office:document>";
    document.insert(document.find("xmlns:office"),
                    "office:mimetype=\"application/vnd.oasis.opendocument." + mimetype + "\" ");
    DocumentCensus counted;
    EXPECT_TRUE(takeCensus(tmp_.write("d.fod", document).string(), &counted).ok());
    return counted.textCharacters;
  };
  EXPECT_EQ(take("text"), 19u);
  EXPECT_EQ(take("spreadsheet"), 0u);  // Calc's default page footer is no content
}

TEST_F(DocumentCensusTest, AnUnreadableCopyIsAnError) {
  DocumentCensus counted;
  EXPECT_FALSE(takeCensus((tmp_.path() / "missing.fods").string(), &counted).ok());
  const auto cut = tmp_.write("cut.fods", std::string(kHeader) + "<office:body><office:spr");
  EXPECT_FALSE(takeCensus(cut.string(), &counted).ok());
}

TEST(NothingLostTest, LostCellsOrTextFailWhileEmptyOrMovedContentPasses) {
  const IworkContent cells{32, 0}, text{0, 80}, both{4, 38}, nothing{0, 0};
  EXPECT_NE(checkNothingLost(cells, {0, 0, 0}).message().find("32 table cells"), std::string::npos);
  EXPECT_FALSE(checkNothingLost(cells, {0, 12, 1}).ok());  // a title arrived, the table did not
  EXPECT_TRUE(checkNothingLost(cells, {30, 0, 0}).ok());
  EXPECT_FALSE(checkNothingLost(text, {0, 0, 2}).ok());
  EXPECT_TRUE(checkNothingLost(text, {0, 75, 0}).ok());
  EXPECT_TRUE(checkNothingLost(text, {3, 0, 0}).ok());  // text that became cells
  EXPECT_TRUE(checkNothingLost(both, {4, 0, 0}).ok());
  EXPECT_TRUE(checkNothingLost(nothing, {0, 0, 0}).ok());
}

}  // namespace
}  // namespace morvane

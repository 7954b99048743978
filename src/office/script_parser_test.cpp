#include "office/script_parser.h"

#include <gtest/gtest.h>

#include "engine/script_runner.h"
#include "filelist/regular_files.h"
#include "office/wire_format.h"

namespace morvane {
namespace {

using Kind = ScriptStatement::Kind;

TEST(ScriptParserTest, ReadsTheComposedForms) {
  const std::string text =
      "tell application \"/Applications/Pages Creator Studio.app\"\n"
      "  activate\n"
      "  open POSIX file \"/In/a.docx\"\n"
      "  save document 1 in POSIX file \"/Out/a.pages\"\n"
      "  export document 1 to POSIX file \"/Out/a.pdf\" as PDF\n"
      "  close document 1\n"
      "  quit\n"
      "end tell\n"
      "tell application \"/Applications/Keynote.app\"\n"
      "  export document 1 to POSIX file \"/Out/k.pptx\" as Microsoft Powerpoint\n"
      "end tell\n";
  ParsedScript parsed;
  ASSERT_TRUE(parseScript(text, &parsed).ok());
  ASSERT_EQ(parsed.blocks.size(), 2u);
  const TellBlock& pages = parsed.blocks[0];
  EXPECT_EQ(pages.application, "Pages Creator Studio");
  ASSERT_EQ(pages.statements.size(), 6u);
  EXPECT_EQ(pages.statements[1].kind, Kind::open);
  EXPECT_EQ(pages.statements[1].path, "/In/a.docx");
  EXPECT_EQ(pages.statements[1].line, 3);
  EXPECT_EQ(pages.statements[2].kind, Kind::save);
  EXPECT_EQ(pages.statements[3].kind, Kind::exportAs);
  EXPECT_EQ(pages.statements[3].format, "PDF");
  EXPECT_EQ(pages.statements[3].text, "export document 1 to POSIX file \"/Out/a.pdf\" as PDF");
  EXPECT_EQ(pages.statements[5].kind, Kind::quit);
  EXPECT_EQ(parsed.blocks[1].statements[0].format, "Microsoft Powerpoint");
  EXPECT_TRUE(parseScript("", &parsed).ok());
  EXPECT_TRUE(parsed.blocks.empty());
}

TEST(ScriptParserTest, PathsSurviveTheEscapesOfComposition) {
  for (const std::string path : {"/a\" & (do shell script \"x\") & \".docx", "/back\\slash\\",
                                 "/two\nlines\r\tx.pptx", "/Über straße/é.key", "/quote\"\\\"end"}) {
    const std::string text = "tell application \"Keynote\"\n  open POSIX file " +
                             scriptStringLiteral(path) + "\nend tell\n";
    ParsedScript parsed;
    ASSERT_TRUE(parseScript(text, &parsed).ok()) << path;
    ASSERT_EQ(parsed.blocks[0].statements.size(), 1u) << path;
    EXPECT_EQ(parsed.blocks[0].statements[0].path, path);
  }
}

TEST(ScriptParserTest, RefusesAnythingElseNamingTheLine) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"tell application \"Pages\"\n  do shell script \"rm -rf ~\"\nend tell\n", "line 2: unknown"},
      {"  activate\n", "line 1: expected tell"},
      {"tell application \"Pages\"\n  activate\n", "line 1: tell block without end tell"},
      {"tell application \"Pages\"\n  open POSIX file \"/a\" & \"b\"\nend tell\n", "line 2"},
      {"tell application \"Pages\"\n  open POSIX file \"/a\\q\"\nend tell\n", "line 2"},
      {"tell application \"Pages\"\n  open POSIX file \"/a\nend tell\n", "line 2"},
      {"tell application \"Pages\"\n\n  export document 1 to POSIX file \"/a\" as Rich Text\nend tell\n",
       "line 3"},
      {"tell application \"Pages\"\ntell application \"Numbers\"\nend tell\n", "line 2"},
  };
  for (const auto& [text, expected] : cases) {
    ParsedScript parsed;
    const Status s = parseScript(text, &parsed);
    ASSERT_FALSE(s.ok()) << text;
    EXPECT_NE(s.message().find(expected), std::string::npos) << s.message();
  }
}

TEST(WireFormatTest, FieldsRoundTrip) {
  const std::vector<std::string> fields = {"save", "/a\tb\nc\\d\re", "", "pdf"};
  const std::string line = encodeWireLine(fields);
  EXPECT_EQ(line.find('\n'), std::string::npos);
  EXPECT_EQ(decodeWireLine(line), fields);
  EXPECT_EQ(fileUrlFromPath("/tmp/a b#%?.docx"), "file:///tmp/a%20b%23%25%3F.docx");
  EXPECT_EQ(fileUrlFromPath("/x/\xC3\xA9"), "file:///x/%C3%A9");
}

}  // namespace
}  // namespace morvane

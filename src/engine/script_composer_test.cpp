#include "engine/script_composer.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "cli/run_report_text.h"
#include "engine/script_runner.h"
#include "engine/target_paths.h"
#include "testing/engine_fixture.h"

namespace morvane {
namespace {

using ScriptComposerTest = testing::EngineFixture;

TEST_F(ScriptComposerTest, ComposesTheExampleScript) {
  options_.setTargetFolder(tmp_.path() / "Out");
  options_.setOfficeExport(false);
  options_.setIworkExport(true);
  options_.setPdfExport(true);
  const std::string in = tmp_.path() / "In";
  const std::string out = tmp_.path() / "Out";
  runner().planConversion(entry(tmp_.write("In/a.docx")));
  runner().planConversion(entry(tmp_.write("In/b.xlsx")));
  runner().runConversions();

  const std::string pages = "tell application \"/Applications/Pages.app\"\n"
                            "  activate\n"
                            "  open POSIX file \"" + in + "/a.docx\"\n"
                            "  save document 1 in POSIX file \"" + out + "/a.pages\"\n"
                            "  export document 1 to POSIX file \"" + out + "/a.pdf\" as PDF\n"
                            "  close document 1\n"
                            "  quit\n"
                            "end tell\n";
  const std::string numbers = "tell application \"/Applications/Numbers.app\"\n"
                              "  activate\n"
                              "  open POSIX file \"" + in + "/b.xlsx\"\n"
                              "  save document 1 in POSIX file \"" + out + "/b.numbers\"\n"
                              "  export document 1 to POSIX file \"" + out + "/b.pdf\" as PDF\n"
                              "  close document 1\n"
                              "  quit\n"
                              "end tell\n";
  const std::string& script = createdScript();
  EXPECT_TRUE(script == pages + numbers || script == numbers + pages) << script;
  EXPECT_EQ(scripts_.executed, scripts_.created);
  EXPECT_EQ(alerts_.titles(), std::vector<std::string>{"Success"});
  EXPECT_EQ(env_.lines.back(), "did finish conversion");
  EXPECT_EQ(env_.linesContaining("export to file format: ").size(), 4u);
  EXPECT_EQ(env_.linesContaining("pagespdf").size() + env_.linesContaining("pdfpages").size(), 1u);
}

TEST_F(ScriptComposerTest, PathsCannotEndTheStringLiteral) {
  EXPECT_EQ(scriptStringLiteral("a\" & (do shell script \"x\") & \".docx"),
            "\"a\\\" & (do shell script \\\"x\\\") & \\\".docx\"");
  EXPECT_EQ(scriptStringLiteral("back\\slash\nline\rret\ttab"),
            "\"back\\\\slash\\nline\\rret\\ttab\"");
  EXPECT_EQ(scriptStringLiteral("Über straße.docx"), "\"Über straße.docx\"");

  options_.setTargetFolder(tmp_.path() / "Out");
  options_.setPdfExport(true);
  const fs::path evil = tmp_.write("a\" & (do shell script \"x\") & \".docx");
  const fs::path lined = tmp_.write("two\nlines\\.pptx");
  runner().planConversion(entry(evil));
  runner().planConversion(entry(lined));
  const std::string script = runner().composeScript();
  // Every statement is still one line: no name added a line or a statement.
  EXPECT_EQ(std::count(script.begin(), script.end(), '\n'), 14);
  EXPECT_NE(script.find("open POSIX file \"" + tmp_.path().string() +
                        "/a\\\" & (do shell script \\\"x\\\") & \\\".docx\"\n"),
            std::string::npos);
  EXPECT_NE(script.find("/two\\nlines\\\\.pptx\"\n"), std::string::npos);
  EXPECT_NE(script.find("/Out/two\\nlines\\\\.pdf\" as PDF\n"), std::string::npos);
}

}  // namespace
}  // namespace morvane

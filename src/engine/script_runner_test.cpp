#include "engine/script_runner.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "engine/target_paths.h"
#include "cli/run_report_text.h"
#include "testing/engine_fixture.h"

namespace morvane {
namespace {

using ScriptRunnerTest = testing::EngineFixture;

TEST_F(ScriptRunnerTest, RebuildKeepsStructureBelowRootFolder) {
  const fs::path out = tmp_.path() / "Out";
  options_.setTargetFolder(out);
  options_.setIworkExport(true);
  options_.setPdfExport(true);
  options_.setRebuildStruct(true);
  tmp_.write("Docs/a.docx");
  tmp_.write("Docs/Sub/b.xlsx");
  tmp_.write("Docs/Sub/Deep/c.key");
  tmp_.write("Docs/report.final.docx");
  options_.addFile(tmp_.path() / "Docs");
  std::map<std::string, std::vector<fs::path>> planned;
  std::function<void(const NQFileDataObject&)> plan = [&](const NQFileDataObject& e) {
    if (e.dirContents) {
      for (const auto& c : *e.dirContents) plan(c);
      return;
    }
    planned[lastPathComponent(e.url)] = runner().targetPathsFor(e, runner().targetFormatsFor(e));
  };
  plan(options_.fileList()[0]);
  EXPECT_EQ(planned["a.docx"], (std::vector<fs::path>{out / "a.pages", out / "a.pdf"}));
  EXPECT_EQ(planned["b.xlsx"], (std::vector<fs::path>{out / "Sub/b.numbers", out / "Sub/b.pdf"}));
  EXPECT_EQ(planned["c.key"], (std::vector<fs::path>{out / "Sub/Deep/c.pptx", out / "Sub/Deep/c.pdf"}));
  EXPECT_EQ(planned["report.final.docx"],
            (std::vector<fs::path>{out / "report.final.pages", out / "report.final.pdf"}));
  EXPECT_TRUE(fs::is_directory(out / "Sub/Deep"));

  options_.setRebuildStruct(false);
  const NQFileDataObject& deep = (*(*options_.fileList()[0].dirContents)[0].dirContents)[0];
  ASSERT_EQ(lastPathComponent(deep.url), "Deep");
  EXPECT_EQ(runner().targetPathsFor((*deep.dirContents)[0], {"pptx"}),
            std::vector<fs::path>{out / "c.pptx"});
}

TEST_F(ScriptRunnerTest, PlansUnderTheApplicationOfTheExtension) {
  options_.setTargetFolder(tmp_.path() / "Out");
  options_.setPdfExport(true);
  runner().planConversion(entry(tmp_.write("a.docx")));
  runner().planConversion(entry(tmp_.write("b.DOCX")));
  runner().planConversion(entry(tmp_.write("c.txt")));
  options_.setUseCreatorStudio(true);
  runner().planConversion(entry(tmp_.write("d.key")));
  runner().planConversion(entry(tmp_.write("e.pages")));

  const auto& configs = runner().conversionConfigs();
  ASSERT_EQ(configs.at("Pages").size(), 1u);
  EXPECT_EQ(configs.at("Pages")[0].targetFormats, std::vector<std::string>{"pdf"});
  ASSERT_EQ(configs.at("Keynote Creator Studio").size(), 1u);
  const FileConversionConfig& key = configs.at("Keynote Creator Studio")[0];
  EXPECT_EQ(key.targetFormats, (std::vector<std::string>{"pptx", "pdf"}));
  EXPECT_EQ(key.app, "Keynote Creator Studio");
  ASSERT_EQ(configs.at("Pages Creator Studio").size(), 1u);
  EXPECT_EQ(configs.at("Pages Creator Studio")[0].targetFormats,
            (std::vector<std::string>{"docx", "pdf"}));

  const std::string script = runner().composeScript();
  EXPECT_NE(script.find("tell application \"/Applications/Keynote Creator Studio.app\"\n"),
            std::string::npos);
  EXPECT_NE(script.find("export document 1 to POSIX file \"" + (tmp_.path() / "Out/d.pptx").string() +
                        "\" as Microsoft Powerpoint\n"),
            std::string::npos);
  EXPECT_NE(script.find("\" as Microsoft Word\n"), std::string::npos);
  EXPECT_EQ(script.find("b.DOCX"), std::string::npos);
}

// A document that the chosen classes give no target is not planned (a
// script that opens and closes it would count it as converted): the
// report names it and why.
TEST_F(ScriptRunnerTest, DocumentWithoutTargetsIsNotPlanned) {
  options_.setTargetFolder(tmp_.path() / "Out");
  options_.setOfficeExport(false);
  options_.setIworkExport(true);
  const fs::path pages = tmp_.write("x.pages");
  runner().planConversion(entry(pages));
  runner().planConversion(entry(pages));
  EXPECT_TRUE(runner().conversionConfigs().at("Pages").empty());
  EXPECT_EQ(runner().composeScript(), "");
  EXPECT_EQ(env_.lines[0], "");  // the empty format line
  const MissingExport why{"pages", {"iwork"}, {"office", "pdf"}};
  ASSERT_EQ(runner().report().withoutExport.size(), 2u);
  EXPECT_EQ(runner().report().withoutExport[0].document, pages.string());
  EXPECT_EQ(runner().report().withoutExport[0].why, why);
  EXPECT_EQ(runner().runConversions(), RunOutcome::succeeded);
  EXPECT_EQ(runner().report().converted, 0u);
  EXPECT_EQ(englishSummary(alerts_.shown.back()),
            "No document was converted\nNot converted: " + pages.string() +
                " — pages files have no iWork export\nNot converted: " + pages.string() +
                " — pages files have no iWork export");
}

TEST_F(ScriptRunnerTest, EmptyRunExecutesEmptyScript) {
  runner().runConversions();
  EXPECT_EQ(createdScript(), "");
  EXPECT_EQ(scripts_.executed.size(), 1u);
  EXPECT_EQ(alerts_.titles(), std::vector<std::string>{"Success"});
}

}  // namespace
}  // namespace morvane

#include "engine/target_planner.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "cli/run_report_text.h"
#include "engine/script_runner.h"
#include "engine/target_paths.h"
#include "testing/engine_fixture.h"

namespace morvane {
namespace {

using TargetPlannerTest = testing::EngineFixture;

TEST_F(TargetPlannerTest, NeverTargetsASourceDocumentOfTheRun) {
  const fs::path folder = tmp_.mkdir("Work");
  const fs::path docx = tmp_.write("Work/a.docx");
  const fs::path pages = tmp_.write("Work/a.pages");
  tmp_.write("Work/b.docx");
  tmp_.write("Work/b.pages-old");
  options_.addFile(folder);
  options_.setTargetFolder(folder);
  options_.setIworkExport(true);
  options_.setPdfExport(true);
  for (const NQFileDataObject& e : *options_.fileList()[0].dirContents) {
    if (pathExtension(e.url) == "docx" || pathExtension(e.url) == "pages") runner().planConversion(e);
  }
  const auto& pagesApp = runner().conversionConfigs().at("Pages");
  ASSERT_EQ(pagesApp.size(), 3u);
  // a.docx and a.pages would overwrite each other: only their PDFs remain,
  // under two names.
  EXPECT_EQ(pagesApp[0].targetPaths, std::vector<fs::path>{folder / "a.pdf"});
  EXPECT_EQ(pagesApp[0].targetFormats, std::vector<std::string>{"pdf"});
  EXPECT_EQ(pagesApp[1].targetPaths, std::vector<fs::path>{folder / "a 2.pdf"});
  EXPECT_EQ(pagesApp[1].targetFormats, std::vector<std::string>{"pdf"});
  EXPECT_EQ(pagesApp[2].targetPaths, (std::vector<fs::path>{folder / "b.pages", folder / "b.pdf"}));
  const std::vector<std::string> skipped = env_.linesContaining("Skipping target");
  ASSERT_EQ(skipped.size(), 2u);
  const std::string first = "Skipping target " + pages.string() + " of " + docx.string();
  const std::string second = "Skipping target " + docx.string() + " of " + pages.string();
  EXPECT_TRUE((skipped[0].starts_with(first) && skipped[1].starts_with(second)) ||
              (skipped[0].starts_with(second) && skipped[1].starts_with(first)));
}

// An export left out because its target is a source document of the run is
// counted and named in the run's summary; a document that loses every
// target so is not planned at all, and does not count as converted.
TEST_F(TargetPlannerTest, SkippedExportsAreCountedAndNamed) {
  const fs::path folder = tmp_.mkdir("Work");
  const fs::path docx = tmp_.write("Work/a.docx");
  const fs::path pages = tmp_.write("Work/a.pages");
  options_.addFile(folder);
  options_.setTargetFolder(folder);
  options_.setIworkExport(true);
  for (const NQFileDataObject& e : *options_.fileList()[0].dirContents) runner().planConversion(e);
  EXPECT_TRUE(runner().conversionConfigs().at("Pages").empty());
  EXPECT_EQ(env_.linesContaining("Not converting ").size(), 2u);
  std::vector<std::string> skipped;
  for (const SkippedExport& s : runner().report().skippedExports) skipped.push_back(s.target);
  std::sort(skipped.begin(), skipped.end());
  EXPECT_EQ(skipped, (std::vector<std::string>{docx.string(), pages.string()}));
  EXPECT_EQ(runner().runConversions(), RunOutcome::succeeded);
  EXPECT_EQ(createdScript(), "");
  const std::string summary = englishSummary(alerts_.shown.back());
  EXPECT_TRUE(summary.starts_with(
      "No document was converted, 2 exports skipped: their targets are documents of this run\n"))
      << summary;
  EXPECT_NE(summary.find("\nNot written: " + docx.string()), std::string::npos) << summary;
  EXPECT_NE(summary.find("\nNot written: " + pages.string()), std::string::npos) << summary;

  RunReport one{.converted = 1};
  one.skippedExports = {{"/in/a.docx", "/t/a.pages"}};
  EXPECT_EQ(describeRun(one), "1 document converted, 1 export skipped: its target is a document "
                              "of this run");
  EXPECT_EQ(describeRunWithNames(one), describeRun(one) + "\nNot written: /t/a.pages");
  // A failed run tells them too.
  runner_.reset();
  scripts_.executeError = ScriptError{{{"message", "broken"}}};
  runner().planConversion(NQFileDataObject(docx, 1, false, env_));
  runner().runConversions();
  EXPECT_NE(englishSummary(alerts_.shown.back()).find("1 export skipped: its target is a document of "
                                              "this run\nNot written: " + pages.string()),
            std::string::npos)
      << englishSummary(alerts_.shown.back());
}

// Planning makes the target folder; once it was there, the run never makes
// it again. A target folder removed while the walk goes on ends the run
// with the error alert naming it, before anything is executed.
TEST_F(TargetPlannerTest, ATargetFolderRemovedWhilePlanningIsNotMadeAgain) {
  const fs::path out = tmp_.path() / "Out";
  options_.setTargetFolder(out);
  options_.setRebuildStruct(true);
  options_.setPdfExport(true);
  runner().planConversion(entry(tmp_.write("a.docx")));
  ASSERT_TRUE(fs::is_directory(out));
  EXPECT_FALSE(runner().lostTargetFolder());
  fs::remove_all(out);
  runner().planConversion(NQFileDataObject(tmp_.write("In/Sub/b.docx"), 2, false, env_));
  EXPECT_FALSE(fs::exists(out));
  EXPECT_EQ(runner().lostTargetFolder(), out);
  const std::string message = "The target folder " + out.string() +
                              " was removed during the run; it was not made again, and what the "
                              "run wrote into it is gone";
  EXPECT_EQ(env_.linesContaining("ERROR: The target folder"),
            std::vector<std::string>{"ERROR: " + message});
  EXPECT_EQ(runner().runConversions(), RunOutcome::failed);
  EXPECT_TRUE(scripts_.created.empty());
  ASSERT_EQ(alerts_.titles(), std::vector<std::string>{"Error"});
  EXPECT_TRUE(englishSummary(alerts_.shown[0]).starts_with(message + "\n")) << englishSummary(alerts_.shown[0]);
  EXPECT_FALSE(fs::exists(out));
}

// Removed while the script runs (and, as LibreOffice does when it saves
// into a missing folder, made again at once): the run that would have
// succeeded ends with the error alert naming the folder.
TEST_F(TargetPlannerTest, ATargetFolderRemovedWhileTheScriptRunsFailsTheRun) {
  struct RemovingExecutor : ScriptExecutor {
    bool execute(Script& script, ScriptError* error) override {
      fs::remove_all(folder);
      if (makeAgain) fs::create_directory(folder);
      return script.execute(error);
    }
    fs::path folder;
    bool makeAgain = false;
  };
  const fs::path out = tmp_.path() / "Out";
  options_.setTargetFolder(out);
  options_.setPdfExport(true);
  const fs::path doc = tmp_.write("a.docx");
  for (bool makeAgain : {false, true}) {
    RemovingExecutor executor;
    executor.folder = out;
    executor.makeAgain = makeAgain;
    EngineServices withExecutor = services();
    withExecutor.executor = &executor;
    ScriptRunner runner(options_, withExecutor);
    runner.planConversion(entry(doc));
    alerts_.shown.clear();
    EXPECT_EQ(runner.runConversions(), RunOutcome::failed) << makeAgain;
    ASSERT_EQ(alerts_.titles(), std::vector<std::string>{"Error"}) << makeAgain;
    EXPECT_TRUE(englishSummary(alerts_.shown[0]).starts_with("The target folder " + out.string() +
                                                     " was removed during the run"))
        << englishSummary(alerts_.shown[0]);
    EXPECT_EQ(runner.lostTargetFolder(), out);
  }
  // Left in place, it is the same folder however much the run wrote into it.
  ScriptRunner untouched(options_, services());
  untouched.planConversion(entry(doc));
  fs::create_directory(out / "Sub");
  EXPECT_EQ(untouched.runConversions(), RunOutcome::succeeded);
}

// Documents of one run that share a name must not share an output.
class SameNameTest : public TargetPlannerTest {
 protected:
  void SetUp() override {
    options_.setTargetFolder(out_);
    options_.setPdfExport(true);
  }
  const std::vector<fs::path>& plan(const std::string& relative) {
    runner().planConversion(entry(tmp_.write(relative)));
    return runner().conversionConfigs().at("Pages").back().targetPaths;
  }
  std::string renamed(const std::string& from, const std::string& to) const {
    return "\t" + (out_ / from).string() + " is already a target of this run => " +
           (out_ / to).string();
  }
  const fs::path out_ = tmp_.path() / "Out";
};

TEST_F(SameNameTest, LaterDocumentsGetTheFirstFreeNumber) {
  EXPECT_EQ(plan("Reports/Notes.pages"),
            (std::vector<fs::path>{out_ / "Notes.docx", out_ / "Notes.pdf"}));
  EXPECT_EQ(plan("Notes.pages"),
            (std::vector<fs::path>{out_ / "Notes 2.docx", out_ / "Notes 2.pdf"}));
  EXPECT_EQ(plan("Old/Notes.pages"),
            (std::vector<fs::path>{out_ / "Notes 3.docx", out_ / "Notes 3.pdf"}));
  EXPECT_EQ(env_.linesContaining("is already a target of this run"),
            (std::vector<std::string>{renamed("Notes.docx", "Notes 2.docx"),
                                      renamed("Notes.pdf", "Notes 2.pdf"),
                                      renamed("Notes.docx", "Notes 3.docx"),
                                      renamed("Notes.pdf", "Notes 3.pdf")}));
  const std::string script = runner().composeScript();
  EXPECT_NE(script.find("\"" + (out_ / "Notes 3.pdf").string() + "\" as PDF\n"), std::string::npos);
  // Another name, and another folder with structure rebuilt, are free.
  EXPECT_EQ(plan("Report.final.pages")[0], out_ / "Report.final.docx");
  options_.setRebuildStruct(true);
  runner().planConversion(NQFileDataObject(tmp_.write("Deep/Notes.pages"), 1, false, env_));
  EXPECT_EQ(runner().conversionConfigs().at("Pages").back().targetPaths[0],
            out_ / "Deep/Notes.docx");
}

TEST_F(SameNameTest, NumberedNamesCompareWithTargetsWrittenAlike) {
  options_.setTargetFolder(out_.string() + "/");  // as a command line may give it
  options_.setPdfExport(false);
  EXPECT_EQ(plan("A/Notes.pages")[0].native(), out_.string() + "//Notes.docx");
  EXPECT_EQ(plan("B/Notes.pages")[0].native(), out_.string() + "//Notes 2.docx");
  EXPECT_EQ(plan("Notes 2.pages")[0].native(), out_.string() + "//Notes 2 2.docx");
}

TEST_F(SameNameTest, FilesFromBeforeTheRunAreStillPlannedOver) {
  tmp_.write("Out/Notes.docx", "old");
  tmp_.write("Out/Notes 2.pdf", "old");
  EXPECT_EQ(plan("A/Notes.pages"),
            (std::vector<fs::path>{out_ / "Notes.docx", out_ / "Notes.pdf"}));
  EXPECT_EQ(plan("B/Notes.pages"),
            (std::vector<fs::path>{out_ / "Notes 2.docx", out_ / "Notes 2.pdf"}));
  EXPECT_EQ(env_.linesContaining("is already a target of this run").size(), 2u);
}

TEST_F(SameNameTest, NumberedNamesPassOverSourceDocuments) {
  options_.setPdfExport(false);
  const fs::path numberedSource = tmp_.write("Out/Notes 2.pages");
  options_.addFile(numberedSource);
  EXPECT_EQ(plan("A/Notes.pages"), std::vector<fs::path>{out_ / "Notes.docx"});
  tmp_.write("Out/Notes 2.docx");  // an old file, no source: free for this run
  EXPECT_EQ(plan("B/Notes.pages"), std::vector<fs::path>{out_ / "Notes 2.docx"});
  options_.setOfficeExport(false);
  options_.setIworkExport(true);
  runner().planConversion(entry(tmp_.write("C/Notes.docx")));
  EXPECT_EQ(runner().conversionConfigs().at("Pages").back().targetPaths,
            std::vector<fs::path>{out_ / "Notes.pages"});
  runner().planConversion(entry(tmp_.write("D/Notes.docx")));
  EXPECT_EQ(runner().conversionConfigs().at("Pages").back().targetPaths,
            std::vector<fs::path>{out_ / "Notes 3.pages"});  // "Notes 2.pages" is a source
}

TEST_F(TargetPlannerTest, FolderThatCannotBeCreatedIsLogged) {
  const fs::path out = tmp_.path() / "Out";
  env_.uncreatable.insert(out / "Sub");
  runner().createFolder(out / "Sub");
  runner().createFolder(tmp_.path());  // exists: left alone
  EXPECT_EQ(env_.lines, std::vector<std::string>{"ERROR when trying to create folder at " +
                                                 (out / "Sub").string() +
                                                 " LocalizedDescription: Permission denied"});
}

}  // namespace
}  // namespace morvane

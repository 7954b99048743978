#include "engine/script_runner.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "engine/target_paths.h"
#include "cli/run_report_text.h"
#include "testing/engine_fixture.h"

namespace morvane {
namespace {

using ScriptRunnerTest = testing::EngineFixture;

TEST_F(ScriptRunnerTest, FreshTables) {
  const ScriptRunner& r = runner();
  ASSERT_EQ(r.conversionConfigs().size(), 6u);
  for (const auto& [app, configs] : r.conversionConfigs()) EXPECT_TRUE(configs.empty()) << app;
  EXPECT_FALSE(r.appsForExtensions().contains("DOCX"));
  EXPECT_EQ(r.appsForExtensions().at("docx"), "Pages");
  EXPECT_EQ(r.creatorStudioAppsForExtensions().at("xls"), "Numbers Creator Studio");
  EXPECT_EQ(r.exportFormats().at("rtf").size(), 3u);
  EXPECT_FALSE(r.exportFormats().at("pages").contains("iwork"));
  for (const char* ext : {"csv", "doc", "xls", "ppt"}) {
    EXPECT_FALSE(r.osaformatsForExtensions().contains(ext)) << ext;
  }
  EXPECT_EQ(r.osaformatsForExtensions().at("pptx"), "Microsoft Powerpoint");
  EXPECT_EQ(r.iworkFormats(), (std::vector<std::string>{"pages", "numbers", "key"}));
}

TEST_F(ScriptRunnerTest, ComposesTheExampleScript) {
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

TEST_F(ScriptRunnerTest, PathsCannotEndTheStringLiteral) {
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

TEST_F(ScriptRunnerTest, EmptyRunExecutesEmptyScript) {
  runner().runConversions();
  EXPECT_EQ(createdScript(), "");
  EXPECT_EQ(scripts_.executed.size(), 1u);
  EXPECT_EQ(alerts_.titles(), std::vector<std::string>{"Success"});
}

TEST_F(ScriptRunnerTest, ExecutionErrorOffersTheReport) {
  scripts_.executeError = ScriptError{{{"NSAppleScriptErrorMessage", "Pages got an error"}}};
  alerts_.responses = {kAlertThirdButtonReturn};
  runner().executeScript("some script\n");
  ASSERT_EQ(alerts_.shown.size(), 1u);
  EXPECT_EQ(alerts_.shown[0].title.key, "Error");
  EXPECT_EQ(alerts_.shown[0].message.key,
            "There was an error during the conversion.");
  const std::string description = scripts_.executeError->description();
  EXPECT_EQ(env_.lines.back(), "AppleScript ERROR:\n " + description);
  ASSERT_EQ(alerts_.mails.size(), 1u);
  // The fake runs its script as osascript does: the report holds it.
  const std::string report = "\nError:\nNSAppleScriptErrorMessage: Pages got an error\n"
                             "\nScript:\nsome script\n";
  EXPECT_TRUE(alerts_.mails[0].body.ends_with(report)) << alerts_.mails[0].body;
}

// Below their fixed texts, the alerts that end a run say what it did: the
// counts, and on failure the document and its reason with the full
// description on request.
TEST_F(ScriptRunnerTest, RunAlertsTellWhatTheRunDid) {
  runner().executeScript("");
  ASSERT_EQ(alerts_.shown.size(), 1u);
  EXPECT_EQ(alerts_.shown[0].kind, AlertKind::success);
  EXPECT_EQ(alerts_.shown[0].buttons.size(), 1u);  // OK: nothing to cancel
  EXPECT_EQ(englishSummary(alerts_.shown[0]), "No document was converted");

  ScriptError failed{{{"document", "/in/b.docx"}, {"message", "the file is empty (0 bytes)"}}};
  failed.converted = 1;
  scripts_.executeError = failed;
  runner().noteCopied();
  runner().noteCopied();
  runner().executeScript("tell application \"Pages\"\nend tell\n");
  ASSERT_EQ(alerts_.shown.size(), 2u);
  EXPECT_EQ(alerts_.shown[1].kind, AlertKind::failure);
  EXPECT_EQ(englishSummary(alerts_.shown[1]),
            "Not converted: /in/b.docx\nthe file is empty (0 bytes)\n"
            "1 document converted, 2 files copied");
  // The report as data: the document and why, not where in the script.
  ASSERT_TRUE(alerts_.shown[1].report.has_value());
  const RunReport& report = *alerts_.shown[1].report;
  ASSERT_EQ(report.failed.size(), 1u);
  EXPECT_EQ(report.failed[0].document, "/in/b.docx");
  EXPECT_EQ(report.failed[0].reason.sentence, "the file is empty (0 bytes)");
  EXPECT_EQ(report.converted, 1u);
  EXPECT_EQ(report.copied, 2u);
  EXPECT_EQ(runner().report().failed.size(), 1u);
  EXPECT_EQ(describeRun(RunReport{.converted = 42, .copied = 3}),
            "42 documents converted, 3 files copied");
  EXPECT_EQ(describeRun(RunReport{.converted = 1, .copied = 1}),
            "1 document converted, 1 file copied");
}

// The failed documents of a run are each document and why; where in the
// script it stopped (application, statement, line) is left to the error
// report. The reason the service knows (kind, wording) is kept.
TEST(FailedDocumentsTest, TellDocumentsAndReasonsOnly) {
  ScriptError error{{{"application", "Pages"},
                     {"statement", "open POSIX file \"/in/a.pages\""},
                     {"line", "3"},
                     {"document", "/in/a.pages"},
                     {"message", "the document is damaged"}}};
  EXPECT_EQ(failedDocumentsOf(error),
            (std::vector<FailedDocument>{{"/in/a.pages", {FailureKind::unexplained,
                                                          "the document is damaged"}}}));
  error.reason = FailureReason::worded(FailureKind::diskFull, "the disk of %1 is full", {"/out"});
  EXPECT_EQ(failedDocumentsOf(error)[0].reason.kind, FailureKind::diskFull);
  EXPECT_EQ(failedDocumentsOf(error)[0].reason.sentence, "the disk of /out is full");
  error.failedDocuments = {{"/in/a.pages", {FailureKind::damaged, "the document is damaged"}},
                           {"/in/b.key", {FailureKind::noPermission,
                                          "no permission to read /in/b.key"}}};
  EXPECT_EQ(failedDocumentsOf(error), error.failedDocuments);
  const std::vector<FailedDocument> unnamed =
      failedDocumentsOf(ScriptError{{{"error", "line 2: unknown statement"}}});
  ASSERT_EQ(unnamed.size(), 1u);
  EXPECT_EQ(unnamed[0].document, "");
  EXPECT_EQ(unnamed[0].reason.sentence, "line 2: unknown statement");
}

TEST_F(ScriptRunnerTest, ScriptThatCannotBeCreatedIsAFailure) {
  scripts_.createError = ScriptError{{{"error", "line 2: unknown statement"}}};
  alerts_.responses = {kAlertThirdButtonReturn};
  runner().executeScript("bad text\n");
  EXPECT_TRUE(scripts_.executed.empty());
  EXPECT_EQ(alerts_.titles(), std::vector<std::string>{"Error"});
  EXPECT_TRUE(env_.linesContaining("did finish conversion").empty());
  ASSERT_EQ(alerts_.mails.size(), 1u);
  EXPECT_NE(alerts_.mails[0].body.find("line 2: unknown statement"), std::string::npos);
  EXPECT_TRUE(alerts_.mails[0].body.ends_with("\nScript:\nbad text\n")) << alerts_.mails[0].body;
}

// A cancelled script ends with its own alert, neither the error nor the
// success one, and a cancellation reaches the script while it executes.
TEST_F(ScriptRunnerTest, ACancelledRunHasItsOwnAlertAndOutcome) {
  ScriptError cancelled{{{"message", "the conversion was cancelled"}}};
  cancelled.cancelled = true;
  cancelled.converted = 3;
  scripts_.executeError = cancelled;
  EXPECT_EQ(runner().executeScript("tell application \"Pages\"\nend tell\n"),
            RunOutcome::cancelled);
  ASSERT_EQ(alerts_.titles(), std::vector<std::string>{"Conversion cancelled"});
  // The count is told once, in the summary.
  EXPECT_EQ(alerts_.shown[0].message.key,
            "What was converted before the cancel stays in the target folder.");
  EXPECT_EQ(englishSummary(alerts_.shown[0]), "3 documents converted");
  EXPECT_EQ(alerts_.shown[0].kind, AlertKind::cancelled);
  EXPECT_EQ(alerts_.shown[0].buttons.size(), 1u);
  EXPECT_TRUE(alerts_.mails.empty());

  // Cancelled before the script ran: it is cancelled as it is attached.
  struct Counting : Script {
    bool execute(ScriptError*) override { return true; }
    void cancel() override { ++cancels; }
    int cancels = 0;
  } script;
  ScriptCancellation cancellation;
  EXPECT_FALSE(cancellation.running());
  cancellation.cancel();
  cancellation.attach(&script);
  EXPECT_TRUE(cancellation.running());
  EXPECT_EQ(script.cancels, 1);
  cancellation.detach();
  cancellation.cancel();
  EXPECT_EQ(script.cancels, 1);
}

TEST_F(ScriptRunnerTest, NeverTargetsASourceDocumentOfTheRun) {
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
TEST_F(ScriptRunnerTest, SkippedExportsAreCountedAndNamed) {
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
TEST_F(ScriptRunnerTest, ATargetFolderRemovedWhilePlanningIsNotMadeAgain) {
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
TEST_F(ScriptRunnerTest, ATargetFolderRemovedWhileTheScriptRunsFailsTheRun) {
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
class SameNameTest : public ScriptRunnerTest {
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

TEST_F(ScriptRunnerTest, FolderThatCannotBeCreatedIsLogged) {
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

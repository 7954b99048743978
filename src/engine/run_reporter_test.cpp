#include "engine/run_reporter.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "cli/run_report_text.h"
#include "engine/script_runner.h"
#include "engine/target_paths.h"
#include "testing/engine_fixture.h"

namespace morvane {
namespace {

using RunReporterTest = testing::EngineFixture;

TEST_F(RunReporterTest, ExecutionErrorOffersTheReport) {
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
TEST_F(RunReporterTest, RunAlertsTellWhatTheRunDid) {
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

TEST_F(RunReporterTest, ScriptThatCannotBeCreatedIsAFailure) {
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
TEST_F(RunReporterTest, ACancelledRunHasItsOwnAlertAndOutcome) {
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

}  // namespace
}  // namespace morvane

#include "engine/run_reporter.h"

#include "engine/error_report.h"

namespace morvane {

namespace {

// The first word of the fields that is neither the document nor where in
// the script it failed (which means nothing to the user); empty if none.
std::string firstOtherField(const std::vector<std::pair<std::string, std::string>>& fields) {
  for (const auto& [key, value] : fields) {
    if (key == "application" || key == "statement" || key == "line" || key == "details" ||
        key == "document") {
      continue;
    }
    if (!value.empty()) return value;
  }
  return {};
}

}  // namespace

std::vector<FailedDocument> failedDocumentsOf(const ScriptError& error) {
  if (!error.failedDocuments.empty()) return error.failedDocuments;
  ReportedDocument named = documentNamedIn(error.info);
  if (named.reason.empty()) named.reason = firstOtherField(error.info);
  FailureReason reason = error.reason
                             ? *error.reason
                             : FailureReason{FailureKind::unexplained, std::move(named.reason)};
  return {{std::move(named.document), std::move(reason)}};
}

RunOutcome RunReporter::succeeded() {
  Alert success =
      makeResultAlert(AlertKind::success, {"Success", "Alert title when conversion completed successfully"},
                      {"Did complete conversion.", "Alert message when conversion completed"});
  success.report = report_;
  services_.alerts.runModal(success);
  return RunOutcome::succeeded;
}

RunOutcome RunReporter::cancelled(const ScriptError& error, std::size_t planned) {
  services_.env.log("conversion cancelled");
  report_.converted = error.converted.value_or(0);
  report_.planned = planned;
  report_.cancelled = true;
  // The report below tells how many were converted.
  Alert cancelled = makeResultAlert(
      AlertKind::cancelled,
      {"Conversion cancelled", "Alert title when the user cancelled a conversion"},
      {"What was converted before the cancel stays in the target folder.",
       "Alert message when the user cancelled a conversion"});
  cancelled.report = report_;
  services_.alerts.runModal(cancelled);
  return RunOutcome::cancelled;
}

RunOutcome RunReporter::failed(const ScriptError& error, const std::string& text,
                               std::size_t planned) {
  const std::string description = error.description();
  services_.env.log("AppleScript ERROR:\n " + description);
  report_.converted = error.converted.value_or(0);
  report_.planned = planned;
  report_.failed = failedDocumentsOf(error);
  if (targets_.targetFolderLost()) report_.lostTarget = targets_.lostTargetFolder()->string();
  runFailureAlert(services_.alerts, services_.version,
                  errorReportFor(error, text, services_.scripts.drivesUserApplications()), "", "",
                  report_);
  return RunOutcome::failed;
}

RunOutcome RunReporter::lostTarget() {
  report_.lostTarget = targets_.lostTargetFolder()->string();
  runFailureAlert(services_.alerts, services_.version, targets_.lostTargetMessage(), "", "",
                  report_);
  return RunOutcome::failed;
}

RunOutcome RunReporter::nothingToConvert(std::vector<DocumentWithoutExport> documents) {
  for (const DocumentWithoutExport& d : documents) {
    services_.env.log("Not converting " + d.document + ": the chosen formats give it no export");
  }
  services_.env.log("ERROR: no file would be made; the run does not start");
  report_.withoutExport = std::move(documents);
  return RunOutcome::nothingToConvert;
}

}  // namespace morvane

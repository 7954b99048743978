// RunReporter: how a run ends. It fills the run's RunReport (counts,
// failed documents, a lost target folder) and shows the one alert that
// ends the run: success, cancelled or error with its report.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "engine/engine_services.h"
#include "engine/run_report.h"
#include "engine/script_service.h"
#include "engine/target_planner.h"

namespace morvane {

// The documents a failed execution names, each with why: those the
// service listed, else the one its fields name (or none, with an empty
// document), with the reason the service gave or its message.
std::vector<FailedDocument> failedDocumentsOf(const ScriptError& error);

class RunReporter {
 public:
  // All three outlive the reporter; `targets` tells whether the target
  // folder was lost.
  RunReporter(const EngineServices& services, RunReport& report, TargetPlanner& targets)
      : services_(services), report_(report), targets_(targets) {}

  // The script executed, and the report has its counts.
  RunOutcome succeeded();
  // The user cancelled; the error tells how many documents were converted
  // (its "converted" field).
  RunOutcome cancelled(const ScriptError& error, std::size_t planned);
  // The script could not be made or failed; `text` goes into the error
  // report where the service says so. A target folder removed as well is
  // named in the report.
  RunOutcome failed(const ScriptError& error, const std::string& text, std::size_t planned);
  // The target folder was removed during the run: the error alert names
  // it; what the script did, if it ran, stays in the counts.
  RunOutcome lostTarget();
  // The run makes no file at all, for want of exports of these documents:
  // it ends before it starts, without an alert.
  RunOutcome nothingToConvert(std::vector<DocumentWithoutExport> documents);

 private:
  const EngineServices& services_;
  RunReport& report_;
  TargetPlanner& targets_;
};

}  // namespace morvane

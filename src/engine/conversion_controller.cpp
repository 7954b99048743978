#include "engine/conversion_controller.h"

#include <vector>

#include "engine/export_formats.h"
#include "engine/target_paths.h"

namespace morvane {

ConversionController::ConversionController(MorvaneOptions& options, ScriptRunner& scriptRunner,
                                           EngineServices services)
    : options_(options), scriptRunner_(scriptRunner), services_(services) {}

RunOutcome ConversionController::runBatchConversion() {
  // Before any question: a run that would make no file does not start.
  RunForecast forecast = forecastRun(options_.fileList(), options_.exportClassFlags(),
                                     options_.copyNonconvertibleFiles());
  if (forecast.convertsNothing()) {
    return scriptRunner_.refuseNothingToConvert(std::move(forecast.withoutExport));
  }
  if (!chooseTargetFolder()) return RunOutcome::endedAtQuestion;
  if (!targetFolderIsUsable()) return RunOutcome::failed;
  if (!confirmStart()) return RunOutcome::endedAtQuestion;
  logStart();
  // Nothing changes the list during the walk: it runs without a turn of the
  // event loop. A cancel ends it between two items (or within a copy); the
  // runner then reports the run cancelled without executing anything.
  for (const NQFileDataObject& entry : options_.fileList()) {
    if (cancelled()) break;
    convertItem(entry);
  }
  return scriptRunner_.runConversions();
}

// True when a target folder is set, asking for one when it is not.
bool ConversionController::chooseTargetFolder() {
  AlertService& alerts = services_.alerts;
  if (!options_.targetFolder()) {
    const Alert noTarget = makeAlert(
        {"No target folder", "Alert title when no target is selected"},
        {"Please choose a target folder where the converted files should be stored",
         "Alert message when no target is selected"});
    if (alerts.runModal(noTarget) != kAlertFirstButtonReturn) return false;
    options_.setTargetFolder(alerts.showOpenTargetFolderPanel());
  }
  return options_.targetFolder().has_value();
}

// False, after the error alert, when the run could not write its outputs.
bool ConversionController::targetFolderIsUsable() {
  const Status usable = checkTargetFolder(services_.env, *options_.targetFolder());
  if (usable.ok()) return true;
  services_.env.log("ERROR: " + usable.message());
  runFailureAlert(services_.alerts, services_.version, usable.message(), usable.message());
  return false;
}

// Only a service that drives the user's own applications asks: closing
// their documents matters to it alone.
bool ConversionController::confirmStart() {
  if (!services_.scripts.drivesUserApplications()) return true;
  const Alert confirm = makeAlert(
      {"Before we start conversion", "Alert title before conversion starts"},
      {"Close all open documents in Pages, Numbers and Keynote. Confirm to continue…",
       "Alert message before conversion starts"});
  return services_.alerts.runModal(confirm) == kAlertFirstButtonReturn;
}

void ConversionController::logStart() {
  Env& env = services_.env;
  env.log("ConversionController: Now run the conversion…");
  if (options_.officeExport()) env.log("\tExport to Office");
  if (options_.iworkExport()) env.log("\tExport to iWork");
  if (options_.pdfExport()) env.log("\tExport to PDF");
}

void ConversionController::convertItem(const NQFileDataObject& entry) {
  Env& env = services_.env;
  const std::string path = entry.url.string();
  if (entry.isSpecial) {
    // Opening one to read could wait for ever (a FIFO without a writer).
    env.log("\t" + path +
            " is neither a regular file nor a folder (a FIFO, socket or device) => skipped");
  } else if (isIworkPackage(entry)) {
    env.log("\t" + path + " is a document package => convert");
    scriptRunner_.planConversion(entry);
  } else if (entry.isDir) {
    env.log("\t" + path + " is a folder => convert the contents");
    convertFolder(entry);
  } else if (entry.isFinderAlias(env)) {
    if (!options_.copyNonconvertibleFiles()) {
      env.log("\t" + path + " is an alias and will be skipped!!!");
      return;
    }
    env.log("\t" + path + " is an alias and will be copied!!!");
    copyToTarget(entry);
  } else if (isConvertible(entry)) {
    env.log("\t" + path + " is a convertible file => convert");
    scriptRunner_.planConversion(entry);
  } else if (options_.copyNonconvertibleFiles()) {
    copyToTarget(entry);
  }
}

void ConversionController::convertFolder(const NQFileDataObject& entry) {
  services_.env.log("\tconvertFolder for " + entry.url.string());
  if (!entry.dirContents) return;
  for (const NQFileDataObject& child : *entry.dirContents) {
    if (cancelled()) return;
    convertItem(child);
  }
}

bool ConversionController::isConvertible(const NQFileDataObject& entry) {
  const std::string ext = pathExtension(entry.url);
  services_.env.log("isConvertible? " + ext);
  return !entry.isDir && isConvertibleExtension(ext);
}

bool ConversionController::isIworkPackage(const NQFileDataObject& entry) {
  if (!entry.isDir) return false;
  const std::string ext = pathExtension(entry.url);
  return ext == "pages" || ext == "numbers" || ext == "key";
}

void ConversionController::copyToTarget(const NQFileDataObject& entry) {
  const std::string target = options_.targetFolder()->string();
  const std::string joined = lastComponents(entry.url, entry.dirLevel + 1);
  const fs::path location = target + "/" + joined;
  services_.env.log("\t" + entry.url.string() + " is a non-convertible file => copy to target: " +
                    location.string());
  scriptRunner_.createFolder(location.parent_path());
  if (!copyOnce(entry.url, location)) {
    services_.env.log("ERROR: could not copy file: " + entry.url.string() + " to : " + target +
                      "/" + joined);
  }
}

// Copies unless this run already writes at the location; records the copy
// as an output of the run, so that no later target takes its place.
bool ConversionController::copyOnce(const fs::path& from, const fs::path& location) {
  if (scriptRunner_.isTargetOfRun(location)) {
    services_.env.log("\t" + location.string() + " is already a target of this run => not copied");
    return false;
  }
  // A copy would fail there, or land in a folder made again in its place.
  if (scriptRunner_.lostTargetFolder()) return false;
  ScriptCancellation* cancellation = services_.cancellation;
  const StopRequested stop = [cancellation] {
    return cancellation != nullptr && cancellation->cancelled();
  };
  if (Status s = services_.env.copyItem(from, location, stop); !s.ok()) {
    if (s.message() == kCopyStopped) services_.env.log("\t" + from.string() + ": copy cancelled");
    return false;
  }
  scriptRunner_.addTargetOfRun(location);
  scriptRunner_.noteCopied();
  if (services_.fileWritten) services_.fileWritten(location);
  return true;
}

bool ConversionController::cancelled() const {
  return services_.cancellation != nullptr && services_.cancellation->cancelled();
}

}  // namespace morvane

#include "engine/script_runner.h"

#include "engine/export_formats.h"
#include "engine/target_paths.h"

namespace morvane {

ScriptRunner::ScriptRunner(MorvaneOptions& options, EngineServices services)
    : options_(options),
      services_(std::move(services)),
      targets_(options_, services_.env, report_),
      script_(tables_, services_.env),
      reporter_(services_, report_, targets_) {
  for (const std::string& app : tables_.applications) conversionConfigs_[app];
}

void ScriptRunner::planConversion(const NQFileDataObject& entry) {
  const std::string ext = pathExtension(entry.url);
  const bool creatorStudio = options_.useCreatorStudio();
  if (creatorStudio && !tables_.creatorStudioAppsForExtensions.contains(ext)) return;
  if (!tables_.appsForExtensions.contains(ext)) return;
  std::vector<std::string> formats = targets_.targetFormatsFor(entry);
  if (formats.empty()) {
    if (std::optional<MissingExport> missing = missingExport(ext, options_.exportClassFlags())) {
      services_.env.log("Not converting " + entry.url.string() +
                        ": the chosen formats give it no export");
      report_.withoutExport.push_back({entry.url.string(), std::move(*missing)});
    }
    return;
  }
  const std::string& app =
      (creatorStudio ? tables_.creatorStudioAppsForExtensions : tables_.appsForExtensions).at(ext);
  std::vector<fs::path> paths = targets_.targetPathsFor(entry, formats);
  const bool hadTargets = !paths.empty();
  targets_.settleTargets(entry, &paths, &formats);
  if (hadTargets && paths.empty()) {
    services_.env.log("Not converting " + entry.url.string() +
                      ": every target of it is a source document of this run");
    return;
  }
  script_.addRecord(
      conversionConfigs_.at(app).emplace_back(
          FileConversionConfig{entry, app, std::move(paths), std::move(formats)}));
}

RunOutcome ScriptRunner::runConversions() {
  if (targets_.lostTargetFolder()) return reporter_.lostTarget();
  return executeScript(composeScript());
}

RunOutcome ScriptRunner::executeScript(const std::string& text) {
  ScriptError error;
  ScriptCancellation* cancellation = services_.cancellation;
  if (cancellation != nullptr && cancellation->cancelled()) {  // while the run was planned
    cancellation->detach();
    return reporter_.cancelled(error, plannedDocuments());
  }
  std::unique_ptr<Script> script = services_.scripts.create(text, &error);
  if (!script) return reporter_.failed(error, text, plannedDocuments());
  if (options_.continueAfterFailure()) script->continueAfterFailures();
  if (services_.fileWritten) {
    script->reportWrittenFiles(
        [written = services_.fileWritten](const std::string& path) { written(path); });
  }
  if (cancellation != nullptr) cancellation->attach(script.get());
  ScriptExecutor* executor = services_.executor;
  const bool executed =
      executor != nullptr ? executor->execute(*script, &error) : script->execute(&error);
  if (cancellation != nullptr) cancellation->detach();
  if (!executed && error.cancelled) return reporter_.cancelled(error, plannedDocuments());
  if (!executed) return reporter_.failed(error, text, plannedDocuments());
  services_.env.log("did finish conversion");
  report_.converted = plannedDocuments();
  report_.planned = plannedDocuments();
  if (targets_.targetFolderLost()) return reporter_.lostTarget();
  return reporter_.succeeded();
}

std::size_t ScriptRunner::plannedDocuments() const {
  std::size_t documents = 0;
  for (const auto& [app, configs] : conversionConfigs_) documents += configs.size();
  return documents;
}

}  // namespace morvane

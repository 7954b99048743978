#include "engine/script_runner.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "engine/export_formats.h"
#include "engine/large_buffer.h"
#include "engine/target_paths.h"

namespace morvane {

ScriptRunner::ScriptRunner(MorvaneOptions& options, EngineServices services)
    : options_(options),
      services_(services),
      conversionConfigs_{{"Pages", {}},
                         {"Numbers", {}},
                         {"Keynote", {}},
                         {"Pages Creator Studio", {}},
                         {"Numbers Creator Studio", {}},
                         {"Keynote Creator Studio", {}}},
      appsForExtensions_{{"pages", "Pages"},     {"docx", "Pages"},    {"doc", "Pages"},
                         {"rtf", "Pages"},       {"key", "Keynote"},   {"pptx", "Keynote"},
                         {"ppt", "Keynote"},     {"numbers", "Numbers"}, {"xlsx", "Numbers"},
                         {"xls", "Numbers"}},
      creatorStudioAppsForExtensions_{
          {"pages", "Pages Creator Studio"},     {"docx", "Pages Creator Studio"},
          {"doc", "Pages Creator Studio"},       {"rtf", "Pages Creator Studio"},
          {"key", "Keynote Creator Studio"},     {"pptx", "Keynote Creator Studio"},
          {"ppt", "Keynote Creator Studio"},     {"numbers", "Numbers Creator Studio"},
          {"xlsx", "Numbers Creator Studio"},    {"xls", "Numbers Creator Studio"}},
      osaformatsForExtensions_{{"pages", "Pages Format"},   {"docx", "Microsoft Word"},
                               {"rtf", "Formatted Text"},   {"key", "Keynote Format"},
                               {"pptx", "Microsoft Powerpoint"}, {"numbers", "Numbers Format"},
                               {"xlsx", "Microsoft Excel"}, {"pdf", "PDF"}},
      exportFormats_(exportFormatTable()),
      iworkFormats_{"pages", "numbers", "key"} {}

void ScriptRunner::planConversion(const NQFileDataObject& entry) {
  const std::string ext = pathExtension(entry.url);
  const bool creatorStudio = options_.useCreatorStudio();
  if (creatorStudio && !creatorStudioAppsForExtensions_.contains(ext)) return;
  if (!appsForExtensions_.contains(ext)) return;
  std::vector<std::string> formats = targetFormatsFor(entry);
  if (formats.empty()) {
    if (std::optional<MissingExport> missing = missingExport(ext, options_.exportClassFlags())) {
      services_.env.log("Not converting " + entry.url.string() +
                        ": the chosen formats give it no export");
      report_.withoutExport.push_back({entry.url.string(), std::move(*missing)});
    }
    return;
  }
  const std::string& app =
      (creatorStudio ? creatorStudioAppsForExtensions_ : appsForExtensions_).at(ext);
  std::vector<fs::path> paths = targetPathsFor(entry, formats);
  const bool hadTargets = !paths.empty();
  dropSourcesOfRun(entry, &paths, &formats);
  if (hadTargets && paths.empty()) {
    services_.env.log("Not converting " + entry.url.string() +
                      ": every target of it is a source document of this run");
    return;
  }
  for (fs::path& path : paths) path = claimTarget(path);
  const FileConversionConfig& config =
      conversionConfigs_.at(app).emplace_back(
          FileConversionConfig{entry, app, std::move(paths), std::move(formats)});
  appendStatements(config, &planned_[app]);
}

// With the target folder among the sources, a target can be one of the
// user's own documents of this run: it is never written over.
void ScriptRunner::dropSourcesOfRun(const NQFileDataObject& entry, std::vector<fs::path>* paths,
                                    std::vector<std::string>* formats) {
  for (std::size_t i = paths->size(); i-- > 0;) {
    if (!isSourceOfRun((*paths)[i])) continue;
    services_.env.log("Skipping target " + (*paths)[i].string() + " of " + entry.url.string() +
                      ": it is a source document of this run and would be overwritten");
    report_.skippedExports.push_back({entry.url.string(), (*paths)[i].string()});
    paths->erase(paths->begin() + static_cast<std::ptrdiff_t>(i));
    formats->erase(formats->begin() + static_cast<std::ptrdiff_t>(i));
  }
}

// The planned location, or, when this run already writes there, the first
// numbered one ("Notes 2.docx", "Notes 3.docx", …) that is neither a target
// nor a source of the run. Records what it returns as a target of the run.
fs::path ScriptRunner::claimTarget(const fs::path& planned) {
  fs::path target = planned;
  if (isTargetOfRun(planned)) {
    int number = 2;
    do {
      target = numberedPath(planned, number++);
    } while (isTargetOfRun(target) || isSourceOfRun(target));
    services_.env.log("\t" + planned.string() + " is already a target of this run => " +
                      target.string());
  }
  addTargetOfRun(target);
  return target;
}

bool ScriptRunner::isTargetOfRun(const fs::path& location) const {
  return runTargets_.contains(location.native());
}

void ScriptRunner::addTargetOfRun(const fs::path& location) {
  runTargets_.insert(location.native());
}

// The record's statements go into its application's text while the record
// is at hand, so that composing the script later only joins those texts.
void ScriptRunner::appendStatements(const FileConversionConfig& config, PlannedScript* plan) {
  std::string& text = plan->statements;
  text += "  activate\n  open POSIX file ";
  appendScriptStringLiteral(text, config.file.url.native());
  text += '\n';
  const std::size_t n = std::min(config.targetPaths.size(), config.targetFormats.size());
  for (std::size_t i = 0; i < n; ++i) {
    const std::string& format = config.targetFormats[i];
    plan->targetFormats.push_back(format);
    const bool save =
        std::find(iworkFormats_.begin(), iworkFormats_.end(), format) != iworkFormats_.end();
    text += save ? "  save document 1 in POSIX file " : "  export document 1 to POSIX file ";
    appendScriptStringLiteral(text, config.targetPaths[i].native());
    if (!save) text.append(" as ").append(osaformatsForExtensions_.at(format));
    text += '\n';
  }
  text += "  close document 1\n";
}

std::vector<std::string> ScriptRunner::targetFormatsFor(const NQFileDataObject& entry) {
  std::vector<std::string> formats =
      exportTargets(pathExtension(entry.url), options_.exportClassFlags());
  std::string line;
  for (const std::string& f : formats) line += f;
  services_.env.log(line);
  return formats;
}

std::vector<fs::path> ScriptRunner::targetPathsFor(const NQFileDataObject& entry,
                                                   const std::vector<std::string>& formats) {
  std::vector<fs::path> paths;
  const std::string target = options_.targetFolder()->string();
  for (const std::string& f : formats) {
    std::string relative;
    if (options_.rebuildStruct()) {
      fs::path withoutExtension = entry.url.parent_path() / stripLastExtension(lastPathComponent(entry.url));
      relative = lastComponents(withoutExtension, entry.dirLevel + 1);
    } else {
      relative = stripLastExtension(lastPathComponent(entry.url));
    }
    fs::path location = target + "/" + relative + "." + f;
    createFolder(location.parent_path());
    paths.push_back(std::move(location));
  }
  return paths;
}

void ScriptRunner::createFolder(const fs::path& location) {
  if (lostTarget_) return;
  if (services_.env.stat(location).exists) {
    rememberTargetFolder();
    return;
  }
  if (targetFolderLost()) return;
  if (Status s = services_.env.createDirectories(location); !s.ok()) {
    services_.env.log("ERROR when trying to create folder at " + location.string() +
                      " LocalizedDescription: " + s.message());
  }
  rememberTargetFolder();
}

void ScriptRunner::rememberTargetFolder() {
  if (targetIdentity_ || !options_.targetFolder()) return;
  const FileInfo info = services_.env.stat(*options_.targetFolder());
  if (!info.exists || !info.isDir) return;
  targetIdentity_.emplace(info.device, info.inode);
  heldTarget_ = HeldFolder::open(*options_.targetFolder());
}

bool ScriptRunner::targetFolderLost() {
  if (lostTarget_) return true;
  if (!targetIdentity_) return false;
  const FileInfo info = services_.env.stat(*options_.targetFolder());
  const bool same = heldTarget_ ? heldTarget_->isAt(info)
                                : info.exists && info.isDir &&
                                      std::pair(info.device, info.inode) == *targetIdentity_;
  if (same) return false;
  lostTarget_ = *options_.targetFolder();
  services_.env.log("ERROR: " + lostTargetMessage());
  return true;
}

std::string ScriptRunner::lostTargetMessage() const {
  if (!lostTarget_) return {};
  return "The target folder " + lostTarget_->string() +
         " was removed during the run; it was not made again, and what the run wrote into it "
         "is gone";
}

// The run ends with the error alert naming the folder; what the script
// did, if it ran, stays in the counts below it.
RunOutcome ScriptRunner::reportLostTarget() {
  report_.lostTarget = lostTarget_->string();
  runFailureAlert(services_.alerts, services_.version, lostTargetMessage(), "", "", report_);
  return RunOutcome::failed;
}

bool ScriptRunner::isSourceOfRun(const fs::path& target) {
  const FileInfo info = services_.env.stat(target);
  if (!info.exists) return false;
  if (!sourceFiles_) {
    sourceFiles_.emplace();
    std::function<void(const std::vector<NQFileDataObject>&)> gather =
        [&](const std::vector<NQFileDataObject>& entries) {
          for (const NQFileDataObject& e : entries) {
            if (e.dirContents) {
              gather(*e.dirContents);
            } else if (FileInfo s = services_.env.stat(e.url); s.exists) {
              sourceFiles_->emplace(s.device, s.inode);
            }
          }
        };
    gather(options_.fileList());
  }
  return sourceFiles_->contains({info.device, info.inode});
}

std::string ScriptRunner::composeScript() const {
  std::size_t size = 0;
  for (const auto& [app, plan] : planned_) size += 64 + app.size() + plan.statements.size();
  std::string text;
  reserveLargeBuffer(text, size);
  std::string line;  // reused for the log lines, so they cost no allocation
  for (const auto& [app, configs] : conversionConfigs_) {
    if (configs.empty()) continue;
    const PlannedScript& plan = planned_.at(app);
    for (const std::string& format : plan.targetFormats) {
      line.assign("export to file format: ").append(format);
      services_.env.log(line);
    }
    text += "tell application ";
    appendScriptStringLiteral(text, "/Applications/" + app + ".app");
    text += '\n';
    text += plan.statements;
    text += "  quit\nend tell\n";
  }
  return text;
}

RunOutcome ScriptRunner::runConversions() {
  if (lostTarget_) return reportLostTarget();
  return executeScript(composeScript());
}

RunOutcome ScriptRunner::executeScript(const std::string& text) {
  ScriptError error;
  ScriptCancellation* cancellation = services_.cancellation;
  if (cancellation != nullptr && cancellation->cancelled()) {  // while the run was planned
    cancellation->detach();
    return reportCancel(error);
  }
  std::unique_ptr<Script> script = services_.scripts.create(text, &error);
  if (!script) return reportFailure(error, text);
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
  if (!executed && error.cancelled) return reportCancel(error);
  if (!executed) return reportFailure(error, text);
  services_.env.log("did finish conversion");
  report_.converted = plannedDocuments();
  report_.planned = plannedDocuments();
  if (targetFolderLost()) return reportLostTarget();
  Alert success =
      makeResultAlert(AlertKind::success, {"Success", "Alert title when conversion completed successfully"},
                      {"Did complete conversion.", "Alert message when conversion completed"});
  success.report = report_;
  services_.alerts.runModal(success);
  return RunOutcome::succeeded;
}

std::size_t ScriptRunner::plannedDocuments() const {
  std::size_t documents = 0;
  for (const auto& [app, configs] : conversionConfigs_) documents += configs.size();
  return documents;
}

RunOutcome ScriptRunner::reportCancel(const ScriptError& error) {
  services_.env.log("conversion cancelled");
  report_.converted = error.converted.value_or(0);
  report_.planned = plannedDocuments();
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

std::vector<FailedDocument> failedDocumentsOf(const ScriptError& error) {
  if (!error.failedDocuments.empty()) return error.failedDocuments;
  std::string document, message;
  for (const auto& [key, value] : error.info) {
    // Where in the script it failed means nothing to the user.
    if (key == "application" || key == "statement" || key == "line" || key == "details") continue;
    if (key == "document") {
      document = value;
    } else if (key == "message" || message.empty()) {
      message = value;
    }
  }
  FailureReason reason = error.reason ? *error.reason : FailureReason{FailureKind::unexplained, message};
  return {{document, std::move(reason)}};
}

RunOutcome ScriptRunner::reportFailure(const ScriptError& error, const std::string& text) {
  const std::string description = error.description();
  services_.env.log("AppleScript ERROR:\n " + description);
  report_.converted = error.converted.value_or(0);
  report_.planned = plannedDocuments();
  report_.failed = failedDocumentsOf(error);
  if (targetFolderLost()) report_.lostTarget = lostTarget_->string();
  runFailureAlert(services_.alerts, services_.version,
                  errorReportFor(error, text, services_.scripts.drivesUserApplications()), "", "",
                  report_);
  return RunOutcome::failed;
}

RunOutcome ScriptRunner::refuseNothingToConvert(std::vector<DocumentWithoutExport> documents) {
  for (const DocumentWithoutExport& d : documents) {
    services_.env.log("Not converting " + d.document + ": the chosen formats give it no export");
  }
  services_.env.log("ERROR: no file would be made; the run does not start");
  report_.withoutExport = std::move(documents);
  return RunOutcome::nothingToConvert;
}

namespace {

bool needsEscape(char c) { return c == '\\' || c == '"' || c == '\n' || c == '\r' || c == '\t'; }

// True when one of the eight bytes of `word` may need an escape: every
// such byte is below 0x23 (tab, line feed, return, double quote) or a
// backslash (0x5C). May answer true for a word without one, never false
// for a word with one.
bool wordMayNeedEscape(std::uint64_t word) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
  const std::uint64_t below = (word - kOnes * 0x23) & ~word;
  const std::uint64_t backslash = word ^ (kOnes * 0x5C);
  return ((below | ((backslash - kOnes) & ~backslash)) & kHighBits) != 0;
}

// The length of the leading run of `text` that needs no escape, looked
// at eight bytes at a time (paths rarely hold a character to escape).
std::size_t plainRun(const char* text, std::size_t size) {
  std::size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    std::uint64_t word;
    std::memcpy(&word, text + i, sizeof word);
    if (wordMayNeedEscape(word)) break;
  }
  while (i < size && !needsEscape(text[i])) ++i;
  return i;
}

}  // namespace

void appendScriptStringLiteral(std::string& out, std::string_view text) {
  out += '"';
  while (!text.empty()) {
    const std::size_t plain = plainRun(text.data(), text.size());
    out.append(text.substr(0, plain));
    if (plain == text.size()) break;
    switch (text[plain]) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += "\\t"; break;
    }
    text.remove_prefix(plain + 1);
  }
  out += '"';
}

std::string scriptStringLiteral(std::string_view text) {
  std::string literal;
  appendScriptStringLiteral(literal, text);
  return literal;
}

}  // namespace morvane

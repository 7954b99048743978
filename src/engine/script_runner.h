// ScriptRunner: one run's format tables, its planned conversions grouped
// by application, and the composition and execution of the run's single
// automation script. Made anew for every run and dropped after it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "engine/alerts.h"
#include "engine/run_report.h"
#include "engine/script_service.h"
#include "platform/env.h"
#include "filelist/held_folder.h"
#include "filelist/nq_file_data_object.h"
#include "options/morvane_options.h"
#include "options/system_version.h"

namespace morvane {

// The services a run uses; all outlive the run.
struct EngineServices {
  Env& env;
  ScriptService& scripts;
  AlertService& alerts;
  const SystemVersion& version;
  // Reaches the script while it executes, for a front end's Cancel; none:
  // the run cannot be cancelled.
  ScriptCancellation* cancellation = nullptr;
  // Executes the script while the front end goes on; none: at once.
  ScriptExecutor* executor = nullptr;
  // Told each file the run has written (exports and copies) once it is
  // complete in its place; may be called from the script service's
  // threads. None: nobody asks.
  std::function<void(const fs::path&)> fileWritten = {};
};

// One planned conversion: the entry, its application, and its targets
// (targetPaths[i] gets the format targetFormats[i]).
struct FileConversionConfig {
  NQFileDataObject file;
  std::string app;
  std::vector<fs::path> targetPaths;
  std::vector<std::string> targetFormats;
};

using StringMap = std::map<std::string, std::string>;

// The documents a failed execution names, each with why: those the
// service listed, else the one its fields name (or none, with an empty
// document), with the reason the service gave or its message.
std::vector<FailedDocument> failedDocumentsOf(const ScriptError& error);

class ScriptRunner {
 public:
  ScriptRunner(MorvaneOptions& options, EngineServices services);

  const std::map<std::string, std::vector<FileConversionConfig>>& conversionConfigs() const {
    return conversionConfigs_;
  }
  const StringMap& appsForExtensions() const { return appsForExtensions_; }
  const StringMap& creatorStudioAppsForExtensions() const {
    return creatorStudioAppsForExtensions_;
  }
  const StringMap& osaformatsForExtensions() const { return osaformatsForExtensions_; }
  const std::map<std::string, StringMap>& exportFormats() const { return exportFormats_; }
  const std::vector<std::string>& iworkFormats() const { return iworkFormats_; }

  // Appends one record under the entry's application, unless its extension
  // is in no table. A document that the export classes give no target is
  // not planned: it goes into the report's withoutExport. Creates the
  // target folders. A target that is one of
  // the run's own source documents is left out of the record (logged and
  // counted in the report's skippedExports); a document that loses every
  // target so is not planned at all. A target that an earlier record or
  // copy of this run already took gets the first free number before its
  // extension (logged), so that no output of the run writes over another.
  void planConversion(const NQFileDataObject& entry);

  // Whether a location is already written by this run: a planned target
  // or a copy made. Files that were there before the run do not count.
  bool isTargetOfRun(const fs::path& location) const;
  // Records a location this run has written (a copy).
  void addTargetOfRun(const fs::path& location);

  // The target extensions of the export classes that are on; logs them.
  std::vector<std::string> targetFormatsFor(const NQFileDataObject& entry);

  // One target location per format, in order; creates each one's folder.
  std::vector<fs::path> targetPathsFor(const NQFileDataObject& entry,
                                       const std::vector<std::string>& formats);

  // Creates the folder with its parents unless something exists there.
  // A failure is logged, never returned. Once the target folder has been
  // there during this run, it is never made again: when it is gone (or
  // another folder took its place) nothing is created, and the run
  // remembers it as lost.
  void createFolder(const fs::path& location);

  // The target folder, when it was removed during the run (seen by
  // createFolder or at the end of the script). A run with a lost target
  // folder ends with the error alert naming it.
  const std::optional<fs::path>& lostTargetFolder() const { return lostTarget_; }

  // The script text for everything planned so far; logs each target's
  // format. Planning has already written each record's statements, so
  // this joins them under their tell blocks.
  std::string composeScript() const;

  // Composes the script and executes it; succeeded or failed. A target
  // folder lost while planning fails the run before anything executes.
  RunOutcome runConversions();

  // A non-convertible file was copied into the target.
  void noteCopied() { ++report_.copied; }
  // What the run did (the last executed script, the walk before it).
  const RunReport& report() const { return report_; }
  // The run makes no file at all, for want of exports of these documents:
  // it ends before it starts, without an alert (the front end tells why).
  RunOutcome refuseNothingToConvert(std::vector<DocumentWithoutExport> documents);

  // Executes the text and ends the run with the success or error alert; a
  // run cancelled before (during its walk) executes nothing and ends with
  // the cancel alert; a target folder removed while the script ran makes
  // it the error alert.
  RunOutcome executeScript(const std::string& text);

 private:
  // One application's statements as planned, and the target formats in
  // their order, for the log lines of composition.
  struct PlannedScript {
    std::string statements;
    std::vector<std::string> targetFormats;
  };

  bool isSourceOfRun(const fs::path& target);
  void dropSourcesOfRun(const NQFileDataObject& entry, std::vector<fs::path>* paths,
                        std::vector<std::string>* formats);
  fs::path claimTarget(const fs::path& planned);
  void appendStatements(const FileConversionConfig& config, PlannedScript* plan);
  RunOutcome reportFailure(const ScriptError& error, const std::string& text);
  // Holds the target folder the first time it is there; later looks
  // compare against it.
  void rememberTargetFolder();
  // True when the remembered target folder is gone or was replaced; sets
  // lostTarget_ and logs it the first time.
  bool targetFolderLost();
  std::string lostTargetMessage() const;
  RunOutcome reportLostTarget();
  // The alert of a cancelled run, with how many documents were converted
  // (the error's "converted" field).
  RunOutcome reportCancel(const ScriptError& error);
  std::size_t plannedDocuments() const;

  MorvaneOptions& options_;
  EngineServices services_;
  std::map<std::string, std::vector<FileConversionConfig>> conversionConfigs_;
  StringMap appsForExtensions_;
  StringMap creatorStudioAppsForExtensions_;
  StringMap osaformatsForExtensions_;
  std::map<std::string, StringMap> exportFormats_;
  std::vector<std::string> iworkFormats_;
  std::map<std::string, PlannedScript> planned_;
  // Device and inode of every file of the run's list, gathered the first
  // time a planned target already exists.
  std::optional<std::set<std::pair<std::uint64_t, std::uint64_t>>> sourceFiles_;
  // Every location this run writes (planned targets, copies made), as text.
  std::unordered_set<std::string> runTargets_;
  // The target folder once it was there: held open (so that one made
  // again under its name is told apart), and its device and inode, for
  // a folder that cannot be opened.
  std::optional<std::pair<std::uint64_t, std::uint64_t>> targetIdentity_;
  std::optional<HeldFolder> heldTarget_;
  std::optional<fs::path> lostTarget_;
  RunReport report_;
};

// A path as one string literal of the script: between double quotes, with
// backslash, double quote, line feed, carriage return and tab escaped.
std::string scriptStringLiteral(std::string_view text);
void appendScriptStringLiteral(std::string& out, std::string_view text);

}  // namespace morvane

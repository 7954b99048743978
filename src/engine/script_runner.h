// ScriptRunner: one run's planned conversions grouped by application, and
// the execution of the run's single automation script. Made anew for every
// run and dropped after it. It plans with the tables (ConversionTables),
// the target planning (TargetPlanner) and the script text
// (ScriptComposer), and ends the run through its report (RunReporter).
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/conversion_tables.h"
#include "engine/engine_services.h"
#include "engine/run_report.h"
#include "engine/run_reporter.h"
#include "engine/script_composer.h"
#include "engine/target_planner.h"
#include "filelist/nq_file_data_object.h"
#include "options/morvane_options.h"

namespace morvane {

class ScriptRunner {
 public:
  ScriptRunner(MorvaneOptions& options, EngineServices services);
  // Its parts refer to each other: it stays where it was made.
  ScriptRunner(const ScriptRunner&) = delete;
  ScriptRunner& operator=(const ScriptRunner&) = delete;

  const std::map<std::string, std::vector<FileConversionConfig>>& conversionConfigs() const {
    return conversionConfigs_;
  }
  const StringMap& appsForExtensions() const { return tables_.appsForExtensions; }
  const StringMap& creatorStudioAppsForExtensions() const {
    return tables_.creatorStudioAppsForExtensions;
  }
  const StringMap& osaformatsForExtensions() const { return tables_.osaformatsForExtensions; }
  const std::map<std::string, StringMap>& exportFormats() const { return tables_.exportFormats; }
  const std::vector<std::string>& iworkFormats() const { return tables_.iworkFormats; }

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
  bool isTargetOfRun(const fs::path& location) const { return targets_.isTargetOfRun(location); }
  // Records a location this run has written (a copy).
  void addTargetOfRun(const fs::path& location) { targets_.addTargetOfRun(location); }

  // The target extensions of the export classes that are on; logs them.
  std::vector<std::string> targetFormatsFor(const NQFileDataObject& entry) {
    return targets_.targetFormatsFor(entry);
  }

  // One target location per format, in order; creates each one's folder.
  std::vector<fs::path> targetPathsFor(const NQFileDataObject& entry,
                                       const std::vector<std::string>& formats) {
    return targets_.targetPathsFor(entry, formats);
  }

  // Creates the folder with its parents unless something exists there.
  // A failure is logged, never returned. Once the target folder has been
  // there during this run, it is never made again: when it is gone (or
  // another folder took its place) nothing is created, and the run
  // remembers it as lost.
  void createFolder(const fs::path& location) { targets_.createFolder(location); }

  // The target folder, when it was removed during the run (seen by
  // createFolder or at the end of the script). A run with a lost target
  // folder ends with the error alert naming it.
  const std::optional<fs::path>& lostTargetFolder() const { return targets_.lostTargetFolder(); }

  // The script text for everything planned so far; logs each target's
  // format. Planning has already written each record's statements, so
  // this joins them under their tell blocks.
  std::string composeScript() const { return script_.compose(); }

  // Composes the script and executes it; succeeded or failed. A target
  // folder lost while planning fails the run before anything executes.
  RunOutcome runConversions();

  // A non-convertible file was copied into the target.
  void noteCopied() { ++report_.copied; }
  // What the run did (the last executed script, the walk before it).
  const RunReport& report() const { return report_; }
  // The run makes no file at all, for want of exports of these documents:
  // it ends before it starts, without an alert (the front end tells why).
  RunOutcome refuseNothingToConvert(std::vector<DocumentWithoutExport> documents) {
    return reporter_.nothingToConvert(std::move(documents));
  }

  // Executes the text and ends the run with the success or error alert; a
  // run cancelled before (during its walk) executes nothing and ends with
  // the cancel alert; a target folder removed while the script ran makes
  // it the error alert.
  RunOutcome executeScript(const std::string& text);

 private:
  std::size_t plannedDocuments() const;

  MorvaneOptions& options_;
  EngineServices services_;
  const ConversionTables tables_;
  std::map<std::string, std::vector<FileConversionConfig>> conversionConfigs_;
  RunReport report_;
  TargetPlanner targets_;
  ScriptComposer script_;
  RunReporter reporter_;
};

}  // namespace morvane

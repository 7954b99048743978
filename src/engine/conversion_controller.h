// ConversionController: carries out one press of Run. It makes sure a
// target folder is set and can be written, asks for confirmation where the
// script service drives the user's own applications, walks
// the file list depth first (planning convertible files, copying or
// skipping the others) and has the ScriptRunner compose and execute the
// run's one script.
#pragma once

#include "engine/script_runner.h"
#include "filelist/nq_file_data_object.h"
#include "options/morvane_options.h"

namespace morvane {

class ConversionController {
 public:
  // All references must outlive the controller; it is used for one run.
  ConversionController(MorvaneOptions& options, ScriptRunner& scriptRunner,
                       EngineServices services);

  // The whole run: target folder (asked for when unset, then checked),
  // confirmation (only when the script service drives the user's own
  // applications), walk, script, result alert. Returns how the run ended;
  // a target folder that cannot be written ends it as failed with the
  // error alert before anything is planned or created. A list of which no
  // file at all would be made, for want of exports in the chosen formats,
  // ends it first, without a question or an alert: nothingToConvert, the
  // documents in the runner's report.
  RunOutcome runBatchConversion();

  // One entry: a document package or a convertible file is planned, a
  // folder walked, an alias copied or skipped, a special file (FIFO,
  // socket, device) skipped with a line, anything else copied or left.
  void convertItem(const NQFileDataObject& entry);
  void convertFolder(const NQFileDataObject& entry);

  // True for a file whose extension is, exactly, one of pages, numbers,
  // key, docx, xlsx or pptx. Logs the extension it looked at.
  bool isConvertible(const NQFileDataObject& entry);

  // True for a folder named like an iWork document (Report.pages/): a
  // document saved as a package, converted as one rather than walked.
  static bool isIworkPackage(const NQFileDataObject& entry);

  // Copies the entry's file below the target folder, keeping its folder
  // structure below the root-level folder. Never overwrites, neither a file
  // that was there nor another output of this run, and copies nothing once
  // the target folder was removed during the run. A failure is logged.
  void copyToTarget(const NQFileDataObject& entry);

 private:
  bool chooseTargetFolder();
  bool targetFolderIsUsable();
  bool confirmStart();
  void logStart();
  bool copyOnce(const fs::path& from, const fs::path& location);
  // The front end has cancelled the run.
  bool cancelled() const;

  MorvaneOptions& options_;
  ScriptRunner& scriptRunner_;
  EngineServices services_;
};

}  // namespace morvane

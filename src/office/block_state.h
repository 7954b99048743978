// BlockState: the statements of a tell block carried out on a lane's
// worker process, one document at a time, with the documents they have
// open; and how a failed statement is told, naming the application, the
// statement, its line and the document.
#pragma once

#include <string>
#include <vector>

#include "engine/script_service.h"
#include "office/document_census.h"
#include "office/in_order_committer.h"
#include "office/lane_process.h"
#include "office/script_parser.h"
#include "office/target_folders.h"

namespace morvane {

// The LibreOffice export format ("pdf", "docx", ...) for a format name of
// the script, given the kind of document open; empty when LibreOffice
// cannot write it.
std::string officeFormatFor(const std::string& formatName);

// The document kind ("text", "spreadsheet", "presentation") that an
// application of the script takes; empty for an unknown application.
std::string documentKindFor(const std::string& application);

// The error of a failed statement of `tell`, naming the application, the
// statement, its line, the document (`document`, or the one the statement
// is for when empty), the message and the details behind it, if any.
ScriptError describeStatement(const TellBlock& tell, const ScriptStatement& st,
                              std::string document, const Status& failure);

class BlockState {
 public:
  BlockState(const TellBlock& tell, const OfficeConfig& config, LaneProcess& process,
             TargetFolders& folders)
      : tell_(tell), config_(config), process_(process), folders_(folders) {}

  // Runs one statement. Exports are left in *pending under their temporary
  // names, for the committer to rename over their targets.
  Status run(const ScriptStatement& st, std::vector<PendingExport>* pending);

  // After a failed document, when the run goes on: a process that ended
  // is dropped (the next statement starts another), a living one closes
  // what the failed document left open.
  void abandonDocument();

  ScriptError describe(const ScriptStatement& st, const Status& failure) const {
    return describeStatement(tell_, st, documents_.empty() ? std::string() : documents_.back(),
                             failure);
  }

 private:
  OfficeWorker* worker() const { return process_.current(); }

  Status open(const std::string& path);
  Status inspect(const std::string& path, std::string* loadable, IworkContent* expected);
  Status inspectionFailure(const std::string& application, const Status& failure) const;
  Status close();
  Status save(const std::string& target);
  Status exportTo(const ScriptStatement& statement, std::vector<PendingExport>* pending);

  const TellBlock& tell_;
  const OfficeConfig& config_;
  LaneProcess& process_;
  TargetFolders& folders_;
  std::vector<std::string> documents_;  // open documents, document 1 last
};

}  // namespace morvane

// OfficeScriptService: runs the engine's automation script with
// LibreOffice. The documents of a tell block are shared out among up to
// `workers` OfficeWorkers; the outcome is that of carrying out the
// statements in order: the first one that fails ends the run, with an
// error naming the application, the statement, the document and the
// reason, and no export after it lands. Exports are written under a
// temporary name beside the target and renamed over it only when complete.
#pragma once

#include <functional>
#include <string>

#include "engine/script_service.h"
#include "office/office_worker.h"

namespace morvane {

// Told before each statement: how many of the script's statements are
// done, how many there are, and the one about to run; and how many of its
// documents have been opened, of how many, with the last one's path.
struct ScriptProgress {
  std::size_t done = 0;
  std::size_t total = 0;
  std::string statement;
  std::size_t documentsOpened = 0;
  std::size_t documentsTotal = 0;
  std::string document;
};
using ProgressObserver = std::function<void(const ScriptProgress&)>;

class OfficeScriptService : public ScriptService {
 public:
  explicit OfficeScriptService(OfficeConfig config, ProgressObserver progress = {});
  std::unique_ptr<Script> create(const std::string& source, ScriptError* error) override;

 private:
  OfficeConfig config_;
  ProgressObserver progress_;
};

// The LibreOffice export format ("pdf", "docx", ...) for a format name of
// the script, given the kind of document open; empty when LibreOffice
// cannot write it.
std::string officeFormatFor(const std::string& formatName);

// The document kind ("text", "spreadsheet", "presentation") that an
// application of the script takes; empty for an unknown application.
std::string documentKindFor(const std::string& application);

}  // namespace morvane

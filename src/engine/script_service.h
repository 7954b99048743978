// ScriptService: runs the one automation script of a run. It creates a
// script from its text, executes it to the end or to the first failing
// statement, and describes what went wrong. Implementations: the office
// service (LibreOffice) and osascript; tests use a recording fake.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/failure_reason.h"
#include "platform/thread_annotations.h"

namespace morvane {

// A document that failed, and why.
struct FailedDocument {
  std::string document;
  FailureReason reason;
  bool operator==(const FailedDocument& other) const {
    return document == other.document && reason.sentence == other.reason.sentence;
  }
};

// What a failed creation or execution reports: named fields, in order.
struct ScriptError {
  std::vector<std::pair<std::string, std::string>> info;
  bool cancelled = false;  // the run was cancelled, nothing failed
  // With continueAfterFailures: every document that failed, with why.
  std::vector<FailedDocument> failedDocuments = {};
  // Why the failing statement failed, where the service knows more than
  // the "message" field says.
  std::optional<FailureReason> reason = std::nullopt;
  // Documents whose exports all landed before the end, where the service
  // counts them.
  std::optional<std::size_t> converted = std::nullopt;

  // The whole record as readable text, one "key = value;" line per field.
  std::string description() const;
};

class Script {
 public:
  virtual ~Script() = default;
  // Blocks until the script has ended; an error when a statement failed
  // or the script was cancelled (error->cancelled).
  virtual bool execute(ScriptError* error) = 0;
  // Ends a running execution as soon as it can, keeping what is complete.
  // May be called from any thread, before or during execute.
  virtual void cancel() {}
  // From now on a failed document is recorded and the next one goes on;
  // execute then fails at the end, listing them (failedDocuments). A
  // service that cannot do that stops at the first failure.
  virtual void continueAfterFailures() {}
  // From now on each file the script writes is told by its path once it
  // is complete in its place, from whichever thread wrote it. A service
  // that cannot tell says nothing.
  virtual void reportWrittenFiles(std::function<void(const std::string& path)> written) {
    (void)written;
  }
};

// How a run waits for its script: a front end that must keep its window
// alive executes it elsewhere and returns when it has ended. Without one
// the runner calls Script::execute itself.
class ScriptExecutor {
 public:
  virtual ~ScriptExecutor() = default;
  virtual bool execute(Script& script, ScriptError* error) = 0;
};

// Lets a front end cancel a run: the runner attaches its script while it
// executes; cancel() reaches it, or the next one attached; detaching starts
// afresh. Before the script, the run's walk looks at cancelled() between
// its items and its copies between their chunks, and a run cancelled by
// then executes no script. Thread-safe.
class ScriptCancellation {
 public:
  void cancel() EXCLUDES(mutex_);
  bool cancelled() const EXCLUDES(mutex_);
  // Returns true when there is a script to cancel (one is executing).
  bool running() const EXCLUDES(mutex_);

  void attach(Script* script) EXCLUDES(mutex_);
  void detach() EXCLUDES(mutex_);

 private:
  // Held while the attached script is told to cancel, so that detach()
  // does not return while cancel() still reaches the script.
  mutable Mutex mutex_;
  Script* script_ GUARDED_BY(mutex_) = nullptr;
  bool cancelled_ GUARDED_BY(mutex_) = false;
};

class ScriptService {
 public:
  virtual ~ScriptService() = default;
  // Null when the text is not a script the service can run; *error then
  // says why.
  virtual std::unique_ptr<Script> create(const std::string& source, ScriptError* error) = 0;
  // True when the script drives applications that hold the user's own
  // open documents (osascript's Pages, Numbers, Keynote), so that the user
  // must close them before a run. A service that works in processes of
  // its own (the LibreOffice workers) answers false.
  virtual bool drivesUserApplications() const { return false; }
};

}  // namespace morvane

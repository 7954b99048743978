#include "office/osascript_service.h"

#include <sys/wait.h>

#include <filesystem>

#include "platform/subprocess.h"
#include "platform/thread_annotations.h"

namespace morvane {

namespace {

// The system's temporary folder, or /tmp where TMPDIR names nothing usable
// (what TMPDIR says, not the file system: no Env call).
std::filesystem::path temporaryFolder() {
  std::error_code ec;
  std::filesystem::path folder = std::filesystem::temp_directory_path(ec);
  return ec ? std::filesystem::path("/tmp") : folder;
}

class OsascriptScript : public Script {
 public:
  OsascriptScript(std::string program, std::string source, Env& env, ProcessLauncher& launcher)
      : program_(std::move(program)), source_(std::move(source)), env_(env), launcher_(launcher) {}

  bool execute(ScriptError* error) override {
    std::filesystem::path errPath;
    if (!env_.makeUniqueFile(temporaryFolder(), "morvane-osascript-", &errPath).ok()) {
      return fail(error, "cannot create a temporary file", -1);
    }
    std::unique_ptr<ChildProcess> process;
    Status s = launcher_.start({program_, "-"}, errPath.string(), &process);
    int status = -1;
    if (s.ok()) {
      MutexLock lock(mutex_);
      process_ = process.get();
      if (cancelled_) process_->abort();
    }
    if (s.ok()) {
      s = process->write(source_);
      process->closeInput();
      std::string output;  // the script's result, which is not used
      process->readAll(std::chrono::hours(24), &output);
      status = process->finish(std::chrono::seconds(5));
      MutexLock lock(mutex_);
      process_ = nullptr;
    }
    std::string message;  // osascript's standard error
    env_.readFile(errPath, &message);
    env_.removeFile(errPath);
    if (!s.ok()) return fail(error, s.message(), -1);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
    if (isCancelled()) {
      fail(error, "the conversion was cancelled", -1);
      error->cancelled = true;
      return false;
    }
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
    if (message.empty()) message = "osascript " + Subprocess::describeStatus(status);
    return fail(error, message, status);
  }

  // Ends the osascript process (and what it started) at once.
  void cancel() override EXCLUDES(mutex_) {
    MutexLock lock(mutex_);
    cancelled_ = true;
    if (process_ != nullptr) process_->abort();
  }

 private:
  bool isCancelled() EXCLUDES(mutex_) {
    MutexLock lock(mutex_);
    return cancelled_;
  }

  static bool fail(ScriptError* error, const std::string& message, int status) {
    error->info = {{"message", message}};
    if (status >= 0) error->info.emplace_back("status", Subprocess::describeStatus(status));
    return false;
  }

  std::string program_;
  std::string source_;
  Env& env_;
  ProcessLauncher& launcher_;
  Mutex mutex_;  // against cancel() from another thread
  ChildProcess* process_ GUARDED_BY(mutex_) = nullptr;
  bool cancelled_ GUARDED_BY(mutex_) = false;
};

}  // namespace

OsascriptService::OsascriptService(std::string program, Env& env, ProcessLauncher& launcher)
    : program_(std::move(program)), env_(env), launcher_(launcher) {}

std::unique_ptr<Script> OsascriptService::create(const std::string& source, ScriptError*) {
  return std::make_unique<OsascriptScript>(program_, source, env_, launcher_);
}

}  // namespace morvane

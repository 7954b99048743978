#include "office/osascript_service.h"

#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

#include "platform/subprocess.h"

namespace morvane {

namespace {

// The system's temporary folder, or /tmp where TMPDIR names nothing usable.
std::filesystem::path temporaryFolder() {
  std::error_code ec;
  std::filesystem::path folder = std::filesystem::temp_directory_path(ec);
  return ec ? std::filesystem::path("/tmp") : folder;
}

class OsascriptScript : public Script {
 public:
  OsascriptScript(std::string program, std::string source)
      : program_(std::move(program)), source_(std::move(source)) {}

  bool execute(ScriptError* error) override {
    std::string errPath =
        (temporaryFolder() / "morvane-osascript-XXXXXX").string();
    const int errFd = mkstemp(errPath.data());
    if (errFd < 0) return fail(error, "cannot create a temporary file", -1);
    ::close(errFd);
    std::unique_ptr<Subprocess> process;
    Status s = Subprocess::start({program_, "-"}, errPath, &process);
    int status = -1;
    if (s.ok()) {
      std::lock_guard lock(mutex_);
      process_ = process.get();
      if (cancelled_) process_->abort();
    }
    if (s.ok()) {
      s = process->write(source_);
      process->closeInput();
      std::string output;  // the script's result, which is not used
      process->readAll(std::chrono::hours(24), &output);
      status = process->finish(std::chrono::seconds(5));
      std::lock_guard lock(mutex_);
      process_ = nullptr;
    }
    std::ifstream errFile(errPath);
    std::stringstream stderrText;
    stderrText << errFile.rdbuf();
    std::filesystem::remove(errPath);
    if (!s.ok()) return fail(error, s.message(), -1);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
    if (isCancelled()) {
      fail(error, "the conversion was cancelled", -1);
      error->cancelled = true;
      return false;
    }
    std::string message = stderrText.str();
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
    if (message.empty()) message = "osascript " + Subprocess::describeStatus(status);
    return fail(error, message, status);
  }

  // Ends the osascript process (and what it started) at once.
  void cancel() override {
    std::lock_guard lock(mutex_);
    cancelled_ = true;
    if (process_ != nullptr) process_->abort();
  }

 private:
  bool isCancelled() {
    std::lock_guard lock(mutex_);
    return cancelled_;
  }

  static bool fail(ScriptError* error, const std::string& message, int status) {
    error->info = {{"message", message}};
    if (status >= 0) error->info.emplace_back("status", Subprocess::describeStatus(status));
    return false;
  }

  std::string program_;
  std::string source_;
  std::mutex mutex_;  // guards process_ and cancelled_ against cancel()
  Subprocess* process_ = nullptr;
  bool cancelled_ = false;
};

}  // namespace

OsascriptService::OsascriptService(std::string program) : program_(std::move(program)) {}

std::unique_ptr<Script> OsascriptService::create(const std::string& source, ScriptError*) {
  return std::make_unique<OsascriptScript>(program_, source);
}

}  // namespace morvane

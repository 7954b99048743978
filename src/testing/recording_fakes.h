// Recording fakes for the engine's services: an Env on the real file
// system that records diagnostic lines and fails chosen operations, an
// alert service and a script service that record what they were asked
// and answer as the test says.
#pragma once

#include <deque>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/alerts.h"
#include "engine/script_service.h"
#include "platform/env.h"
#include "options/system_version.h"
#include "platform/real_env.h"

namespace morvane::testing {

class RecordingEnv : public RealEnv {
 public:
  void log(std::string_view line) override { lines.emplace_back(line); }
  Status listDirectory(const fs::path& dir, std::vector<DirectoryItem>* out) override;
  Status createDirectories(const fs::path& dir) override;
  Status copyItem(const fs::path& from, const fs::path& to,
                  const StopRequested& stop = {}) override;
  bool isFinderAlias(const fs::path& path) override;

  // Lines logged so far that contain `text`.
  std::vector<std::string> linesContaining(const std::string& text) const;

  std::vector<std::string> lines;
  std::set<fs::path> unlistable;      // listDirectory fails for these
  std::set<fs::path> uncreatable;     // createDirectories fails for these
  std::set<fs::path> uncopyable;      // copyItem fails for these sources
  std::set<fs::path> aliases;         // isFinderAlias answers true for these
  std::vector<std::pair<fs::path, fs::path>> copies;  // every copyItem asked
};

class FakeAlertService : public AlertService {
 public:
  int runModal(const Alert& alert) override;
  std::optional<fs::path> showOpenTargetFolderPanel() override;
  void composeMail(const ErrorReportMail& mail) override { mails.push_back(mail); }
  std::vector<std::string> conversionBackend() override {
    ++backendAsked;
    return backend;
  }

  std::vector<std::string> titles() const;

  std::deque<int> responses;                 // answered in order; then 1000
  std::optional<fs::path> panelAnswer;       // what the folder panel returns
  std::vector<Alert> shown;
  int panelsShown = 0;
  std::vector<ErrorReportMail> mails;
  std::vector<std::string> backend;  // what conversionBackend answers
  int backendAsked = 0;
};

class FakeScriptService : public ScriptService {
 public:
  std::unique_ptr<Script> create(const std::string& source, ScriptError* error) override;
  bool drivesUserApplications() const override { return userApplications; }

  // As osascript unless told otherwise: the run asks to close documents.
  bool userApplications = true;
  std::optional<ScriptError> createError;    // create fails with this
  std::optional<ScriptError> executeError;   // execute fails with this
  std::vector<std::string> created;          // every source handed to create
  std::vector<std::string> executed;         // every source executed
  // Files a successful execution reports as written, in this order.
  std::vector<std::string> writes;
};

class FixedSystemVersion : public SystemVersion {
 public:
  explicit FixedSystemVersion(OperatingSystemVersion v, std::string kernel = {},
                              std::string distribution = {})
      : version_(v), kernel_(std::move(kernel)), distribution_(std::move(distribution)) {}
  OperatingSystemVersion current() const override { return version_; }
  std::string kernelRelease() const override { return kernel_; }
  std::string distribution() const override { return distribution_; }

 private:
  OperatingSystemVersion version_;
  std::string kernel_;
  std::string distribution_;
};

}  // namespace morvane::testing

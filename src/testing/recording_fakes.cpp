#include "testing/recording_fakes.h"

namespace morvane::testing {

Status RecordingEnv::listDirectory(const fs::path& dir, std::vector<DirectoryItem>* out) {
  if (unlistable.contains(dir)) return Status::error("Permission denied");
  return RealEnv::listDirectory(dir, out);
}

Status RecordingEnv::createDirectories(const fs::path& dir) {
  if (uncreatable.contains(dir)) return Status::error("Permission denied");
  return RealEnv::createDirectories(dir);
}

Status RecordingEnv::copyItem(const fs::path& from, const fs::path& to,
                              const StopRequested& stop) {
  copies.emplace_back(from, to);
  if (uncopyable.contains(from)) return Status::error("Permission denied");
  return RealEnv::copyItem(from, to, stop);
}

bool RecordingEnv::isFinderAlias(const fs::path& path) {
  return aliases.contains(path) || RealEnv::isFinderAlias(path);
}

std::vector<std::string> RecordingEnv::linesContaining(const std::string& text) const {
  std::vector<std::string> found;
  for (const std::string& line : lines) {
    if (line.find(text) != std::string::npos) found.push_back(line);
  }
  return found;
}

int FakeAlertService::runModal(const Alert& alert) {
  shown.push_back(alert);
  if (responses.empty()) return kAlertFirstButtonReturn;
  const int response = responses.front();
  responses.pop_front();
  return response;
}

std::optional<fs::path> FakeAlertService::showOpenTargetFolderPanel() {
  ++panelsShown;
  return panelAnswer;
}

std::vector<std::string> FakeAlertService::titles() const {
  std::vector<std::string> result;
  for (const Alert& a : shown) result.push_back(a.title.key);
  return result;
}

namespace {

class FakeScript : public Script {
 public:
  FakeScript(FakeScriptService& service, std::string source)
      : service_(service), source_(std::move(source)) {}
  bool execute(ScriptError* error) override {
    service_.executed.push_back(source_);
    if (!service_.executeError) {
      if (written_) {
        for (const std::string& path : service_.writes) written_(path);
      }
      return true;
    }
    *error = *service_.executeError;
    return false;
  }
  void reportWrittenFiles(std::function<void(const std::string&)> written) override {
    written_ = std::move(written);
  }

 private:
  FakeScriptService& service_;
  std::string source_;
  std::function<void(const std::string&)> written_;
};

}  // namespace

std::unique_ptr<Script> FakeScriptService::create(const std::string& source,
                                                  ScriptError* error) {
  created.push_back(source);
  if (createError) {
    *error = *createError;
    return nullptr;
  }
  return std::make_unique<FakeScript>(*this, source);
}

}  // namespace morvane::testing

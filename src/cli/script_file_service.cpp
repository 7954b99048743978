#include "cli/script_file_service.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace morvane {

namespace {

class ScriptFile : public Script {
 public:
  ScriptFile(std::string path, std::string source)
      : path_(std::move(path)), source_(std::move(source)) {}

  bool execute(ScriptError* error) override {
    const std::string partial = path_ + ".morvane-" + std::to_string(::getpid()) + ".part";
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    out << source_;
    out.close();
    std::error_code ec;
    if (!out) {
      const std::string why = std::strerror(errno);
      std::filesystem::remove(partial, ec);
      error->info = {{"message", "cannot write the script to " + path_ + ": " + why}};
      return false;
    }
    std::filesystem::rename(partial, path_, ec);
    if (ec) {
      std::filesystem::remove(partial, ec);
      error->info = {{"message", "cannot write the script to " + path_ + ": " + ec.message()}};
      return false;
    }
    return true;
  }

 private:
  std::string path_;
  std::string source_;
};

}  // namespace

std::unique_ptr<Script> ScriptFileService::create(const std::string& source, ScriptError*) {
  return std::make_unique<ScriptFile>(path_, source);
}

}  // namespace morvane

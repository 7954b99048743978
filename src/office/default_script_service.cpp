#include "office/default_script_service.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "office/osascript_service.h"

#ifndef MORVANE_LIBEXEC_DIR
#define MORVANE_LIBEXEC_DIR "/usr/local/libexec/morvane"
#endif

namespace morvane {

namespace {

std::string workerPath() {
  if (const char* path = std::getenv("MORVANE_OFFICE_WORKER")) return path;
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    const std::filesystem::path beside = self.parent_path() / "morvane-office";
    if (::access(beside.c_str(), X_OK) == 0) return beside.string();
  }
  return std::string(MORVANE_LIBEXEC_DIR) + "/morvane-office";
}

}  // namespace

OfficeConfig defaultOfficeConfig() {
  OfficeConfig config;
  config.workerPath = workerPath();
  const char* program = std::getenv("MORVANE_LIBREOFFICE_PROGRAM");
  config.installPath = program != nullptr ? program : "/usr/lib/libreoffice/program";
  if (const char* seconds = std::getenv("MORVANE_STATEMENT_TIMEOUT")) {
    const long value = std::strtol(seconds, nullptr, 10);
    if (value > 0) config.statementLimit = std::chrono::seconds(value);
  }
  return config;
}

std::unique_ptr<ScriptService> makeDefaultScriptService(ProgressObserver progress) {
#ifdef __APPLE__
  (void)progress;
  return std::make_unique<OsascriptService>();
#else
  return std::make_unique<OfficeScriptService>(defaultOfficeConfig(), std::move(progress));
#endif
}

}  // namespace morvane

#include "office/default_script_service.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <string_view>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <thread>

#include "office/osascript_service.h"

#ifndef MORVANE_IWORK_READER_DIR
#define MORVANE_IWORK_READER_DIR ""
#endif

#ifndef MORVANE_LIBEXEC_DIR
#define MORVANE_LIBEXEC_DIR "/usr/local/libexec/morvane"
#endif
// The worker's folder relative to the executables' folder in an install.
#ifndef MORVANE_WORKER_RELATIVE_DIR
#define MORVANE_WORKER_RELATIVE_DIR "../libexec/morvane"
#endif

namespace morvane {

namespace {

// The environment's choice; else beside the executable (the build tree);
// else in the install's libexec folder, found from the executable's folder
// so that an install under any prefix or DESTDIR finds its own worker;
// else the configured install's.
std::string workerPath() {
  if (const char* path = std::getenv("MORVANE_OFFICE_WORKER")) return path;
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    for (const std::filesystem::path& folder :
         {self.parent_path(), self.parent_path() / MORVANE_WORKER_RELATIVE_DIR}) {
      const std::filesystem::path worker = (folder / "morvane-office").lexically_normal();
      if (::access(worker.c_str(), X_OK) == 0) return worker.string();
    }
  }
  return std::string(MORVANE_LIBEXEC_DIR) + "/morvane-office";
}

// In the user's cache folder, one per LibreOffice installation and version.
std::string profileTemplatePath(const std::string& installPath) {
  std::filesystem::path cache;
  if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg != nullptr && *xdg != '\0') {
    cache = xdg;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    cache = std::filesystem::path(home) / ".cache";
  } else {
    return {};
  }
  std::error_code ec;
  const auto stamp = std::filesystem::last_write_time(installPath + "/versionrc", ec);
  const std::size_t key = std::hash<std::string>()(
      installPath + "@" + std::to_string(ec ? 0 : stamp.time_since_epoch().count()));
  return (cache / "morvane" / ("libreoffice-profile-" + std::to_string(key))).string();
}

// The folder of a newer iWork reader: the environment's choice (empty for
// the system's), one installed beside the worker, or the one the build
// was configured with.
std::string readerLibraryDir(const std::string& worker) {
  if (const char* dir = std::getenv("MORVANE_IWORK_READER_DIR")) return dir;
  const std::filesystem::path installed =
      std::filesystem::path(worker).parent_path() / "lib";
  if (::access((installed / "libetonyek-0.1.so.1").c_str(), R_OK) == 0) return installed.string();
  return MORVANE_IWORK_READER_DIR;
}

// A whole number from 1 up from the environment, at most `most` (larger
// ones are taken as `most`); nothing when unset or not such a number
// ("5abc", "-2", "0").
std::optional<long> boundedSetting(const char* name, long most) {
  const std::string_view text = std::getenv(name) != nullptr ? std::getenv(name) : "";
  long value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || end != text.data() + text.size()) return std::nullopt;
  if (ec == std::errc::result_out_of_range && !text.starts_with('-')) return most;
  if (ec != std::errc() || value < 1) return std::nullopt;
  return std::min(value, most);
}

}  // namespace

OfficeConfig defaultOfficeConfig() {
  OfficeConfig config;
  config.workerPath = workerPath();
  const char* program = std::getenv("MORVANE_LIBREOFFICE_PROGRAM");
  config.installPath = program != nullptr ? program : "/usr/lib/libreoffice/program";
  config.readerLibraryDir = readerLibraryDir(config.workerPath);
  config.profileTemplate = profileTemplatePath(config.installPath);
  config.workers = 0;  // chosen for each run
  if (auto workers = boundedSetting("MORVANE_OFFICE_WORKERS", kMostWorkers)) {
    config.workers = static_cast<std::size_t>(*workers);
  }
  config.documentsPerWorker = static_cast<std::size_t>(
      boundedSetting("MORVANE_OFFICE_DOCUMENTS_PER_WORKER", kMostDocumentsPerWorker)
          .value_or(kDefaultDocumentsPerWorker));
  config.workerMemoryLimit = static_cast<std::uint64_t>(kDefaultWorkerMemoryMb) << 20;
  // The memory a worker may hold: the user's, else chosen for each run.
  if (auto cap = boundedSetting("MORVANE_OFFICE_WORKER_MEMORY_MB", kLargestWorkerMemoryMb)) {
    config.workerMemoryCap = static_cast<std::uint64_t>(*cap) << 20;
  }
  if (auto seconds = boundedSetting("MORVANE_STATEMENT_TIMEOUT", kLongestStatementSeconds)) {
    config.statementLimit = std::chrono::seconds(*seconds);
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

Status describeScriptBackend(std::vector<std::string>* lines) {
#ifdef __APPLE__
  lines->push_back("Script service: osascript");
  return {};
#else
  const OfficeConfig config = defaultOfficeConfig();
  std::unique_ptr<OfficeWorker> worker;
  if (Status s = OfficeWorker::start(config, &worker); !s.ok()) {
    return Status::error("LibreOffice cannot be started from " + config.installPath + ": " +
                         s.message());
  }
  std::string office, reader;
  if (Status s = worker->versions(&office, &reader); !s.ok()) return s;
  worker->quit();
  lines->push_back("LibreOffice " + office);
  lines->push_back("iWork reader: libetonyek " + reader + " (" +
                   (config.readerLibraryDir.empty() ? std::string("the system's")
                                                    : config.readerLibraryDir) +
                   ")");
  return {};
#endif
}

}  // namespace morvane

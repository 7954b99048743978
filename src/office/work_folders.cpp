#include "office/work_folders.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <system_error>

namespace morvane {

namespace {

// Workers' private folders: "morvane-office-<pid>-XXXXXX".
const std::string kWorkFolderPrefix = "morvane-office-";

// The process a worker's private folder belongs to: a folder of this
// user named "morvane-office-<pid>-XXXXXX"; 0 for anything else.
long workFolderOwner(const std::filesystem::path& path) {
  const std::string name = path.filename().string();
  if (!name.starts_with(kWorkFolderPrefix)) return 0;
  const char* digits = name.c_str() + kWorkFolderPrefix.size();
  char* end = nullptr;
  const long pid = std::strtol(digits, &end, 10);
  if (end == digits || std::strlen(end) != 7 || *end != '-') return 0;
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) return 0;
  return pid;
}

}  // namespace

std::filesystem::path workerFolderRoot() {
  const auto usable = [](const char* folder) {
    std::error_code ec;
    return folder != nullptr && *folder != '\0' && std::filesystem::is_directory(folder, ec) &&
           ::access(folder, W_OK | X_OK) == 0;
  };
  if (const char* chosen = std::getenv("TMPDIR"); chosen != nullptr && *chosen != '\0') {
    return usable(chosen) ? chosen : "/tmp";
  }
  const char* const inMemory[] = {std::getenv("XDG_RUNTIME_DIR"), "/dev/shm"};
  for (const char* folder : inMemory) {
    if (usable(folder)) return folder;
  }
  return "/tmp";
}

void sweepStaleWorkFolders(const std::filesystem::path& root) {
  static std::once_flag once;
  std::call_once(once, [&] {
    std::error_code ec;
    for (std::filesystem::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
      const long pid = workFolderOwner(it->path());
      if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
        std::error_code ignored;
        std::filesystem::remove_all(it->path(), ignored);
      }
    }
  });
}

Status makeWorkFolder(Env& env, std::filesystem::path* folder) {
  const std::filesystem::path root = workerFolderRoot();
  sweepStaleWorkFolders(root);
  const std::string prefix = kWorkFolderPrefix + std::to_string(::getpid()) + "-";
  if (Status s = env.makeUniqueFolder(root, prefix, folder); !s.ok()) {
    return Status::error("cannot create a temporary folder in " + root.string() + ": " +
                         s.message());
  }
  return {};
}

}  // namespace morvane

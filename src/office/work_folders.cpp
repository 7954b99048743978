#include "office/work_folders.h"

#include <unistd.h>

#include <cstdlib>
#include <string>
#include <system_error>

#include "office/stale_work_folders.h"

namespace morvane {

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

Status makeWorkFolder(Env& env, std::filesystem::path* folder) {
  const std::filesystem::path root = workerFolderRoot();
  sweepStaleWorkFoldersOnce(env, systemLauncher(), root);
  const std::string prefix =
      std::string(kWorkFolderNamePrefix) + std::to_string(::getpid()) + "-";
  if (Status s = env.makeUniqueFolder(root, prefix, folder); !s.ok()) {
    return Status::error("cannot create a temporary folder in " + root.string() + ": " +
                         s.message());
  }
  return {};
}

}  // namespace morvane

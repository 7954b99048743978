#include "office/stale_work_folders.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

namespace morvane {

long workFolderOwnerPid(Env& env, const fs::path& folder) {
  const std::string name = folder.filename().string();
  if (!name.starts_with(kWorkFolderNamePrefix)) return 0;
  const char* digits = name.c_str() + kWorkFolderNamePrefix.size();
  char* end = nullptr;
  const long pid = std::strtol(digits, &end, 10);
  if (end == digits || std::strlen(end) != 7 || *end != '-') return 0;
  FileInfo info;
  if (!env.linkStatus(folder, &info).ok() || !info.isDir || !info.ownedByUser) return 0;
  return pid;
}

void sweepStaleWorkFolders(Env& env, ProcessLauncher& processes, const fs::path& root) {
  std::vector<DirectoryItem> items;
  env.listDirectory(root, &items);  // what it listed before a failure still counts
  for (const DirectoryItem& item : items) {
    const long pid = workFolderOwnerPid(env, item.path);
    if (pid > 0 && !processes.isAlive(static_cast<pid_t>(pid))) env.removeAll(item.path);
  }
}

void sweepStaleWorkFoldersOnce(Env& env, ProcessLauncher& processes, const fs::path& root) {
  static std::once_flag once;
  std::call_once(once, [&] { sweepStaleWorkFolders(env, processes, root); });
}

}  // namespace morvane

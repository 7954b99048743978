#include "office/target_folders.h"

#include "office/failure_reasons.h"

namespace morvane {

namespace fs = std::filesystem;

namespace {

Status folderGone(const fs::path& target, bool replaced) {
  return targetFolderGone(target.string(), replaced).status();
}

}  // namespace

fs::path folderOf(const fs::path& target) {
  return target.parent_path().empty() ? fs::path(".") : target.parent_path();
}

Status TargetFolders::enter(Env& env, const fs::path& target) {
  const fs::path folder = folderOf(target);
  const FileInfo info = env.stat(folder);
  if (!info.exists || !info.isDir) return folderGone(target, false);
  MutexLock lock(mutex_);
  const auto [it, first] = seen_.try_emplace(folder.native());
  Seen& seen = it->second;
  if (first) {
    seen.device = info.device;
    seen.inode = info.inode;
    // A held folder is a descriptor kept open, below any Env.
    if (held_ < kMostHeld && (seen.held = HeldFolder::open(folder))) ++held_;
  }
  const bool same = seen.held ? seen.held->isAt(info)
                              : info.device == seen.device && info.inode == seen.inode;
  return same ? Status() : folderGone(target, true);
}

}  // namespace morvane

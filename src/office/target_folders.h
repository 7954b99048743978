// TargetFolders: the folders one execution of a script exports into, each
// held from its first export on (HeldFolder). The engine makes them before
// the run; one that is removed while the run goes on is never made again
// (LibreOffice would make it, saving into it): every later export into it
// fails naming the folder, and so does one already under way.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "platform/env.h"
#include "filelist/held_folder.h"
#include "platform/status.h"
#include "platform/thread_annotations.h"

namespace morvane {

// The folder a target goes into ("." for a bare name).
std::filesystem::path folderOf(const std::filesystem::path& target);

class TargetFolders {
 public:
  // Before an export into `target`: ok while its folder is there and, when
  // an earlier export of this execution went into it, still that folder;
  // else an error naming the folder and the target, which was not written.
  // Thread-safe.
  Status enter(Env& env, const std::filesystem::path& target) EXCLUDES(mutex_);

  // Before a finished export takes its place: as enter, for a folder that
  // was entered.
  Status check(Env& env, const std::filesystem::path& target) { return enter(env, target); }

 private:
  // A folder as first seen: held while the held ones are few (each costs a
  // descriptor), else known by device and inode alone.
  struct Seen {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::optional<HeldFolder> held;
  };
  static constexpr std::size_t kMostHeld = 256;

  Mutex mutex_;
  std::map<std::string, Seen> seen_ GUARDED_BY(mutex_);  // by the folder's path
  std::size_t held_ GUARDED_BY(mutex_) = 0;
};

}  // namespace morvane

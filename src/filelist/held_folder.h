// HeldFolder: a folder kept open for the length of a run, so that the run
// can tell whether the folder at its path is still that one. While it is
// held its inode cannot be given to a new folder, so a folder removed and
// made again under the same name (at once, as LibreOffice does when it
// saves into a missing folder) is told apart from the one the run began in.
#pragma once

#include <filesystem>
#include <optional>

#include "platform/env.h"

namespace morvane {

class HeldFolder {
 public:
  // Opens the folder; nothing when it is not there or cannot be opened.
  static std::optional<HeldFolder> open(const std::filesystem::path& folder);

  HeldFolder(HeldFolder&& other) noexcept;
  HeldFolder& operator=(HeldFolder&& other) noexcept;
  HeldFolder(const HeldFolder&) = delete;
  HeldFolder& operator=(const HeldFolder&) = delete;
  ~HeldFolder();

  // True while the held folder has not been removed and is the one `atPath`
  // (a stat of the folder's path, Env::stat) found there.
  bool isAt(const FileInfo& atPath) const;

 private:
  explicit HeldFolder(int fd) : fd_(fd) {}
  int fd_ = -1;
};

}  // namespace morvane

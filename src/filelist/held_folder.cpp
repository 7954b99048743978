#include "filelist/held_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace morvane {

std::optional<HeldFolder> HeldFolder::open(const std::filesystem::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  return HeldFolder(fd);
}

HeldFolder::HeldFolder(HeldFolder&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

HeldFolder& HeldFolder::operator=(HeldFolder&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

HeldFolder::~HeldFolder() {
  if (fd_ >= 0) ::close(fd_);
}

bool HeldFolder::isAt(const FileInfo& atPath) const {
  struct ::stat held;
  if (fd_ < 0 || ::fstat(fd_, &held) != 0) return false;
  if (held.st_nlink == 0) return false;  // removed, though still open here
  return atPath.exists && atPath.isDir && static_cast<std::uint64_t>(held.st_dev) == atPath.device &&
         static_cast<std::uint64_t>(held.st_ino) == atPath.inode;
}

}  // namespace morvane

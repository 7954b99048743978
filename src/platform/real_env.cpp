#include "platform/real_env.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <system_error>

#include "platform/placing_steps.h"

namespace morvane {

namespace {

FileInfo infoOf(const struct ::stat& st, bool isLink) {
  FileInfo info;
  info.exists = true;
  info.isDir = S_ISDIR(st.st_mode);
  info.isLink = isLink;
  info.isSpecial = !S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode);
  info.ownedByUser = st.st_uid == ::geteuid();
  info.device = static_cast<std::uint64_t>(st.st_dev);
  info.inode = static_cast<std::uint64_t>(st.st_ino);
  info.size = S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
  return info;
}

// A flock held on an open file, let go when the file is closed.
class FlockedFile : public FileLock {
 public:
  FlockedFile(int fd, bool excludes) : fd_(fd), excludes_(excludes) {}
  ~FlockedFile() override { ::close(fd_); }
  FlockedFile(const FlockedFile&) = delete;
  FlockedFile& operator=(const FlockedFile&) = delete;
  bool excludes() const override { return excludes_; }

 private:
  const int fd_;
  const bool excludes_;
};

}  // namespace

Env& machineEnv() {
  static RealEnv machine;
  return machine;
}

void logToStandardOutput(std::string_view line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
}

void RealEnv::log(std::string_view line) {
  if (sink_) sink_(line);
}

FileInfo RealEnv::stat(const fs::path& path) {
  // One call for anything but a link, whose target takes a second.
  struct ::stat st;
  if (::lstat(path.c_str(), &st) != 0) return {};
  const bool isLink = S_ISLNK(st.st_mode);
  if (isLink && ::stat(path.c_str(), &st) != 0) return {};
  return infoOf(st, isLink);
}

Status RealEnv::linkStatus(const fs::path& path, FileInfo* out) {
  struct ::stat st;
  if (::lstat(path.c_str(), &st) != 0) {
    *out = {};
    return errno == ENOENT || errno == ENOTDIR ? Status() : errnoStatus(errno);
  }
  *out = infoOf(st, S_ISLNK(st.st_mode));
  return {};
}

fs::path RealEnv::resolve(const fs::path& path) {
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return {};
  fs::path result(resolved);
  std::free(resolved);
  return result;
}

Status RealEnv::lockFile(const fs::path& path, std::unique_ptr<FileLock>* lock) {
  lock->reset();
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return errnoStatus(errno);
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
    *lock = std::make_unique<FlockedFile>(fd, true);
    return {};
  }
  const int err = errno;
  if (err == EWOULDBLOCK || err == EINTR) {
    ::close(fd);  // held elsewhere: the caller tries again
    return {};
  }
  *lock = std::make_unique<FlockedFile>(fd, false);  // no locks on this file system
  return {};
}

Status RealEnv::syncFile(const fs::path& path) {
  const int err = flushPath(path, 0, systemPlacingSteps().flush);
  return err == 0 ? Status() : errnoStatus(err);
}

Status RealEnv::syncFolder(const fs::path& dir) {
  const int err = flushPath(dir.empty() ? fs::path(".") : dir, O_DIRECTORY, systemPlacingSteps().flush);
  return err == 0 ? Status() : errnoStatus(err);
}

namespace {

// The kind of an item that is no link, from the type its listing cached.
DirectoryItem::Kind listedKind(const fs::directory_entry& item) {
  std::error_code ec;
  if (item.is_directory(ec)) return DirectoryItem::Kind::directory;
  if (ec) return DirectoryItem::Kind::needsStat;
  if (item.is_regular_file(ec)) return DirectoryItem::Kind::other;
  if (ec) return DirectoryItem::Kind::needsStat;
  return item.exists(ec) && !ec ? DirectoryItem::Kind::special : DirectoryItem::Kind::needsStat;
}

// Lists `dir` for listDirectory (without hidden items) and listAllItems.
Status listItems(const fs::path& dir, bool hidden, std::vector<DirectoryItem>* out) {
  std::error_code ec;
  fs::directory_iterator it(dir, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    const std::string& name = it->path().native();
    if (!hidden && name[name.rfind('/') + 1] == '.') continue;
    // The listing's own type answers need no extra system call.
    std::error_code typeError;
    DirectoryItem::Kind kind = DirectoryItem::Kind::needsStat;
    if (!it->is_symlink(typeError) && !typeError) kind = listedKind(*it);
    out->push_back({it->path(), kind});
  }
  if (ec) return Status::fromErrno(ec.value());
  return {};
}

}  // namespace

Status RealEnv::listDirectory(const fs::path& dir, std::vector<DirectoryItem>* out) {
  return listItems(dir, false, out);
}

Status RealEnv::listAllItems(const fs::path& dir, std::vector<DirectoryItem>* out) {
  return listItems(dir, true, out);
}

Status RealEnv::createDirectories(const fs::path& dir) {
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) return Status::error(ec.message());
  return {};
}

Status RealEnv::renameFile(const fs::path& from, const fs::path& to) {
  return ::rename(from.c_str(), to.c_str()) == 0 ? Status() : errnoStatus(errno);
}

Status RealEnv::removeAll(const fs::path& path) {
  std::error_code ec;
  fs::remove_all(path, ec);
  return ec && ec != std::errc::no_such_file_or_directory ? Status::error(ec.message()) : Status();
}

Status RealEnv::writeFile(const fs::path& path, std::string_view data) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return errnoStatus(errno);
  int err = 0;
  while (!data.empty() && err == 0) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n > 0) data.remove_prefix(static_cast<std::size_t>(n));
    else if (n < 0 && errno != EINTR) err = errno;
  }
  if (::close(fd) != 0 && err == 0) err = errno;
  return err == 0 ? Status() : errnoStatus(err);
}

Status RealEnv::removeFile(const fs::path& path) {
  if (::remove(path.c_str()) == 0 || errno == ENOENT) return {};
  return errnoStatus(errno);
}

Status RealEnv::readFile(const fs::path& path, std::string* out) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errnoStatus(errno);
  std::string text;
  char chunk[1 << 16];
  int err = 0;
  for (;;) {
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got > 0) text.append(chunk, static_cast<std::size_t>(got));
    if (got == 0 || (got < 0 && errno != EINTR && (err = errno) != 0)) break;
  }
  ::close(fd);
  if (err != 0) return errnoStatus(err);
  *out = std::move(text);
  return {};
}

Status RealEnv::makeUniqueFile(const fs::path& parent, const std::string& prefix,
                               fs::path* out) {
  std::string pattern = (parent / (prefix + "XXXXXX")).string();
  const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0) return errnoStatus(errno);
  ::close(fd);
  *out = pattern;
  return {};
}

std::size_t RealEnv::longestName(const fs::path& folder) {
  const long longest = ::pathconf(folder.c_str(), _PC_NAME_MAX);
  return longest > 0 ? static_cast<std::size_t>(longest) : 0;
}

Status RealEnv::makeUniqueFolder(const fs::path& parent, const std::string& prefix,
                                 fs::path* out) {
  std::string pattern = (parent / (prefix + "XXXXXX")).string();
  if (::mkdtemp(pattern.data()) == nullptr) return errnoStatus(errno);
  *out = pattern;
  return {};
}

Status RealEnv::copyItem(const fs::path& from, const fs::path& to, const StopRequested& stop) {
  return copyItemWithoutReplacing(from, to, systemPlacingSteps(), stop);
}

bool RealEnv::isFinderAlias(const fs::path& path) {
  std::error_code ec;
  if (fs::symlink_status(path, ec).type() != fs::file_type::regular) return false;
  static constexpr char kMagic[16] = {'b', 'o', 'o', 'k', 0, 0, 0, 0,
                                      'm', 'a', 'r', 'k', 0, 0, 0, 0};
  char head[sizeof kMagic] = {};
  std::ifstream in(path, std::ios::binary);
  if (!in.read(head, sizeof head)) return false;
  return std::memcmp(head, kMagic, sizeof kMagic) == 0;
}

}  // namespace morvane

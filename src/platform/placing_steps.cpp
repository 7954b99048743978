#include "platform/placing_steps.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <system_error>

namespace morvane {

namespace {

Status existsStatus(const fs::path& to) {
  return Status::error("an item named \"" + to.filename().string() + "\" already exists");
}

Status placingStatus(int err, const fs::path& to) {
  return err == EEXIST ? existsStatus(to) : errnoStatus(err);
}

// True unless the location is known to be free (a dangling link is not).
bool occupied(const fs::path& path) {
  struct ::stat st;
  return ::lstat(path.c_str(), &st) == 0 || errno != ENOENT;
}

int renameNoReplace(const fs::path& from, const fs::path& to) {
#ifdef SYS_renameat2
  constexpr unsigned kRenameNoReplace = 1;  // RENAME_NOREPLACE
  const long done =
      ::syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), kRenameNoReplace);
  return done == 0 ? 0 : errno;
#else
  (void)from, (void)to;
  return ENOSYS;
#endif
}

int hardLink(const fs::path& from, const fs::path& to) {
  return ::link(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int flushDescriptor(int fd) {
  if (::fsync(fd) == 0) return 0;
  // A file system with nothing to flush (some FUSE and special ones)
  // refuses the call itself.
  return errno == EINVAL || errno == ENOTSUP || errno == EROFS ? 0 : errno;
}

Status flushStatus(int err, const fs::path& path) {
  return Status::error("\"" + path.filename().string() +
                       "\" could not be flushed to the disk: " +
                       std::generic_category().message(err));
}

// The file system or kernel does not know RENAME_NOREPLACE.
bool renameFlagRefused(int err) { return err == EINVAL || err == ENOSYS || err == EOPNOTSUPP; }

// The file system has no hard links (FAT, exFAT).
bool linkRefused(int err) { return err == EPERM || err == ENOTSUP || err == EOPNOTSUPP; }

// Moves the finished copy `temp` to `to` unless something is there.
Status placeFile(const fs::path& temp, const fs::path& to, const PlacingSteps& steps) {
  int err = steps.renameNoReplace(temp, to);
  if (err == 0) return {};
  if (!renameFlagRefused(err)) return placingStatus(err, to);
  err = steps.link(temp, to);
  if (err == 0) {
    ::unlink(temp.c_str());
    return {};
  }
  if (!linkRefused(err)) return placingStatus(err, to);
  // Neither call exists here, and none closes the gap between looking and
  // renaming: an item another program creates at `to` in that instant is
  // replaced. Such volumes are seldom shared while a batch writes to them.
  if (occupied(to)) return existsStatus(to);
  return ::rename(temp.c_str(), to.c_str()) == 0 ? Status() : errnoStatus(errno);
}

// Creates a new hidden file beside `to` (O_CREAT|O_EXCL under a random
// name), ".<name>.morvane-copy-XXXXXX" or, where the target's name leaves
// no room, ".morvane-copy-XXXXXX". Returns its descriptor, or -1 and errno.
int createTemporaryBeside(const fs::path& to, fs::path* temp) {
  const std::string name = to.filename().string();
  const std::string suffix = ".morvane-copy-XXXXXX";
  constexpr std::size_t kLongestName = 255;  // NAME_MAX of the file systems in use
  const std::string hidden = 1 + name.size() + suffix.size() <= kLongestName ? "." + name : "";
  std::string pattern = (to.parent_path() / (hidden + suffix)).string();
  const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
  *temp = pattern;
  return fd;
}

// Writes all of `in` to `out`; 0, an errno value, or ECANCELED when `stop`
// asked to stop (looked at before each chunk).
int copyBytes(int in, int out, const StopRequested& stop) {
  char buffer[1 << 16];
  for (;;) {
    if (stop && stop()) return ECANCELED;
    const ssize_t got = ::read(in, buffer, sizeof buffer);
    if (got == 0) return 0;
    if (got < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = ::write(out, buffer + done, static_cast<std::size_t>(got - done));
      if (put < 0 && errno != EINTR) return errno;
      if (put > 0) done += put;
    }
  }
}

// Copies the contents, then the permissions and the modification time
// (where the file system keeps them: FAT has no permissions).
int fillCopy(int in, int out, const StopRequested& stop) {
  struct ::stat st;
  if (::fstat(in, &st) != 0) return errno;
  if (const int err = copyBytes(in, out, stop); err != 0) return err;
  (void)::fchmod(out, st.st_mode & 07777);
  const struct ::timespec times[2] = {{0, UTIME_OMIT}, st.st_mtim};
  (void)::futimens(out, times);
  return 0;
}

Status copyFile(const fs::path& from, const fs::path& to, const PlacingSteps& steps,
                const StopRequested& stop) {
  // Without blocking, in case a FIFO took the file's place since it was
  // looked at: opening one to read would wait for a writer.
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (in < 0) return errnoStatus(errno);
  struct ::stat st;
  if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(in);
    return Status::error("\"" + from.filename().string() + "\" is not a regular file");
  }
  fs::path temp;
  const int out = createTemporaryBeside(to, &temp);
  int err = out < 0 ? errno : fillCopy(in, out, stop);
  ::close(in);
  if (out < 0) return errnoStatus(err);
  const int flushed = err == 0 ? steps.flush(out) : 0;
  if (::close(out) != 0 && err == 0) err = errno;
  Status placed = err != 0    ? errnoStatus(err)
                  : flushed != 0 ? flushStatus(flushed, to)
                                 : placeFile(temp, to, steps);
  if (!placed.ok()) ::unlink(temp.c_str());
  return placed;
}

Status copyTree(const fs::path& from, const fs::path& to, const PlacingSteps& steps,
                const StopRequested& stop);

Status copyFolderContents(const fs::path& from, const fs::path& to, const PlacingSteps& steps,
                          const StopRequested& stop) {
  std::error_code ec;
  for (fs::directory_iterator it(from, ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    if (stop && stop()) return errnoStatus(ECANCELED);
    Status s = copyTree(it->path(), to / it->path().filename(), steps, stop);
    if (!s.ok()) return s;
  }
  return ec ? Status::error(ec.message()) : Status();
}

// Makes `to` (failing where anything is there), fills it, and gives it the
// source's permissions and modification time once nothing more is added;
// on failure removes what it made.
Status copyFolder(const fs::path& from, const struct ::stat& st, const fs::path& to,
                  const PlacingSteps& steps, const StopRequested& stop) {
  if (::mkdir(to.c_str(), 0700) != 0) return placingStatus(errno, to);
  if (Status s = copyFolderContents(from, to, steps, stop); !s.ok()) {
    std::error_code ignored;
    fs::remove_all(to, ignored);
    return s;
  }
  (void)::chmod(to.c_str(), st.st_mode & 07777);
  const struct ::timespec times[2] = {{0, UTIME_OMIT}, st.st_mtim};
  (void)::utimensat(AT_FDCWD, to.c_str(), times, 0);
  if (const int err = flushPath(to, O_DIRECTORY, steps.flush); err != 0) {
    std::error_code ignored;
    fs::remove_all(to, ignored);
    return flushStatus(err, to);
  }
  return {};
}

Status copyTree(const fs::path& from, const fs::path& to, const PlacingSteps& steps,
                const StopRequested& stop) {
  struct ::stat st;
  if (::lstat(from.c_str(), &st) != 0) return errnoStatus(errno);
  if (S_ISREG(st.st_mode)) return copyFile(from, to, steps, stop);
  if (S_ISDIR(st.st_mode)) return copyFolder(from, st, to, steps, stop);
  if (!S_ISLNK(st.st_mode)) {
    return Status::error("\"" + from.filename().string() + "\" is not a file, folder or link");
  }
  std::error_code ec;
  fs::copy_symlink(from, to, ec);
  return ec ? placingStatus(ec.value(), to) : Status();
}

}  // namespace

Status errnoStatus(int err) {
  if (err == ECANCELED) return Status::error(std::string(kCopyStopped));
  return Status::fromErrno(err);
}

int flushPath(const fs::path& path, int flags, const std::function<int(int)>& flush) {
  int fd;
  do fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | flags);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) return errno;
  const int err = flush(fd);
  ::close(fd);
  return err;
}

PlacingSteps systemPlacingSteps() { return {renameNoReplace, hardLink, flushDescriptor}; }

Status copyItemWithoutReplacing(const fs::path& from, const fs::path& to,
                                const PlacingSteps& steps, const StopRequested& stop) {
  if (occupied(to)) return existsStatus(to);
  if (Status s = copyTree(from, to, steps, stop); !s.ok()) return s;
  // The copy is in place; its name is kept once the folder is flushed.
  const fs::path folder = to.parent_path().empty() ? fs::path(".") : to.parent_path();
  if (const int err = flushPath(folder, O_DIRECTORY, steps.flush); err != 0) {
    std::error_code ignored;
    fs::remove_all(to, ignored);
    return flushStatus(err, folder);
  }
  return {};
}

}  // namespace morvane

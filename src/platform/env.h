// Env: everything the core asks of the machine's file system and its
// diagnostic output, the office service's included. RealEnv
// (platform/real_env.h) is the machine itself; EnvWrapper forwards to
// another Env, so that tests can record calls or make chosen ones fail
// (see src/testing/).
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/status.h"

namespace morvane {

namespace fs = std::filesystem;

// One item of a folder listing, with what the listing already knows of
// its type: a folder, a regular file ("other"), a special file (a FIFO,
// socket or device, never to be opened as a document), or, for a symbolic
// link or a type the file system did not report, one that needs a stat.
struct DirectoryItem {
  fs::path path;
  enum class Kind { directory, other, special, needsStat } kind = Kind::needsStat;
};

// What a stat of one location found. Symbolic links are followed; isLink
// tells that the location itself is one.
struct FileInfo {
  bool exists = false;
  bool isDir = false;
  bool isLink = false;
  // Belongs to this process's effective user.
  bool ownedByUser = false;
  // Neither a regular file nor a folder: a FIFO, socket or device.
  bool isSpecial = false;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  // In bytes; 0 for anything but a regular file.
  std::uint64_t size = 0;
};

// Asked between the chunks and items of a copy; true stops it. Empty: the
// copy runs to its end.
using StopRequested = std::function<bool()>;

// The message of a copy that a StopRequested stopped.
inline constexpr std::string_view kCopyStopped = "the copy was stopped";

// An exclusive lock on a file, taken with Env::lockFile; dropping it lets
// the lock go.
class FileLock {
 public:
  virtual ~FileLock() = default;
  // False when the file system keeps no locks: the lock then keeps nobody
  // out, and the caller goes on as if it did.
  virtual bool excludes() const = 0;
};

class Env {
 public:
  virtual ~Env() = default;

  // Hands one diagnostic line (without its line feed) to wherever the
  // program sends them (RealEnv: its log sink).
  virtual void log(std::string_view line) = 0;

  // Follows symbolic links; a location that cannot be reached reports
  // exists == false.
  virtual FileInfo stat(const fs::path& path) = 0;

  // What the location itself is, a symbolic link not followed (lstat): a
  // link reports isLink and neither isDir nor isSpecial. A missing item is
  // no error (exists == false); one that cannot be looked at fails, saying
  // why.
  virtual Status linkStatus(const fs::path& path, FileInfo* out) = 0;

  // The location with every symbolic link, "." and ".." resolved (what
  // realpath answers); empty when it cannot be reached.
  virtual fs::path resolve(const fs::path& path) = 0;

  // Lists a folder one level deep, in the file system's own order,
  // leaving out hidden items (names that start with a dot).
  virtual Status listDirectory(const fs::path& dir, std::vector<DirectoryItem>* out) = 0;

  // Lists a folder one level deep as listDirectory does, hidden items
  // included (for reading a document package whole). A folder that cannot
  // be read fails with the system's error number kept (errorNumber():
  // EACCES for one this user may not read); *out then holds what was
  // listed before the failure.
  virtual Status listAllItems(const fs::path& dir, std::vector<DirectoryItem>* out) = 0;

  // Creates the folder and its missing parents.
  virtual Status createDirectories(const fs::path& dir) = 0;

  // Copies a file, or a folder with its contents, to a location that must
  // not exist yet. Symbolic links are copied as links; files keep their
  // modification time. Never overwrites; a failed copy leaves nothing. A
  // copy that `stop` ends (asked every 64 KB and before each item of a
  // folder) fails with kCopyStopped and leaves nothing either.
  virtual Status copyItem(const fs::path& from, const fs::path& to,
                          const StopRequested& stop = {}) = 0;

  // True when the item is a Finder alias file (not a symbolic link).
  virtual bool isFinderAlias(const fs::path& path) = 0;

  // Renames a file or folder; a file at `to` is replaced (how a finished
  // export or profile takes its place), a folder there is not.
  virtual Status renameFile(const fs::path& from, const fs::path& to) = 0;

  // Removes a file, or a folder with everything in it; an item that is
  // gone already is no error.
  virtual Status removeAll(const fs::path& path) = 0;

  // Removes one file, or one empty folder (as remove(3)); an item that is
  // gone already is no error, a folder with anything in it is one.
  virtual Status removeFile(const fs::path& path) = 0;

  // Creates the file at `path`, or replaces what it holds, with `data`.
  virtual Status writeFile(const fs::path& path, std::string_view data) = 0;

  // Everything the file at `path` holds, into *out.
  virtual Status readFile(const fs::path& path, std::string* out) = 0;

  // Creates a new empty file in `parent` named `prefix` and six random
  // characters; *out names it.
  virtual Status makeUniqueFile(const fs::path& parent, const std::string& prefix,
                                fs::path* out) = 0;

  // The longest name, in bytes, the file system of `folder` allows for an
  // item in it (pathconf's NAME_MAX); 0 when it cannot tell.
  virtual std::size_t longestName(const fs::path& folder) = 0;

  // Creates a new folder in `parent` named `prefix` and six random
  // characters; *out names it.
  virtual Status makeUniqueFolder(const fs::path& parent, const std::string& prefix,
                                  fs::path* out) = 0;

  // Takes the exclusive lock on the file at `path` (made, empty, when
  // missing) without waiting, for as long as *lock lives (flock with
  // LOCK_NB): holders in other processes and other FileLocks of this one
  // are kept out. When someone else holds it, *lock stays null and the
  // call is ok: try again later. A file system that keeps no locks gives
  // a lock that excludes() nobody. Fails when the file cannot be made or
  // opened.
  virtual Status lockFile(const fs::path& path, std::unique_ptr<FileLock>* lock) = 0;

  // Flushes what the file holds to the disk (fsync), so that it survives
  // a power loss; a file counts as written only after this.
  virtual Status syncFile(const fs::path& path) = 0;

  // Flushes a folder's entries to the disk (fsync of the folder), so that
  // a file renamed or created in it keeps its name after a power loss.
  virtual Status syncFolder(const fs::path& dir) = 0;
};

}  // namespace morvane

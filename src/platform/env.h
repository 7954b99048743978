// Env: everything the core asks of the machine's file system and its
// diagnostic output, the office service's included. RealEnv is the one
// used by the programs; tests derive from it to record the diagnostic
// lines or to make chosen operations fail (see src/testing/).
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
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
  // Neither a regular file nor a folder: a FIFO, socket or device.
  bool isSpecial = false;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
};

// Asked between the chunks and items of a copy; true stops it. Empty: the
// copy runs to its end.
using StopRequested = std::function<bool()>;

// The message of a copy that a StopRequested stopped.
inline constexpr std::string_view kCopyStopped = "the copy was stopped";

class Env {
 public:
  virtual ~Env() = default;

  // Hands one diagnostic line (without its line feed) to wherever the
  // program sends them (RealEnv: its log sink).
  virtual void log(std::string_view line) = 0;

  // Follows symbolic links; a location that cannot be reached reports
  // exists == false.
  virtual FileInfo stat(const fs::path& path) = 0;

  // The location with every symbolic link, "." and ".." resolved (what
  // realpath answers); empty when it cannot be reached.
  virtual fs::path resolve(const fs::path& path) = 0;

  // Lists a folder one level deep, in the file system's own order,
  // leaving out hidden items (names that start with a dot).
  virtual Status listDirectory(const fs::path& dir, std::vector<DirectoryItem>* out) = 0;

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

  // Creates the file at `path`, or replaces what it holds, with `data`.
  virtual Status writeFile(const fs::path& path, std::string_view data) = 0;

  // Creates a new folder in `parent` named `prefix` and six random
  // characters; *out names it.
  virtual Status makeUniqueFolder(const fs::path& parent, const std::string& prefix,
                                  fs::path* out) = 0;

  // Flushes what the file holds to the disk (fsync), so that it survives
  // a power loss; a file counts as written only after this.
  virtual Status syncFile(const fs::path& path) = 0;

  // Flushes a folder's entries to the disk (fsync of the folder), so that
  // a file renamed or created in it keeps its name after a power loss.
  virtual Status syncFolder(const fs::path& dir) = 0;
};

// Where a program's diagnostic lines go: one line, without its line feed,
// at a time. Empty: nowhere.
using LogSink = std::function<void(std::string_view line)>;

// Writes the line and a line feed to standard output, where tools that
// read the diagnostic lines find them.
void logToStandardOutput(std::string_view line);

// The machine itself: std::filesystem and POSIX, diagnostic lines to its
// sink (standard output unless told otherwise).
class RealEnv : public Env {
 public:
  RealEnv() = default;
  explicit RealEnv(LogSink sink) : sink_(std::move(sink)) {}
  // From now on the lines go to `sink`; set it before a run starts.
  void setLogSink(LogSink sink) { sink_ = std::move(sink); }

  void log(std::string_view line) override;
  FileInfo stat(const fs::path& path) override;
  fs::path resolve(const fs::path& path) override;
  Status listDirectory(const fs::path& dir, std::vector<DirectoryItem>* out) override;
  Status createDirectories(const fs::path& dir) override;
  Status copyItem(const fs::path& from, const fs::path& to,
                  const StopRequested& stop = {}) override;

  // A Finder alias copied from a Mac keeps its bookmark data as contents:
  // a regular file starting with "book\0\0\0\0mark\0\0\0\0".
  bool isFinderAlias(const fs::path& path) override;
  Status renameFile(const fs::path& from, const fs::path& to) override;
  Status removeAll(const fs::path& path) override;
  Status writeFile(const fs::path& path, std::string_view data) override;
  Status makeUniqueFolder(const fs::path& parent, const std::string& prefix,
                          fs::path* out) override;
  Status syncFile(const fs::path& path) override;
  Status syncFolder(const fs::path& dir) override;

 private:
  LogSink sink_ = logToStandardOutput;
};

// The steps that move a finished copy from its temporary name to its final
// one without replacing anything there, each returning 0 or an errno value.
// Tests replace them to act like file systems that refuse one of them.
struct PlacingSteps {
  // A rename that fails with EEXIST where `to` exists (RENAME_NOREPLACE).
  std::function<int(const fs::path& from, const fs::path& to)> renameNoReplace;
  // A hard link of `from` at `to`.
  std::function<int(const fs::path& from, const fs::path& to)> link;
  // Flushes an open file or folder to the disk.
  std::function<int(int fd)> flush;
};

// The machine's own steps: renameat2, link and fsync.
PlacingSteps systemPlacingSteps();

// RealEnv::copyItem with the given placing steps. A file is copied to a
// hidden temporary name beside `to` and then placed by the first step the
// file system accepts: the rename, else the link, else (file systems that
// know neither, as some FAT and exFAT drivers) a look that `to` is free
// followed by a plain rename. Every file is flushed before it is placed,
// and every folder that gained an item after it did; a copy that cannot be
// flushed fails and leaves nothing, as does one that `stop` ends.
Status copyItemWithoutReplacing(const fs::path& from, const fs::path& to,
                                const PlacingSteps& steps, const StopRequested& stop = {});

}  // namespace morvane

// FaultInjectionEnv: an EnvWrapper that makes chosen calls fail, around
// any Env (the machine's by default, or a recording one). Each fault names
// an operation, a part of the path it strikes and the errno it fails
// with; chosen operations can also first change the file system under the
// caller (a folder removed mid-run). It keeps track of the files written
// since their last sync and can drop them, as a power loss would. Safe to
// use from the service's worker threads.
#pragma once

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/env_wrapper.h"
#include "platform/real_env.h"
#include "platform/thread_annotations.h"

namespace morvane::testing {

// The Env a FaultInjectionEnv made for itself, made before the wrapper
// that forwards to it.
struct OwnedTargetEnv {
  std::unique_ptr<Env> owned;
};

class FaultInjectionEnv : private OwnedTargetEnv, public EnvWrapper {
 public:
  enum class Op {
    rename, remove, write, createDirectories, makeFolder, copy, syncFile, syncFolder,
    stat, linkStatus, resolve, list, isFinderAlias, log, removeFile, readFile, makeFile,
    longestName, lockFile, listAll
  };

  // Around a RealEnv of its own (its lines on standard output).
  FaultInjectionEnv();
  // Around `target`, which must outlive it.
  explicit FaultInjectionEnv(Env& target);

  // From now on, `op` on a path that contains `pathPart` fails with `err`
  // (for log: a line that contains it is dropped). A call that cannot
  // report a failure answers as for a place that cannot be reached: stat
  // an item that does not exist, resolve an empty path, isFinderAlias
  // false, longestName 0. For lockFile, EWOULDBLOCK is no failure but
  // the lock held elsewhere (ok, no lock).
  void fail(Op op, std::string pathPart, int err) EXCLUDES(mutex_);

  // The next `op` on a path that contains `pathPart` first calls `action`
  // (once; then the operation goes on as it would).
  void before(Op op, std::string pathPart, std::function<void()> action) EXCLUDES(mutex_);

  // The next `op` on a path that contains `pathPart` first removes
  // `folder` with everything in it, as a user might while a run goes on.
  void removeBefore(Op op, std::string pathPart, fs::path folder);

  // The operations that failed, as "rename PATH: message".
  std::vector<std::string> failures() const EXCLUDES(mutex_);

  // The renames and syncs done or refused, in order, as "rename PATH",
  // "syncFile PATH", "syncFolder PATH" (the path struck by a fault).
  std::vector<std::string> steps() const EXCLUDES(mutex_);

  // The files written through this Env since their last syncFile, sorted.
  std::vector<fs::path> unsyncedFiles() const EXCLUDES(mutex_);

  // What a power loss now would leave: each file made through this Env
  // since its folder's last syncFolder is removed, and each other file
  // written since its last syncFile is left empty. Then nothing counts as
  // unsynced. Fails with the first change the target refused.
  Status dropUnsyncedData() EXCLUDES(mutex_);

  void log(std::string_view line) override;
  FileInfo stat(const fs::path& path) override;
  Status linkStatus(const fs::path& path, FileInfo* out) override;
  fs::path resolve(const fs::path& path) override;
  Status listDirectory(const fs::path& dir, std::vector<DirectoryItem>* out) override;
  Status listAllItems(const fs::path& dir, std::vector<DirectoryItem>* out) override;
  bool isFinderAlias(const fs::path& path) override;
  Status renameFile(const fs::path& from, const fs::path& to) override;
  Status removeAll(const fs::path& path) override;
  Status removeFile(const fs::path& path) override;
  Status writeFile(const fs::path& path, std::string_view data) override;
  Status readFile(const fs::path& path, std::string* out) override;
  Status createDirectories(const fs::path& dir) override;
  Status makeUniqueFile(const fs::path& parent, const std::string& prefix,
                        fs::path* out) override;
  std::size_t longestName(const fs::path& folder) override;
  Status makeUniqueFolder(const fs::path& parent, const std::string& prefix,
                          fs::path* out) override;
  Status copyItem(const fs::path& from, const fs::path& to,
                  const StopRequested& stop = {}) override;
  Status lockFile(const fs::path& path, std::unique_ptr<FileLock>* lock) override;
  Status syncFile(const fs::path& path) override;
  Status syncFolder(const fs::path& dir) override;

 private:
  struct Fault {
    Op op;
    std::string pathPart;
    int err;
  };
  struct Hook {
    Op op;
    std::string pathPart;
    std::function<void()> action;
  };
  // Runs the hooks `op` on `path` strikes; then the injected failure for
  // it, or ok.
  Status injected(Op op, const fs::path& path) EXCLUDES(mutex_);
  // Forgets `path` and everything below it.
  void untrack(const fs::path& path) REQUIRES(mutex_);

  mutable Mutex mutex_;
  std::vector<Fault> faults_ GUARDED_BY(mutex_);
  std::vector<Hook> hooks_ GUARDED_BY(mutex_);
  std::vector<std::string> failures_ GUARDED_BY(mutex_);
  std::vector<std::string> steps_ GUARDED_BY(mutex_);
  // Written since their last syncFile.
  std::set<fs::path> unsynced_ GUARDED_BY(mutex_);
  // Made since their folder's last syncFolder.
  std::set<fs::path> unnamed_ GUARDED_BY(mutex_);
};

}  // namespace morvane::testing

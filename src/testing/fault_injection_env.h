// FaultInjectionEnv: the machine's file system with chosen operations
// failing, in the manner of an EnvWrapper: each fault names an operation,
// a part of the path it strikes and the errno it fails with. Safe to use
// from the service's worker threads.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "filelist/env.h"

namespace morvane::testing {

class FaultInjectionEnv : public RealEnv {
 public:
  enum class Op {
    rename, remove, write, createDirectories, makeFolder, copy, syncFile, syncFolder
  };

  // From now on, `op` on a path that contains `pathPart` fails with `err`.
  void fail(Op op, std::string pathPart, int err);

  // The operations that failed, as "rename PATH: message".
  std::vector<std::string> failures() const;

  // The renames and syncs done or refused, in order, as "rename PATH",
  // "syncFile PATH", "syncFolder PATH" (the path struck by a fault).
  std::vector<std::string> steps() const;

  Status renameFile(const fs::path& from, const fs::path& to) override;
  Status removeAll(const fs::path& path) override;
  Status writeFile(const fs::path& path, std::string_view data) override;
  Status createDirectories(const fs::path& dir) override;
  Status makeUniqueFolder(const fs::path& parent, const std::string& prefix,
                          fs::path* out) override;
  Status copyItem(const fs::path& from, const fs::path& to,
                  const StopRequested& stop = {}) override;
  Status syncFile(const fs::path& path) override;
  Status syncFolder(const fs::path& dir) override;

 private:
  struct Fault {
    Op op;
    std::string pathPart;
    int err;
  };
  // The injected failure for `op` on `path`, or ok.
  Status injected(Op op, const fs::path& path);

  mutable std::mutex mutex_;
  std::vector<Fault> faults_;
  std::vector<std::string> failures_;
  std::vector<std::string> steps_;
};

}  // namespace morvane::testing

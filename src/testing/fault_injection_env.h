// FaultInjectionEnv: the machine's file system with chosen operations
// failing, in the manner of an EnvWrapper: each fault names an operation,
// a part of the path it strikes and the errno it fails with. Chosen
// operations can also first change the file system under the caller (a
// folder removed mid-run). Safe to use from the service's worker threads.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/env.h"

namespace morvane::testing {

class FaultInjectionEnv : public RealEnv {
 public:
  enum class Op {
    rename, remove, write, createDirectories, makeFolder, copy, syncFile, syncFolder
  };

  // From now on, `op` on a path that contains `pathPart` fails with `err`.
  void fail(Op op, std::string pathPart, int err);

  // The next `op` on a path that contains `pathPart` first calls `action`
  // (once; then the operation goes on as it would).
  void before(Op op, std::string pathPart, std::function<void()> action);

  // The next `op` on a path that contains `pathPart` first removes
  // `folder` with everything in it, as a user might while a run goes on.
  void removeBefore(Op op, std::string pathPart, fs::path folder);

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
  struct Hook {
    Op op;
    std::string pathPart;
    std::function<void()> action;
  };
  // Runs the hooks `op` on `path` strikes; then the injected failure for
  // it, or ok.
  Status injected(Op op, const fs::path& path);

  mutable std::mutex mutex_;
  std::vector<Fault> faults_;
  std::vector<Hook> hooks_;
  std::vector<std::string> failures_;
  std::vector<std::string> steps_;
};

}  // namespace morvane::testing

#include "testing/fault_injection_env.h"

#include <system_error>

namespace morvane::testing {

void FaultInjectionEnv::fail(Op op, std::string pathPart, int err) {
  std::lock_guard lock(mutex_);
  faults_.push_back({op, std::move(pathPart), err});
}

std::vector<std::string> FaultInjectionEnv::failures() const {
  std::lock_guard lock(mutex_);
  return failures_;
}

std::vector<std::string> FaultInjectionEnv::steps() const {
  std::lock_guard lock(mutex_);
  return steps_;
}

void FaultInjectionEnv::before(Op op, std::string pathPart, std::function<void()> action) {
  std::lock_guard lock(mutex_);
  hooks_.push_back({op, std::move(pathPart), std::move(action)});
}

void FaultInjectionEnv::removeBefore(Op op, std::string pathPart, fs::path folder) {
  // Moved aside first, so that it is gone at once even while a worker
  // writes into it (remove_all alone would then fail half way).
  before(op, std::move(pathPart), [folder = std::move(folder)] {
    fs::path aside = folder;
    aside += ".removed";
    std::error_code ignored;
    fs::rename(folder, aside, ignored);
    fs::remove_all(aside, ignored);
  });
}

Status FaultInjectionEnv::injected(Op op, const fs::path& path) {
  static const char* const kNames[] = {"rename",     "remove", "write",    "createDirectories",
                                       "makeFolder", "copy",   "syncFile", "syncFolder"};
  std::vector<std::function<void()>> actions;
  {
    std::lock_guard lock(mutex_);
    for (auto it = hooks_.begin(); it != hooks_.end();) {
      if (it->op != op || path.string().find(it->pathPart) == std::string::npos) {
        ++it;
        continue;
      }
      actions.push_back(std::move(it->action));
      it = hooks_.erase(it);
    }
  }
  for (const auto& action : actions) action();  // unlocked: it may use the file system
  std::lock_guard lock(mutex_);
  if (op == Op::rename || op == Op::syncFile || op == Op::syncFolder) {
    steps_.push_back(std::string(kNames[static_cast<int>(op)]) + " " + path.string());
  }
  for (const Fault& f : faults_) {
    if (f.op != op || path.string().find(f.pathPart) == std::string::npos) continue;
    const std::string message = std::generic_category().message(f.err);
    failures_.push_back(std::string(kNames[static_cast<int>(op)]) + " " + path.string() + ": " +
                        message);
    return Status::error(message);
  }
  return {};
}

Status FaultInjectionEnv::renameFile(const fs::path& from, const fs::path& to) {
  if (Status s = injected(Op::rename, to); !s.ok()) return s;
  return RealEnv::renameFile(from, to);
}

Status FaultInjectionEnv::removeAll(const fs::path& path) {
  if (Status s = injected(Op::remove, path); !s.ok()) return s;
  return RealEnv::removeAll(path);
}

Status FaultInjectionEnv::writeFile(const fs::path& path, std::string_view data) {
  if (Status s = injected(Op::write, path); !s.ok()) return s;
  return RealEnv::writeFile(path, data);
}

Status FaultInjectionEnv::createDirectories(const fs::path& dir) {
  if (Status s = injected(Op::createDirectories, dir); !s.ok()) return s;
  return RealEnv::createDirectories(dir);
}

Status FaultInjectionEnv::makeUniqueFolder(const fs::path& parent, const std::string& prefix,
                                           fs::path* out) {
  if (Status s = injected(Op::makeFolder, parent / prefix); !s.ok()) return s;
  return RealEnv::makeUniqueFolder(parent, prefix, out);
}

Status FaultInjectionEnv::copyItem(const fs::path& from, const fs::path& to,
                                   const StopRequested& stop) {
  if (Status s = injected(Op::copy, to); !s.ok()) return s;
  return RealEnv::copyItem(from, to, stop);
}

Status FaultInjectionEnv::syncFile(const fs::path& path) {
  if (Status s = injected(Op::syncFile, path); !s.ok()) return s;
  return RealEnv::syncFile(path);
}

Status FaultInjectionEnv::syncFolder(const fs::path& dir) {
  if (Status s = injected(Op::syncFolder, dir); !s.ok()) return s;
  return RealEnv::syncFolder(dir);
}

}  // namespace morvane::testing

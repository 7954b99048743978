#include "testing/fault_injection_env.h"

#include <cerrno>
#include <system_error>

#include "platform/real_env.h"

namespace morvane::testing {

namespace {

const char* name(FaultInjectionEnv::Op op) {
  static const char* const kNames[] = {
      "rename",   "remove",     "write",   "createDirectories", "makeFolder", "copy",
      "syncFile", "syncFolder", "stat",    "linkStatus",        "resolve",    "list",
      "isFinderAlias", "log",   "removeFile", "readFile",       "makeFile",   "longestName",
      "lockFile", "listAll"};
  return kNames[static_cast<int>(op)];
}

// The folder an item is named in, as syncFolder is told it.
fs::path folderOf(const fs::path& item) {
  return item.parent_path().empty() ? fs::path(".") : item.parent_path();
}

// True for `path` itself and anything below it.
bool within(const fs::path& item, const fs::path& path) {
  const std::string& p = path.native();
  const std::string& i = item.native();
  return i == p || (i.starts_with(p) && i.size() > p.size() && (p.ends_with('/') || i[p.size()] == '/'));
}

}  // namespace

FaultInjectionEnv::FaultInjectionEnv()
    : OwnedTargetEnv{std::make_unique<RealEnv>()}, EnvWrapper(*owned) {}

FaultInjectionEnv::FaultInjectionEnv(Env& target) : OwnedTargetEnv{}, EnvWrapper(target) {}

void FaultInjectionEnv::fail(Op op, std::string pathPart, int err) {
  MutexLock lock(mutex_);
  faults_.push_back({op, std::move(pathPart), err});
}

std::vector<std::string> FaultInjectionEnv::failures() const {
  MutexLock lock(mutex_);
  return failures_;
}

std::vector<std::string> FaultInjectionEnv::steps() const {
  MutexLock lock(mutex_);
  return steps_;
}

std::vector<fs::path> FaultInjectionEnv::unsyncedFiles() const {
  MutexLock lock(mutex_);
  return {unsynced_.begin(), unsynced_.end()};
}

void FaultInjectionEnv::before(Op op, std::string pathPart, std::function<void()> action) {
  MutexLock lock(mutex_);
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
  std::vector<std::function<void()>> actions;
  {
    MutexLock lock(mutex_);
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
  MutexLock lock(mutex_);
  if (op == Op::rename || op == Op::syncFile || op == Op::syncFolder) {
    steps_.push_back(std::string(name(op)) + " " + path.string());
  }
  for (const Fault& f : faults_) {
    if (f.op != op || path.string().find(f.pathPart) == std::string::npos) continue;
    Status failed = Status::fromErrno(f.err);
    failures_.push_back(std::string(name(op)) + " " + path.string() + ": " + failed.message());
    return failed;
  }
  return {};
}

void FaultInjectionEnv::untrack(const fs::path& path) {
  std::erase_if(unsynced_, [&](const fs::path& item) { return within(item, path); });
  std::erase_if(unnamed_, [&](const fs::path& item) { return within(item, path); });
}

Status FaultInjectionEnv::dropUnsyncedData() {
  std::set<fs::path> unsynced, unnamed;
  {
    MutexLock lock(mutex_);
    unsynced.swap(unsynced_);
    unnamed.swap(unnamed_);
  }
  Status first;
  const auto keep = [&first](Status s) {
    if (first.ok() && !s.ok()) first = std::move(s);
  };
  for (const fs::path& file : unnamed) keep(target().removeFile(file));
  for (const fs::path& file : unsynced) {
    if (!unnamed.contains(file)) keep(target().writeFile(file, ""));
  }
  return first;
}

void FaultInjectionEnv::log(std::string_view line) {
  if (injected(Op::log, std::string(line)).ok()) EnvWrapper::log(line);
}

FileInfo FaultInjectionEnv::stat(const fs::path& path) {
  if (!injected(Op::stat, path).ok()) return {};
  return EnvWrapper::stat(path);
}

Status FaultInjectionEnv::linkStatus(const fs::path& path, FileInfo* out) {
  if (Status s = injected(Op::linkStatus, path); !s.ok()) return s;
  return EnvWrapper::linkStatus(path, out);
}

fs::path FaultInjectionEnv::resolve(const fs::path& path) {
  if (!injected(Op::resolve, path).ok()) return {};
  return EnvWrapper::resolve(path);
}

Status FaultInjectionEnv::listDirectory(const fs::path& dir, std::vector<DirectoryItem>* out) {
  if (Status s = injected(Op::list, dir); !s.ok()) return s;
  return EnvWrapper::listDirectory(dir, out);
}

Status FaultInjectionEnv::listAllItems(const fs::path& dir, std::vector<DirectoryItem>* out) {
  if (Status s = injected(Op::listAll, dir); !s.ok()) return s;
  return EnvWrapper::listAllItems(dir, out);
}

bool FaultInjectionEnv::isFinderAlias(const fs::path& path) {
  return injected(Op::isFinderAlias, path).ok() && EnvWrapper::isFinderAlias(path);
}

Status FaultInjectionEnv::renameFile(const fs::path& from, const fs::path& to) {
  if (Status s = injected(Op::rename, to); !s.ok()) return s;
  Status s = EnvWrapper::renameFile(from, to);
  if (!s.ok()) return s;
  MutexLock lock(mutex_);
  untrack(to);
  if (unsynced_.erase(from) > 0) unsynced_.insert(to);
  if (unnamed_.erase(from) > 0) unnamed_.insert(to);
  return s;
}

Status FaultInjectionEnv::removeAll(const fs::path& path) {
  if (Status s = injected(Op::remove, path); !s.ok()) return s;
  Status s = EnvWrapper::removeAll(path);
  MutexLock lock(mutex_);
  if (s.ok()) untrack(path);
  return s;
}

Status FaultInjectionEnv::removeFile(const fs::path& path) {
  if (Status s = injected(Op::removeFile, path); !s.ok()) return s;
  Status s = EnvWrapper::removeFile(path);
  MutexLock lock(mutex_);
  if (s.ok()) untrack(path);
  return s;
}

Status FaultInjectionEnv::writeFile(const fs::path& path, std::string_view data) {
  if (Status s = injected(Op::write, path); !s.ok()) return s;
  const bool existed = target().stat(path).exists;
  Status s = EnvWrapper::writeFile(path, data);
  if (!s.ok()) return s;
  MutexLock lock(mutex_);
  unsynced_.insert(path);
  if (!existed) unnamed_.insert(path);
  return s;
}

Status FaultInjectionEnv::readFile(const fs::path& path, std::string* out) {
  if (Status s = injected(Op::readFile, path); !s.ok()) return s;
  return EnvWrapper::readFile(path, out);
}

Status FaultInjectionEnv::createDirectories(const fs::path& dir) {
  if (Status s = injected(Op::createDirectories, dir); !s.ok()) return s;
  return EnvWrapper::createDirectories(dir);
}

Status FaultInjectionEnv::makeUniqueFile(const fs::path& parent, const std::string& prefix,
                                         fs::path* out) {
  if (Status s = injected(Op::makeFile, parent / prefix); !s.ok()) return s;
  Status s = EnvWrapper::makeUniqueFile(parent, prefix, out);
  if (!s.ok()) return s;
  MutexLock lock(mutex_);
  unnamed_.insert(*out);
  return s;
}

std::size_t FaultInjectionEnv::longestName(const fs::path& folder) {
  if (!injected(Op::longestName, folder).ok()) return 0;
  return EnvWrapper::longestName(folder);
}

Status FaultInjectionEnv::makeUniqueFolder(const fs::path& parent, const std::string& prefix,
                                           fs::path* out) {
  if (Status s = injected(Op::makeFolder, parent / prefix); !s.ok()) return s;
  return EnvWrapper::makeUniqueFolder(parent, prefix, out);
}

Status FaultInjectionEnv::copyItem(const fs::path& from, const fs::path& to,
                                   const StopRequested& stop) {
  if (Status s = injected(Op::copy, to); !s.ok()) return s;
  return EnvWrapper::copyItem(from, to, stop);  // flushed, folder and all
}

Status FaultInjectionEnv::lockFile(const fs::path& path, std::unique_ptr<FileLock>* lock) {
  lock->reset();
  if (Status s = injected(Op::lockFile, path); !s.ok()) {
    return s.errorNumber() == EWOULDBLOCK ? Status() : s;  // held elsewhere
  }
  return EnvWrapper::lockFile(path, lock);
}

Status FaultInjectionEnv::syncFile(const fs::path& path) {
  if (Status s = injected(Op::syncFile, path); !s.ok()) return s;
  Status s = EnvWrapper::syncFile(path);
  MutexLock lock(mutex_);
  if (s.ok()) unsynced_.erase(path);
  return s;
}

Status FaultInjectionEnv::syncFolder(const fs::path& dir) {
  if (Status s = injected(Op::syncFolder, dir); !s.ok()) return s;
  Status s = EnvWrapper::syncFolder(dir);
  MutexLock lock(mutex_);
  const fs::path folder = dir.empty() ? fs::path(".") : dir;
  if (s.ok()) std::erase_if(unnamed_, [&](const fs::path& f) { return folderOf(f) == folder; });
  return s;
}

}  // namespace morvane::testing

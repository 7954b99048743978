#include "office/in_order_committer.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <system_error>

#include "office/failure_reasons.h"

namespace morvane {

namespace fs = std::filesystem;

fs::path partialPathFor(Env& env, const fs::path& target) {
  static std::atomic<std::uint64_t> counter{0};
  const std::string suffix = ".morvane-" + std::to_string(::getpid()) + "-" +
                             std::to_string(++counter) + ".part";
  const std::string name = target.filename().string();
  const std::size_t longest = env.longestName(target.parent_path());
  const std::size_t longestName = longest > 0 ? longest : 143;
  if (1 + name.size() + suffix.size() <= longestName) {
    return target.parent_path() / ("." + name + suffix);
  }
  return target.parent_path() / suffix;
}

Status commit(Env& env, const PendingExport& e, const WrittenFile& written) {
  const auto failed = [&](const Status& why) {
    if (Status there = e.folders->check(env, e.target); !there.ok()) return there;
    return explainFileError(e.target.string(), true,
                            "cannot write " + e.target.string() + ": " + why.message())
        .status();
  };
  // Gone from its folder: someone is removing the folder or files in it.
  const auto removed = [&] { return !env.stat(e.partial).exists; };
  const Status removedStatus =
      FailureReason::worded(FailureKind::missing,
                            "the finished export was removed from its folder before it could "
                            "take its place",
                            {})
          .status();
  if (Status synced = env.syncFile(e.partial); !synced.ok()) {
    const bool gone = removed();
    env.removeAll(e.partial);
    return failed(gone ? removedStatus
                       : Status::error("it could not be flushed to the disk: " +
                                       synced.message()));
  }
  if (Status there = e.folders->check(env, e.target); !there.ok()) {
    env.removeAll(e.partial);
    return there;
  }
  if (Status renamed = env.renameFile(e.partial, e.target); !renamed.ok()) {
    const bool gone = removed();
    env.removeAll(e.partial);
    return failed(gone ? removedStatus : renamed);
  }
  if (Status synced = env.syncFolder(e.target.parent_path()); !synced.ok()) {
    return failed(
        Status::error("its folder could not be flushed to the disk: " + synced.message()));
  }
  if (written) written(e.target.string());
  return {};
}

void discard(Env& env, const std::vector<PendingExport>& exports) {
  for (const PendingExport& e : exports) env.removeAll(e.partial);
}

void InOrderCommitter::ended(std::size_t i) {
  MutexLock lock(mutex_);
  ended_[i] = true;
  const std::size_t before = next_;
  while (!stopped_ && next_ < ended_.size() && ended_[next_]) {
    if (commitNext()) ++committed_;
    if (outcomes_[next_].error && !keepGoing_) {
      stopped_ = true;
      break;
    }
    ++next_;
  }
  if (next_ != before && advanced_) advanced_(next_);
}

bool InOrderCommitter::commitNext() {
  Outcome& outcome = outcomes_[next_];
  bool landed = true;
  for (const PendingExport& e : outcome.exports) {
    if (Status s = commit(env_, e, written_); !s.ok()) {
      landed = false;
      if (!outcome.error) outcome.error = describeCommit_(next_, e, s);
    }
  }
  outcome.exports.clear();
  // Converted: every export landed (a close may have failed after them).
  return landed && (!outcome.error || outcome.exportsDone);
}

bool InOrderCommitter::finish(std::size_t* failed) {
  MutexLock lock(mutex_);
  for (Outcome& outcome : outcomes_) {
    discard(env_, outcome.exports);
    outcome.exports.clear();
  }
  if (next_ == outcomes_.size()) return true;
  *failed = stopped_ ? next_ : outcomes_.size();
  return false;
}

std::size_t InOrderCommitter::committed() const {
  MutexLock lock(mutex_);
  return committed_;
}

bool InOrderCommitter::stopped() const {
  MutexLock lock(mutex_);
  return stopped_;
}

}  // namespace morvane

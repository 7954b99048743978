#include "office/progress_counter.h"

#include <chrono>
#include <optional>

namespace morvane {

void ProgressCounter::starting(const ScriptStatement& statement) {
  MutexLock lock(mutex_);
  count(statement);
  ++started_;
  changed_.notify_all();
}

void ProgressCounter::follow(const std::function<bool()>& finished) {
  std::size_t told = 0;
  {
    MutexLock lock(mutex_);
    told = reported_;
  }
  for (bool done = false; !done;) {
    std::optional<ScriptProgress> step;
    {
      MutexLock lock(mutex_);
      lock.waitFor(changed_, std::chrono::milliseconds(200),
                   [&]() REQUIRES(mutex_) { return started_ != told || finished(); });
      if (started_ != told) {
        told = started_;
        if (observer_) step = progress(started_ - 1);
      }
      done = finished();
      if (done) reported_ = started_;
    }
    if (step) observer_(*step);  // without the lock: the lanes go on meanwhile
  }
}

void ProgressCounter::notify() {
  MutexLock lock(mutex_);
  changed_.notify_all();
}

void ProgressCounter::count(const ScriptStatement& statement) {
  last_ = statement.text;
  if (statement.kind != ScriptStatement::Kind::open) return;
  ++opened_;
  document_ = statement.path;
}

ScriptProgress ProgressCounter::progress(std::size_t done) const {
  return {done, total_, last_, opened_, documents_, document_};
}

}  // namespace morvane

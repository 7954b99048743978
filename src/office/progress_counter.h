// ProgressCounter: counts the statements of a script as they start, on
// whichever lane, and tells an observer from the one thread that executes
// the script; with ScriptProgress, what the observer is told.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <string>

#include "office/script_parser.h"
#include "platform/thread_annotations.h"

namespace morvane {

// Told before each statement: how many of the script's statements are
// done, how many there are, and the one about to run; and how many of its
// documents have been opened, of how many, with the last one's path.
struct ScriptProgress {
  std::size_t done = 0;
  std::size_t total = 0;
  std::string statement;
  std::size_t documentsOpened = 0;
  std::size_t documentsTotal = 0;
  std::string document;
};
using ProgressObserver = std::function<void(const ScriptProgress&)>;

class ProgressCounter {
 public:
  ProgressCounter(const ProgressObserver& observer, std::size_t total, std::size_t documents)
      : observer_(observer), total_(total), documents_(documents) {}

  // A statement starts, on any thread.
  void starting(const ScriptStatement& statement) EXCLUDES(mutex_);

  // Waits until `finished` turns true, telling the observer of each step;
  // on the executing thread. `finished` is asked under the lock.
  void follow(const std::function<bool()>& finished) EXCLUDES(mutex_);

  // Wakes follow() to check its condition again; under the lock, so that
  // a change made just before is never missed between its check and its
  // wait.
  void notify() EXCLUDES(mutex_);

 private:
  void count(const ScriptStatement& statement) REQUIRES(mutex_);
  ScriptProgress progress(std::size_t done) const REQUIRES(mutex_);

  const ProgressObserver& observer_;
  const std::size_t total_;
  const std::size_t documents_;
  Mutex mutex_;
  std::condition_variable_any changed_;
  std::size_t started_ GUARDED_BY(mutex_) = 0;
  std::size_t reported_ GUARDED_BY(mutex_) = 0;
  std::size_t opened_ GUARDED_BY(mutex_) = 0;
  std::string last_ GUARDED_BY(mutex_);
  std::string document_ GUARDED_BY(mutex_);
};

}  // namespace morvane

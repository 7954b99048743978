// Interruptible: the stretches of a command-line run where nothing is in
// flight (a question waiting for its answer, the scan of the folders
// given), so that a termination signal may end the program there at once
// instead of cancelling the run. Leaving a stretch waits for a signal being
// handled in it, so nothing starts that the exit would cut short.
#pragma once

#include "platform/thread_annotations.h"

namespace morvane {

class Interruptible {
 public:
  // One stretch, for as long as the scope lives; `where` may be null (no
  // signal watcher). Stretches do not nest.
  class Scope {
   public:
    explicit Scope(Interruptible* where) : where_(where) {
      if (where_ != nullptr) where_->enter();
    }
    ~Scope() {
      if (where_ != nullptr) where_->leave();
    }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    Interruptible* where_;
  };

  // Inside a stretch: calls `end`, which must not return (it ends the
  // program), with the stretch held. Outside one: returns at once.
  template <typename End>
  void endIfInside(End&& end) EXCLUDES(mutex_) {
    MutexLock lock(mutex_);
    if (inside_) end();
  }

 private:
  void enter() EXCLUDES(mutex_) {
    MutexLock lock(mutex_);
    inside_ = true;
  }
  void leave() EXCLUDES(mutex_) {
    MutexLock lock(mutex_);
    inside_ = false;
  }

  Mutex mutex_;
  bool inside_ GUARDED_BY(mutex_) = false;
};

}  // namespace morvane

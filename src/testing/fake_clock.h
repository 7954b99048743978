// FakeClock: a Clock that moves only when told to, so that tests of
// timeouts and ages take no real time. sleepFor moves it on by the time
// asked for, at once, so code that polls and sleeps reaches its deadline
// without waiting. Safe from any thread.
#pragma once

#include <cstddef>

#include "platform/clock.h"
#include "platform/thread_annotations.h"

namespace morvane::testing {

class FakeClock : public Clock {
 public:
  // Starts at an arbitrary moment well after the clock's epoch.
  FakeClock();

  TimePoint now() override EXCLUDES(mutex_);
  // Moves the clock on by `duration` and counts the sleep.
  void sleepFor(Duration duration) override EXCLUDES(mutex_);

  // Moves the clock on by `duration`.
  void advance(Duration duration) EXCLUDES(mutex_);

  // The sleeps asked for so far.
  std::size_t sleeps() const EXCLUDES(mutex_);

 private:
  mutable Mutex mutex_;
  TimePoint now_ GUARDED_BY(mutex_);
  std::size_t sleeps_ GUARDED_BY(mutex_) = 0;
};

}  // namespace morvane::testing

#include "testing/fake_clock.h"

namespace morvane::testing {

FakeClock::FakeClock() : now_(TimePoint() + std::chrono::hours(24 * 1000)) {}

Clock::TimePoint FakeClock::now() {
  MutexLock lock(mutex_);
  return now_;
}

void FakeClock::sleepFor(Duration duration) {
  MutexLock lock(mutex_);
  ++sleeps_;
  if (duration > Duration::zero()) now_ += duration;
}

void FakeClock::advance(Duration duration) {
  MutexLock lock(mutex_);
  now_ += duration;
}

std::size_t FakeClock::sleeps() const {
  MutexLock lock(mutex_);
  return sleeps_;
}

}  // namespace morvane::testing

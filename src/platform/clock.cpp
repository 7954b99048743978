#include "platform/clock.h"

#include <thread>

namespace morvane {

Clock::TimePoint SystemClock::now() { return std::chrono::steady_clock::now(); }

void SystemClock::sleepFor(Duration duration) {
  if (duration > Duration::zero()) std::this_thread::sleep_for(duration);
}

Clock& systemClock() {
  static SystemClock clock;
  return clock;
}

}  // namespace morvane

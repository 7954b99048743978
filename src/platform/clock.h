// Clock: the time the core measures timeouts and budgets with, a steady
// clock that never jumps with the wall clock, and waiting on it. The
// programs use systemClock(); tests hand in a FakeClock
// (src/testing/fake_clock.h) that they move by hand.
#pragma once

#include <chrono>

namespace morvane {

class Clock {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  using Duration = std::chrono::steady_clock::duration;

  virtual ~Clock() = default;

  // The present moment; never earlier than an earlier call's answer.
  virtual TimePoint now() = 0;

  // Waits for `duration` (nothing for a zero or negative one), as now()
  // counts it. Safe from any thread.
  virtual void sleepFor(Duration duration) = 0;
};

// std::chrono::steady_clock and std::this_thread::sleep_for.
class SystemClock : public Clock {
 public:
  TimePoint now() override;
  void sleepFor(Duration duration) override;
};

// The one SystemClock of the process.
Clock& systemClock();

}  // namespace morvane

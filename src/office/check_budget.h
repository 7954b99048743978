// CheckBudget: what the container check of one document may spend in all,
// whatever the container holds: bytes decoded across its parts (inflated
// out of the zip archive or read from a package folder, then unframed) and
// time. Spending past either fails with a reason for the user, so that no
// document, however made, keeps the check busy or makes it large.
#pragma once

#include <chrono>
#include <cstdint>

#include "platform/clock.h"
#include "platform/status.h"

namespace morvane {

struct CheckLimits {
  // The largest real index comes to a few tens of MB decoded; each part
  // is bounded on its own as well (128 MB).
  std::uint64_t decodedBytes = 512ull << 20;
  std::chrono::milliseconds time = std::chrono::seconds(30);
};

class CheckBudget {
 public:
  // The time counts from now, on `clock`.
  explicit CheckBudget(const CheckLimits& limits = {}, Clock& clock = systemClock());

  // Takes `bytes` from what is left; fails when they do not fit or the
  // time is up.
  Status spend(std::uint64_t bytes);

  // Fails when `bytes` more would not fit, taking nothing.
  Status wouldFit(std::uint64_t bytes) const;

  // Fails when the time is up.
  Status inTime() const;

  // Whether the check has run out of either: a failure then is the
  // budget's, not that of the part being read.
  bool spentOut() const;

 private:
  Status tooLarge() const;

  CheckLimits limits_;
  Clock& clock_;
  Clock::TimePoint deadline_;
  std::uint64_t spent_ = 0;
};

}  // namespace morvane

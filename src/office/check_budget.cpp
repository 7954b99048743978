#include "office/check_budget.h"

#include <string>

namespace morvane {

CheckBudget::CheckBudget(const CheckLimits& limits, Clock& clock)
    : limits_(limits), clock_(clock), deadline_(clock.now() + limits.time) {}

Status CheckBudget::spend(std::uint64_t bytes) {
  if (Status s = wouldFit(bytes); !s.ok()) {
    spent_ = limits_.decodedBytes + 1;  // spent out
    return s;
  }
  spent_ += bytes;
  return inTime();
}

Status CheckBudget::wouldFit(std::uint64_t bytes) const {
  if (bytes > limits_.decodedBytes - spent_) return tooLarge();
  return {};
}

Status CheckBudget::inTime() const {
  if (clock_.now() < deadline_) return {};
  const auto ms = limits_.time.count();
  return Status::error("checking it took longer than " +
                       (ms >= 1000 && ms % 1000 == 0 ? std::to_string(ms / 1000) + " s"
                                       : std::to_string(ms) + " ms"));
}

bool CheckBudget::spentOut() const {
  return spent_ > limits_.decodedBytes || clock_.now() >= deadline_;
}

Status CheckBudget::tooLarge() const {
  return Status::error("its index decodes to more than " +
                       std::to_string(limits_.decodedBytes >> 20) +
                       " MB in all, more than any document's");
}

}  // namespace morvane

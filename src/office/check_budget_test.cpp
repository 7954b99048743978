#include "office/check_budget.h"

#include <gtest/gtest.h>

#include "testing/fake_clock.h"

namespace morvane {
namespace {

using namespace std::chrono_literals;

TEST(CheckBudgetTest, RunsOutOfTimeOnItsClockAlone) {
  testing::FakeClock clock;
  CheckBudget budget({1 << 20, 30s}, clock);
  clock.advance(29s);
  EXPECT_TRUE(budget.spend(10).ok());
  EXPECT_FALSE(budget.spentOut());
  clock.advance(1s);
  EXPECT_EQ(budget.inTime().message(), "checking it took longer than 30 s");
  EXPECT_EQ(budget.spend(10).message(), "checking it took longer than 30 s");
  EXPECT_TRUE(budget.spentOut());

  CheckBudget quick({1 << 20, 1500ms}, clock);
  clock.advance(2s);
  EXPECT_EQ(quick.inTime().message(), "checking it took longer than 1500 ms");
}

// Bytes that would not fit are refused without being taken; spending
// them anyway leaves the budget spent out.
TEST(CheckBudgetTest, RefusesBytesPastTheLimit) {
  testing::FakeClock clock;
  CheckBudget budget({3 << 20, 30s}, clock);
  EXPECT_TRUE(budget.spend(2 << 20).ok());
  EXPECT_EQ(budget.wouldFit((1 << 20) + 1).message(),
            "its index decodes to more than 3 MB in all, more than any document's");
  EXPECT_TRUE(budget.wouldFit(1 << 20).ok());
  EXPECT_FALSE(budget.spentOut());
  EXPECT_FALSE(budget.spend((1 << 20) + 1).ok());
  EXPECT_TRUE(budget.spentOut());
}

}  // namespace
}  // namespace morvane

// What the objects of a decoded archive count for, on archives made by the
// tests themselves (testing/iwork_archives.h).
#include "office/iwa_content.h"

#include <gtest/gtest.h>

#include "testing/iwork_archives.h"

namespace morvane {
namespace {

using namespace testing::iwork;

TEST(IwaContentTest, CellsThatCarryOnlyAStyleAreNoContent) {
  const auto cellsOf = [&](const std::string& tilePayload) {
    IworkContent content;
    EXPECT_TRUE(countIwaContent(object(1, 6002, tilePayload), &content).ok());
    return content.cells;
  };
  EXPECT_EQ(cellsOf(storedRow({0, 0, 0})), 0u);
  EXPECT_EQ(cellsOf(storedRow({0, 2, 3, 0, 5})), 3u);
  EXPECT_EQ(cellsOf(storedRow({3, 0, 9}, /*wide=*/true)), 2u);
  EXPECT_EQ(cellsOf(storedRow({0, 0}, false, /*version=*/6)), 2u);  // not understood: counts
}

}  // namespace
}  // namespace morvane

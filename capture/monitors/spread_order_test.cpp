#include "capture/monitors/spread_order.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(SpreadOrderTest, MatchesTheKnownTables) {
  EXPECT_EQ(SpreadOrder(16), (std::vector<int32_t>{8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15, 0}));
  EXPECT_EQ(SpreadOrder(7), (std::vector<int32_t>{3, 1, 5, 0, 4, 2, 6}));
  EXPECT_EQ(SpreadOrder(1), (std::vector<int32_t>{0}));
  // Five items: the right half of the left half is empty and is skipped.
  EXPECT_EQ(SpreadOrder(5), (std::vector<int32_t>{2, 1, 4, 0, 3}));
  EXPECT_TRUE(SpreadOrder(0).empty());
  EXPECT_TRUE(SpreadOrder(-3).empty());
}

TEST(SpreadOrderTest, IsAPermutationForEveryLengthUpTo4096) {
  for (int32_t n = 1; n <= 4096; ++n) {
    const std::vector<int32_t> order = SpreadOrder(n);
    ASSERT_EQ(order.size(), static_cast<size_t>(n)) << n;
    std::vector<bool> seen(static_cast<size_t>(n), false);
    for (int32_t item : order) {
      ASSERT_GE(item, 0) << n;
      ASSERT_LT(item, n) << n;
      ASSERT_FALSE(seen[static_cast<size_t>(item)]) << "n " << n << " repeats " << item;
      seen[static_cast<size_t>(item)] = true;
    }
    ASSERT_EQ(order[0], n / 2) << n;
  }
}

}  // namespace

#include "common/log_budget.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace vz {
namespace {

TEST(LogBudgetTest, ABurstThenOneLineEachRefillAndTheNextLineCountsThoseLeftOut) {
  LogBudget budget(3, 1000);
  uint64_t now = 5000;
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(budget.Take(now)) << "line " << i;
    EXPECT_EQ(budget.LeftOutNote(), "");
  }
  for (int i = 0; i < 500; ++i) EXPECT_FALSE(budget.Take(now + 999)) << "left out " << i;
  EXPECT_TRUE(budget.Take(now + 1000));
  EXPECT_EQ(budget.LeftOut(), 500u);
  EXPECT_EQ(budget.LeftOutNote(), " (500 more like it left out of the log before this one)");
  EXPECT_FALSE(budget.Take(now + 1999));
  // Time earns lines up to the burst, never more.
  now += 1000 + 100 * 1000;
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(budget.Take(now)) << "line " << i;
  EXPECT_EQ(budget.LeftOut(), 0u) << "the one left out at +1999 was counted on the first of these";
  EXPECT_FALSE(budget.Take(now));
  // A clock that goes back earns nothing.
  EXPECT_FALSE(budget.Take(now - 3000));
  EXPECT_TRUE(budget.Take(now - 2000));
  EXPECT_EQ(budget.LeftOut(), 2u);
}

TEST(LogBudgetTest, AFloodAtAnyPaceWritesNoMoreThanTheBurstAndOneLinePerRefill) {
  LogBudget budget(20, 15000);
  int written = 0;
  // A line asked for every 0.2 ms for an hour.
  for (uint64_t at_us = 0; at_us < 3600ull * 1000 * 1000; at_us += 200) written += budget.Take(1 + at_us / 1000);
  EXPECT_LE(written, 20 + 3600 / 15);
}

}  // namespace
}  // namespace vz

#include "platform/clock.h"

#include <gtest/gtest.h>

namespace vz {
namespace {

TEST(ClockTest, ClocksAgreeAndLocalTimeIsInRange) {
  uint64_t before_us = MonotonicUs();
  uint64_t ms = MonotonicMs();
  SleepMs(2);
  EXPECT_GE(MonotonicUs() - before_us, 2000u);  // the sleep lasts at least as asked
  EXPECT_GE(SystemClock().NowMs(), ms);
  EXPECT_LE(before_us / 1000, ms);

  LocalTime now = NowLocal();
  EXPECT_GE(now.year, 2024);
  EXPECT_TRUE(now.month >= 1 && now.month <= 12);
  EXPECT_TRUE(now.day >= 1 && now.day <= 31);
  EXPECT_TRUE(now.hour >= 0 && now.hour <= 23);
  EXPECT_TRUE(now.minute >= 0 && now.minute <= 59);
  EXPECT_TRUE(now.second >= 0 && now.second <= 60);
  EXPECT_TRUE(now.millisecond >= 0 && now.millisecond <= 999);
  EXPECT_GT(UnixTimeSeconds(), 1700000000);
}

}  // namespace
}  // namespace vz

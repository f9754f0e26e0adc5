#include "video/engine/core/time_value.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "video/engine/core/engine_clock.h"

namespace {

using VZSE_::TimeValue;

TEST(TimeValueTest, NormalizeCarriesAndGivesBothPartsOneSign) {
  EXPECT_EQ(TimeValue(1, 2500000), TimeValue(3, 500000));
  EXPECT_EQ(TimeValue(2, -300000), TimeValue(1, 700000));
  EXPECT_EQ(TimeValue(-2, 300000), TimeValue(-1, -700000));
  EXPECT_EQ(TimeValue(0, -1500000), TimeValue(-1, -500000));
  const TimeValue t(5, -5000001);
  EXPECT_EQ(t.sec_for_testing(), -0);
  EXPECT_EQ(t.usec_for_testing(), -1);
}

TEST(TimeValueTest, OrderingArithmeticAndMilliseconds) {
  EXPECT_LT(TimeValue(1, 999999), TimeValue(2, 0));
  EXPECT_EQ(TimeValue(1, 600000) + TimeValue(0, 600000), TimeValue(2, 200000));
  EXPECT_EQ(TimeValue(1, 0) - TimeValue(0, 1), TimeValue(0, 999999));
  EXPECT_EQ(TimeValue(3000000, 0).ToMs(), 3000000000LL) << "no 32-bit wrap after 24.8 days";
  EXPECT_EQ(TimeValue::Infinite().ToMs(), INT64_MAX);
  EXPECT_TRUE((TimeValue::Infinite() + TimeValue(1, 0)).IsInfinite());
  EXPECT_EQ(TimeValue::FromMsForTesting(1500), TimeValue(1, 500000));
}

TEST(EngineClockTest, MillisecondDifferencesStayRightAcrossTheWrap) {
  VZSE_::FakeEngineClock clock((int64_t{0xFFFFFFFF} - 5) * 1000);
  VZSE_::EngineClock* previous = VZSE_::SetEngineClockForTest(&clock);
  const uint32_t before = VZSE_::NowMs();
  clock.AdvanceMs(10);
  const uint32_t after = VZSE_::NowMs();
  EXPECT_LT(after, before);
  EXPECT_EQ(after - before, 10u);
  // The wall-clock microseconds follow the monotonic clock, not wall steps.
  const int64_t w0 = VZSE_::WallClockMicroseconds();
  clock.StepWallUsForTesting(-3600000000LL);
  clock.AdvanceUs(5);
  EXPECT_EQ(VZSE_::WallClockMicroseconds() - w0, 5);
  VZSE_::SetEngineClockForTest(previous == &VZSE_::SystemEngineClock() ? nullptr : previous);
}

TEST(EngineClockTest, ByteOrderHelperReversesOnThisHost) {
  uint8_t b[4] = {1, 2, 3, 4};
  VZSE_::SwapByteOrder(b, 4);
  EXPECT_EQ(b[0], 4);
  EXPECT_EQ(b[3], 1);
}

}  // namespace

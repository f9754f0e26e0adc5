#include "video/engine/receive/rtp_receive_estimators.h"

#include <gtest/gtest.h>

namespace {

TEST(CounterOrderTest, ForwardWindowAcrossTheWrapIsShort) {
  EXPECT_TRUE(IsCounterAhead(3, 65535));
  EXPECT_FALSE(IsCounterAhead(65535, 3));
  EXPECT_TRUE(IsCounterAhead(60000, 1000));
  EXPECT_FALSE(IsCounterAhead(1000, 60000));
  EXPECT_FALSE(IsCounterAhead(7, 7));
  // a > b: ahead up to a distance of 62,534.
  EXPECT_TRUE(IsCounterAhead(62534, 0));
  EXPECT_FALSE(IsCounterAhead(62535, 0));
  EXPECT_TRUE(IsCounterAhead(0, 62535));
  // a < b: ahead across the wrap up to 3,001.
  EXPECT_TRUE(IsCounterAhead(3000, 65535));
  EXPECT_FALSE(IsCounterAhead(3001, 65535));
}

TEST(BitRateEstimatorTest, WindowsBlendAndStayRightAboveFourGigabits) {
  CBitRateEstimator rate;
  for (uint32_t t = 0; t < 1000; t += 100) rate.Input(12500, t);
  EXPECT_EQ(rate.rate(), 0u);
  rate.Input(0, 1000);
  EXPECT_EQ(rate.rate(), 1000000u);
  EXPECT_EQ(rate.rate() >> 10, 976u);
  for (uint32_t t = 1100; t <= 2000; t += 100) rate.Input(25000, t);
  EXPECT_EQ(rate.rate(), 1600000u);

  // 1 MB in a second: the byte count times 8,000 no longer fits 32 bits.
  CBitRateEstimator busy;
  busy.Input(0, 0);
  for (uint32_t t = 100; t <= 1000; t += 100) busy.Input(100000, t);
  EXPECT_EQ(busy.rate(), 8000000u);
}

TEST(BitRateEstimatorTest, AnEarlierTimeRestartsTheWindowWithItsOwnBytes) {
  CBitRateEstimator rate;
  rate.Input(5000, 10000);
  rate.Input(1000, 9000);  // clock stepped back
  rate.Input(0, 10000);
  EXPECT_EQ(rate.rate(), 8000u);
}

TEST(JitterEstimatorTest, SixteenthOfEachDeviation) {
  CJitterEstimator jitter;
  jitter.Input(0, 50);
  EXPECT_EQ(jitter.jitter(), 0);
  jitter.Input(100, 150 + 32);  // transit grew by 32 ms
  EXPECT_EQ(jitter.jitter(), 2);
  jitter.Input(200, 250);  // and shrank by 32
  EXPECT_EQ(jitter.jitter(), 3);
}

// Sends counters start+1 .. start+n-1 early in a window (skipping the first
// `drops` of them), then start+n one second after the window opened, which closes
// the window and opens the next one.
struct LossDriver {
  CLossEstimator loss;
  uint16_t next = 0;
  uint32_t t = 0;

  void Start(uint16_t counter) {
    next = counter;
    loss.Input(next, t);
  }
  void Window(int n, int drops) {
    for (int i = 1; i < n; ++i) {
      if (i <= drops) continue;
      loss.Input(static_cast<uint16_t>(next + i), t + 100);
    }
    next = static_cast<uint16_t>(next + n);
    t += 1000;
    loss.Input(next, t);
  }
};

TEST(LossEstimatorTest, FirstCounterIsExpectedButNotReceived) {
  LossDriver d;
  d.Start(0);
  d.Window(10, 0);
  ASSERT_EQ(d.loss.windows_for_testing().size(), 1u);
  EXPECT_EQ(d.loss.windows_for_testing()[0].expected, 10);
  EXPECT_EQ(d.loss.windows_for_testing()[0].received, 9);
  EXPECT_EQ(d.loss.loss(), 100);
  // The closing counter ran ahead late: it belongs to the next window.
  EXPECT_EQ(d.loss.window_start_for_testing(), 10);
  EXPECT_EQ(d.loss.received_for_testing(), 1);
  EXPECT_EQ(d.loss.highest_for_testing(), 10);
}

TEST(LossEstimatorTest, AcceptanceLimitsAcrossTheWrap) {
  LossDriver d;
  d.Start(65500);
  for (uint16_t c = 65501; c != 11; ++c) d.loss.Input(c, 10);
  ASSERT_EQ(d.loss.highest_for_testing(), 10);
  const uint16_t received = d.loss.received_for_testing();
  d.loss.Input(static_cast<uint16_t>(10 - 99), 20);  // 99 behind, across the wrap
  EXPECT_EQ(d.loss.highest_for_testing(), 10);
  EXPECT_EQ(d.loss.received_for_testing(), received + 1);
  d.loss.Input(static_cast<uint16_t>(10 - 100), 30);  // 100 behind: restart
  EXPECT_EQ(d.loss.highest_for_testing(), static_cast<uint16_t>(10 - 100));
  EXPECT_EQ(d.loss.window_start_for_testing(), static_cast<uint16_t>(10 - 100));
  EXPECT_EQ(d.loss.received_for_testing(), 0);

  CLossEstimator ahead;
  ahead.Input(65000, 0);
  ahead.Input(static_cast<uint16_t>(65000 + 2999), 10);  // 2,999 ahead across the wrap
  EXPECT_EQ(ahead.highest_for_testing(), static_cast<uint16_t>(65000 + 2999));
  EXPECT_EQ(ahead.window_start_for_testing(), 65000);
  const uint16_t h = ahead.highest_for_testing();
  ahead.Input(static_cast<uint16_t>(h + 3000), 20);  // 3,000 ahead: restart
  EXPECT_EQ(ahead.window_start_for_testing(), static_cast<uint16_t>(h + 3000));
  EXPECT_EQ(ahead.received_for_testing(), 0);
}

TEST(LossEstimatorTest, LateCountersOnlyCountWhenBehindTheHighest) {
  CLossEstimator loss;
  loss.Input(100, 0);
  loss.Input(101, 100);
  loss.Input(103, 100);
  loss.Input(104, 700);  // after 667 ms: ahead, so late
  EXPECT_EQ(loss.highest_for_testing(), 103);
  EXPECT_EQ(loss.received_for_testing(), 2);
  loss.Input(102, 800);  // reordered, behind the highest: received
  EXPECT_EQ(loss.received_for_testing(), 3);
  loss.Input(100, 800);  // the start counter itself is not ahead of the start
  EXPECT_EQ(loss.received_for_testing(), 3);
}

TEST(LossEstimatorTest, LossUsesNewestWindowsUntilHundredExpected) {
  LossDriver d;
  d.Start(0);
  d.Window(50, 0);
  d.Window(50, 25);
  d.Window(50, 0);
  d.Window(50, 10);
  // Newest two windows: 100 expected, 90 received.
  EXPECT_EQ(d.loss.loss(), 100);
  for (int i = 0; i < 4; ++i) d.Window(50, 0);
  EXPECT_EQ(d.loss.windows_for_testing().size(), CLossEstimator::kMaxWindows);
  EXPECT_EQ(d.loss.windows_for_testing().front().start, 100);  // the two oldest were dropped
  EXPECT_EQ(d.loss.loss(), 0);
}

TEST(LossEstimatorTest, WindowWithNothingExpectedKeepsTheLoss) {
  CLossEstimator loss;
  loss.Input(0, 0);
  for (uint16_t c = 2; c <= 4; ++c) loss.Input(c, 100);
  loss.Input(4, 1000);  // a repeat closes the window: 5 expected, 4 received
  ASSERT_EQ(loss.windows_for_testing().size(), 1u);
  EXPECT_EQ(loss.loss(), 200);
  EXPECT_EQ(loss.window_start_for_testing(), 5);
  loss.Input(3, 2000);  // nothing ran ahead of 4: no window, same loss
  EXPECT_EQ(loss.windows_for_testing().size(), 1u);
  EXPECT_EQ(loss.loss(), 200);
}

// A steady stream 100 ms apart whose transit is `diff` ms.
void Feed(CDelayEstimator& delay, uint32_t& t, int32_t diff) {
  delay.Input(t - static_cast<uint32_t>(diff), t);
  t += 100;
}

TEST(DelayEstimatorTest, CalmStreamRebasesToItsCalmDelayAfterFiveSeconds) {
  CDelayEstimator delay;
  uint32_t t = 100000;
  Feed(delay, t, 100);
  while (t < 100000 + 5000) Feed(delay, t, 120);
  EXPECT_EQ(delay.minimum_for_testing(), 100);
  ASSERT_GE(delay.calm_count_for_testing(), CDelayEstimator::kCalmRebaseCount);
  const int32_t calm = delay.calm_for_testing();
  Feed(delay, t, 120);  // 5,000 ms after the minimum was set
  EXPECT_EQ(delay.minimum_for_testing(), calm);
  EXPECT_EQ(delay.slow_for_testing(), calm);
  EXPECT_EQ(delay.calm_count_for_testing(), 1);  // cleared, then this calm packet
  EXPECT_LE(delay.variation(), 20);
}

TEST(DelayEstimatorTest, SteadyLongDelayRebasesToTheSlowDelayAfterSeventyFiveSeconds) {
  CDelayEstimator delay;
  uint32_t t = 0;
  Feed(delay, t, 0);
  while (t < 75000) Feed(delay, t, 400);
  EXPECT_EQ(delay.minimum_for_testing(), 0);
  EXPECT_GT(delay.variation(), 100);
  ASSERT_GE(delay.long_count_for_testing(), CDelayEstimator::kLongRebaseCount);
  EXPECT_EQ(delay.swing_for_testing(), 2);
  const int32_t slow = delay.slow_for_testing();
  Feed(delay, t, 400);  // t = 75,000
  EXPECT_EQ(delay.minimum_for_testing(), slow);
  EXPECT_EQ(delay.long_count_for_testing(), 1);
  EXPECT_EQ(delay.swing_for_testing(), 1);  // small again against the new base
}

TEST(DelayEstimatorTest, JitteryPacketsKeepTheCalmCountDown) {
  CDelayEstimator delay;
  uint32_t t = 0;
  Feed(delay, t, 50);
  for (int i = 0; i < 10; ++i) Feed(delay, t, 50);
  EXPECT_EQ(delay.calm_count_for_testing(), 10);
  // Four packets whose spacing differs by more than 19 ms from the send
  // spacing: the fourth jittery event clears both counts.
  for (int i = 0; i < 4; ++i) Feed(delay, t, (i % 2) == 0 ? 80 : 50);
  EXPECT_EQ(delay.calm_count_for_testing(), 0);
  EXPECT_EQ(delay.jittery_count_for_testing(), 0);
}

TEST(DelayEstimatorTest, HostileSendTimesBendTheFiguresWithoutOverflow) {
  CDelayEstimator delay;
  CJitterEstimator jitter;
  const uint32_t sends[] = {0x80000000u, 0x00000001u, 0x7FFFFFFFu, 0x80000001u, 0u, 0xFFFFFFFFu};
  for (int round = 0; round < 40; ++round) {
    const uint32_t sent = sends[round % 6];
    const uint32_t received = 0x7FFFFFFFu + static_cast<uint32_t>(round);
    delay.Input(sent, received);
    jitter.Input(sent, received);
    ASSERT_GE(delay.variation(), 0) << "round " << round;
    ASSERT_GE(jitter.jitter(), 0) << "round " << round;
  }
}

}  // namespace

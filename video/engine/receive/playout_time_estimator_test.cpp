#include "video/engine/receive/playout_time_estimator.h"

#include <gtest/gtest.h>


#include "video/engine/core/engine_clock.h"

namespace {

struct Result {
  uint32_t render, delay;
};

Result At(CPlayoutTimeEstimator& e, uint32_t ts, uint32_t arrival) {
  Result r{0, 0};
  EXPECT_EQ(e.Estimate(ts, arrival, &r.render, &r.delay), 0) << "ts " << ts << " arriving " << arrival;
  return r;
}

TEST(PlayoutTimeEstimatorTest, TheFirstFrameRendersAtItsArrival) {
  CPlayoutTimeEstimator e;
  const Result r = At(e, 90000, 5000);
  EXPECT_EQ(r.render, 5000u);
  EXPECT_EQ(r.delay, 0u);
}

TEST(PlayoutTimeEstimatorTest, EvenFramesKeepAConstantOffsetAndABurstIsNeverEarly) {
  CPlayoutTimeEstimator e;
  for (uint32_t i = 0; i < 50; ++i) {
    const Result r = At(e, 1000 + i * 33, 20000 + i * 33);
    EXPECT_EQ(r.render, 20000 + i * 33) << i;
    EXPECT_EQ(r.delay, 0u) << i;
  }
  // Three frames held up in the network arrive together, 200 ms late.
  const uint32_t burst_arrival = 20000 + 52 * 33 + 200;
  for (uint32_t i = 50; i < 53; ++i) {
    const Result r = At(e, 1000 + i * 33, burst_arrival);
    EXPECT_GE(r.render, burst_arrival) << "rendered no earlier than it arrived";
  }
}

TEST(PlayoutTimeEstimatorTest, RunningAheadOfTheReferencePullsBackAtEightTenths) {
  CPlayoutTimeEstimator e;
  At(e, 0, 1000);
  At(e, 100, 1300);  // 200 ms slower than the reference: jitter 200, rendered at 1300
  // The fastest frame yet becomes the reference (200, 1100); the plain step
  // would render at 1400, past reference + jitter (1300), so the step is cut.
  const Result r = At(e, 200, 1100);
  EXPECT_EQ(r.render, 1300u + 100u - 20u) << "0.8 of the 100 ms step";
}

TEST(PlayoutTimeEstimatorTest, APauseOfMoreThanTwoMinutesRestartsTheReference) {
  CPlayoutTimeEstimator e;
  At(e, 0, 1000);
  At(e, 33, 1333);  // 300 ms slower than the reference
  const Result after = At(e, 100033, 1000 + 120001);
  EXPECT_EQ(after.render, 121001u);
  EXPECT_EQ(after.delay, 0u) << "the restarted reference is this frame";
  const Result next = At(e, 100066, 121034);
  EXPECT_EQ(next.render, 121034u);
}

TEST(PlayoutTimeEstimatorTest, AFrameDelayedBeyondThreeSecondsChangesNothing) {
  CPlayoutTimeEstimator with_late, without;
  for (CPlayoutTimeEstimator* e : {&with_late, &without}) {
    At(*e, 0, 1000);
    At(*e, 33, 1100);  // jitter 67
  }
  const Result late = At(with_late, 66, 1066 + 3001);
  EXPECT_EQ(late.delay, 3001u);
  EXPECT_EQ(late.render, 1066u + 3001u);
  EXPECT_EQ(with_late.jitter_max_ms_for_testing(), without.jitter_max_ms_for_testing());
  // Whatever follows is estimated exactly as if the late frame never came.
  for (uint32_t i = 3; i < 10; ++i) {
    const Result a = At(with_late, i * 33, 1000 + i * 40);
    const Result b = At(without, i * 33, 1000 + i * 40);
    EXPECT_EQ(a.render, b.render) << i;
    EXPECT_EQ(a.delay, b.delay) << i;
  }
}

TEST(PlayoutTimeEstimatorTest, JitterIsTheLargestOfTwoThreeSecondWindows) {
  CPlayoutTimeEstimator e;
  At(e, 0, 10000);
  At(e, 1000, 11400);  // delay 400 in the first window
  EXPECT_EQ(e.jitter_max_ms_for_testing(), 400u);
  At(e, 3000, 13100);  // new window (t - start >= 3000), delay 100
  EXPECT_EQ(e.jitter_max_ms_for_testing(), 400u) << "the previous window still counts";
  At(e, 6000, 16050);  // another window: the 400 falls out
  EXPECT_EQ(e.jitter_max_ms_for_testing(), 100u);
}

TEST(PlayoutTimeEstimatorTest, TimesAcrossTheClockWrapStayInOrder) {
  CPlayoutTimeEstimator e;
  const uint32_t start = 0xFFFFFFFFu - 50;
  At(e, 1000, start);
  for (uint32_t i = 1; i < 5; ++i) {
    const Result r = At(e, 1000 + i * 33, start + i * 33);
    EXPECT_EQ(r.render, start + i * 33) << i;
    EXPECT_EQ(r.delay, 0u) << i;
  }
}

TEST(PlayoutTimeEstimatorTest, TheClockFormReadsTheEngineClock) {
  VZSE_::FakeEngineClock clock(7000 * 1000);
  VZSE_::EngineClock* previous = VZSE_::SetEngineClockForTest(&clock);
  CPlayoutTimeEstimator e;
  uint32_t render = 0;
  EXPECT_EQ(e.Estimate(500, &render), 0);
  EXPECT_EQ(render, 7000u);
  VZSE_::SetEngineClockForTest(previous == &VZSE_::SystemEngineClock() ? nullptr : previous);
}

}  // namespace

#include "video/engine/core/timer_queue.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

using VZSE_::FakeEngineClock;
using VZSE_::TimerQueueOrderedList;
using VZSE_::TimeValue;

struct Log {
  std::vector<std::string> fired;
};

class NamedHandler : public VZSE_::ITimerHandler {
 public:
  NamedHandler(Log* log, std::string name) : log_(log), name_(std::move(name)) {}
  void OnTimer(const TimeValue&, void*) override { log_->fired.push_back(name_); }

 private:
  Log* log_;
  std::string name_;
};

TimeValue Ms(int64_t ms) { return TimeValue::FromMsForTesting(ms); }

TEST(TimerQueueTest, TimersFireInExpiryOrderAndEqualExpiriesNewestFirst) {
  FakeEngineClock clock;
  TimerQueueOrderedList q(clock);
  Log log;
  NamedHandler a(&log, "a"), b(&log, "b"), c(&log, "c"), d(&log, "d");
  ASSERT_EQ(q.Schedule(&a, nullptr, Ms(30), 1), VSE_S_OK);
  ASSERT_EQ(q.Schedule(&b, nullptr, Ms(10), 1), VSE_S_OK);
  ASSERT_EQ(q.Schedule(&c, nullptr, Ms(20), 1), VSE_S_OK);
  ASSERT_EQ(q.Schedule(&d, nullptr, Ms(20), 1), VSE_S_OK);
  TimeValue next;
  EXPECT_EQ(q.CheckExpire(&next), 0);
  EXPECT_EQ(next, Ms(10));
  clock.AdvanceMs(25);
  EXPECT_EQ(q.CheckExpire(&next), 3);
  EXPECT_EQ(log.fired, (std::vector<std::string>{"b", "d", "c"}));
  EXPECT_EQ(next, Ms(5));
  clock.AdvanceMs(5);
  EXPECT_EQ(q.CheckExpire(&next), 1);
  EXPECT_TRUE(next.IsInfinite()) << "an empty queue waits without limit";
}

TEST(TimerQueueTest, ABusyThreadSkipsMissedPeriodsInsteadOfReplayingThem) {
  FakeEngineClock clock;
  TimerQueueOrderedList q(clock);
  Log log;
  NamedHandler tick(&log, "tick");
  ASSERT_EQ(q.Schedule(&tick, nullptr, Ms(15), 0), VSE_S_OK);  // t = 15, 30, 45, ...
  clock.AdvanceMs(15 * 3 + 7);                                  // busy for three periods: now 52
  TimeValue next;
  EXPECT_EQ(q.CheckExpire(&next), 1);
  EXPECT_EQ(next, Ms(8)) << "next expiry is the first boundary after now (60)";
  clock.AdvanceMs(8);
  EXPECT_EQ(q.CheckExpire(&next), 1);
  EXPECT_EQ(log.fired.size(), 2u);
}

TEST(TimerQueueTest, CountedTimersEndAndRescheduleReplaces) {
  FakeEngineClock clock;
  TimerQueueOrderedList q(clock);
  Log log;
  NamedHandler h(&log, "h");
  ASSERT_EQ(q.Schedule(&h, nullptr, Ms(10), 2), VSE_S_OK);
  ASSERT_EQ(q.Schedule(&h, nullptr, Ms(50), 2), VSE_S_OK);
  EXPECT_EQ(q.size_for_testing(), 1u) << "the second schedule replaced the first";
  TimeValue next;
  clock.AdvanceMs(10);
  EXPECT_EQ(q.CheckExpire(&next), 0);
  for (int i = 0; i < 3; ++i) {
    clock.AdvanceMs(50);
    q.CheckExpire(&next);
  }
  EXPECT_EQ(log.fired.size(), 2u) << "count 2 fires twice";
  EXPECT_EQ(q.size_for_testing(), 0u);
}

TEST(TimerQueueTest, ZeroIntervalFiresOnceAndIsRefusedWithoutEnd) {
  FakeEngineClock clock;
  TimerQueueOrderedList q(clock);
  Log log;
  NamedHandler h(&log, "h");
  EXPECT_EQ(q.Schedule(&h, nullptr, TimeValue::Zero(), 0), VSE_E_FAIL);
  EXPECT_EQ(q.Schedule(&h, nullptr, TimeValue::Zero(), 2), VSE_E_FAIL);
  EXPECT_EQ(q.Schedule(nullptr, nullptr, Ms(5), 1), VSE_E_FAIL);
  ASSERT_EQ(q.Schedule(&h, nullptr, TimeValue::Zero(), 1), VSE_S_OK);
  TimeValue next;
  EXPECT_EQ(q.CheckExpire(&next), 1);
  EXPECT_EQ(q.CheckExpire(&next), 0);
  EXPECT_EQ(log.fired.size(), 1u);
}

TEST(TimerQueueTest, CancelRemovesAndUnknownIsRefused) {
  FakeEngineClock clock;
  TimerQueueOrderedList q(clock);
  Log log;
  NamedHandler h(&log, "h"), other(&log, "o");
  ASSERT_EQ(q.Schedule(&h, nullptr, Ms(5), 0), VSE_S_OK);
  EXPECT_EQ(q.CancelTimer(&other), VSE_E_FAIL);
  EXPECT_EQ(q.CancelTimer(nullptr), VSE_E_FAIL);
  EXPECT_EQ(q.CancelTimer(&h), VSE_S_OK);
  clock.AdvanceMs(100);
  EXPECT_EQ(q.CheckExpire(nullptr), 0);
}

TEST(TimerQueueTest, AWallClockStepNeitherStopsNorBunchesTimers) {
  FakeEngineClock clock;
  TimerQueueOrderedList q(clock);
  Log log;
  NamedHandler h(&log, "h");
  ASSERT_EQ(q.Schedule(&h, nullptr, Ms(15), 0), VSE_S_OK);
  clock.StepWallUsForTesting(-3600LL * 1000000);  // the user sets the clock back an hour
  clock.AdvanceMs(15);
  EXPECT_EQ(q.CheckExpire(nullptr), 1);
  clock.StepWallUsForTesting(7200LL * 1000000);  // and forward two
  EXPECT_EQ(q.CheckExpire(nullptr), 0);
}

TEST(TimerQueueTest, AnotherThreadMayNotTouchTheQueue) {
  FakeEngineClock clock;
  TimerQueueOrderedList q(clock);
  Log log;
  NamedHandler h(&log, "h");
  VseResult result = VSE_S_OK;
  std::thread([&] { result = q.Schedule(&h, nullptr, Ms(5), 1); }).join();
  EXPECT_EQ(result, VSE_E_FAIL);
  EXPECT_EQ(q.size_for_testing(), 0u);
}

// Observer told when the first timer goes into an empty queue.
TEST(TimerQueueTest, ObserverHearsOfTheFirstTimer) {
  struct Observer : VZSE_::ITimerQueueObserver {
    void OnTimerQueueNotify(const char* what, int value) override {
      ++calls;
      EXPECT_STREQ(what, "TimerQueue");
      EXPECT_EQ(value, 0);
    }
    int calls = 0;
  } observer;
  FakeEngineClock clock;
  TimerQueueOrderedList q(clock, &observer);
  Log log;
  NamedHandler a(&log, "a"), b(&log, "b");
  q.Schedule(&a, nullptr, Ms(5), 1);
  q.Schedule(&b, nullptr, Ms(5), 1);
  EXPECT_EQ(observer.calls, 1);
}

}  // namespace

#include "video/engine/core/vz_timer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/clock.h"
#include "platform/run_loop.h"
#include "video/engine/core/com_task_thread.h"

namespace {

struct CountingSink : IVideoTimerSink {
  void OnTimer(CVzTimer* timer) override {
    ++fired;
    last = timer;
    thread = std::this_thread::get_id();
    if (cancel_on_fire) timer->Cancel();
  }
  int fired = 0;
  CVzTimer* last = nullptr;
  std::thread::id thread;
  bool cancel_on_fire = false;
};

TEST(VzTimerTest, FiresOnTheSchedulingThreadsLoopEveryInterval) {
  vz::FakeClock clock;
  vz::RunLoop loop(clock);
  CountingSink sink;
  CVzTimer timer;
  const VZSE_::TimeValue interval = VZSE_::TimeValue::FromMsForTesting(15);
  ASSERT_EQ(timer.Schedule(&sink, &interval), VSE_S_OK);
  EXPECT_TRUE(timer.IsActiveForTesting());
  clock.AdvanceMs(14);
  loop.RunUntilIdle();
  EXPECT_EQ(sink.fired, 0);
  clock.AdvanceMs(1);
  loop.RunUntilIdle();
  EXPECT_EQ(sink.fired, 1);
  EXPECT_EQ(sink.last, &timer);
  EXPECT_EQ(sink.thread, std::this_thread::get_id());
  clock.AdvanceMs(15);
  loop.RunUntilIdle();
  EXPECT_EQ(sink.fired, 2);
  timer.Cancel();
  EXPECT_FALSE(timer.IsActiveForTesting());
  clock.AdvanceMs(100);
  loop.RunUntilIdle();
  EXPECT_EQ(sink.fired, 2);
}

TEST(VzTimerTest, RescheduleReplacesAndAHandlerMayCancelItself) {
  vz::FakeClock clock;
  vz::RunLoop loop(clock);
  CountingSink sink;
  CVzTimer timer;
  const VZSE_::TimeValue ten = VZSE_::TimeValue::FromMsForTesting(10), forty = VZSE_::TimeValue::FromMsForTesting(40);
  ASSERT_EQ(timer.Schedule(&sink, &ten), VSE_S_OK);
  ASSERT_EQ(timer.Schedule(&sink, &forty), VSE_S_OK);
  clock.AdvanceMs(30);
  loop.RunUntilIdle();
  EXPECT_EQ(sink.fired, 0);
  sink.cancel_on_fire = true;
  clock.AdvanceMs(10);
  loop.RunUntilIdle();
  EXPECT_EQ(sink.fired, 1);
  clock.AdvanceMs(40);
  loop.RunUntilIdle();
  EXPECT_EQ(sink.fired, 1);
  EXPECT_EQ(timer.Schedule(nullptr, &ten), VSE_E_POINTER);
  EXPECT_EQ(timer.Schedule(&sink, nullptr), VSE_E_POINTER);
}

TEST(VzTimerTest, DestroyedTimerNeverFiresAndTheLiveCountFollows) {
  vz::FakeClock clock;
  vz::RunLoop loop(clock);
  CountingSink sink;
  const int before = CVzTimer::LiveCountForTesting();
  {
    CVzTimer timer;
    EXPECT_EQ(CVzTimer::LiveCountForTesting(), before + 1);
    const VZSE_::TimeValue five = VZSE_::TimeValue::FromMsForTesting(5);
    timer.Schedule(&sink, &five);
  }
  EXPECT_EQ(CVzTimer::LiveCountForTesting(), before);
  clock.AdvanceMs(50);
  loop.RunUntilIdle();
  EXPECT_EQ(sink.fired, 0);
}

// Cancelled on another thread, the old loop timer stays in the loop until
// its next round; scheduled again meanwhile, the timer still fires once an
// interval, never for the old schedule as well as the new.
TEST(VzTimerTest, ScheduledAgainAfterACancelOnAnotherThreadFiresOnceAnInterval) {
  vz::FakeClock clock;
  vz::RunLoop loop(clock);
  CountingSink sink;
  CVzTimer timer;
  const VZSE_::TimeValue ten = VZSE_::TimeValue::FromMsForTesting(10);
  ASSERT_EQ(timer.Schedule(&sink, &ten), VSE_S_OK);
  std::thread([&] { timer.Cancel(); }).join();
  ASSERT_EQ(timer.Schedule(&sink, &ten), VSE_S_OK);
  for (int round = 1; round <= 3; ++round) {
    clock.AdvanceMs(10);
    loop.RunUntilIdle();
    EXPECT_EQ(sink.fired, round);
  }
}

// A handler going away on another thread: Cancel there waits for the round
// in progress (the handler is never running once Cancel returned), and no
// round starts after it.
TEST(VzTimerTest, CancelOnAnotherThreadWaitsForTheRoundInProgress) {
  struct GateSink : IVideoTimerSink {
    void OnTimer(CVzTimer*) override {
      entered.set_value();
      open.get_future().wait();
      cancel_returned_during_round = cancelled.load();
      ++fired;
    }
    std::promise<void> entered, open;
    std::atomic<bool> cancelled{false};
    bool cancel_returned_during_round = true;
    std::atomic<int> fired{0};
  } sink;
  vz::FakeClock clock;
  vz::RunLoop loop(clock);
  CVzTimer timer;
  const VZSE_::TimeValue five = VZSE_::TimeValue::FromMsForTesting(5);
  ASSERT_EQ(timer.Schedule(&sink, &five), VSE_S_OK);
  std::mutex mutex;
  std::condition_variable changed;
  std::thread canceller([&] {
    sink.entered.get_future().wait();
    // Lets the round go on once Cancel returned, or after a while when
    // Cancel (rightly) waits for the round.
    std::thread opener([&] {
      std::unique_lock<std::mutex> lock(mutex);
      changed.wait_for(lock, std::chrono::milliseconds(200), [&] { return sink.cancelled.load(); });
      sink.open.set_value();
    });
    timer.Cancel();
    {
      std::lock_guard<std::mutex> lock(mutex);
      sink.cancelled = true;
    }
    changed.notify_all();
    opener.join();
  });
  clock.AdvanceMs(5);
  loop.RunUntilIdle();
  canceller.join();
  EXPECT_EQ(sink.fired.load(), 1);
  EXPECT_FALSE(sink.cancel_returned_during_round);
  clock.AdvanceMs(50);
  loop.RunUntilIdle();
  EXPECT_EQ(sink.fired.load(), 1);
}

// What a library's release at exit met: the last reference to an object
// that owns a timer went inside a task on an engine thread after the thread
// whose loop ran the timer had ended, and its loop with it. The timer is
// cancelled and destroyed there without touching that loop (the address
// sanitizer reports any read of it).
TEST(VzTimerTest, AnOwnerDroppedOnAnEngineThreadAfterItsTimersLoopIsGoneTouchesNothingOfIt) {
  struct TimerOwner : IVideoTimerSink {
    void OnTimer(CVzTimer*) override {}
    CVzTimer timer;
  };
  // Holds the owner's last reference and lets go of it on the thread.
  class HoldingTask final : public VZSE_::Event {
   public:
    HoldingTask(std::unique_ptr<TimerOwner> owner, std::promise<void>* dropped)
        : owner_(std::move(owner)), dropped_(dropped) {}
    ~HoldingTask() override {
      owner_.reset();
      dropped_->set_value();
    }
    void OnEventFire() override {}

   private:
    std::unique_ptr<TimerOwner> owner_;
    std::promise<void>* dropped_;
  };
  const int before = CVzTimer::LiveCountForTesting();
  auto owner = std::make_unique<TimerOwner>();
  std::thread loop_thread([&] {
    const VZSE_::TimeValue interval = VZSE_::TimeValue::FromMsForTesting(30);
    EXPECT_EQ(owner->timer.Schedule(owner.get(), &interval), VSE_S_OK);
  });
  loop_thread.join();  // the thread's loop is destroyed as it ends
  VZSE_::ComTaskThread engine_thread;
  ASSERT_EQ(engine_thread.Create(nullptr, 1), VSE_S_OK);
  std::promise<void> dropped;
  std::future<void> done = dropped.get_future();
  ASSERT_EQ(engine_thread.GetEventQueue()->PostEvent(new HoldingTask(std::move(owner), &dropped)), VSE_S_OK);
  done.wait();
  engine_thread.Stop();
  engine_thread.Join();
  EXPECT_EQ(CVzTimer::LiveCountForTesting(), before);
}

}  // namespace

#include "video/engine/core/com_task_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using VZSE_::ComTaskThread;
using VZSE_::Event;
using VZSE_::FakeEngineClock;
using VZSE_::TimeValue;

// Records (poster, sequence) on fire; counts fires and destructions.
struct Record {
  std::mutex mutex;
  std::vector<std::pair<int, int>> fired;
  std::atomic<int> destroyed{0};
};

class RecordingEvent final : public Event {
 public:
  RecordingEvent(Record* record, int poster, int seq) : record_(record), poster_(poster), seq_(seq) {}
  void OnEventFire() override {
    std::lock_guard<std::mutex> lock(record_->mutex);
    record_->fired.emplace_back(poster_, seq_);
  }
  void OnDestroy() override {
    ++record_->destroyed;
    delete this;
  }

 private:
  Record* record_;
  int poster_, seq_;
};

// Runs a function on the thread and waits for it.
class CallEvent final : public Event {
 public:
  explicit CallEvent(std::function<void()> f) : f_(std::move(f)) {}
  void OnEventFire() override { f_(); }

 private:
  std::function<void()> f_;
};

void RunOn(ComTaskThread& thread, std::function<void()> f) {
  std::promise<void> done;
  auto future = done.get_future();
  ASSERT_EQ(thread.GetEventQueue()->PostEvent(new CallEvent([&] {
              f();
              done.set_value();
            })),
            VSE_S_OK);
  future.wait();
}

TEST(ComTaskThreadTest, EventsPostedFromManyThreadsFireInEachPostersOrder) {
  ComTaskThread thread;
  ASSERT_EQ(thread.Create(nullptr, 1), VSE_S_OK);
  Record record;
  constexpr int kPosters = 6, kEach = 500;
  std::vector<std::thread> posters;
  for (int p = 0; p < kPosters; ++p) {
    posters.emplace_back([&, p] {
      for (int i = 0; i < kEach; ++i) thread.GetEventQueue()->PostEvent(new RecordingEvent(&record, p, i));
    });
  }
  for (auto& t : posters) t.join();
  thread.Stop();
  thread.Join();
  ASSERT_EQ(record.fired.size(), static_cast<size_t>(kPosters * kEach));
  std::vector<int> last(kPosters, -1);
  for (auto [p, seq] : record.fired) {
    EXPECT_EQ(seq, last[p] + 1) << "poster " << p;
    last[p] = seq;
  }
  EXPECT_EQ(record.destroyed.load(), kPosters * kEach);
}

TEST(ComTaskThreadTest, StopFiresWhatWasQueuedFirstAndRefusesLaterPosts) {
  ComTaskThread thread;
  ASSERT_EQ(thread.Create(nullptr, 2), VSE_S_OK);
  Record record;
  std::promise<void> release;
  std::shared_future<void> gate = release.get_future().share();
  // Hold the thread so everything below queues up behind the gate.
  thread.GetEventQueue()->PostEvent(new CallEvent([gate] { gate.wait(); }));
  for (int i = 0; i < 12; ++i) thread.GetEventQueue()->PostEvent(new RecordingEvent(&record, 0, i));
  ASSERT_EQ(thread.Stop(), VSE_S_OK);
  EXPECT_EQ(thread.GetEventQueue()->PostEvent(new RecordingEvent(&record, 1, 0)), VSE_E_FAIL);
  EXPECT_EQ(record.destroyed.load(), 1) << "a refused event is destroyed at once, unfired";
  release.set_value();
  ASSERT_EQ(thread.Join(), VSE_S_OK);
  EXPECT_EQ(record.fired.size(), 12u);
  EXPECT_EQ(record.destroyed.load(), 13);
  EXPECT_EQ(thread.Create(nullptr, 3), static_cast<VseResult>(-1));
}

TEST(ComTaskThreadTest, AtMostFiveEventsAreTakenPerRound) {
  VZSE_::EventQueueBase queue;
  Record record;
  for (int i = 0; i < 7; ++i) queue.PostEvent(new RecordingEvent(&record, 0, i));
  std::vector<Event*> taken;
  int remaining = -1;
  ASSERT_EQ(queue.PopPendingEventsForTesting(&taken, ComTaskThread::kEventsPerRound, &remaining), VSE_S_OK);
  EXPECT_EQ(taken.size(), 5u);
  EXPECT_EQ(remaining, 2);
  EXPECT_EQ(queue.PopPendingEventsForTesting(&taken, 5), VSE_E_FAIL) << "the out list must be empty";
  for (Event* e : taken) e->OnDestroy();
  taken.clear();
  EXPECT_EQ(queue.PopPendingEventsForTesting(&taken, 0), VSE_E_FAIL);
  ASSERT_EQ(queue.PopPendingEventsForTesting(&taken, 5, &remaining), VSE_S_OK);
  EXPECT_EQ(taken.size(), 2u);
  EXPECT_EQ(remaining, 0);
  for (Event* e : taken) e->OnDestroy();
  taken.clear();
  EXPECT_EQ(queue.PopPendingEventsForTesting(&taken, 5), VSE_E_FAIL) << "empty";
  EXPECT_EQ(queue.PostEvent(nullptr), VSE_E_FAIL);
}

TEST(ComTaskThreadTest, TimersRunOnTheThreadOnTheInjectedClock) {
  FakeEngineClock clock;
  ComTaskThread thread(clock);
  ASSERT_EQ(thread.Create(nullptr, 1), VSE_S_OK);
  struct Tick : VZSE_::ITimerHandler {
    void OnTimer(const TimeValue&, void*) override {
      ++count;
      on_thread = owner->IsCurrentThread();
    }
    std::atomic<int> count{0};
    std::atomic<bool> on_thread{false};
    ComTaskThread* owner = nullptr;
  } tick;
  tick.owner = &thread;
  RunOn(thread, [&] { thread.GetTimerQueue()->Schedule(&tick, nullptr, TimeValue::FromMsForTesting(15), 0); });
  // Each step moves the clock on the thread; the timer check at the top of
  // the next round sees it, before the next event is taken.
  for (int i = 1; i <= 3; ++i) {
    RunOn(thread, [&] { clock.AdvanceMs(15); });
    RunOn(thread, [] {});
    EXPECT_EQ(tick.count.load(), i);
  }
  RunOn(thread, [&] { clock.AdvanceMs(15 * 4); });  // four periods late: fires once
  RunOn(thread, [] {});
  EXPECT_EQ(tick.count.load(), 4);
  EXPECT_TRUE(tick.on_thread.load());
  RunOn(thread, [&] { thread.GetTimerQueue()->CancelTimer(&tick); });
  thread.Stop();
  thread.Join();
}

TEST(ComTaskThreadTest, DestroyingARunningThreadStopsAndJoinsIt) {
  Record record;
  {
    ComTaskThread thread;
    ASSERT_EQ(thread.Create(nullptr, 1), VSE_S_OK);
    thread.GetEventQueue()->PostEvent(new RecordingEvent(&record, 0, 0));
  }
  EXPECT_EQ(record.destroyed.load(), 1);
}

}  // namespace

#include "platform/run_loop.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <barrier>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/event.h"

namespace vz {
namespace {

// Counts live instances, so a test can see that dropped tasks freed theirs.
struct Counted {
  static inline std::atomic<int> alive{0};
  Counted() { ++alive; }
  ~Counted() { --alive; }
};

// A thread running its own loop. The loop (and the thread) live until the
// object is destroyed, even when a test stops the loop early.
class LoopThread {
 public:
  LoopThread() {
    Event ready(true, false);
    thread_ = std::thread([this, &ready] {
      loop_ = &RunLoop::ForCurrentThread();
      id_ = std::this_thread::get_id();
      ready.Set();
      loop_->Run();
      finish_.Wait(Event::kInfinite);
    });
    ready.Wait(Event::kInfinite);
  }
  ~LoopThread() {
    loop_->Quit();
    finish_.Set();
    thread_.join();
  }
  RunLoop& loop() { return *loop_; }
  std::thread::id id() const { return id_; }

 private:
  RunLoop* loop_ = nullptr;
  std::thread::id id_;
  Event finish_{true, false};
  std::thread thread_;
};

TEST(RunLoopPostTest, PostsFromFourProducersArriveInPerProducerOrder) {
  constexpr int kProducers = 4;
  constexpr int kPerProducer = 5000;
  RunLoop loop(SystemClock());
  std::vector<std::vector<int>> seen(kProducers);
  int handled = 0;
  bool all_on_owner = true;
  const auto owner = std::this_thread::get_id();

  std::vector<std::thread> producers;
  for (int p = 0; p < kProducers; ++p) {
    producers.emplace_back([&, p] {
      for (int i = 0; i < kPerProducer; ++i) {
        ASSERT_TRUE(loop.Post([&, p, i] {
          all_on_owner &= std::this_thread::get_id() == owner;
          seen[p].push_back(i);
          if (++handled == kProducers * kPerProducer) loop.Quit();
        })) << "producer " << p << " task " << i;
      }
    });
  }
  loop.Run();
  for (auto& t : producers) t.join();

  EXPECT_TRUE(all_on_owner);
  for (int p = 0; p < kProducers; ++p) {
    ASSERT_EQ(seen[p].size(), static_cast<size_t>(kPerProducer)) << "producer " << p;
    for (int i = 0; i < kPerProducer; ++i) ASSERT_EQ(seen[p][i], i) << "producer " << p;
  }
}

TEST(RunLoopPostTest, RunPendingRunsOnlyWhatWasQueuedAndRunUntilIdleTheRest) {
  FakeClock clock;
  RunLoop loop(clock);
  std::vector<int> order;
  loop.Post([&] {
    order.push_back(1);
    loop.Post([&] { order.push_back(3); });
  });
  loop.Post([&] { order.push_back(2); });
  EXPECT_EQ(loop.RunPending(), 2u);
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
  EXPECT_EQ(loop.RunUntilIdle(), 1u);
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(loop.RunUntilIdle(), 0u);
}

TEST(RunLoopSendTest, SendFromAnotherThreadReturnsTheHandlersResultOnTheOwnerThread) {
  LoopThread target;
  auto result = target.loop().SendWithResult([] { return std::this_thread::get_id(); });
  ASSERT_TRUE(result.has_value());
  EXPECT_EQ(*result, target.id());
  EXPECT_EQ(target.loop().SendWithResult([] { return std::string("handled"); }).value_or(""), "handled");
}

TEST(RunLoopSendTest, SendOnTheOwnerThreadRunsAtOnce) {
  FakeClock clock;
  RunLoop loop(clock);
  bool ran = false;
  EXPECT_TRUE(loop.Send([&] { ran = true; }));
  EXPECT_TRUE(ran);
  EXPECT_EQ(loop.SendWithResult([] { return 7; }), 7);
}

TEST(RunLoopSendTest, TwoLoopsSendingToEachOtherAtTheSameTimeBothComplete) {
  LoopThread a;
  LoopThread b;
  for (int round = 0; round < 200; ++round) {
    std::barrier both(2);
    Event a_done(true, false);
    Event b_done(true, false);
    std::atomic<bool> a_ok{false}, b_ok{false};
    std::thread::id ran_on_b, ran_on_a;
    a.loop().Post([&] {
      both.arrive_and_wait();
      a_ok = b.loop().Send([&] { ran_on_b = std::this_thread::get_id(); });
      a_done.Set();
    });
    b.loop().Post([&] {
      both.arrive_and_wait();
      b_ok = a.loop().Send([&] { ran_on_a = std::this_thread::get_id(); });
      b_done.Set();
    });
    ASSERT_TRUE(a_done.Wait(5000)) << "round " << round;
    ASSERT_TRUE(b_done.Wait(5000)) << "round " << round;
    EXPECT_TRUE(a_ok) << "round " << round;
    EXPECT_TRUE(b_ok) << "round " << round;
    EXPECT_EQ(ran_on_b, b.id()) << "round " << round;
    EXPECT_EQ(ran_on_a, a.id()) << "round " << round;
  }
}

TEST(RunLoopSendTest, AThreadWaitingInASendServesSendsButNotPosts) {
  LoopThread a;
  LoopThread b;
  std::vector<std::string> order;  // touched on a's thread only
  Event done(true, false);
  a.loop().Post([&] {
    b.loop().Send([&] {
      a.loop().Post([&] { order.push_back("post"); });
      a.loop().Send([&] { order.push_back("send"); });
    });
    order.push_back("send returned");
    a.loop().Post([&] { done.Set(); });
  });
  ASSERT_TRUE(done.Wait(5000));
  EXPECT_EQ(order, (std::vector<std::string>{"send", "send returned", "post"}));
}

TEST(RunLoopSendTest, SendToALoopThatStopsReturnsFalseAndFreesTheTask) {
  for (int round = 0; round < 50; ++round) {
    LoopThread target;
    Event running(true, false);
    Event sending(true, false);
    target.loop().Post([&] {
      running.Set();
      sending.Wait(Event::kInfinite);
      RunLoop::ForCurrentThread().Stop();
    });
    SCOPED_TRACE(testing::Message() << "round " << round);
    auto payload = std::make_unique<Counted>();
    bool ran = false;
    running.Wait(Event::kInfinite);  // sends go before posts: let the post run first
    sending.Set();
    // Queued before or after the Stop: either way it is refused, never hangs.
    EXPECT_FALSE(target.loop().Send([&ran, p = std::move(payload)] { ran = true; }));
    EXPECT_FALSE(ran);
    EXPECT_EQ(Counted::alive, 0);
    EXPECT_FALSE(target.loop().SendWithResult([] { return 1; }).has_value());
  }
}

TEST(RunLoopRunTest, QuitEndsOnlyTheInnermostOfNestedRuns) {
  FakeClock clock;
  RunLoop loop(clock);
  std::vector<std::string> order;
  loop.Post([&] {
    order.push_back("outer task");
    loop.Post([&] {
      order.push_back("inner task");
      loop.Quit();
    });
    loop.Run();  // a modal loop
    order.push_back("nested run returned");
    loop.Post([&] {
      order.push_back("last");
      loop.Quit();
    });
  });
  loop.Run();
  EXPECT_EQ(order, (std::vector<std::string>{"outer task", "inner task", "nested run returned", "last"}));
}

TEST(RunLoopRunTest, QuitFromAnotherThreadEndsRun) {
  RunLoop loop(SystemClock());
  std::thread other([&] { loop.Quit(); });
  loop.Run();
  other.join();
  EXPECT_FALSE(loop.IsStopped());
}

TEST(RunLoopStopTest, StopFreesQueuedTasksUnrunAndLaterPostsFail) {
  FakeClock clock;
  RunLoop loop(clock);
  int ran = 0;
  for (int i = 0; i < 10; ++i) {
    ASSERT_TRUE(loop.Post([&ran, p = std::make_unique<Counted>()] { ++ran; })) << "task " << i;
  }
  // A dying task that posts again must not deadlock or be queued.
  bool repost_result = true;
  struct PostsOnDestruction {
    RunLoop* loop;
    bool* result;
    ~PostsOnDestruction() {
      if (loop) *result = loop->Post([] {});
    }
  };
  loop.Post([d = std::make_shared<PostsOnDestruction>(PostsOnDestruction{&loop, &repost_result})] {});
  loop.StartTimer(&loop, 1, 10, [p = std::make_unique<Counted>()] {});
  loop.WatchFd(STDIN_FILENO, RunLoop::kFdReadable, [p = std::make_shared<Counted>()](int, uint32_t) {});
  EXPECT_EQ(Counted::alive, 12);

  loop.Stop();
  EXPECT_EQ(Counted::alive, 0);
  EXPECT_EQ(ran, 0);
  EXPECT_FALSE(repost_result);
  EXPECT_TRUE(loop.IsStopped());

  EXPECT_FALSE(loop.Post([p = std::make_unique<Counted>()] {}));
  EXPECT_EQ(Counted::alive, 0);
  EXPECT_FALSE(loop.Send([] {}));
  EXPECT_FALSE(loop.StartTimer(&loop, 2, 10, [] {}));
  clock.AdvanceMs(100);
  EXPECT_EQ(loop.RunUntilIdle(), 0u);
  loop.Run();  // returns at once
}

TEST(RunLoopStopTest, StopInsideATaskEndsRunAndDropsTheRest) {
  FakeClock clock;
  RunLoop loop(clock);
  loop.Post([&] { loop.Stop(); });
  loop.Post([p = std::make_unique<Counted>()] { FAIL() << "ran after Stop"; });
  loop.Run();
  EXPECT_EQ(Counted::alive, 0);
}

TEST(RunLoopTimerTest, TimersFireOnTheOwningThreadInExpiryOrder) {
  FakeClock clock(1000);
  RunLoop loop(clock);
  int owner_a = 0, owner_b = 0;
  std::vector<std::string> fired;
  const auto owner = std::this_thread::get_id();
  bool on_owner = true;
  auto note = [&](const char* name) {
    return [&, name] {
      on_owner &= std::this_thread::get_id() == owner;
      fired.push_back(name);
    };
  };
  ASSERT_TRUE(loop.StartTimer(&owner_a, 1, 30, note("a1")));
  ASSERT_TRUE(loop.StartTimer(&owner_a, 2, 10, note("a2")));
  ASSERT_TRUE(loop.StartTimer(&owner_b, 1, 20, note("b1")));
  ASSERT_TRUE(loop.StartTimer(&owner_b, 2, 20, note("b2")));  // same expiry: start order

  EXPECT_EQ(loop.RunUntilIdle(), 0u);
  clock.AdvanceMs(9);
  EXPECT_EQ(loop.RunUntilIdle(), 0u);
  clock.AdvanceMs(26);  // t = 35: all four due, a2 once though 3 intervals passed
  EXPECT_EQ(loop.RunUntilIdle(), 4u);
  EXPECT_EQ(fired, (std::vector<std::string>{"a2", "b1", "b2", "a1"}));
  EXPECT_TRUE(on_owner);

  // Repeating from the firing time: a2 next at 45, b1/b2 at 55, a1 at 65.
  fired.clear();
  clock.AdvanceMs(10);
  loop.RunUntilIdle();
  EXPECT_EQ(fired, (std::vector<std::string>{"a2"}));

  // Replacing, killing one, killing an owner's.
  fired.clear();
  ASSERT_TRUE(loop.StartTimer(&owner_a, 2, 100, note("a2 again")));
  EXPECT_TRUE(loop.KillTimer(&owner_b, 2));
  EXPECT_FALSE(loop.KillTimer(&owner_b, 2));
  clock.AdvanceMs(10);  // t = 55
  loop.RunUntilIdle();
  EXPECT_EQ(fired, (std::vector<std::string>{"b1"}));
  EXPECT_EQ(loop.KillTimers(&owner_a), 2u);
  fired.clear();
  clock.AdvanceMs(200);
  loop.RunUntilIdle();
  EXPECT_EQ(fired, (std::vector<std::string>{"b1"}));
}

TEST(RunLoopTimerTest, ATimerMayKillOrRestartItselfAndOthersWhileFiring) {
  FakeClock clock;
  RunLoop loop(clock);
  int key = 0;
  int self_killer = 0, victim = 0, restarter = 0;
  loop.StartTimer(&key, 1, 10, [&, p = std::make_unique<Counted>()] {
    ++self_killer;
    loop.KillTimer(&key, 1);  // destroys this callback's timer while it runs
    loop.KillTimer(&key, 2);
  });
  loop.StartTimer(&key, 2, 10, [&] { ++victim; });
  loop.StartTimer(&key, 3, 5, [&] {
    ++restarter;
    loop.StartTimer(&key, 3, 50, [&] { ++restarter; });
  });
  clock.AdvanceMs(10);
  loop.RunUntilIdle();
  EXPECT_EQ(self_killer, 1);
  EXPECT_EQ(victim, 0);
  EXPECT_EQ(restarter, 1);
  EXPECT_EQ(Counted::alive, 0);
  clock.AdvanceMs(50);
  loop.RunUntilIdle();
  EXPECT_EQ(self_killer, 1);
  EXPECT_EQ(restarter, 2);
}

TEST(RunLoopTimerTest, RunWakesForATimerOnTheMonotonicClock) {
  LoopThread owner;
  Event fired(true, false);
  std::thread::id fired_on;
  int key = 0;
  ASSERT_TRUE(owner.loop().Send([&] {
    owner.loop().StartTimer(&key, 1, 1, [&] {
      fired_on = std::this_thread::get_id();
      owner.loop().KillTimer(&key, 1);
      fired.Set();
    });
  }));
  ASSERT_TRUE(fired.Wait(5000));
  EXPECT_EQ(fired_on, owner.id());
}

class RunLoopWatchTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(::pipe(fds_), 0); }
  void TearDown() override {
    for (int fd : fds_) {
      if (fd >= 0) ::close(fd);
    }
  }
  void CloseEnd(int i) {
    ::close(fds_[i]);
    fds_[i] = -1;
  }
  int fds_[2] = {-1, -1};
  FakeClock clock_;
  RunLoop loop_{clock_};
};

TEST_F(RunLoopWatchTest, ReadableDescriptorRunsItsCallbackUntilUnwatched) {
  std::vector<uint32_t> events;
  ASSERT_TRUE(loop_.WatchFd(fds_[0], RunLoop::kFdReadable, [&](int fd, uint32_t what) {
    EXPECT_EQ(fd, fds_[0]);
    events.push_back(what);
    char byte;
    ASSERT_EQ(::read(fd, &byte, 1), 1);
  }));
  EXPECT_EQ(loop_.RunUntilIdle(), 0u);
  ASSERT_EQ(::write(fds_[1], "xy", 2), 2);
  EXPECT_EQ(loop_.RunUntilIdle(), 2u);
  EXPECT_EQ(events, (std::vector<uint32_t>{RunLoop::kFdReadable, RunLoop::kFdReadable}));

  EXPECT_TRUE(loop_.UnwatchFd(fds_[0]));
  EXPECT_FALSE(loop_.UnwatchFd(fds_[0]));
  ASSERT_EQ(::write(fds_[1], "z", 1), 1);
  EXPECT_EQ(loop_.RunUntilIdle(), 0u);
}

TEST_F(RunLoopWatchTest, WriterGoneIsReportedAsHangup) {
  uint32_t seen = 0;
  ASSERT_TRUE(loop_.WatchFd(fds_[0], RunLoop::kFdReadable, [&](int fd, uint32_t what) {
    seen = what;
    loop_.UnwatchFd(fd);
  }));
  CloseEnd(1);
  EXPECT_EQ(loop_.RunUntilIdle(), 1u);
  EXPECT_TRUE(seen & RunLoop::kFdHangup);
}

TEST_F(RunLoopWatchTest, DescriptorClosedWhileWatchedIsReportedOnceAndDropped) {
  int calls = 0;
  uint32_t seen = 0;
  ASSERT_TRUE(loop_.WatchFd(fds_[0], RunLoop::kFdReadable, [&](int, uint32_t what) {
    ++calls;
    seen = what;
  }));
  CloseEnd(0);
  EXPECT_EQ(loop_.RunUntilIdle(), 1u);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(seen, static_cast<uint32_t>(RunLoop::kFdHangup));
  EXPECT_FALSE(loop_.UnwatchFd(fds_[0]));
}

TEST_F(RunLoopWatchTest, RunWakesForAPostWhileWaitingOnADescriptor) {
  ASSERT_TRUE(loop_.WatchFd(fds_[0], RunLoop::kFdReadable, [](int, uint32_t) {}));
  std::thread poster([&] { loop_.Post([&] { loop_.Quit(); }); });
  loop_.Run();
  poster.join();
}

}  // namespace
}  // namespace vz

#include "client/controller/engine_release_queue.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/run_loop.h"

namespace {

// Stands for a retired engine: its destruction is its release.
struct Released {
  Released(std::vector<std::string>* log, std::string name) : log(log), name(std::move(name)) {}
  ~Released() { log->push_back(name); }
  std::vector<std::string>* log;
  std::string name;
};

class ReleaseQueue : public ::testing::Test {
 protected:
  ReleaseQueue() : loop_(clock_) {}
  std::shared_ptr<void> Engine(const char* name) { return std::make_shared<Released>(&released_, name); }

  vz::FakeClock clock_;
  vz::RunLoop loop_;
  std::vector<std::string> released_;
};

TEST_F(ReleaseQueue, AnEngineLetGoOfInsideCallbacksGoesAfterTheOutermostOnTheLoop) {
  EngineReleaseQueue queue;
  {
    EngineReleaseQueue::CallbackScope outer(queue);
    {
      EngineReleaseQueue::CallbackScope inner(queue);
      queue.Retire(Engine("a"));
    }
    loop_.RunUntilIdle();
    EXPECT_TRUE(released_.empty());  // the outer callback still runs
    EXPECT_TRUE(queue.InCallback());
  }
  EXPECT_TRUE(released_.empty());
  loop_.RunUntilIdle();
  EXPECT_EQ(released_, (std::vector<std::string>{"a"}));
  EXPECT_FALSE(queue.InCallback());
}

// A modal dialog under a callback runs the loop: the release posted by an
// earlier callback must not take the engine whose callback waits below.
TEST_F(ReleaseQueue, ANestedLoopUnderACallbackReleasesNothing) {
  EngineReleaseQueue queue;
  {
    EngineReleaseQueue::CallbackScope first(queue);
    queue.Retire(Engine("first"));
  }
  {
    EngineReleaseQueue::CallbackScope second(queue);
    queue.Retire(Engine("second"));
    loop_.RunUntilIdle();  // the nested loop
    EXPECT_TRUE(released_.empty());
  }
  loop_.RunUntilIdle();
  EXPECT_EQ(released_, (std::vector<std::string>{"first", "second"}));
  EXPECT_EQ(queue.held_count_for_testing(), 0u);
}

TEST_F(ReleaseQueue, TheQueueReleasesWhatItHoldsWhenItGoes) {
  {
    EngineReleaseQueue queue;
    {
      EngineReleaseQueue::CallbackScope scope(queue);
      queue.Retire(Engine("held"));
    }
    EXPECT_TRUE(released_.empty());
  }
  EXPECT_EQ(released_, (std::vector<std::string>{"held"}));
  loop_.RunUntilIdle();  // the posted release finds the queue gone
  EXPECT_EQ(released_, (std::vector<std::string>{"held"}));
}

TEST(ReleaseQueueWithoutALoop, ReleasesWhenTheOutermostCallbackEnds) {
  std::vector<std::string> released;
  std::thread([&released] {
    EngineReleaseQueue queue;
    {
      EngineReleaseQueue::CallbackScope scope(queue);
      queue.Retire(std::make_shared<Released>(&released, "x"));
      EXPECT_TRUE(released.empty());
    }
    EXPECT_EQ(released, (std::vector<std::string>{"x"}));
  }).join();
}

}  // namespace

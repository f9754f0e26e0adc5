#include "platform/event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace vz {
namespace {

TEST(EventTest, ManualResetReleasesEveryWaiterAndStaysSetUntilReset) {
  Event event(true, false);
  EXPECT_FALSE(event.Wait(0));
  std::atomic<int> released{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 3; ++i) {
    waiters.emplace_back([&] {
      if (event.Wait(Event::kInfinite)) ++released;
    });
  }
  event.Set();
  for (auto& t : waiters) t.join();
  EXPECT_EQ(released, 3);
  EXPECT_TRUE(event.Wait(0));
  event.Reset();
  EXPECT_FALSE(event.Wait(0));
}

TEST(EventTest, AutoResetReleasesOneWaitPerSet) {
  Event event(false, true);
  EXPECT_TRUE(event.Wait(0));
  EXPECT_FALSE(event.Wait(0));
  event.Set();
  event.Set();  // not counted: still one release
  EXPECT_TRUE(event.Wait(Event::kInfinite));
  EXPECT_FALSE(event.Wait(0));
}

TEST(EventTest, WaitGivesUpAtItsTimeout) {
  Event event(false, false);
  EXPECT_FALSE(event.Wait(5));
  std::thread setter([&] { event.Set(); });
  EXPECT_TRUE(event.Wait(Event::kInfinite));
  setter.join();
}

}  // namespace
}  // namespace vz

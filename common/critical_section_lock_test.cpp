#include "common/critical_section_lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "common/scoped_lock.h"

namespace {

// Runs `enter` on another thread while this thread holds `lock` once, and
// tells whether that thread got in only after this one let go.
template <typename Enter>
bool OtherThreadWaitsForRelease(CriticalSectionLock& lock, Enter enter) {
  std::atomic<bool> trying{false};
  std::atomic<int> released{0};
  int seen = -1;
  std::thread other([&] {
    trying = true;
    enter([&] { seen = released.load(); });
  });
  while (!trying) std::this_thread::yield();
  for (int i = 0; i < 1000; ++i) std::this_thread::yield();  // let it reach the lock
  released = 1;
  lock.Unlock();
  other.join();
  return seen == 1;
}

TEST(CriticalSectionLockTest, OwnerMayLockAgain) {
  CriticalSectionLock lock;
  lock.Lock();
  lock.Lock();  // would deadlock on a non-recursive lock
  lock.Unlock();
  // Still held once: another thread gets in only after the last Unlock.
  EXPECT_TRUE(OtherThreadWaitsForRelease(lock, [&](auto inside) {
    lock.Lock();
    inside();
    lock.Unlock();
  }));
}

TEST(CriticalSectionLockTest, ExcludesOtherThreads) {
  CriticalSectionLock lock;
  int counter = 0;  // deliberately not atomic
  constexpr int kThreads = 4;
  constexpr int kRounds = 2000;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < kRounds; ++i) {
        CScopedLock guard(lock);
        const int seen = counter;
        std::this_thread::yield();  // widens the window a missing exclusion would lose updates in
        counter = seen + 1;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(counter, kThreads * kRounds);
}

TEST(ScopedLockTest, EarlyUnlockReleasesOnceOnly) {
  CriticalSectionLock lock;
  {
    CScopedLock guard(lock);
    EXPECT_TRUE(guard.IsLockedForTesting());
    guard.Unlock();
    EXPECT_FALSE(guard.IsLockedForTesting());
    bool other_entered = false;
    std::thread other([&] {  // hangs if the early unlock kept the lock
      CScopedLock inner(lock);
      other_entered = true;
    });
    other.join();
    EXPECT_TRUE(other_entered);
  }
  // This thread holds the lock itself around a guard that unlocks early: a
  // repeated unlock (again, or on destruction) would give away the outer hold.
  lock.Lock();
  {
    CScopedLock guard(lock);
    guard.Unlock();
    guard.Unlock();
  }
  EXPECT_TRUE(OtherThreadWaitsForRelease(lock, [&](auto inside) {
    CScopedLock guard(lock);
    inside();
  }));
}

}  // namespace

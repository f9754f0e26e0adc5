#include "common/vz_object.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

class CountedObject : public CVZObject {
 public:
  explicit CountedObject(std::atomic<int>* destroyed, int32_t holders = 1) : destroyed_(destroyed) {
    ref_count_ = holders;
  }
  ~CountedObject() override { destroyed_->fetch_add(1); }

 private:
  std::atomic<int>* destroyed_;
};

TEST(VZObjectTest, FirstReleaseDestroysExactlyOnce) {
  std::atomic<int> destroyed{0};
  CVZObject* object = new CountedObject(&destroyed);
  EXPECT_EQ(object->Release(), 0);
  EXPECT_EQ(destroyed.load(), 1);
}

TEST(VZObjectTest, ConcurrentReleasesDestroyOnce) {
  constexpr int kHolders = 8;
  std::atomic<int> destroyed{0};
  CVZObject* object = new CountedObject(&destroyed, kHolders);
  std::atomic<int> reached_zero{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < kHolders; ++i) {
    threads.emplace_back([&] {
      if (object->Release() == 0) reached_zero.fetch_add(1);
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(reached_zero.load(), 1);
  EXPECT_EQ(destroyed.load(), 1);
}

}  // namespace

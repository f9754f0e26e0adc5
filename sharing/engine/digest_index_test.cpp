#include "sharing/engine/digest_index.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <set>

namespace {

struct Key {
  uint8_t bytes[16];
};

Key KeyOf(uint32_t n) {
  Key k{};
  std::memcpy(k.bytes, &n, sizeof n);
  k.bytes[9] = static_cast<uint8_t>(n * 7);
  return k;
}

TEST(DigestIndexTest, OneDigestAtSeveralIndicesAnswersTheLowestInTheRange) {
  CDigestIndex index(100);
  const Key a = KeyOf(1);
  ASSERT_TRUE(index.Insert(a.bytes, 40));
  ASSERT_TRUE(index.Insert(a.bytes, 7));
  ASSERT_TRUE(index.Insert(a.bytes, 25));
  EXPECT_FALSE(index.Insert(a.bytes, 25));  // a pair is held once
  EXPECT_EQ(7, index.Lowest(a.bytes, 0, 100));
  EXPECT_EQ(25, index.Lowest(a.bytes, 20, 100));
  EXPECT_EQ(CDigestIndex::kNone, index.Lowest(a.bytes, 8, 25));  // the end is not in the range
  EXPECT_EQ(CDigestIndex::kNone, index.Lowest(KeyOf(2).bytes, 0, 100));
  EXPECT_TRUE(index.Erase(a.bytes, 7));
  EXPECT_FALSE(index.Erase(a.bytes, 7));
  EXPECT_EQ(25, index.Lowest(a.bytes, 0, 100));
  index.Clear();
  EXPECT_EQ(0u, index.size_for_testing());
  EXPECT_EQ(CDigestIndex::kNone, index.Lowest(a.bytes, 0, 100));
}

TEST(DigestIndexTest, RefusesMoreThanItsPairs) {
  CDigestIndex index(3);
  for (uint32_t n = 0; n < 3; ++n) ASSERT_TRUE(index.Insert(KeyOf(n).bytes, n)) << "key " << n;
  EXPECT_FALSE(index.Insert(KeyOf(9).bytes, 9));
  EXPECT_EQ(3u, index.size_for_testing());
}

// A small, crowded table: erasing from the middle of probe runs must leave
// every other pair findable (a wrong backward shift loses them).
TEST(DigestIndexTest, RandomInsertsAndErasesMatchAPlainMap) {
  CDigestIndex index(40);
  std::multimap<uint32_t, uint32_t> model;  // key number -> index
  std::mt19937 random(7);
  for (int step = 0; step < 20000; ++step) {
    const uint32_t key = random() % 25;
    const uint32_t at = random() % 8;
    bool held = false;
    for (auto [it, end] = model.equal_range(key); it != end; ++it) held = held || it->second == at;
    if (random() % 2 == 0) {
      const bool room = model.size() < 40;
      EXPECT_EQ(!held && room, index.Insert(KeyOf(key).bytes, at)) << "key " << key << " at step " << step;
      if (!held && room) model.emplace(key, at);
    } else {
      EXPECT_EQ(held, index.Erase(KeyOf(key).bytes, at)) << "key " << key << " at step " << step;
      for (auto [it, end] = model.equal_range(key); it != end; ++it) {
        if (it->second == at) {
          model.erase(it);
          break;
        }
      }
    }
    ASSERT_EQ(model.size(), index.size_for_testing()) << "step " << step;
    for (uint32_t k = 0; k < 25; ++k) {
      int64_t lowest = CDigestIndex::kNone;
      for (auto [it, end] = model.equal_range(k); it != end; ++it) {
        if (it->second >= 2 && (lowest == CDigestIndex::kNone || it->second < lowest)) lowest = it->second;
      }
      ASSERT_EQ(lowest, index.Lowest(KeyOf(k).bytes, 2, 8)) << "key " << k << " at step " << step;
    }
  }
}

}  // namespace

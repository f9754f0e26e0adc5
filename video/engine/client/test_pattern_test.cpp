#include "video/engine/client/test_pattern.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(TestPatternTest, TheCounterReadsBackAndTheBarMoves) {
  const int w = 640, h = 360;
  std::vector<uint8_t> a(w * h * 3 / 2), b(a.size());
  for (uint32_t counter : {0u, 1u, 0x8001u, 0xFFFFu, 0x12345u}) {
    ASSERT_TRUE(FillTestPattern(a.data(), w, h, counter));
    EXPECT_EQ(ReadTestPatternCounter(a.data(), w, w, h), counter & 0xFFFFu);
  }
  ASSERT_TRUE(FillTestPattern(a.data(), w, h, 10));
  ASSERT_TRUE(FillTestPattern(b.data(), w, h, 11));
  // Below the counter row the pictures differ only where the bar went.
  int differing = 0;
  for (int x = 0; x < w; ++x) differing += a[100 * w + x] != b[100 * w + x];
  EXPECT_EQ(differing, 16);  // 8 pixels left behind, 8 newly covered
}

TEST(TestPatternTest, SizesThatCannotHoldTheCounterAreRefused) {
  std::vector<uint8_t> buffer(256 * 16 * 3 / 2);
  EXPECT_TRUE(FillTestPattern(buffer.data(), 256, 16, 3));
  EXPECT_FALSE(FillTestPattern(buffer.data(), 254, 16, 3));
  EXPECT_FALSE(FillTestPattern(buffer.data(), 256, 14, 3));
  EXPECT_FALSE(FillTestPattern(buffer.data(), 257, 16, 3));
  EXPECT_FALSE(FillTestPattern(nullptr, 256, 16, 3));
  EXPECT_EQ(ReadTestPatternCounter(buffer.data(), 200, 256, 16), -1);  // stride below width
  EXPECT_EQ(ReadTestPatternCounter(buffer.data(), 256, 256, 15), -1);
}

}  // namespace

#include "contracts/test_pattern.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(TestPatternTest, TheCounterReadsBackAtEverySizeAndTheBarMoves) {
  for (int w : {640, 320, 160}) {
    const int h = w * 9 / 16;
    std::vector<uint8_t> a(w * h * 3 / 2);
    for (uint32_t counter : {0u, 1u, 0x8001u, 0xFFFFu, 0x12345u}) {
      ASSERT_TRUE(FillTestPattern(a.data(), w, h, counter)) << "width " << w << " counter " << counter;
      EXPECT_EQ(ReadTestPatternCounter(a.data(), w, w, h), counter & 0xFFFFu) << w;
    }
  }
  const int w = 640, h = 360;
  std::vector<uint8_t> a(w * h * 3 / 2), b(a.size());
  ASSERT_TRUE(FillTestPattern(a.data(), w, h, 10));
  ASSERT_TRUE(FillTestPattern(b.data(), w, h, 11));
  // Below the counter row the pictures differ only where the bar went.
  int differing = 0;
  for (int x = 0; x < w; ++x) differing += a[100 * w + x] != b[100 * w + x];
  EXPECT_EQ(differing, 24);  // one step left behind, one newly covered
}

TEST(TestPatternTest, PsnrAgainstThePatternAtTheSameOrAHalvedSize) {
  std::vector<uint8_t> full(640 * 360 * 3 / 2);
  ASSERT_TRUE(FillTestPattern(full.data(), 640, 360, 7));
  EXPECT_EQ(TestPatternPsnr(full.data(), 640, 640, 360, 7, 640, 360), 99.0);
  // The next frame is a different picture: well below a decoded copy's.
  EXPECT_LT(TestPatternPsnr(full.data(), 640, 640, 360, 8, 640, 360), 25.0);
  std::vector<uint8_t> half(320 * 180);
  for (int y = 0; y < 180; ++y) {
    for (int x = 0; x < 320; ++x) {
      int sum = 0;
      for (int d = 0; d < 4; ++d) sum += full[(2 * y + d / 2) * 640 + 2 * x + d % 2];
      half[y * 320 + x] = static_cast<uint8_t>((sum + 2) / 4);
    }
  }
  EXPECT_GT(TestPatternPsnr(half.data(), 320, 320, 180, 7, 640, 360), 45.0);
  EXPECT_EQ(TestPatternPsnr(half.data(), 320, 300, 180, 7, 640, 360), -1);  // not a whole factor
}

TEST(TestPatternTest, SizesThatCannotHoldTheCounterAreRefused) {
  std::vector<uint8_t> buffer(640 * 360 * 3 / 2);
  EXPECT_TRUE(FillTestPattern(buffer.data(), 160, 90, 3));
  EXPECT_FALSE(FillTestPattern(buffer.data(), 158, 90, 3));
  EXPECT_FALSE(FillTestPattern(buffer.data(), 640, 14, 3));
  EXPECT_FALSE(FillTestPattern(buffer.data(), 641, 360, 3));
  EXPECT_FALSE(FillTestPattern(nullptr, 640, 360, 3));
  EXPECT_EQ(ReadTestPatternCounter(buffer.data(), 600, 640, 360), -1);  // stride below width
  EXPECT_EQ(ReadTestPatternCounter(buffer.data(), 640, 640, 15), -1);
  EXPECT_EQ(ReadTestPatternCounter(buffer.data(), 120, 120, 90), -1);
}

}  // namespace

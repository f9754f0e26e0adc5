#include "capture/monitors/pixel_compare.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

uint32_t Bgr(int b, int g, int r) { return 0xFF000000u | (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b); }

TEST(PixelCompareTest, UpToFourPerChannelIsTheSameAtTheFirstChangeTest) {
  const uint32_t base = Bgr(100, 100, 100);
  EXPECT_TRUE(PixelsAlike(base, Bgr(104, 96, 104)));
  EXPECT_FALSE(PixelsAlike(base, Bgr(105, 100, 100)));
  EXPECT_FALSE(PixelsAlike(base, Bgr(100, 95, 100)));
  EXPECT_FALSE(PixelsAlike(base, Bgr(100, 100, 105)));
  // Channels at the ends of the byte range do not wrap.
  EXPECT_FALSE(PixelsAlike(Bgr(0, 0, 0), Bgr(255, 0, 0)));
  EXPECT_TRUE(PixelsAlike(Bgr(255, 0, 2), Bgr(251, 4, 0)));
  // The fourth byte is never looked at.
  EXPECT_TRUE(PixelsEqual(base & 0x00FFFFFFu, base));
  EXPECT_FALSE(PixelsEqual(base, Bgr(100, 100, 101)));
}

TEST(PixelCompareTest, TheRunStartsTolerantAndEndsExact) {
  std::vector<uint32_t> previous(64, Bgr(50, 50, 50)), current = previous;
  int first = -1, end = -1;
  EXPECT_FALSE(FindRowChange(previous.data(), current.data(), 64, &first, &end));

  current[5] = Bgr(53, 50, 50);  // within the tolerance: not the start
  current[10] = Bgr(56, 50, 50);
  current[20] = Bgr(51, 50, 50);  // a difference of one still ends the run
  ASSERT_TRUE(FindRowChange(previous.data(), current.data(), 64, &first, &end));
  EXPECT_EQ(first, 10);
  EXPECT_EQ(end, 21);

  current[20] = previous[20];
  ASSERT_TRUE(FindRowChange(previous.data(), current.data(), 64, &first, &end));
  EXPECT_EQ(end, 11);  // only the first pixel differs after it

  current.assign(64, Bgr(50, 50, 50));
  current[63] = Bgr(0, 0, 0);  // the last pixel of the row
  ASSERT_TRUE(FindRowChange(previous.data(), current.data(), 64, &first, &end));
  EXPECT_EQ(first, 63);
  EXPECT_EQ(end, 64);

  current.assign(64, Bgr(52, 48, 50));  // noise everywhere, nothing more
  EXPECT_FALSE(FindRowChange(previous.data(), current.data(), 64, &first, &end));
}

// The row scan passes over whole blocks of pixels at once; for every pair of
// channel values it must agree with the pixel-by-pixel rule.
TEST(PixelCompareTest, TheBlockScanAgreesWithThePixelRuleForEveryChannelValue) {
  for (int shift = 0; shift < 32; shift += 8) {
    for (int a = 0; a < 256; ++a) {
      for (int b = 0; b < 256; ++b) {
        std::vector<uint32_t> previous(16, 0x80808080u), current = previous;
        previous[9] = (previous[9] & ~(0xFFu << shift)) | (uint32_t(a) << shift);
        current[9] = (current[9] & ~(0xFFu << shift)) | (uint32_t(b) << shift);
        int first = -1, end = -1;
        const bool found = FindRowChange(previous.data(), current.data(), 16, &first, &end);
        ASSERT_EQ(found, !PixelsAlike(previous[9], current[9])) << shift << " " << a << " " << b;
        if (found) {
          ASSERT_EQ(first, 9) << shift << " " << a << " " << b;
        }
      }
    }
  }
}

TEST(PixelCompareTest, TheImageBoxSpansEveryChangedRow) {
  const int w = 40, h = 30;
  std::vector<uint32_t> previous(w * h, Bgr(100, 100, 100)), current = previous;
  int l, t, r, b;
  EXPECT_FALSE(FindImageChange(previous.data(), current.data(), w, 0, 0, w, h, &l, &t, &r, &b));
  current[5 * w + 30] = 0;
  current[20 * w + 3] = 0;
  current[29 * w + 39] = Bgr(100, 100, 103);  // exact change only: no row of its own
  ASSERT_TRUE(FindImageChange(previous.data(), current.data(), w, 0, 0, w, h, &l, &t, &r, &b));
  EXPECT_EQ(l, 3);
  EXPECT_EQ(t, 5);
  EXPECT_EQ(r, 31);
  EXPECT_EQ(b, 21);
}

}  // namespace

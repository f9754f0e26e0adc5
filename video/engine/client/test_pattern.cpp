#include "video/engine/client/test_pattern.h"

#include <cstring>

namespace {

constexpr uint8_t kBright = 235;
constexpr uint8_t kDark = 16;
constexpr int32_t kBarWidth = 24;
constexpr int32_t kBarStep = 8;

}  // namespace

bool FillTestPattern(uint8_t* i420, int32_t width, int32_t height, uint32_t counter) {
  if (i420 == nullptr || width < kTestPatternBlock * kTestPatternCounterBits || height < kTestPatternBlock ||
      (width & 1) != 0 || (height & 1) != 0) {
    return false;
  }
  uint8_t* y_plane = i420;
  const int32_t bar = static_cast<int32_t>((counter * kBarStep) % static_cast<uint32_t>(width));
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = y_plane + static_cast<size_t>(y) * width;
    for (int32_t x = 0; x < width; ++x) {
      const int32_t in_bar = (x - bar + width) % width;
      row[x] = in_bar < kBarWidth ? kBright : static_cast<uint8_t>(32 + ((x + y) * 160) / (width + height));
    }
  }
  for (int32_t bit = 0; bit < kTestPatternCounterBits; ++bit) {
    const bool one = ((counter >> (kTestPatternCounterBits - 1 - bit)) & 1u) != 0;
    for (int32_t y = 0; y < kTestPatternBlock; ++y) {
      std::memset(y_plane + static_cast<size_t>(y) * width + bit * kTestPatternBlock, one ? kBright : kDark,
                  kTestPatternBlock);
    }
  }
  const int32_t cw = width / 2;
  const int32_t ch = height / 2;
  uint8_t* u_plane = y_plane + static_cast<size_t>(width) * height;
  uint8_t* v_plane = u_plane + static_cast<size_t>(cw) * ch;
  for (int32_t y = 0; y < ch; ++y) {
    for (int32_t x = 0; x < cw; ++x) {
      u_plane[static_cast<size_t>(y) * cw + x] = static_cast<uint8_t>(96 + (x * 64) / cw);
      v_plane[static_cast<size_t>(y) * cw + x] = static_cast<uint8_t>(96 + (y * 64) / ch);
    }
  }
  return true;
}

int64_t ReadTestPatternCounter(const uint8_t* luma, int32_t stride, int32_t width, int32_t height) {
  if (luma == nullptr || width < kTestPatternBlock * kTestPatternCounterBits || height < kTestPatternBlock ||
      stride < width) {
    return -1;
  }
  int64_t counter = 0;
  for (int32_t bit = 0; bit < kTestPatternCounterBits; ++bit) {
    int32_t sum = 0;
    // The block's middle, away from the edges a codec smears.
    for (int32_t y = 4; y < kTestPatternBlock - 4; ++y) {
      for (int32_t x = 4; x < kTestPatternBlock - 4; ++x) sum += luma[static_cast<size_t>(y) * stride + bit * kTestPatternBlock + x];
    }
    const int32_t mean = sum / ((kTestPatternBlock - 8) * (kTestPatternBlock - 8));
    counter = (counter << 1) | (mean > (kBright + kDark) / 2 ? 1 : 0);
  }
  return counter;
}

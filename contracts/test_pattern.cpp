#include "contracts/test_pattern.h"

#include <cmath>
#include <cstring>

namespace {

constexpr uint8_t kBright = 235;
constexpr uint8_t kDark = 16;

int32_t BlockSide(int32_t width) { return width / kTestPatternBlocksAcross; }

}  // namespace

bool FillTestPattern(uint8_t* i420, int32_t width, int32_t height, uint32_t counter) {
  const int32_t block = BlockSide(width);
  if (i420 == nullptr || width < 160 || block < 4 || height < block || (width & 1) != 0 || (height & 1) != 0) {
    return false;
  }
  uint8_t* y_plane = i420;
  const int32_t bar_width = width / 25;
  const int32_t step = width / 50;
  const int32_t bar = static_cast<int32_t>((counter * static_cast<uint32_t>(step)) % static_cast<uint32_t>(width));
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = y_plane + static_cast<size_t>(y) * width;
    for (int32_t x = 0; x < width; ++x) {
      const int32_t in_bar = (x - bar + width) % width;
      row[x] = in_bar < bar_width ? kBright : static_cast<uint8_t>(32 + ((x + y) * 160) / (width + height));
    }
  }
  for (int32_t bit = 0; bit < kTestPatternCounterBits; ++bit) {
    const bool one = ((counter >> (kTestPatternCounterBits - 1 - bit)) & 1u) != 0;
    for (int32_t y = 0; y < block; ++y) {
      std::memset(y_plane + static_cast<size_t>(y) * width + bit * block, one ? kBright : kDark,
                  static_cast<size_t>(block));
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
  const int32_t block = BlockSide(width);
  if (luma == nullptr || block < 4 || height < block || stride < width) return -1;
  const int32_t margin = block / 4;
  int64_t counter = 0;
  for (int32_t bit = 0; bit < kTestPatternCounterBits; ++bit) {
    int64_t sum = 0;
    int32_t n = 0;
    // The block's middle, away from the edges a codec smears.
    for (int32_t y = margin; y < block - margin; ++y) {
      for (int32_t x = margin; x < block - margin; ++x) {
        sum += luma[static_cast<size_t>(y) * stride + bit * block + x];
        ++n;
      }
    }
    counter = (counter << 1) | (sum / n > (kBright + kDark) / 2 ? 1 : 0);
  }
  return counter;
}

double TestPatternPsnr(const uint8_t* luma, int32_t stride, int32_t width, int32_t height, uint32_t counter,
                       int32_t source_width, int32_t source_height) {
  if (luma == nullptr || width <= 0 || height <= 0 || stride < width || source_width % width != 0 ||
      source_height % height != 0 || source_width / width != source_height / height) {
    return -1;
  }
  const int32_t f = source_width / width;
  std::vector<uint8_t> source(static_cast<size_t>(source_width) * source_height * 3 / 2);
  if (!FillTestPattern(source.data(), source_width, source_height, counter)) return -1;
  double squared = 0;
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      int32_t sum = 0;
      for (int32_t dy = 0; dy < f; ++dy) {
        for (int32_t dx = 0; dx < f; ++dx) sum += source[static_cast<size_t>(y * f + dy) * source_width + x * f + dx];
      }
      const double d = luma[static_cast<size_t>(y) * stride + x] - static_cast<double>(sum) / (f * f);
      squared += d * d;
    }
  }
  const double mse = squared / (static_cast<double>(width) * height);
  if (mse <= 1e-10) return 99.0;
  return 10.0 * std::log10(255.0 * 255.0 / mse);
}

#include "outside/jpeg9b/jpeg9b_codec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/module_loader.h"

namespace {

struct FreeDeleter {
  void operator()(uint8_t* p) const { std::free(p); }
};
using Malloced = std::unique_ptr<uint8_t, FreeDeleter>;

// A smooth BGRX picture with `stride` bytes per row (padding filled with 0xEE).
std::vector<uint8_t> Gradient(int width, int height, int stride) {
  std::vector<uint8_t> frame(static_cast<size_t>(stride) * height, 0xEE);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t* p = &frame[static_cast<size_t>(y) * stride + x * 4];
      p[0] = static_cast<uint8_t>(x * 255 / width);
      p[1] = static_cast<uint8_t>(y * 255 / height);
      p[2] = static_cast<uint8_t>((x + y) * 127 / (width + height));
      p[3] = 0xFF;
    }
  }
  return frame;
}

double Psnr(const uint8_t* a, int a_stride, const uint8_t* b, int b_stride, int width, int height) {
  double squared = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < 3; ++c) {
        const double d = a[y * a_stride + x * 4 + c] - b[y * b_stride + x * 4 + c];
        squared += d * d;
      }
    }
  }
  const double mse = squared / (3.0 * width * height);
  return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

std::vector<uint8_t> EncodeTile(int width, int height) {
  const auto frame = Gradient(width, height, width * 4);
  int size = 0;
  Malloced jpeg(Jpeg9bCompress(width, height, 32, 75, width * 4, frame.data(), &size));
  EXPECT_NE(nullptr, jpeg) << width << "x" << height;
  return std::vector<uint8_t>(jpeg.get(), jpeg.get() + size);
}

TEST(Jpeg9bCodecTest, RoundTripOfAnEdgeTileInsideAPaddedFrame) {
  // A 100 x 70 tile cut from the middle of a 300-pixel frame with padded rows.
  const int stride = 300 * 4 + 16;
  const auto frame = Gradient(300, 200, stride);
  const uint8_t* tile = frame.data() + 40 * stride + 128 * 4;
  int size = 0;
  Malloced jpeg(Jpeg9bCompress(100, 70, 32, 75, stride, tile, &size));
  ASSERT_NE(nullptr, jpeg);
  ASSERT_GT(size, 2);
  EXPECT_EQ(0xFF, jpeg.get()[0]);
  EXPECT_EQ(0xD8, jpeg.get()[1]);

  int bytes = 0;
  int width = 0;
  int height = 0;
  Malloced pixels(Jpeg9bDecompress(jpeg.get(), size, 32, &bytes, &width, &height));
  ASSERT_NE(nullptr, pixels);
  EXPECT_EQ(100, width);
  EXPECT_EQ(70, height);
  EXPECT_EQ(100 * 70 * 4, bytes);  // packed rows, no padding
  EXPECT_GT(Psnr(tile, stride, pixels.get(), 100 * 4, 100, 70), 35.0);
}

TEST(Jpeg9bCodecTest, RefusesBadArgumentsWithoutOutput) {
  const auto frame = Gradient(16, 16, 64);
  int size = 123;
  EXPECT_EQ(nullptr, Jpeg9bCompress(16, 16, 32, 75, 60, frame.data(), &size));  // stride short of a row
  EXPECT_EQ(0, size);
  EXPECT_EQ(nullptr, Jpeg9bCompress(0, 16, 32, 75, 64, frame.data(), &size));
  EXPECT_EQ(nullptr, Jpeg9bCompress(16, 16, 16, 75, 64, frame.data(), &size));
  EXPECT_EQ(nullptr, Jpeg9bCompress(16, 16, 32, 75, 64, nullptr, &size));
  EXPECT_EQ(nullptr, Jpeg9bCompress(16, 16, 32, 75, 64, frame.data(), nullptr));
  // Quality outside 1..100 is clamped, not refused.
  Malloced clamped(Jpeg9bCompress(16, 16, 32, 500, 64, frame.data(), &size));
  EXPECT_NE(nullptr, clamped);
}

TEST(Jpeg9bCodecTest, RefusesGarbageTruncatedAndOversizedJpeg) {
  int bytes = 77;
  const uint8_t garbage[] = {0x00, 0x01, 0x02, 0x03, 0xFF, 0xD8, 0xFF, 0x00, 0x42};
  EXPECT_EQ(nullptr, Jpeg9bDecompress(garbage, sizeof(garbage), 32, &bytes));
  EXPECT_EQ(0, bytes);
  EXPECT_EQ(nullptr, Jpeg9bDecompress(garbage, 0, 32, &bytes));
  EXPECT_EQ(nullptr, Jpeg9bDecompress(nullptr, 10, 32, &bytes));

  std::vector<uint8_t> jpeg = EncodeTile(128, 128);
  ASSERT_GT(jpeg.size(), 200u);
  EXPECT_EQ(nullptr, Jpeg9bDecompress(jpeg.data(), static_cast<int>(jpeg.size() / 2), 32, &bytes));
  EXPECT_EQ(0, bytes);
  EXPECT_EQ(nullptr, Jpeg9bDecompress(jpeg.data(), static_cast<int>(jpeg.size()), 8, &bytes));

  // A header claiming 65500 x 65500 is refused before any allocation.
  size_t sof = 0;
  for (size_t i = 0; i + 9 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
      sof = i;
      break;
    }
  }
  ASSERT_NE(0u, sof);
  jpeg[sof + 5] = 0xFF;
  jpeg[sof + 6] = 0xDC;
  jpeg[sof + 7] = 0xFF;
  jpeg[sof + 8] = 0xDC;
  EXPECT_EQ(nullptr, Jpeg9bDecompress(jpeg.data(), static_cast<int>(jpeg.size()), 32, &bytes));
}

// The library as the engine binds it: by file name, three exports by name,
// results released with free.
TEST(Jpeg9bLibraryTest, ExportsRoundTripThroughTheLoadedLibrary) {
  static vz::ModuleLoad load = vz::LoadModule("jpeg9b.dll");
  ASSERT_NE(nullptr, load.module) << load.error.reason;
  using Compress = uint8_t* (*)(int, int, int, int, int, const uint8_t*, int*);
  using Decompress = uint8_t* (*)(const uint8_t*, int, int, int*);
  using FreeMem = void (*)(void*);
  auto compress = reinterpret_cast<Compress>(vz::GetModuleSymbol(load.module, "JPEGCompressImage"));
  auto decompress = reinterpret_cast<Decompress>(vz::GetModuleSymbol(load.module, "JPEGDecompressImage"));
  auto free_mem = reinterpret_cast<FreeMem>(vz::GetModuleSymbol(load.module, "JPEGFreeMem"));
  ASSERT_NE(nullptr, compress);
  ASSERT_NE(nullptr, decompress);
  ASSERT_NE(nullptr, free_mem);

  const auto frame = Gradient(128, 128, 512);
  int size = 0;
  uint8_t* jpeg = compress(128, 128, 32, 75, 512, frame.data(), &size);
  ASSERT_NE(nullptr, jpeg);
  int bytes = 0;
  uint8_t* pixels = decompress(jpeg, size, 32, &bytes);
  ASSERT_NE(nullptr, pixels);
  EXPECT_EQ(128 * 128 * 4, bytes);
  EXPECT_GT(Psnr(frame.data(), 512, pixels, 512, 128, 128), 35.0);
  std::free(jpeg);  // the engine's way
  free_mem(pixels);
  const uint8_t junk[] = {1, 2, 3};
  EXPECT_EQ(nullptr, decompress(junk, 3, 32, &bytes));
  // Kept loaded, as the engine keeps it: unloading would drop the library's
  // own trace connection without its clean-up.
}

}  // namespace

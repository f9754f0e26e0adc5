#include "sharing/engine/codec_mgr.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// One manager for the whole run: the engine keeps jpeg9b loaded while it
// lives, and the library's trace connection is not meant to be unloaded.
CCodecMgrWin& Codec() {
  static CCodecMgrWin* codec = CreateCodecMgr();
  return *codec;
}

TEST(CodecMgrTest, CompressRectCutsTheRectangleOutOfTheFrame) {
  ASSERT_TRUE(Codec().IsLoaded());
  // A 256 x 128 frame: left half black, right half white. The block over the
  // right half must decode white, which it only does when the cut starts at
  // the rectangle's left edge.
  const int stride = 256 * 4;
  std::vector<uint8_t> frame(static_cast<size_t>(stride) * 128, 0);
  for (int y = 0; y < 128; ++y) {
    for (int x = 128; x < 256; ++x) {
      for (int c = 0; c < 4; ++c) frame[static_cast<size_t>(y) * stride + x * 4 + c] = 0xFF;
    }
  }
  const VzRect right_half{128, 64, 256, 128};  // 128 x 64, an edge block
  int size = 0;
  uint8_t* jpeg = Codec().CompressRect(frame.data(), &right_half, 75, stride, 32, &size);
  ASSERT_NE(nullptr, jpeg);
  ASSERT_GT(size, 0);
  int bytes = 0;
  uint8_t* pixels = Codec().DecompressRect(jpeg, size, 32, &bytes);
  std::free(jpeg);
  ASSERT_NE(nullptr, pixels);
  ASSERT_EQ(128 * 64 * 4, bytes);
  int dark = 0;
  for (int i = 0; i < bytes; i += 4) dark += pixels[i] < 0xF0 ? 1 : 0;
  EXPECT_EQ(0, dark);
  std::free(pixels);
}

TEST(CodecMgrTest, NullFrameOrRectangleAndGarbageGiveNothing) {
  int size = 5;
  const VzRect rect{0, 0, 8, 8};
  std::vector<uint8_t> frame(8 * 8 * 4, 0x80);
  EXPECT_EQ(nullptr, Codec().CompressRect(nullptr, &rect, 75, 32, 32, &size));
  EXPECT_EQ(0, size);
  EXPECT_EQ(nullptr, Codec().CompressRect(frame.data(), nullptr, 75, 32, 32, &size));
  const uint8_t junk[] = {0xFF, 0xD8, 0x00, 0x00};
  int bytes = 9;
  EXPECT_EQ(nullptr, Codec().DecompressRect(junk, sizeof(junk), 32, &bytes));
  EXPECT_EQ(0, bytes);
}

TEST(CodecMgrTest, MissingLibraryGivesEmptyResultsAndSharingGoesOn) {
  CCodecMgrWin missing("no_such_codec.dll");
  EXPECT_FALSE(missing.IsLoaded());
  std::vector<uint8_t> frame(8 * 8 * 4, 0x80);
  const VzRect rect{0, 0, 8, 8};
  int size = 42;
  EXPECT_EQ(nullptr, missing.CompressRect(frame.data(), &rect, 75, 32, 32, &size));
  EXPECT_EQ(0, size);
  int out = 0;
  EXPECT_EQ(nullptr, missing.DecompressRect(frame.data(), 16, 32, &out));
  missing.FreeMemForTesting(nullptr);  // unbound: does nothing
}

// A white 128 x 64 JPEG, as a block of the right half of a frame.
std::vector<uint8_t> WhiteTile() {
  std::vector<uint8_t> pixels(128 * 64 * 4, 0xFF);
  const VzRect all{0, 0, 128, 64};
  int size = 0;
  uint8_t* jpeg = Codec().CompressRect(pixels.data(), &all, 75, 128 * 4, 32, &size);
  std::vector<uint8_t> bytes(jpeg, jpeg + size);
  std::free(jpeg);
  return bytes;
}

// Decoding into a frame writes the block's rows at the frame's stride and
// touches no byte outside the block: a wrong stride or an image of another
// size would write over its neighbours.
TEST(CodecMgrTest, DecodesIntoItsPlaceInAFrameAndNowhereElse) {
  ASSERT_TRUE(Codec().IsLoaded());
  const std::vector<uint8_t> jpeg = WhiteTile();
  const int stride = 300 * 4;
  std::vector<uint8_t> frame(static_cast<size_t>(stride) * 100, 0x33);
  uint8_t* place = frame.data() + 10 * stride + 20 * 4;
  size_t bytes = 7;
  ASSERT_EQ(CCodecMgrWin::kDecodedInto, Codec().DecompressRectInto(jpeg.data(), static_cast<int>(jpeg.size()), 32,
                                                                    place, stride, 128, 64, &bytes));
  for (int y = 0; y < 100; ++y) {
    for (int x = 0; x < 300; ++x) {
      const uint8_t blue = frame[static_cast<size_t>(y) * stride + x * 4];
      const bool inside = y >= 10 && y < 74 && x >= 20 && x < 148;
      ASSERT_TRUE(inside ? blue >= 0xF0 : blue == 0x33) << x << ", " << y;
    }
  }

  // Another size, or no image at all: nothing written.
  const std::vector<uint8_t> before = frame;
  EXPECT_EQ(CCodecMgrWin::kWrongSize, Codec().DecompressRectInto(jpeg.data(), static_cast<int>(jpeg.size()), 32,
                                                                  frame.data(), stride, 128, 128, &bytes));
  EXPECT_EQ(CCodecMgrWin::kWrongSize, Codec().DecompressRectInto(jpeg.data(), static_cast<int>(jpeg.size()), 32,
                                                                  frame.data(), stride, 64, 64, &bytes));
  const uint8_t junk[] = {0xFF, 0xD8, 0x00, 0x00};
  EXPECT_EQ(CCodecMgrWin::kNotDecoded,
            Codec().DecompressRectInto(junk, sizeof junk, 32, frame.data(), stride, 128, 64, &bytes));
  EXPECT_EQ(CCodecMgrWin::kNotDecoded, Codec().DecompressRectInto(jpeg.data(), static_cast<int>(jpeg.size()), 32,
                                                                   frame.data(), 100, 128, 64, &bytes));
  EXPECT_TRUE(before == frame);
}

// A codec without the library's decode-into (a test codec that replaces
// Decompress): the same contract through its packed rows and a copy.
class PackedRowsCodec : public CCodecMgrWin {
 public:
  PackedRowsCodec() : CCodecMgrWin("") {}
  uint8_t* Decompress(const uint8_t* data, int size, int, int* out) override {
    auto* copy = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(size)));
    std::memcpy(copy, data, static_cast<size_t>(size));
    *out = size;
    return copy;
  }
};

TEST(CodecMgrTest, WithoutDecodeIntoCopiesDecodedRowsAtTheStride) {
  PackedRowsCodec codec;
  const uint8_t image[2 * 2 * 4] = {1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4};
  std::vector<uint8_t> frame(3 * 12, 0);
  size_t bytes = 0;
  ASSERT_EQ(CCodecMgrWin::kDecodedInto,
            codec.DecompressRectInto(image, sizeof image, 32, frame.data() + 12 + 4, 12, 2, 2, &bytes));
  const std::vector<uint8_t> expected = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  //
                                         0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2,  //
                                         0, 0, 0, 0, 3, 3, 3, 3, 4, 4, 4, 4};
  EXPECT_EQ(expected, frame);
  // Sixteen bytes are not a 1 x 2 place (nor a 2 x 3 one): nothing copied.
  EXPECT_EQ(CCodecMgrWin::kWrongSize, codec.DecompressRectInto(image, sizeof image, 32, frame.data(), 12, 1, 2, &bytes));
  EXPECT_EQ(16u, bytes);
  EXPECT_EQ(CCodecMgrWin::kWrongSize, codec.DecompressRectInto(image, sizeof image, 32, frame.data(), 12, 2, 3, &bytes));
  EXPECT_EQ(expected, frame);
}

}  // namespace

#include "sharing/engine/codec_mgr.h"

#include <gtest/gtest.h>

#include <cstdlib>
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
  missing.FreeMem(nullptr);  // unbound: does nothing
}

}  // namespace

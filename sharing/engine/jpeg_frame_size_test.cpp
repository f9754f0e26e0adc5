#include "sharing/engine/jpeg_frame_size.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "sharing/engine/codec_mgr.h"

namespace {

// SOI, an APP0 segment, a DQT-like segment and a baseline frame header of
// 300 x 17 (height first on the wire).
std::vector<uint8_t> Header() {
  return {0xFF, 0xD8,                                      // SOI
          0xFF, 0xE0, 0x00, 0x06, 'J', 'F', 'I', 'F',      // APP0, length 6
          0xFF, 0xFF, 0xDB, 0x00, 0x03, 0x00,              // fill byte, DQT, length 3
          0xFF, 0xC0, 0x00, 0x0B, 0x08, 0x00, 0x11, 0x01, 0x2C, 0x01, 0x01, 0x11, 0x00};
}

TEST(JpegFrameSizeTest, ReadsTheFrameHeaderPastOtherSegmentsAndFillBytes) {
  int width = 0;
  int height = 0;
  const std::vector<uint8_t> bytes = Header();
  ASSERT_TRUE(ReadJpegFrameSize(bytes.data(), bytes.size(), &width, &height));
  EXPECT_EQ(300, width);
  EXPECT_EQ(17, height);

  // A progressive frame header counts as well; DHT (C4) does not.
  std::vector<uint8_t> progressive = bytes;
  progressive[17] = 0xC2;
  EXPECT_TRUE(ReadJpegFrameSize(progressive.data(), progressive.size(), &width, &height));
  std::vector<uint8_t> huffman = bytes;
  huffman[17] = 0xC4;
  EXPECT_FALSE(ReadJpegFrameSize(huffman.data(), huffman.size(), &width, &height));
}

TEST(JpegFrameSizeTest, MalformedStreamsAreRefusedWithoutReadingPastTheirEnd) {
  const std::vector<uint8_t> good = Header();
  int width = 7;
  int height = 7;
  // Every cut short of the frame header's size fields.
  for (size_t cut = 0; cut < 25; ++cut) {
    std::vector<uint8_t> shorter(good.begin(), good.begin() + static_cast<long>(cut));
    EXPECT_FALSE(ReadJpegFrameSize(shorter.data(), shorter.size(), &width, &height)) << cut;
    EXPECT_EQ(0, width) << cut;
    EXPECT_EQ(0, height) << cut;
  }
  std::vector<uint8_t> bad = good;
  bad[0] = 0x00;  // no SOI
  EXPECT_FALSE(ReadJpegFrameSize(bad.data(), bad.size(), &width, &height));
  bad = good;
  bad[4] = 0x7F;  // APP0 length past the end
  EXPECT_FALSE(ReadJpegFrameSize(bad.data(), bad.size(), &width, &height));
  bad = good;
  bad[5] = 0x01;  // length below its own two bytes
  bad[4] = 0x00;
  EXPECT_FALSE(ReadJpegFrameSize(bad.data(), bad.size(), &width, &height));
  bad = good;
  bad[21] = 0x00;  // height 0 (left to a DNL segment)
  bad[22] = 0x00;
  EXPECT_FALSE(ReadJpegFrameSize(bad.data(), bad.size(), &width, &height));
  bad = good;
  bad[17] = 0xDA;  // a scan before any frame header
  EXPECT_FALSE(ReadJpegFrameSize(bad.data(), bad.size(), &width, &height));
  bad = good;
  bad[10] = 0x12;  // garbage between segments
  EXPECT_FALSE(ReadJpegFrameSize(bad.data(), bad.size(), &width, &height));
  EXPECT_FALSE(ReadJpegFrameSize(nullptr, 10, &width, &height));
}

// The codec with only the three classic functions: the tile decode goes
// through its packed rows, measured by the image's header since the codec
// leaves its out value 0.
TEST(JpegFrameSizeTest, ClassicCodecDecodesIntoItsPlaceAndRefusesAnotherSize) {
  CCodecMgrWin classic("jpeg9bclassic");
  ASSERT_TRUE(classic.IsLoaded());
  std::vector<uint8_t> white(96 * 40 * 4, 0xFF);
  int size = 0;
  uint8_t* jpeg = classic.DoCompress(96, 40, 32, 75, 96 * 4, white.data(), &size);
  ASSERT_NE(nullptr, jpeg);
  const std::vector<uint8_t> image(jpeg, jpeg + size);
  std::free(jpeg);
  int width = 0;
  int height = 0;
  ASSERT_TRUE(ReadJpegFrameSize(image.data(), image.size(), &width, &height));
  EXPECT_EQ(96, width);
  EXPECT_EQ(40, height);

  const int stride = 120 * 4;
  std::vector<uint8_t> frame(static_cast<size_t>(stride) * 50, 0x22);
  size_t bytes = 0;
  ASSERT_EQ(CCodecMgrWin::kDecodedInto, classic.DecompressRectInto(image.data(), size, 32, frame.data() + stride + 8,
                                                                   stride, 96, 40, &bytes));
  EXPECT_EQ(96u * 40 * 4, bytes);
  for (int y = 0; y < 50; ++y) {
    for (int x = 0; x < 120; ++x) {
      const uint8_t blue = frame[static_cast<size_t>(y) * stride + x * 4];
      const bool inside = y >= 1 && y < 41 && x >= 2 && x < 98;
      ASSERT_TRUE(inside ? blue >= 0xF0 : blue == 0x22) << x << ", " << y;
    }
  }
  const std::vector<uint8_t> before = frame;
  EXPECT_EQ(CCodecMgrWin::kWrongSize, classic.DecompressRectInto(image.data(), size, 32, frame.data(), stride, 40,
                                                                 96, &bytes));
  EXPECT_EQ(CCodecMgrWin::kWrongSize, classic.DecompressRectInto(image.data(), size, 32, frame.data(), stride, 96,
                                                                 41, &bytes));
  EXPECT_TRUE(before == frame);
}

}  // namespace

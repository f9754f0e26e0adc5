// The layout of raw camera frames as drivers pad their rows, and their copy
// into unpadded rows, every plane of it: a plane's rows found at the wrong
// stride come out sheared or taken from the plane before.
#include "video/devices/capture/frame_rows.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/camera/camera_records.h"

namespace vzcapture {
namespace {

// A sample's value tells its plane, row and column; padding is 0xEE.
uint8_t Sample(int plane, uint32_t row, uint32_t column) {
  return static_cast<uint8_t>(plane * 71 + row * 13 + column * 7);
}

// The driver's buffer for `rows` and the unpadded picture it holds.
void MakeFrame(const FrameRows& rows, std::vector<uint8_t>* padded, std::vector<uint8_t>* unpadded) {
  padded->assign(PaddedBytes(rows), 0xEE);
  unpadded->clear();
  size_t plane_start = 0;
  for (int p = 0; p < rows.count; ++p) {
    const FrameRows::Plane& plane = rows.planes[p];
    for (uint32_t row = 0; row < plane.rows; ++row) {
      for (uint32_t column = 0; column < plane.row_bytes; ++column) {
        (*padded)[plane_start + static_cast<size_t>(row) * plane.stride + column] = Sample(p, row, column);
        unpadded->push_back(Sample(p, row, column));
      }
    }
    plane_start += static_cast<size_t>(plane.stride) * plane.rows;
  }
}

TEST(FrameRowsTest, APaddedPlanarFrameHasEachChromaPlaneAtHalfTheLumaStride) {
  for (uint32_t fourcc : {vz::kFourccI420, vz::kFourccYv12}) {
    SCOPED_TRACE(fourcc == vz::kFourccI420 ? "I420" : "YV12");
    FrameRows rows;
    ASSERT_TRUE(RawFrameRows(fourcc, 640, 360, 704, &rows));
    ASSERT_EQ(rows.count, 3);
    EXPECT_EQ(rows.planes[0].row_bytes, 640u);
    EXPECT_EQ(rows.planes[0].rows, 360u);
    EXPECT_EQ(rows.planes[0].stride, 704u);
    for (int chroma : {1, 2}) {
      SCOPED_TRACE("plane " + std::to_string(chroma));
      EXPECT_EQ(rows.planes[chroma].row_bytes, 320u);
      EXPECT_EQ(rows.planes[chroma].rows, 180u);
      EXPECT_EQ(rows.planes[chroma].stride, 352u);
    }
    EXPECT_TRUE(HasPadding(rows));
    EXPECT_EQ(PaddedBytes(rows), 704u * 360 + 2u * 352 * 180);
    EXPECT_EQ(UnpaddedBytes(rows), 640u * 360 * 3 / 2);
  }
  // Odd sides: chroma rows and columns round up, and a chroma stride of half
  // an odd luma stride still holds its row.
  FrameRows odd;
  ASSERT_TRUE(RawFrameRows(vz::kFourccI420, 641, 361, 641, &odd));
  EXPECT_EQ(odd.planes[1].row_bytes, 321u);
  EXPECT_EQ(odd.planes[1].rows, 181u);
  EXPECT_EQ(odd.planes[1].stride, 321u);
  EXPECT_FALSE(HasPadding(odd));
}

TEST(FrameRowsTest, EveryPlaneOfAPaddedFrameComesOutUnpaddedAlsoInPlace) {
  const struct {
    uint32_t fourcc, width, height, bytes_per_line;
  } cases[] = {{vz::kFourccI420, 640, 360, 704}, {vz::kFourccI420, 642, 362, 672}, {vz::kFourccYv12, 320, 240, 384},
               {vz::kFourccYuyv, 641, 3, 1344}, {vz::kFourccBgr24, 5, 4, 16}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.width);
    FrameRows rows;
    ASSERT_TRUE(RawFrameRows(c.fourcc, c.width, c.height, c.bytes_per_line, &rows));
    std::vector<uint8_t> padded, expected;
    MakeFrame(rows, &padded, &expected);
    ASSERT_EQ(expected.size(), UnpaddedBytes(rows));
    std::vector<uint8_t> out(UnpaddedBytes(rows), 0);
    UnpadRows(padded.data(), out.data(), rows);
    EXPECT_EQ(out, expected);
    UnpadRows(padded.data(), padded.data(), rows);
    padded.resize(UnpaddedBytes(rows));
    EXPECT_EQ(padded, expected);
  }
}

TEST(FrameRowsTest, PackedRowsHoldWholePixelPairsAndStridesBelowARowAreUnpadded) {
  FrameRows rows;
  ASSERT_TRUE(RawFrameRows(vz::kFourccYuyv, 641, 10, 0, &rows));
  ASSERT_EQ(rows.count, 1);
  EXPECT_EQ(rows.planes[0].row_bytes, 642u * 2);
  EXPECT_EQ(rows.planes[0].stride, 642u * 2);  // the driver did not say
  EXPECT_FALSE(HasPadding(rows));
  ASSERT_TRUE(RawFrameRows(vz::kFourccI420, 640, 360, 320, &rows));
  EXPECT_EQ(rows.planes[0].stride, 640u);
  EXPECT_EQ(rows.planes[1].stride, 320u);
  EXPECT_FALSE(HasPadding(rows));
  // Compressed and unknown formats, empty and oversized pictures have no rows.
  EXPECT_FALSE(RawFrameRows(vz::kFourccMjpeg, 640, 360, 0, &rows));
  EXPECT_FALSE(RawFrameRows(0x31313131, 640, 360, 0, &rows));
  EXPECT_FALSE(RawFrameRows(vz::kFourccI420, 0, 360, 0, &rows));
  EXPECT_FALSE(RawFrameRows(vz::kFourccI420, 65537, 2, 0, &rows));
  EXPECT_EQ(rows.count, 0);
}

}  // namespace
}  // namespace vzcapture

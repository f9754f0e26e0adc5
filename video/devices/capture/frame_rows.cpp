#include "video/devices/capture/frame_rows.h"

#include <algorithm>
#include <cstring>

#include "platform/camera/camera_records.h"

namespace vzcapture {

bool RawFrameRows(uint32_t fourcc, uint32_t width, uint32_t height, uint32_t bytes_per_line, FrameRows* rows) {
  *rows = FrameRows();
  // Sizes no camera sends are not laid out (their rows could not be counted
  // in 32 bits).
  constexpr uint32_t kLargestSide = 1u << 16;
  if (width == 0 || height == 0 || width > kLargestSide || height > kLargestSide) return false;
  uint32_t bytes_per_pixel = 0;
  if (fourcc == vz::kFourccYuyv) bytes_per_pixel = 2;
  if (fourcc == vz::kFourccBgr24) bytes_per_pixel = 3;
  if (bytes_per_pixel != 0) {
    // A YUYV row holds whole pixel pairs.
    const uint32_t row = (fourcc == vz::kFourccYuyv ? (width + 1) & ~1u : width) * bytes_per_pixel;
    rows->planes[0] = {row, height, std::max(row, bytes_per_line)};
    rows->count = 1;
    return true;
  }
  if (fourcc != vz::kFourccI420 && fourcc != vz::kFourccYv12) return false;
  const uint32_t luma_stride = std::max(width, bytes_per_line);
  const uint32_t chroma_row = (width + 1) / 2;
  const uint32_t chroma_stride = std::max(chroma_row, luma_stride / 2);
  rows->planes[0] = {width, height, luma_stride};
  rows->planes[1] = {chroma_row, (height + 1) / 2, chroma_stride};
  rows->planes[2] = rows->planes[1];
  rows->count = 3;
  return true;
}

bool HasPadding(const FrameRows& rows) {
  for (int i = 0; i < rows.count; ++i) {
    if (rows.planes[i].stride != rows.planes[i].row_bytes) return true;
  }
  return false;
}

uint64_t PaddedBytes(const FrameRows& rows) {
  uint64_t bytes = 0;
  for (int i = 0; i < rows.count; ++i) bytes += static_cast<uint64_t>(rows.planes[i].stride) * rows.planes[i].rows;
  return bytes;
}

uint64_t UnpaddedBytes(const FrameRows& rows) {
  uint64_t bytes = 0;
  for (int i = 0; i < rows.count; ++i) bytes += static_cast<uint64_t>(rows.planes[i].row_bytes) * rows.planes[i].rows;
  return bytes;
}

void UnpadRows(const uint8_t* from, uint8_t* to, const FrameRows& rows) {
  for (int i = 0; i < rows.count; ++i) {
    const FrameRows::Plane& plane = rows.planes[i];
    for (uint32_t row = 0; row < plane.rows; ++row) {
      // memmove: in place, a row may overlap its own source.
      std::memmove(to, from + static_cast<uint64_t>(row) * plane.stride, plane.row_bytes);
      to += plane.row_bytes;
    }
    from += static_cast<uint64_t>(plane.stride) * plane.rows;
  }
}

}  // namespace vzcapture

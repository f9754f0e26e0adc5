#pragma once
// The rows of a raw camera frame as the driver lays them out: each plane's
// rows `stride` bytes apart (the driver's bytesperline for the first plane,
// half of it for the chroma planes of I420 and YV12), and the copy of such
// a frame into the unpadded rows the engine's samples hold.
// Pure functions; any thread.
#include <cstdint>

namespace vzcapture {

struct FrameRows {
  struct Plane {
    uint32_t row_bytes = 0;  // the picture's bytes in a row
    uint32_t rows = 0;
    uint32_t stride = 0;     // from one row to the next in the driver's buffer
  };
  Plane planes[3];
  int count = 0;
};

// The layout of a raw frame; false for a compressed or unknown pixel format,
// an empty size or a side above 65536. A stride below the picture's row (0 included: the
// driver did not say) is taken as unpadded.
bool RawFrameRows(uint32_t fourcc, uint32_t width, uint32_t height, uint32_t bytes_per_line, FrameRows* rows);
// True when some row is followed by padding.
bool HasPadding(const FrameRows& rows);
// The bytes the driver's layout spans (the last row's padding included),
// and the bytes of the unpadded picture.
uint64_t PaddedBytes(const FrameRows& rows);
uint64_t UnpaddedBytes(const FrameRows& rows);
// Copies the rows of `from` (PaddedBytes long) into `to` without their
// padding (UnpaddedBytes long). `to` may be `from`: every row moves towards
// the start, so the frame is unpadded in place.
void UnpadRows(const uint8_t* from, uint8_t* to, const FrameRows& rows);

}  // namespace vzcapture

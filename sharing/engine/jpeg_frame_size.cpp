#include "sharing/engine/jpeg_frame_size.h"

#include "platform/big_endian.h"

namespace {

// SOF0..SOF15 without DHT (C4), JPG (C8) and DAC (CC), which share the range.
bool IsFrameHeader(uint8_t marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Markers that stand alone, without a length: TEM and RST0..RST7.
bool HasNoLength(uint8_t marker) { return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7); }

}  // namespace

bool IsJpegStream(const uint8_t* data, size_t size) {
  return data != nullptr && size >= 2 && data[0] == 0xFF && data[1] == 0xD8;
}

bool ReadJpegFrameSize(const uint8_t* data, size_t size, int* width, int* height) {
  if (width != nullptr) *width = 0;
  if (height != nullptr) *height = 0;
  if (!IsJpegStream(data, size)) return false;
  size_t at = 2;
  while (at < size) {
    if (data[at] != 0xFF) return false;  // segments follow each other without gaps
    while (at < size && data[at] == 0xFF) ++at;  // fill bytes
    if (at >= size) return false;
    const uint8_t marker = data[at++];
    if (marker == 0xD9 || marker == 0xDA || marker == 0xD8 || marker == 0x00) return false;
    if (HasNoLength(marker)) continue;
    if (size - at < 2) return false;
    const size_t length = vz::Load16(data + at);
    if (length < 2 || length > size - at) return false;
    if (IsFrameHeader(marker)) {
      // Length, precision, height, width.
      if (length < 7) return false;
      const int h = vz::Load16(data + at + 3);
      const int w = vz::Load16(data + at + 5);
      if (w == 0 || h == 0) return false;
      if (width != nullptr) *width = w;
      if (height != nullptr) *height = h;
      return true;
    }
    at += length;
  }
  return false;
}

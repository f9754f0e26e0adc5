#include "video/devices/render/video_draw.h"

#include "video/devices/render/fourcc_families.h"

namespace {
constexpr int64_t kMaxImageBytes = int64_t{1} << 30;
}

int32_t BitmapRgbStride(int32_t width, int32_t bit_count) {
  return static_cast<int32_t>(((static_cast<int64_t>(width) * bit_count + 31) / 32) * 4);
}

uint32_t BitmapImageBytes(const BitmapHeader& header) {
  const int64_t w = header.width;
  const int64_t h = header.height < 0 ? -static_cast<int64_t>(header.height) : header.height;
  if (w <= 0 || h <= 0 || w > 65536 || h > 65536) return 0;
  int64_t bytes = 0;
  switch (header.compression) {
    case kFourCCRgb:
      if (header.bit_count != 16 && header.bit_count != 24 && header.bit_count != 32) return 0;
      bytes = static_cast<int64_t>(BitmapRgbStride(static_cast<int32_t>(w), header.bit_count)) * h;
      break;
    case kFourCC_I420:
    case kFourCC_IYUV:
    case kFourCC_YV12:
      bytes = w * h + 2 * (w / 2) * (h / 2);
      break;
    case kFourCC_YUY2:
    case kFourCC_UYVY:
      bytes = 2 * w * h;
      break;
    default:
      return 0;
  }
  return bytes > kMaxImageBytes ? 0 : static_cast<uint32_t>(bytes);
}

#include "video/devices/render/pixel_copy.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "video/devices/render/fourcc_families.h"

namespace {

inline uint16_t To565(const uint8_t* p) {
  return static_cast<uint16_t>(((p[2] >> 3) << 11) | ((p[1] >> 2) << 5) | (p[0] >> 3));
}
inline uint16_t To555(const uint8_t* p) {
  return static_cast<uint16_t>(0x8000 | ((p[2] >> 3) << 10) | ((p[1] >> 3) << 5) | (p[0] >> 3));
}
inline void Store16(uint8_t* d, uint16_t v) { std::memcpy(d, &v, 2); }

void RowTo32(const uint8_t* s, uint8_t* d, int32_t width) {
  int32_t x = 0;
  // Four pixels (12 bytes in, 16 out) a step, then the tail.
  for (; x + 4 <= width; x += 4, s += 12, d += 16) {
    d[0] = s[0], d[1] = s[1], d[2] = s[2], d[3] = 0xFF;
    d[4] = s[3], d[5] = s[4], d[6] = s[5], d[7] = 0xFF;
    d[8] = s[6], d[9] = s[7], d[10] = s[8], d[11] = 0xFF;
    d[12] = s[9], d[13] = s[10], d[14] = s[11], d[15] = 0xFF;
  }
  for (; x < width; ++x, s += 3, d += 4) d[0] = s[0], d[1] = s[1], d[2] = s[2], d[3] = 0xFF;
}

template <uint16_t (*Pack)(const uint8_t*)>
void RowTo16(const uint8_t* s, uint8_t* d, int32_t width) {
  int32_t x = 0;
  for (; x + 4 <= width; x += 4, s += 12, d += 8) {
    Store16(d, Pack(s));
    Store16(d + 2, Pack(s + 3));
    Store16(d + 4, Pack(s + 6));
    Store16(d + 6, Pack(s + 9));
  }
  for (; x < width; ++x, s += 3, d += 2) Store16(d, Pack(s));
}

bool InYuy2Group(uint32_t f) {
  return f == kFourCC_YUY2 || f == kFourCC_V422 || f == kFourCC_YUNV || f == kFourCC_YUYV;
}
bool InUyvyGroup(uint32_t f) {
  return f == kFourCC_UYVY || f == kFourCC_Y422 || f == kFourCC_HDYC || f == kFourCC_UYNV;
}

void CopyPlane(const uint8_t* src, int32_t src_stride, uint8_t* dst, int32_t dst_pitch, int32_t width,
               int32_t rows) {
  for (int32_t r = 0; r < rows; ++r) std::memcpy(dst + static_cast<int64_t>(r) * dst_pitch,
                                                 src + static_cast<int64_t>(r) * src_stride, width);
}

}  // namespace

int32_t BltBGR(const uint8_t* src, int32_t src_stride, uint8_t* dst, int32_t dst_pitch, int32_t mode,
               int32_t width, int32_t rows) {
  if (mode < kBltBgrTo32 || mode > kBltBgrTo555) return 0;
  if (width <= 0 || rows <= 0) return 1;
  // A bottom-up source has a negative stride: the row length is its
  // magnitude, never the signed value.
  const size_t copy_bytes = static_cast<size_t>(std::min(std::abs(src_stride), std::abs(dst_pitch)));
  for (int32_t r = 0; r < rows; ++r) {
    const uint8_t* s = src + static_cast<int64_t>(r) * src_stride;
    uint8_t* d = dst + static_cast<int64_t>(r) * dst_pitch;
    switch (mode) {
      case kBltBgrTo32: RowTo32(s, d, width); break;
      case kBltBgrCopy: std::memcpy(d, s, copy_bytes); break;
      case kBltBgrTo565: RowTo16<To565>(s, d, width); break;
      default: RowTo16<To555>(s, d, width); break;
    }
  }
  return 1;
}

int32_t BltYUV_Packed(const uint8_t* src, int32_t src_stride, uint32_t src_fourcc, uint8_t* dst, int32_t dst_pitch,
                      uint32_t dst_fourcc, int32_t width, int32_t rows) {
  bool swap;
  if (src_fourcc == kFourCC_YUY2 && InYuy2Group(dst_fourcc)) {
    swap = false;
  } else if (src_fourcc == kFourCC_UYVY && InUyvyGroup(dst_fourcc)) {
    swap = false;
  } else if (src_fourcc == kFourCC_YUY2 && InUyvyGroup(dst_fourcc)) {
    swap = true;
  } else if (src_fourcc == kFourCC_UYVY && InYuy2Group(dst_fourcc)) {
    swap = true;
  } else {
    return 0;
  }
  if (width <= 0 || rows <= 0) return 1;
  const int32_t row_bytes = width * 2;
  for (int32_t r = 0; r < rows; ++r) {
    const uint8_t* s = src + static_cast<int64_t>(r) * src_stride;
    uint8_t* d = dst + static_cast<int64_t>(r) * dst_pitch;
    if (!swap) {
      std::memcpy(d, s, row_bytes);
      continue;
    }
    for (int32_t i = 0; i < row_bytes; i += 2) {
      d[i] = s[i + 1];
      d[i + 1] = s[i];
    }
  }
  return 1;
}

int64_t PlanarSurfaceBytes(uint32_t fourcc, int32_t pitch, int32_t height) {
  const int64_t luma = static_cast<int64_t>(pitch) * height;
  const int64_t half_rows = height / 2;
  if (fourcc == kFourCC_I420 || fourcc == kFourCC_IYUV || fourcc == kFourCC_YV12) {
    return luma + 2 * half_rows * (pitch / 2);
  }
  if (fourcc == kFourCC_IMC1 || fourcc == kFourCC_IMC3) return luma + 2 * half_rows * pitch;
  if (fourcc == kFourCC_IMC2 || fourcc == kFourCC_IMC4 || fourcc == kFourCC_NV12) return luma + half_rows * pitch;
  return 0;
}

int32_t BltYUV_Planar(const uint8_t* y, const uint8_t* u, const uint8_t* v, int32_t luma_stride,
                      int32_t chroma_stride, uint8_t* dst, int32_t pitch, uint32_t dst_fourcc, int32_t width,
                      int32_t height) {
  if (PlanarSurfaceBytes(dst_fourcc, 2, 2) == 0) return 0;  // not a planar layout this writes
  if (width <= 0 || height <= 0) return 1;
  CopyPlane(y, luma_stride, dst, pitch, width, height);
  const int32_t cw = width / 2;
  const int32_t ch = height / 2;
  uint8_t* chroma = dst + static_cast<int64_t>(pitch) * height;
  const int32_t half_pitch = pitch / 2;
  const int64_t half_plane = static_cast<int64_t>(half_pitch) * ch;
  const int64_t full_plane = static_cast<int64_t>(pitch) * ch;
  switch (dst_fourcc) {
    case kFourCC_I420:
    case kFourCC_IYUV:
      CopyPlane(u, chroma_stride, chroma, half_pitch, cw, ch);
      CopyPlane(v, chroma_stride, chroma + half_plane, half_pitch, cw, ch);
      break;
    case kFourCC_YV12:
      CopyPlane(v, chroma_stride, chroma, half_pitch, cw, ch);
      CopyPlane(u, chroma_stride, chroma + half_plane, half_pitch, cw, ch);
      break;
    case kFourCC_IMC1:
      CopyPlane(v, chroma_stride, chroma, pitch, cw, ch);
      CopyPlane(u, chroma_stride, chroma + full_plane, pitch, cw, ch);
      break;
    case kFourCC_IMC3:
      CopyPlane(u, chroma_stride, chroma, pitch, cw, ch);
      CopyPlane(v, chroma_stride, chroma + full_plane, pitch, cw, ch);
      break;
    case kFourCC_IMC2:
      CopyPlane(v, chroma_stride, chroma, pitch, cw, ch);
      CopyPlane(u, chroma_stride, chroma + half_pitch, pitch, cw, ch);
      break;
    case kFourCC_IMC4:
      CopyPlane(u, chroma_stride, chroma, pitch, cw, ch);
      CopyPlane(v, chroma_stride, chroma + half_pitch, pitch, cw, ch);
      break;
    default:  // NV12: U and V interleaved, U first
      for (int32_t r = 0; r < ch; ++r) {
        const uint8_t* ur = u + static_cast<int64_t>(r) * chroma_stride;
        const uint8_t* vr = v + static_cast<int64_t>(r) * chroma_stride;
        uint8_t* d = chroma + static_cast<int64_t>(r) * pitch;
        for (int32_t x = 0; x < cw; ++x) {
          d[2 * x] = ur[x];
          d[2 * x + 1] = vr[x];
        }
      }
      break;
  }
  return 1;
}

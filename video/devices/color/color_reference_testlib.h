#pragma once
// Per-pixel reference arithmetic for the colour tests, written apart from
// the kernels: what each conversion must produce.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "video/devices/color/packed_layout.h"

namespace nsVZVP::testing {

struct Rgb {
  int r, g, b;
};

inline Rgb YuvToRgb(int y, int u, int v) {
  const int k = 74 * (y - 16);
  auto clamp = [](int x) { return std::clamp(x, 0, 255); };
  return {clamp((k + 102 * (v - 128)) >> 6), clamp((k - 52 * (v - 128) - 25 * (u - 128)) >> 6),
          clamp((k + 129 * (u - 128)) >> 6)};
}

inline int RgbToY(int r, int g, int b) { return ((66 * r + 129 * g + 25 * b + 128) >> 8) + 16; }
inline int BlockToU(int sr, int sg, int sb) { return ((112 * sb - 74 * sg - 38 * sr + 512) >> 10) + 128; }
inline int BlockToV(int sr, int sg, int sb) { return ((112 * sr - 94 * sg - 18 * sb + 512) >> 10) + 128; }
// The 13-bit arithmetic of the MMX entries.
inline int RgbToY13(int r, int g, int b) { return ((2105 * r + 4129 * g + 803 * b + 4096) >> 13) + 16; }
inline int BlockToU13(int sr, int sg, int sb) {
  return (((3596 * sb - 2384 * sg - 1212 * sr + 16384) >> 15) + 128) & 0xff;
}
inline int BlockToV13(int sr, int sg, int sb) {
  return (((3596 * sr - 3015 * sg - 582 * sb + 16384) >> 15) + 128) & 0xff;
}

// A planar 4:2:0 picture in separate tight buffers (U then V).
struct Planar {
  int width = 0, height = 0, stride_y = 0, stride_uv = 0;
  std::vector<uint8_t> y, u, v;
};

// A packed picture; rows are `stride` apart, the buffer ends right after
// the last pixel of the last row (so a read past it is caught under ASan).
struct Packed {
  int width = 0, height = 0, stride = 0, bytes = 0;
  std::vector<uint8_t> data;
  uint8_t* row(int r) { return data.data() + static_cast<size_t>(r) * stride; }
};

inline size_t TightSize(int rows, int stride, int row_bytes) {
  return rows == 0 ? 0 : static_cast<size_t>(rows - 1) * stride + row_bytes;
}

}  // namespace nsVZVP::testing

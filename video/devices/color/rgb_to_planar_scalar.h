#pragma once
// The scalar RGB to I420 loop, for kernels that differ only in their
// integer weights (the plain kernels' 8-bit BT.601 weights, the MMX
// entries' 13-bit ones). Each 2 x 2 block gives four Y and one U and one V
// from the block's sums. The weights are a template argument, so each
// kernel compiles to its own loop with its constants folded in.
#include <cstdint>

#include "video/devices/color/color_kernels.h"
#include "video/devices/color/packed_layout.h"

namespace nsVZVP {

// Y = ((y_r R + y_g G + y_b B + half) >> y_shift) + 16, per pixel;
// U = ((u_b sB - u_g sG - u_r sR + half) >> uv_shift) + 128 and
// V = ((v_r sR - v_g sG - v_b sB + half) >> uv_shift) + 128 over the block's
// sums; half rounds to nearest.
struct RgbToYuvWeights {
  int32_t y_r, y_g, y_b;
  int y_shift;
  int32_t u_r, u_g, u_b;
  int32_t v_r, v_g, v_b;
  int uv_shift;
};

template <PackedIndex kIndex, const RgbToYuvWeights& kW>
void RgbToPlanarWeighted(const uint8_t* src, int src_stride, uint8_t* dst_y, uint8_t* dst_u, uint8_t* dst_v,
                         int stride_y, int stride_uv, int width, int height, int flip) {
  constexpr PackedLayout L = LayoutOf(kIndex);
  constexpr int32_t kYHalf = 1 << (kW.y_shift - 1);
  constexpr int32_t kUvHalf = 1 << (kW.uv_shift - 1);
  for (int row = 0; row + 1 < height; row += 2) {
    const uint8_t* s[2];
    for (int r = 0; r < 2; ++r) {
      const int mem_row = flip ? height - 1 - (row + r) : row + r;
      s[r] = src + static_cast<intptr_t>(mem_row) * src_stride;
    }
    uint8_t* y[2] = {dst_y + static_cast<intptr_t>(row) * stride_y,
                     dst_y + static_cast<intptr_t>(row + 1) * stride_y};
    uint8_t* u = dst_u + static_cast<intptr_t>(row / 2) * stride_uv;
    uint8_t* v = dst_v + static_cast<intptr_t>(row / 2) * stride_uv;
    for (int x = 0; x + 1 < width; x += 2) {
      int32_t sr = 0, sg = 0, sb = 0;
      for (int r = 0; r < 2; ++r) {
        for (int c = 0; c < 2; ++c) {
          const uint8_t* p = s[r] + (x + c) * L.bytes;
          const int32_t R = p[L.r], G = p[L.g], B = p[L.b];
          y[r][x + c] = static_cast<uint8_t>(((kW.y_r * R + kW.y_g * G + kW.y_b * B + kYHalf) >> kW.y_shift) + 16);
          sr += R;
          sg += G;
          sb += B;
        }
      }
      u[x / 2] = static_cast<uint8_t>(((kW.u_b * sb - kW.u_g * sg - kW.u_r * sr + kUvHalf) >> kW.uv_shift) + 128);
      v[x / 2] = static_cast<uint8_t>(((kW.v_r * sr - kW.v_g * sg - kW.v_b * sb + kUvHalf) >> kW.uv_shift) + 128);
    }
  }
}

}  // namespace nsVZVP

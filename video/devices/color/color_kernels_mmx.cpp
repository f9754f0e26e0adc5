// The MMX entries in scalar code. The MMX kernels' copies, 4:2:2 packing and
// YUV to RGB give the plain kernels' bytes, so those entries are the plain
// kernels; RGB to YUV keeps its own 13-bit arithmetic, which differs by one
// from the plain result for part of all colours.
#include "video/devices/color/color_kernels.h"
#include "video/devices/color/packed_layout.h"

namespace nsVZVP {
namespace {

template <PackedIndex kIndex>
void RgbToPlanar13(const uint8_t* src, int src_stride, uint8_t* dst_y, uint8_t* dst_u, uint8_t* dst_v,
                   int stride_y, int stride_uv, int width, int height, int flip) {
  constexpr PackedLayout L = LayoutOf(kIndex);
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
          y[r][x + c] = static_cast<uint8_t>(((2105 * R + 4129 * G + 803 * B + 4096) >> 13) + 16);
          sr += R;
          sg += G;
          sb += B;
        }
      }
      u[x / 2] = static_cast<uint8_t>(((3596 * sb - 2384 * sg - 1212 * sr + 16384) >> 15) + 128);
      v[x / 2] = static_cast<uint8_t>(((3596 * sr - 3015 * sg - 582 * sb + 16384) >> 15) + 128);
    }
  }
}

KernelSet MakeMmx() {
  const KernelSet& plain = PlainKernels();
  KernelSet set{};
  set.copy = plain.copy;
  set.from_planar[kPackedYuy2] = plain.from_planar[kPackedYuy2];
  set.from_planar[kPackedUyvy] = plain.from_planar[kPackedUyvy];
  set.from_planar[kPackedBgr24] = plain.from_planar[kPackedBgr24];
  set.from_planar[kPackedBgra32] = plain.from_planar[kPackedBgra32];
  set.to_planar[kPackedRgb24] = RgbToPlanar13<kPackedRgb24>;
  set.to_planar[kPackedBgr24] = RgbToPlanar13<kPackedBgr24>;
  set.to_planar[kPackedRgba32] = RgbToPlanar13<kPackedRgba32>;
  set.to_planar[kPackedBgra32] = RgbToPlanar13<kPackedBgra32>;
  set.to_planar[kPackedYuy2] = plain.to_planar[kPackedYuy2];
  set.to_planar[kPackedUyvy] = plain.to_planar[kPackedUyvy];
  return set;
}

}  // namespace

const KernelSet& MmxKernels() {
  static const KernelSet set = MakeMmx();
  return set;
}

}  // namespace nsVZVP

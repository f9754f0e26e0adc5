// Plain kernels: BT.601 studio-range integer arithmetic on 2 x 2 blocks.
#include <array>
#include <cstring>

#include "video/devices/color/color_kernels.h"
#include "video/devices/color/packed_layout.h"
#include "video/devices/color/rgb_to_planar_scalar.h"

namespace nsVZVP {
namespace {

// The five products of the YUV to RGB direction, looked up instead of
// multiplied.
struct YuvTables {
  std::array<int32_t, 256> u25, v102, y74, v52, u129;
};

constexpr YuvTables MakeYuvTables() {
  YuvTables t{};
  for (int i = 0; i < 256; ++i) {
    t.u25[i] = 25 * (i - 128);
    t.v102[i] = 102 * (i - 128);
    t.y74[i] = 74 * (i - 16);
    t.v52[i] = 52 * (i - 128);
    t.u129[i] = 129 * (i - 128);
  }
  return t;
}
constexpr YuvTables kTables = MakeYuvTables();

inline uint8_t Clamp255(int32_t v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

template <PackedIndex kIndex>
inline void PutRgb(uint8_t* p, int32_t k, int32_t rv, int32_t gvu, int32_t bu) {
  constexpr PackedLayout L = LayoutOf(kIndex);
  p[L.r] = Clamp255((k + rv) >> 6);
  p[L.g] = Clamp255((k - gvu) >> 6);
  p[L.b] = Clamp255((k + bu) >> 6);
  if constexpr (L.a >= 0) p[L.a] = kOpaqueAlpha;
}

uint8_t* PackedRow(uint8_t* base, int stride, int row, int height, int flip) {
  return base + static_cast<intptr_t>(flip ? height - 1 - row : row) * stride;
}
const uint8_t* PackedRow(const uint8_t* base, int stride, int row, int height, int flip) {
  return base + static_cast<intptr_t>(flip ? height - 1 - row : row) * stride;
}

template <PackedIndex kIndex>
void PlanarToRgb(uint8_t* dst, int dst_stride, const uint8_t* src_y, const uint8_t* src_u, const uint8_t* src_v,
                 int stride_y, int stride_uv, int width, int height, int flip) {
  constexpr int kBytes = LayoutOf(kIndex).bytes;
  for (int row = 0; row + 1 < height; row += 2) {
    uint8_t* d0 = PackedRow(dst, dst_stride, row, height, flip);
    uint8_t* d1 = PackedRow(dst, dst_stride, row + 1, height, flip);
    const uint8_t* y0 = src_y + static_cast<intptr_t>(row) * stride_y;
    const uint8_t* y1 = y0 + stride_y;
    const uint8_t* u = src_u + static_cast<intptr_t>(row / 2) * stride_uv;
    const uint8_t* v = src_v + static_cast<intptr_t>(row / 2) * stride_uv;
    for (int x = 0; x + 1 < width; x += 2) {
      const int32_t rv = kTables.v102[v[x / 2]];
      const int32_t gvu = kTables.v52[v[x / 2]] + kTables.u25[u[x / 2]];
      const int32_t bu = kTables.u129[u[x / 2]];
      PutRgb<kIndex>(d0 + x * kBytes, kTables.y74[y0[x]], rv, gvu, bu);
      PutRgb<kIndex>(d0 + (x + 1) * kBytes, kTables.y74[y0[x + 1]], rv, gvu, bu);
      PutRgb<kIndex>(d1 + x * kBytes, kTables.y74[y1[x]], rv, gvu, bu);
      PutRgb<kIndex>(d1 + (x + 1) * kBytes, kTables.y74[y1[x + 1]], rv, gvu, bu);
    }
  }
}

// BT.601 studio range in 8-bit weights (10-bit for the block sums).
constexpr RgbToYuvWeights kWeights8 = {66, 129, 25, 8, 38, 74, 112, 112, 94, 18, 10};

template <PackedIndex kIndex>
constexpr ToPlanarKernel RgbToPlanar = RgbToPlanarWeighted<kIndex, kWeights8>;

// kUyvy false: Y0 U Y1 V; true: U Y0 V Y1.
template <bool kUyvy>
void PlanarTo422(uint8_t* dst, int dst_stride, const uint8_t* src_y, const uint8_t* src_u, const uint8_t* src_v,
                 int stride_y, int stride_uv, int width, int height, int flip) {
  for (int row = 0; row < height; ++row) {
    uint8_t* d = PackedRow(dst, dst_stride, row, height, flip);
    const uint8_t* y = src_y + static_cast<intptr_t>(row) * stride_y;
    const uint8_t* u = src_u + static_cast<intptr_t>(row / 2) * stride_uv;
    const uint8_t* v = src_v + static_cast<intptr_t>(row / 2) * stride_uv;
    for (int x = 0; x + 1 < width; x += 2) {
      uint8_t* p = d + x * 2;
      if (kUyvy) {
        p[0] = u[x / 2], p[1] = y[x], p[2] = v[x / 2], p[3] = y[x + 1];
      } else {
        p[0] = y[x], p[1] = u[x / 2], p[2] = y[x + 1], p[3] = v[x / 2];
      }
    }
  }
}

template <bool kUyvy>
void From422ToPlanar(const uint8_t* src, int src_stride, uint8_t* dst_y, uint8_t* dst_u, uint8_t* dst_v,
                     int stride_y, int stride_uv, int width, int height, int flip) {
  constexpr int kY = kUyvy ? 1 : 0, kU = kUyvy ? 0 : 1, kV = kUyvy ? 2 : 3;
  for (int row = 0; row + 1 < height; row += 2) {
    const uint8_t* s0 = PackedRow(src, src_stride, row, height, flip);
    const uint8_t* s1 = PackedRow(src, src_stride, row + 1, height, flip);
    uint8_t* y0 = dst_y + static_cast<intptr_t>(row) * stride_y;
    uint8_t* y1 = y0 + stride_y;
    uint8_t* u = dst_u + static_cast<intptr_t>(row / 2) * stride_uv;
    uint8_t* v = dst_v + static_cast<intptr_t>(row / 2) * stride_uv;
    for (int x = 0; x + 1 < width; x += 2) {
      const uint8_t* a = s0 + x * 2;
      const uint8_t* b = s1 + x * 2;
      y0[x] = a[kY], y0[x + 1] = a[kY + 2];
      y1[x] = b[kY], y1[x + 1] = b[kY + 2];
      u[x / 2] = static_cast<uint8_t>((a[kU] + b[kU] + 1) >> 1);
      v[x / 2] = static_cast<uint8_t>((a[kV] + b[kV] + 1) >> 1);
    }
  }
}

void CopyPlanar(uint8_t* dst_y, uint8_t* dst_2, uint8_t* dst_3, int dst_stride_y, int dst_stride_uv,
                const uint8_t* src_y, const uint8_t* src_2, const uint8_t* src_3, int src_stride_y,
                int src_stride_uv, int width, int height, int flip) {
  auto copy_plane = [flip](uint8_t* d, int ds, const uint8_t* s, int ss, int w, int h) {
    for (int row = 0; row < h; ++row) {
      const uint8_t* from = s + static_cast<intptr_t>(flip ? h - 1 - row : row) * ss;
      std::memcpy(d + static_cast<intptr_t>(row) * ds, from, static_cast<size_t>(w));
    }
  };
  copy_plane(dst_y, dst_stride_y, src_y, src_stride_y, width, height);
  copy_plane(dst_2, dst_stride_uv, src_2, src_stride_uv, width / 2, height / 2);
  copy_plane(dst_3, dst_stride_uv, src_3, src_stride_uv, width / 2, height / 2);
}

constexpr KernelSet kPlain = {
    CopyPlanar,
    {PlanarToRgb<kPackedRgb24>, PlanarToRgb<kPackedBgr24>, PlanarToRgb<kPackedRgba32>, PlanarToRgb<kPackedBgra32>,
     PlanarToRgb<kPackedAbgr32>, PlanarToRgb<kPackedArgb32>, PlanarTo422<false>, PlanarTo422<true>},
    {RgbToPlanar<kPackedRgb24>, RgbToPlanar<kPackedBgr24>, RgbToPlanar<kPackedRgba32>, RgbToPlanar<kPackedBgra32>,
     RgbToPlanar<kPackedAbgr32>, RgbToPlanar<kPackedArgb32>, From422ToPlanar<false>, From422ToPlanar<true>},
};

}  // namespace

const KernelSet& PlainKernels() { return kPlain; }

}  // namespace nsVZVP

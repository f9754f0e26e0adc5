#pragma once
// RGB to planar 4:2:0 with byte shuffles and byte multiply-adds: for the
// units built with -mssse3 (R128) and -mavx2 (R256) only. The bytes equal
// the plain kernels'; the arithmetic is exact in these lanes:
//
// - Y: the shuffle lays each pixel out as (R, G, B, G), and the byte
//   multiply-add by (66, 62, 25, 67) gives 66R + 62G <= 32640 and
//   25B + 67G <= 23460, so it never saturates. Their pairwise sum S plus
//   128 + 16 x 256 is at most 60324, exact in an unsigned 16-bit lane, and
//   (S + 4224) >> 8 == ((S + 128) >> 8) + 16.
// - Chroma: the shuffle lays the two pixels of a block's row out channel by
//   channel (R0 R1 G0 G1 B0 B1 0 0), the multiply-add by ones sums them
//   (<= 510), and the two rows add to the block sums SR, SG, SB (<= 1020).
//   The fourth lane is set to 8, and 8 x 16448 = 512 + 128 x 1024 carries
//   both the rounding and the + 128. A 16-bit multiply-add then a pairwise
//   32-bit add give 112SB - 74SG - 38SR + 512 + 131072 exactly; >> 10.
//
// A step is kPx pixels of two rows, read as four registers a row. The
// 256-bit registers hold pixels 8k..8k+3 in lane 0 and 8k+4..8k+7 in
// lane 1 (so 32-bit rows load whole); the stores put the results in order.
#include <immintrin.h>

#include <cstdint>

#include "video/devices/color/color_kernels.h"
#include "video/devices/color/packed_layout.h"

namespace nsVZVP {
namespace {

#define VZ_SHUFFLE_INLINE inline __attribute__((always_inline))

// The 16-byte shuffles of one lane: 4 pixels of `bytes` bytes each, the
// first at byte `first`.
struct LaneShuffles {
  __m128i y, chroma;
};

inline LaneShuffles MakeLaneShuffles(const PackedLayout& L, int bytes, int first) {
  alignas(16) int8_t y[16], c[16];
  for (int i = 0; i < 4; ++i) {
    const int p = first + i * bytes;
    y[i * 4] = static_cast<int8_t>(p + L.r);
    y[i * 4 + 1] = static_cast<int8_t>(p + L.g);
    y[i * 4 + 2] = static_cast<int8_t>(p + L.b);
    y[i * 4 + 3] = static_cast<int8_t>(p + L.g);
  }
  for (int j = 0; j < 2; ++j) {
    const int p0 = first + 2 * j * bytes, p1 = p0 + bytes;
    int8_t* b = c + j * 8;
    b[0] = static_cast<int8_t>(p0 + L.r), b[1] = static_cast<int8_t>(p1 + L.r);
    b[2] = static_cast<int8_t>(p0 + L.g), b[3] = static_cast<int8_t>(p1 + L.g);
    b[4] = static_cast<int8_t>(p0 + L.b), b[5] = static_cast<int8_t>(p1 + L.b);
    b[6] = b[7] = -128;  // zero
  }
  return {_mm_load_si128(reinterpret_cast<const __m128i*>(y)), _mm_load_si128(reinterpret_cast<const __m128i*>(c))};
}

#ifdef __SSSE3__
struct R128 {
  using T = __m128i;
  static constexpr int kPx = 16;
  static T Lanes(__m128i a, __m128i) { return a; }
  static T Load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
  // Register k (0..3) of a row of 4-byte pixels.
  static T Load32(const uint8_t* p, int k) { return Load(p + 16 * k); }
  // Register k of a row of 3-byte pixels. The last one loads 4 bytes early
  // so it ends with the step (its shuffle starts at byte 4).
  static T Load24(const uint8_t* p, int k) { return Load(p + (k < 3 ? 12 * k : 32)); }
  static T Set16(int16_t v) { return _mm_set1_epi16(v); }
  static T Set32(int32_t v) { return _mm_set1_epi32(v); }
  static T Set64(int64_t v) { return _mm_set1_epi64x(v); }
  static T Shuffle8(T a, T s) { return _mm_shuffle_epi8(a, s); }
  static T Maddubs(T a, T w) { return _mm_maddubs_epi16(a, w); }
  static T Madd16(T a, T w) { return _mm_madd_epi16(a, w); }
  static T Hadd16(T a, T b) { return _mm_hadd_epi16(a, b); }
  static T Hadd32(T a, T b) { return _mm_hadd_epi32(a, b); }
  static T Add16(T a, T b) { return _mm_add_epi16(a, b); }
  static T Or(T a, T b) { return _mm_or_si128(a, b); }
  static T Srli16_8(T a) { return _mm_srli_epi16(a, 8); }
  static T Srai32_10(T a) { return _mm_srai_epi32(a, 10); }
  static T Packs32(T a, T b) { return _mm_packs_epi32(a, b); }
  // Y of registers 0, 1 (a) and 2, 3 (b), in 16-bit lanes.
  static void StoreY(uint8_t* y, T a, T b) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(y), _mm_packus_epi16(a, b));
  }
  static void StoreChroma(uint8_t* u, uint8_t* v, T uu, T vv) {
    const __m128i both = _mm_packus_epi16(uu, vv);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(u), both);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(v), _mm_srli_si128(both, 8));
  }
};
#endif

#ifdef __AVX2__
struct R256 {
  using T = __m256i;
  static constexpr int kPx = 32;
  static T Lanes(__m128i a, __m128i b) { return _mm256_setr_m128i(a, b); }
  static __m128i Load128(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
  static T Load32(const uint8_t* p, int k) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32 * k)); }
  // Lane 0 pixels 8k..8k+3 (byte 24k), lane 1 the next four (byte 24k + 12);
  // the last lane 1 loads 4 bytes early, as in R128.
  static T Load24(const uint8_t* p, int k) {
    return _mm256_setr_m128i(Load128(p + 24 * k), Load128(p + (k < 3 ? 24 * k + 12 : 80)));
  }
  static T Set16(int16_t v) { return _mm256_set1_epi16(v); }
  static T Set32(int32_t v) { return _mm256_set1_epi32(v); }
  static T Set64(int64_t v) { return _mm256_set1_epi64x(v); }
  static T Shuffle8(T a, T s) { return _mm256_shuffle_epi8(a, s); }
  static T Maddubs(T a, T w) { return _mm256_maddubs_epi16(a, w); }
  static T Madd16(T a, T w) { return _mm256_madd_epi16(a, w); }
  static T Hadd16(T a, T b) { return _mm256_hadd_epi16(a, b); }
  static T Hadd32(T a, T b) { return _mm256_hadd_epi32(a, b); }
  static T Add16(T a, T b) { return _mm256_add_epi16(a, b); }
  static T Or(T a, T b) { return _mm256_or_si256(a, b); }
  static T Srli16_8(T a) { return _mm256_srli_epi16(a, 8); }
  static T Srai32_10(T a) { return _mm256_srai_epi32(a, 10); }
  static T Packs32(T a, T b) { return _mm256_packs_epi32(a, b); }
  // The pack leaves 4-pixel groups 0, 2, 4, 6 in lane 0 and 1, 3, 5, 7 in
  // lane 1.
  static void StoreY(uint8_t* y, T a, T b) {
    const T ordered = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(a, b), _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(y), ordered);
  }
  // After the pack, lane 0 holds the U pairs 0, 2, 4, 6 then the V pairs
  // 0, 2, 4, 6, lane 1 the odd pairs; interleaving the lanes' 16-bit
  // words puts each plane in order.
  static void StoreChroma(uint8_t* u, uint8_t* v, T uu, T vv) {
    const T both = _mm256_packus_epi16(uu, vv);
    const __m128i lo = _mm256_castsi256_si128(both), hi = _mm256_extracti128_si256(both, 1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(u), _mm_unpacklo_epi16(lo, hi));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(v), _mm_unpackhi_epi16(lo, hi));
  }
};
#endif

template <class R>
struct ShuffleConstants {
  typename R::T y, chroma, y_last, chroma_last;  // *_last: register 3 of 3-byte rows
  typename R::T y_weights, ones, y_bias, chroma_lane, u_weights, v_weights;
};

// Four 16-bit lanes, a first.
inline int64_t Words(int a, int b, int c, int d) {
  const uint64_t w = uint64_t{static_cast<uint16_t>(a)} | uint64_t{static_cast<uint16_t>(b)} << 16 |
                     uint64_t{static_cast<uint16_t>(c)} << 32 | uint64_t{static_cast<uint16_t>(d)} << 48;
  return static_cast<int64_t>(w);
}

template <class R>
ShuffleConstants<R> MakeShuffleConstants(const PackedLayout& L) {
  const LaneShuffles first = MakeLaneShuffles(L, L.bytes, 0);
  const LaneShuffles late = MakeLaneShuffles(L, L.bytes, 4);
  ShuffleConstants<R> c;
  c.y = R::Lanes(first.y, first.y);
  c.chroma = R::Lanes(first.chroma, first.chroma);
  // R128's last register starts 4 bytes early; so does R256's lane 1 only.
  c.y_last = R::Lanes(R::kPx == 16 ? late.y : first.y, late.y);
  c.chroma_last = R::Lanes(R::kPx == 16 ? late.chroma : first.chroma, late.chroma);
  c.y_weights = R::Set32(66 | 62 << 8 | 25 << 16 | 67 << 24);  // bytes R, G, B, G
  c.ones = R::Set16(0x0101);
  c.y_bias = R::Set16(128 + 16 * 256);
  c.chroma_lane = R::Set64(Words(0, 0, 0, 8));
  c.u_weights = R::Set64(Words(-38, -74, 112, 16448));
  c.v_weights = R::Set64(Words(112, -94, -18, 16448));
  return c;
}

// kPx pixels of two rows.
template <class R, int kBytes>
VZ_SHUFFLE_INLINE void RgbShuffleStep(const uint8_t* s0, const uint8_t* s1, uint8_t* y0, uint8_t* y1, uint8_t* u,
                                      uint8_t* v, const ShuffleConstants<R>& c) {
  using T = typename R::T;
  // Unrolled, so the arrays stay in registers.
  T sums[4];
#pragma GCC unroll 2
  for (int r = 0; r < 2; ++r) {
    const uint8_t* s = r == 0 ? s0 : s1;
    T yw[4];
#pragma GCC unroll 4
    for (int k = 0; k < 4; ++k) {
      const bool last = kBytes == 3 && k == 3;
      const T px = kBytes == 4 ? R::Load32(s, k) : R::Load24(s, k);
      yw[k] = R::Maddubs(R::Shuffle8(px, last ? c.y_last : c.y), c.y_weights);
      const T cs = R::Maddubs(R::Shuffle8(px, last ? c.chroma_last : c.chroma), c.ones);
      sums[k] = r == 0 ? cs : R::Add16(sums[k], cs);
    }
    const T ya = R::Srli16_8(R::Add16(R::Hadd16(yw[0], yw[1]), c.y_bias));
    const T yb = R::Srli16_8(R::Add16(R::Hadd16(yw[2], yw[3]), c.y_bias));
    R::StoreY(r == 0 ? y0 : y1, ya, yb);
  }
  T uq[4], vq[4];
#pragma GCC unroll 4
  for (int k = 0; k < 4; ++k) {
    const T s = R::Or(sums[k], c.chroma_lane);
    uq[k] = R::Madd16(s, c.u_weights);
    vq[k] = R::Madd16(s, c.v_weights);
  }
  const T uu = R::Packs32(R::Srai32_10(R::Hadd32(uq[0], uq[1])), R::Srai32_10(R::Hadd32(uq[2], uq[3])));
  const T vv = R::Packs32(R::Srai32_10(R::Hadd32(vq[0], vq[1])), R::Srai32_10(R::Hadd32(vq[2], vq[3])));
  R::StoreChroma(u, v, uu, vv);
}

template <class R, PackedIndex kIndex>
void RgbToPlanarShuffle(const uint8_t* src, int src_stride, uint8_t* dst_y, uint8_t* dst_u, uint8_t* dst_v,
                        int stride_y, int stride_uv, int width, int height, int flip) {
  constexpr PackedLayout L = LayoutOf(kIndex);
  const ShuffleConstants<R> c = MakeShuffleConstants<R>(L);
  const int body = width & ~(R::kPx - 1);
  for (int row = 0; row + 1 < height; row += 2) {
    const intptr_t r0 = flip ? height - 1 - row : row, r1 = flip ? height - 2 - row : row + 1;
    const uint8_t* s0 = src + r0 * src_stride;
    const uint8_t* s1 = src + r1 * src_stride;
    uint8_t* y0 = dst_y + static_cast<intptr_t>(row) * stride_y;
    uint8_t* y1 = y0 + stride_y;
    uint8_t* u = dst_u + static_cast<intptr_t>(row / 2) * stride_uv;
    uint8_t* v = dst_v + static_cast<intptr_t>(row / 2) * stride_uv;
    for (int x = 0; x < body; x += R::kPx) {
      RgbShuffleStep<R, L.bytes>(s0 + x * L.bytes, s1 + x * L.bytes, y0 + x, y1 + x, u + x / 2, v + x / 2, c);
    }
  }
  if (body < width) {
    PlainKernels().to_planar[kIndex](src + body * L.bytes, src_stride, dst_y + body, dst_u + body / 2,
                                     dst_v + body / 2, stride_y, stride_uv, width - body, height, flip);
  }
}

// The six RGB to planar entries of a set.
template <class R>
void SetRgbToPlanarShuffle(KernelSet& set) {
  set.to_planar[kPackedRgb24] = RgbToPlanarShuffle<R, kPackedRgb24>;
  set.to_planar[kPackedBgr24] = RgbToPlanarShuffle<R, kPackedBgr24>;
  set.to_planar[kPackedRgba32] = RgbToPlanarShuffle<R, kPackedRgba32>;
  set.to_planar[kPackedBgra32] = RgbToPlanarShuffle<R, kPackedBgra32>;
  set.to_planar[kPackedAbgr32] = RgbToPlanarShuffle<R, kPackedAbgr32>;
  set.to_planar[kPackedArgb32] = RgbToPlanarShuffle<R, kPackedArgb32>;
}

}  // namespace
}  // namespace nsVZVP

#pragma once
// The vector kernels, written once over a small vector type V: V128 (SSE2)
// or V256 (AVX2, only in a unit built with -mavx2). Each 128-bit lane of a
// V256 does exactly what one V128 does on its own pixels, and the load and
// store helpers place the pixels so, which is why both give the same bytes.
// Everything here has internal linkage: each including unit gets its own
// copy, built for its own instruction set.
//
// The arithmetic equals the plain kernels':
// - YUV to RGB in 16-bit lanes: every sum stays within the signed 16-bit
//   range except blue sums above 32767, which saturate and still clamp to 255.
// - RGB to YUV (the SSE2 form only; processors with SSSE3 or AVX2 take the
//   byte-shuffle kernels of rgb_to_planar_shuffle_inl.h): per-pixel and
//   per-block sums in 32-bit lanes (multiply-add of byte pairs), so nothing
//   is rounded differently.
#include <immintrin.h>

#include <cstdint>
#include <cstring>

#include "video/devices/color/color_kernels.h"
#include "video/devices/color/packed_layout.h"

// The step helpers must fold into their row loops: called, they pass
// vectors through memory and reload their constants every step.
#define VZ_SIMD_INLINE inline __attribute__((always_inline))

namespace nsVZVP {
namespace {

struct V128 {
  using T = __m128i;
  static constexpr int kBytes = 16;
  static T Zero() { return _mm_setzero_si128(); }
  static T Set16(int16_t v) { return _mm_set1_epi16(v); }
  static T Set32(int32_t v) { return _mm_set1_epi32(v); }
  static T Load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
  static void Store(uint8_t* p, T v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
  // kBytes / 2 bytes from p into the low half of the lane.
  static T LoadHalf(const uint8_t* p) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)); }
  static void Load2(const uint8_t* p, T& a, T& b) { a = Load(p), b = Load(p + 16); }
  static void Store2(uint8_t* p, T a, T b) { Store(p, a), Store(p + 16, b); }
  // The first (half 0) or the second (half 1) 32 of the 64 bytes at p.
  static void LoadPair(const uint8_t* p, int half, T& a, T& b) { a = Load(p + half * 32), b = Load(p + half * 32 + 16); }
  static void Store4(uint8_t* p, T a, T b, T c, T d) {
    Store(p, a), Store(p + 16, b), Store(p + 32, c), Store(p + 48, d);
  }
  static T Add16(T a, T b) { return _mm_add_epi16(a, b); }
  static T Sub16(T a, T b) { return _mm_sub_epi16(a, b); }
  static T Adds16(T a, T b) { return _mm_adds_epi16(a, b); }
  static T Subs16(T a, T b) { return _mm_subs_epi16(a, b); }
  static T Mullo16(T a, T b) { return _mm_mullo_epi16(a, b); }
  template <int N> static T Srai16(T a) { return _mm_srai_epi16(a, N); }
  template <int N> static T Srli16(T a) { return _mm_srli_epi16(a, N); }
  static T Madd16(T a, T b) { return _mm_madd_epi16(a, b); }
  static T Add32(T a, T b) { return _mm_add_epi32(a, b); }
  template <int N> static T Srai32(T a) { return _mm_srai_epi32(a, N); }
  template <int N> static T Srli32(T a) { return _mm_srli_epi32(a, N); }
  static T And(T a, T b) { return _mm_and_si128(a, b); }
  static T Unpacklo8(T a, T b) { return _mm_unpacklo_epi8(a, b); }
  static T Unpackhi8(T a, T b) { return _mm_unpackhi_epi8(a, b); }
  static T Unpacklo16(T a, T b) { return _mm_unpacklo_epi16(a, b); }
  static T Unpackhi16(T a, T b) { return _mm_unpackhi_epi16(a, b); }
  static T Packus16(T a, T b) { return _mm_packus_epi16(a, b); }
  static T Packs32(T a, T b) { return _mm_packs_epi32(a, b); }
  static T Avg8(T a, T b) { return _mm_avg_epu8(a, b); }
  // The RGB-to-planar kernel's own loads and stores: 4-pixel groups in
  // order, so Y and chroma come out in order.
  static void LoadRgbHalf(const uint8_t* p, int half, T& a, T& b) { LoadPair(p, half, a, b); }
  // Y bytes of half a step: row 0 in the low half, row 1 in the high half.
  static void StoreRgbYHalves(uint8_t* y0, uint8_t* y1, T v) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(y0), v);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(y1), _mm_srli_si128(v, 8));
  }
  // U bytes in the low half, V bytes in the high half.
  static void StoreRgbChroma(uint8_t* u, uint8_t* v, T uv) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(u), uv);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(v), _mm_srli_si128(uv, 8));
  }
  // 16 pixels of 3 bytes (48 bytes at p) as four groups of 4 pixels of 4
  // bytes, with only SSE2: two 8-byte loads per group, the odd pixels
  // shifted down, the dwords put in order. The fourth byte of each pixel is
  // whatever follows it (the weights give it 0). No load reaches past byte 47.
  static void Widen24(const uint8_t* p, T (&g)[4]) {
#pragma GCC unroll 4
    for (int k = 0; k < 4; ++k) {
      const T a = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 12 * k));
      const T b = k < 3 ? _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 12 * k + 6))
                        : _mm_srli_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 40)), 16);
      const T ab = _mm_unpacklo_epi64(a, b);  // pixels 0, 1 | 2, 3 at bytes 0 and 8
      const T odd = _mm_srli_epi64(ab, 24);   // pixels 1 | 3 at bytes 0 and 8
      const T mixed = _mm_castps_si128(
          _mm_shuffle_ps(_mm_castsi128_ps(ab), _mm_castsi128_ps(odd), _MM_SHUFFLE(2, 0, 2, 0)));  // 0, 2, 1, 3
      g[k] = _mm_shuffle_epi32(mixed, _MM_SHUFFLE(3, 1, 2, 0));
    }
  }
  // U and V of kBytes pixels interleaved (U0 V0 U1 V1 ...), lined up with a
  // Load of their Y for the unpacks.
  static T LoadUv422(const uint8_t* u, const uint8_t* v) { return Unpacklo8(LoadHalf(u), LoadHalf(v)); }
  // 2 x kBytes bytes; the pack of the two registers' 16-bit lanes gives
  // StoreLanes2Packed's order.
  static void LoadLanes2(const uint8_t* p, T& a, T& b) { Load2(p, a, b); }
  static void StoreLanes2Packed(uint8_t* p, T v) { Store(p, v); }
  // The pack of the first plane's and the second plane's 16-bit lanes.
  static void StoreLanes2Planes(uint8_t* first, uint8_t* second, T v) { StoreRgbChroma(first, second, v); }
  // 32-bit lanes 0 and 2 of a, then 0 and 2 of b.
  static T Even32(T a, T b) {
    return _mm_castps_si128(_mm_shuffle_ps(_mm_castsi128_ps(a), _mm_castsi128_ps(b), _MM_SHUFFLE(2, 0, 2, 0)));
  }
  // 32-bit lanes 1 and 3 of a, then 1 and 3 of b.
  static T Odd32(T a, T b) {
    return _mm_castps_si128(_mm_shuffle_ps(_mm_castsi128_ps(a), _mm_castsi128_ps(b), _MM_SHUFFLE(3, 1, 3, 1)));
  }
};

#ifdef __AVX2__
struct V256 {
  using T = __m256i;
  static constexpr int kBytes = 32;
  static T Zero() { return _mm256_setzero_si256(); }
  static T Set16(int16_t v) { return _mm256_set1_epi16(v); }
  static T Load(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
  static void Store(uint8_t* p, T v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
  // Bytes 0..7 into the low half of lane 0, bytes 8..15 into lane 1's.
  static T LoadHalf(const uint8_t* p) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    return _mm256_permute4x64_epi64(_mm256_castsi128_si256(v), 0x50);
  }
  static void Store2(uint8_t* p, T a, T b) {
    Store(p, _mm256_permute2x128_si256(a, b, 0x20));
    Store(p + 32, _mm256_permute2x128_si256(a, b, 0x31));
  }
  static void Store4(uint8_t* p, T a, T b, T c, T d) {
    Store(p, _mm256_permute2x128_si256(a, b, 0x20));
    Store(p + 32, _mm256_permute2x128_si256(c, d, 0x20));
    Store(p + 64, _mm256_permute2x128_si256(a, b, 0x31));
    Store(p + 96, _mm256_permute2x128_si256(c, d, 0x31));
  }
  static T Add16(T a, T b) { return _mm256_add_epi16(a, b); }
  static T Sub16(T a, T b) { return _mm256_sub_epi16(a, b); }
  static T Adds16(T a, T b) { return _mm256_adds_epi16(a, b); }
  static T Subs16(T a, T b) { return _mm256_subs_epi16(a, b); }
  static T Mullo16(T a, T b) { return _mm256_mullo_epi16(a, b); }
  template <int N> static T Srai16(T a) { return _mm256_srai_epi16(a, N); }
  template <int N> static T Srli16(T a) { return _mm256_srli_epi16(a, N); }
  static T And(T a, T b) { return _mm256_and_si256(a, b); }
  static T Unpacklo8(T a, T b) { return _mm256_unpacklo_epi8(a, b); }
  static T Unpackhi8(T a, T b) { return _mm256_unpackhi_epi8(a, b); }
  static T Unpacklo16(T a, T b) { return _mm256_unpacklo_epi16(a, b); }
  static T Unpackhi16(T a, T b) { return _mm256_unpackhi_epi16(a, b); }
  static T Packus16(T a, T b) { return _mm256_packus_epi16(a, b); }
  static T Avg8(T a, T b) { return _mm256_avg_epu8(a, b); }
  // Lane 0 the pairs of pixels 0..15, lane 1 those of 16..31, as the Y
  // load's lanes.
  static T LoadUv422(const uint8_t* u, const uint8_t* v) {
    const __m128i uu = _mm_loadu_si128(reinterpret_cast<const __m128i*>(u));
    const __m128i vv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(v));
    return _mm256_setr_m128i(_mm_unpacklo_epi8(uu, vv), _mm_unpackhi_epi8(uu, vv));
  }
  // Whole loads; the pack then holds 8-byte groups 0, 2 in lane 0 and 1, 3
  // in lane 1, which the stores reorder.
  static void LoadLanes2(const uint8_t* p, T& a, T& b) { a = Load(p), b = Load(p + 32); }
  static void StoreLanes2Packed(uint8_t* p, T v) { Store(p, _mm256_permute4x64_epi64(v, 0xd8)); }
  // Lane 0: first-plane 4-byte groups 0, 2, second-plane 0, 2; lane 1 the
  // groups 1, 3.
  static void StoreLanes2Planes(uint8_t* first, uint8_t* second, T v) {
    const T ordered = _mm256_permutevar8x32_epi32(v, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(first), _mm256_castsi256_si128(ordered));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(second), _mm256_extracti128_si256(ordered, 1));
  }
};
#endif

inline int32_t Pair16(int a, int b) {
  return static_cast<int32_t>(static_cast<uint16_t>(a) | (static_cast<uint32_t>(static_cast<uint16_t>(b)) << 16));
}

inline uint8_t* RowOf(uint8_t* base, int stride, int row, int height, int flip) {
  return base + static_cast<intptr_t>(flip ? height - 1 - row : row) * stride;
}
inline const uint8_t* RowOf(const uint8_t* base, int stride, int row, int height, int flip) {
  return base + static_cast<intptr_t>(flip ? height - 1 - row : row) * stride;
}

// ---- Planar to RGB ----------------------------------------------------------

// R, G and B of 16 pixels per lane (one row), as bytes.
template <class V>
struct RgbBytes {
  typename V::T r, g, b;
};

template <class V>
struct ChromaTerms {
  typename V::T vr[2], guv[2], ub[2];  // [0]: pixels 0..7 of a lane, [1]: 8..15
};

template <class V>
VZ_SIMD_INLINE ChromaTerms<V> LoadChroma(const uint8_t* u, const uint8_t* v) {
  using T = typename V::T;
  const T zero = V::Zero(), c128 = V::Set16(128);
  const T uu = V::Sub16(V::Unpacklo8(V::LoadHalf(u), zero), c128);
  const T vv = V::Sub16(V::Unpacklo8(V::LoadHalf(v), zero), c128);
  const T ub = V::Mullo16(uu, V::Set16(129));
  const T vr = V::Mullo16(vv, V::Set16(102));
  const T guv = V::Add16(V::Mullo16(vv, V::Set16(52)), V::Mullo16(uu, V::Set16(25)));
  ChromaTerms<V> t;
  t.ub[0] = V::Unpacklo16(ub, ub), t.ub[1] = V::Unpackhi16(ub, ub);
  t.vr[0] = V::Unpacklo16(vr, vr), t.vr[1] = V::Unpackhi16(vr, vr);
  t.guv[0] = V::Unpacklo16(guv, guv), t.guv[1] = V::Unpackhi16(guv, guv);
  return t;
}

template <class V>
VZ_SIMD_INLINE RgbBytes<V> RowRgb(const uint8_t* y_row, const ChromaTerms<V>& c) {
  using T = typename V::T;
  const T y = V::Load(y_row);
  const T zero = V::Zero(), c74 = V::Set16(74), c1184 = V::Set16(1184);
  T r[2], g[2], b[2];
  for (int h = 0; h < 2; ++h) {
    const T yy = h == 0 ? V::Unpacklo8(y, zero) : V::Unpackhi8(y, zero);
    const T k = V::Sub16(V::Mullo16(yy, c74), c1184);
    r[h] = V::template Srai16<6>(V::Adds16(k, c.vr[h]));
    g[h] = V::template Srai16<6>(V::Subs16(k, c.guv[h]));
    b[h] = V::template Srai16<6>(V::Adds16(k, c.ub[h]));
  }
  return {V::Packus16(r[0], r[1]), V::Packus16(g[0], g[1]), V::Packus16(b[0], b[1])};
}

template <class V, PackedIndex kIndex>
VZ_SIMD_INLINE void StoreRgb32(uint8_t* dst, const RgbBytes<V>& px) {
  using T = typename V::T;
  constexpr PackedLayout L = LayoutOf(kIndex);
  const T alpha = V::Set16(static_cast<int16_t>(0xffff));
  T c[4];
  c[L.r] = px.r, c[L.g] = px.g, c[L.b] = px.b, c[L.a] = alpha;
  const T t0 = V::Unpacklo8(c[0], c[1]), t1 = V::Unpackhi8(c[0], c[1]);
  const T t2 = V::Unpacklo8(c[2], c[3]), t3 = V::Unpackhi8(c[2], c[3]);
  V::Store4(dst, V::Unpacklo16(t0, t2), V::Unpackhi16(t0, t2), V::Unpacklo16(t1, t3), V::Unpackhi16(t1, t3));
}

template <class V, PackedIndex kIndex>
VZ_SIMD_INLINE void StoreRgb24(uint8_t* dst, const RgbBytes<V>& px) {
  constexpr PackedLayout L = LayoutOf(kIndex);
  alignas(32) uint8_t c[3][V::kBytes];
  V::Store(c[0], px.r), V::Store(c[1], px.g), V::Store(c[2], px.b);
  for (int i = 0; i < V::kBytes; ++i) {
    dst[i * 3 + L.r] = c[0][i];
    dst[i * 3 + L.g] = c[1][i];
    dst[i * 3 + L.b] = c[2][i];
  }
}

template <class V, PackedIndex kIndex>
void PlanarToRgbSimd(uint8_t* dst, int dst_stride, const uint8_t* src_y, const uint8_t* src_u,
                     const uint8_t* src_v, int stride_y, int stride_uv, int width, int height, int flip) {
  constexpr PackedLayout L = LayoutOf(kIndex);
  constexpr int kPx = V::kBytes;  // pixels of a row per step
  const int body = width & ~(kPx - 1);
  for (int row = 0; row + 1 < height; row += 2) {
    uint8_t* d0 = RowOf(dst, dst_stride, row, height, flip);
    uint8_t* d1 = RowOf(dst, dst_stride, row + 1, height, flip);
    const uint8_t* y0 = src_y + static_cast<intptr_t>(row) * stride_y;
    const uint8_t* y1 = y0 + stride_y;
    const uint8_t* u = src_u + static_cast<intptr_t>(row / 2) * stride_uv;
    const uint8_t* v = src_v + static_cast<intptr_t>(row / 2) * stride_uv;
    for (int x = 0; x < body; x += kPx) {
      const ChromaTerms<V> c = LoadChroma<V>(u + x / 2, v + x / 2);
      const RgbBytes<V> p0 = RowRgb<V>(y0 + x, c);
      const RgbBytes<V> p1 = RowRgb<V>(y1 + x, c);
      if constexpr (L.bytes == 4) {
        StoreRgb32<V, kIndex>(d0 + x * 4, p0);
        StoreRgb32<V, kIndex>(d1 + x * 4, p1);
      } else {
        StoreRgb24<V, kIndex>(d0 + x * 3, p0);
        StoreRgb24<V, kIndex>(d1 + x * 3, p1);
      }
    }
  }
  if (body < width) {
    PlainKernels().from_planar[kIndex](dst + body * L.bytes, dst_stride, src_y + body, src_u + body / 2,
                                       src_v + body / 2, stride_y, stride_uv, width - body, height, flip);
  }
}

// ---- RGB to planar ----------------------------------------------------------

template <class V>
struct RgbWeights {
  typename V::T y_even, y_odd, u_even, u_odd, v_even, v_odd;
};

// Weights of the bytes of a 4-byte pixel: the even bytes (0, 2) and the odd
// bytes (1, 3) each form a pair for one multiply-add.
template <class V>
VZ_SIMD_INLINE RgbWeights<V> WeightsFor(const PackedLayout& L) {
  int wy[4] = {0, 0, 0, 0}, wu[4] = {0, 0, 0, 0}, wv[4] = {0, 0, 0, 0};
  wy[L.r] = 66, wy[L.g] = 129, wy[L.b] = 25;
  wu[L.r] = -38, wu[L.g] = -74, wu[L.b] = 112;
  wv[L.r] = 112, wv[L.g] = -94, wv[L.b] = -18;
  return {V::Set32(Pair16(wy[0], wy[2])), V::Set32(Pair16(wy[1], wy[3])), V::Set32(Pair16(wu[0], wu[2])),
          V::Set32(Pair16(wu[1], wu[3])), V::Set32(Pair16(wv[0], wv[2])), V::Set32(Pair16(wv[1], wv[3]))};
}

// Four 4-byte pixels of two rows: the Y sum of each row halved (32-bit
// lanes) and the column sums of the two rows, split into the even bytes
// (0, 2) and the odd bytes (1, 3) of each pixel, in 16-bit lanes.
template <class V>
struct UnitResult {
  typename V::T y0, y1, even_sum, odd_sum;
};

template <class V>
VZ_SIMD_INLINE UnitResult<V> RgbUnit(typename V::T a0, typename V::T a1, const RgbWeights<V>& w) {
  using T = typename V::T;
  const T mask = V::Set16(0x00ff);
  const T e0 = V::And(a0, mask), o0 = V::template Srli16<8>(a0);
  const T e1 = V::And(a1, mask), o1 = V::template Srli16<8>(a1);
  UnitResult<V> r;
  // Halved, the sums fit a signed 16-bit lane for the pack; see Rgb32Step.
  r.y0 = V::template Srli32<1>(V::Add32(V::Madd16(e0, w.y_even), V::Madd16(o0, w.y_odd)));
  r.y1 = V::template Srli32<1>(V::Add32(V::Madd16(e1, w.y_even), V::Madd16(o1, w.y_odd)));
  r.even_sum = V::Add16(e0, e1);
  r.odd_sum = V::Add16(o0, o1);
  return r;
}

// The block sums of four 2 x 2 blocks from the column sums of two units:
// adjacent pixels are adjacent 32-bit lanes, so the even and odd lanes
// added give the blocks.
template <class V>
struct BlockSums {
  typename V::T even, odd;
};

template <class V>
VZ_SIMD_INLINE BlockSums<V> SumBlocks(const UnitResult<V>& a, const UnitResult<V>& b) {
  return {V::Add16(V::Even32(a.even_sum, b.even_sum), V::Odd32(a.even_sum, b.even_sum)),
          V::Add16(V::Even32(a.odd_sum, b.odd_sum), V::Odd32(a.odd_sum, b.odd_sum))};
}

// U or V of the four blocks, in 32-bit lanes (with the + 128).
template <class V>
VZ_SIMD_INLINE typename V::T BlockChroma(const BlockSums<V>& s, typename V::T w_even, typename V::T w_odd,
                                 typename V::T bias) {
  return V::template Srai32<10>(V::Add32(V::Add32(V::Madd16(s.even, w_even), V::Madd16(s.odd, w_odd)), bias));
}

// U and V of half a step: two units of both rows (its Y is stored at once,
// so fewer values stay in flight).
template <class V>
struct HalfStep {
  typename V::T u, v;
};

// With S = 66R + 129G + 25B and q = S >> 1 (at most 28,050):
// ((S + 128) >> 8) + 16 == (q + 64 + 16 * 128) >> 7, exactly, in 16 bits.
template <class V>
VZ_SIMD_INLINE typename V::T PackY(typename V::T a, typename V::T b) {
  return V::template Srli16<7>(V::Add16(V::Packs32(a, b), V::Set16(2112)));
}

// Stores the half step's Y of both rows (kBytes / 2 pixels each) and
// returns its U and V.
template <class V>
VZ_SIMD_INLINE HalfStep<V> RgbHalfStepOf(typename V::T a0, typename V::T a1, typename V::T b0, typename V::T b1,
                                         const RgbWeights<V>& w, uint8_t* y0, uint8_t* y1) {
  using T = typename V::T;
  const UnitResult<V> r0 = RgbUnit<V>(a0, b0, w);
  const UnitResult<V> r1 = RgbUnit<V>(a1, b1, w);
  V::StoreRgbYHalves(y0, y1, V::Packus16(PackY<V>(r0.y0, r1.y0), PackY<V>(r0.y1, r1.y1)));
  const BlockSums<V> sums = SumBlocks<V>(r0, r1);
  // ((x + 512) >> 10) + 128 == (x + 512 + 128 * 1024) >> 10, exactly.
  const T bias = V::Set32(512 + 128 * 1024);
  return {BlockChroma<V>(sums, w.u_even, w.u_odd, bias), BlockChroma<V>(sums, w.v_even, w.v_odd, bias)};
}

template <class V>
VZ_SIMD_INLINE HalfStep<V> RgbHalfStep(const uint8_t* s0, const uint8_t* s1, int half, const RgbWeights<V>& w,
                                       uint8_t* y0, uint8_t* y1) {
  typename V::T a0, a1, b0, b1;
  V::LoadRgbHalf(s0, half, a0, a1);
  V::LoadRgbHalf(s1, half, b0, b1);
  return RgbHalfStepOf<V>(a0, a1, b0, b1, w, y0 + half * V::kBytes / 2, y1 + half * V::kBytes / 2);
}

template <class V>
VZ_SIMD_INLINE void StoreChroma(const HalfStep<V>& h0, const HalfStep<V>& h1, uint8_t* u, uint8_t* v) {
  V::StoreRgbChroma(u, v, V::Packus16(V::Packs32(h0.u, h1.u), V::Packs32(h0.v, h1.v)));
}

// V::kBytes pixels of two rows, in 4-byte pixels. Worked in halves, so the
// values in flight fit the registers.
template <class V>
VZ_SIMD_INLINE void Rgb32Step(const uint8_t* s0, const uint8_t* s1, uint8_t* y0, uint8_t* y1, uint8_t* u,
                              uint8_t* v, const RgbWeights<V>& w) {
  const HalfStep<V> h0 = RgbHalfStep<V>(s0, s1, 0, w, y0, y1);
  const HalfStep<V> h1 = RgbHalfStep<V>(s0, s1, 1, w, y0, y1);
  StoreChroma<V>(h0, h1, u, v);
}

// The same for 3-byte pixels, widened in registers (V128 only).
template <class V>
VZ_SIMD_INLINE void Rgb24Step(const uint8_t* s0, const uint8_t* s1, uint8_t* y0, uint8_t* y1, uint8_t* u,
                              uint8_t* v, const RgbWeights<V>& w) {
  typename V::T a[4], b[4];
  V::Widen24(s0, a);
  V::Widen24(s1, b);
  const HalfStep<V> h0 = RgbHalfStepOf<V>(a[0], a[1], b[0], b[1], w, y0, y1);
  const HalfStep<V> h1 = RgbHalfStepOf<V>(a[2], a[3], b[2], b[3], w, y0 + V::kBytes / 2, y1 + V::kBytes / 2);
  StoreChroma<V>(h0, h1, u, v);
}

template <class V, PackedIndex kIndex>
void RgbToPlanarSimd(const uint8_t* src, int src_stride, uint8_t* dst_y, uint8_t* dst_u, uint8_t* dst_v,
                     int stride_y, int stride_uv, int width, int height, int flip) {
  constexpr PackedLayout L = LayoutOf(kIndex);
  constexpr int kPx = V::kBytes;
  // 24-bit pixels are widened into 4-byte ones (the fourth byte weighs 0).
  constexpr PackedLayout kWide = {4, L.r, L.g, L.b, 3};
  const RgbWeights<V> w = WeightsFor<V>(L.bytes == 4 ? L : kWide);
  const int body = width & ~(kPx - 1);
  for (int row = 0; row + 1 < height; row += 2) {
    const uint8_t* s0 = RowOf(src, src_stride, row, height, flip);
    const uint8_t* s1 = RowOf(src, src_stride, row + 1, height, flip);
    uint8_t* y0 = dst_y + static_cast<intptr_t>(row) * stride_y;
    uint8_t* y1 = y0 + stride_y;
    uint8_t* u = dst_u + static_cast<intptr_t>(row / 2) * stride_uv;
    uint8_t* v = dst_v + static_cast<intptr_t>(row / 2) * stride_uv;
    for (int x = 0; x < body; x += kPx) {
      if constexpr (L.bytes == 4) {
        Rgb32Step<V>(s0 + x * 4, s1 + x * 4, y0 + x, y1 + x, u + x / 2, v + x / 2, w);
      } else {
        Rgb24Step<V>(s0 + x * 3, s1 + x * 3, y0 + x, y1 + x, u + x / 2, v + x / 2, w);
      }
    }
  }
  if (body < width) {
    PlainKernels().to_planar[kIndex](src + body * L.bytes, src_stride, dst_y + body, dst_u + body / 2,
                                     dst_v + body / 2, stride_y, stride_uv, width - body, height, flip);
  }
}

// ---- 4:2:2 ------------------------------------------------------------------

// Row by row: each output row is written as one stream, and its U and V
// are read again from the first level cache for the second row of a pair.
template <class V, bool kUyvy>
void PlanarTo422Simd(uint8_t* dst, int dst_stride, const uint8_t* src_y, const uint8_t* src_u,
                     const uint8_t* src_v, int stride_y, int stride_uv, int width, int height, int flip) {
  using T = typename V::T;
  constexpr int kPx = V::kBytes;
  const int body = width & ~(kPx - 1);
  for (int row = 0; row < height; ++row) {
    uint8_t* d = RowOf(dst, dst_stride, row, height, flip);
    const uint8_t* y = src_y + static_cast<intptr_t>(row) * stride_y;
    const uint8_t* u = src_u + static_cast<intptr_t>(row / 2) * stride_uv;
    const uint8_t* v = src_v + static_cast<intptr_t>(row / 2) * stride_uv;
    for (int x = 0; x < body; x += kPx) {
      const T uv = V::LoadUv422(u + x / 2, v + x / 2);
      const T yy = V::Load(y + x);
      if (kUyvy) {
        V::Store2(d + x * 2, V::Unpacklo8(uv, yy), V::Unpackhi8(uv, yy));
      } else {
        V::Store2(d + x * 2, V::Unpacklo8(yy, uv), V::Unpackhi8(yy, uv));
      }
    }
  }
  if (body < width) {
    PlainKernels().from_planar[kUyvy ? kPackedUyvy : kPackedYuy2](dst + body * 2, dst_stride, src_y + body,
                                                                   src_u + body / 2, src_v + body / 2, stride_y,
                                                                   stride_uv, width - body, height, flip);
  }
}

// The packs work in the lane order of V::LoadLanes2 and the stores put the
// bytes back in picture order.
template <class V, bool kUyvy>
void From422ToPlanarSimd(const uint8_t* src, int src_stride, uint8_t* dst_y, uint8_t* dst_u, uint8_t* dst_v,
                         int stride_y, int stride_uv, int width, int height, int flip) {
  using T = typename V::T;
  constexpr int kPx = V::kBytes;
  const int body = width & ~(kPx - 1);
  const T mask = V::Set16(0x00ff);
  for (int row = 0; row + 1 < height; row += 2) {
    const uint8_t* s[2] = {RowOf(src, src_stride, row, height, flip), RowOf(src, src_stride, row + 1, height, flip)};
    uint8_t* y[2] = {dst_y + static_cast<intptr_t>(row) * stride_y,
                     dst_y + static_cast<intptr_t>(row + 1) * stride_y};
    uint8_t* u = dst_u + static_cast<intptr_t>(row / 2) * stride_uv;
    uint8_t* v = dst_v + static_cast<intptr_t>(row / 2) * stride_uv;
    for (int x = 0; x < body; x += kPx) {
      T chroma[2];
#pragma GCC unroll 2
      for (int r = 0; r < 2; ++r) {
        T a, b;
        V::LoadLanes2(s[r] + x * 2, a, b);
        const T ya = kUyvy ? V::template Srli16<8>(a) : V::And(a, mask);
        const T yb = kUyvy ? V::template Srli16<8>(b) : V::And(b, mask);
        const T ca = kUyvy ? V::And(a, mask) : V::template Srli16<8>(a);
        const T cb = kUyvy ? V::And(b, mask) : V::template Srli16<8>(b);
        V::StoreLanes2Packed(y[r] + x, V::Packus16(ya, yb));
        chroma[r] = V::Packus16(ca, cb);
      }
      const T c = V::Avg8(chroma[0], chroma[1]);
      V::StoreLanes2Planes(u + x / 2, v + x / 2, V::Packus16(V::And(c, mask), V::template Srli16<8>(c)));
    }
  }
  if (body < width) {
    PlainKernels().to_planar[kUyvy ? kPackedUyvy : kPackedYuy2](src + body * 2, src_stride, dst_y + body,
                                                                 dst_u + body / 2, dst_v + body / 2, stride_y,
                                                                 stride_uv, width - body, height, flip);
  }
}

template <class V>
KernelSet MakeSimdSet(PlanarCopyKernel copy) {
  KernelSet set{};
  set.copy = copy;
  set.from_planar[kPackedRgb24] = PlanarToRgbSimd<V, kPackedRgb24>;
  set.from_planar[kPackedBgr24] = PlanarToRgbSimd<V, kPackedBgr24>;
  set.from_planar[kPackedRgba32] = PlanarToRgbSimd<V, kPackedRgba32>;
  set.from_planar[kPackedBgra32] = PlanarToRgbSimd<V, kPackedBgra32>;
  set.from_planar[kPackedAbgr32] = PlanarToRgbSimd<V, kPackedAbgr32>;
  set.from_planar[kPackedArgb32] = PlanarToRgbSimd<V, kPackedArgb32>;
  set.from_planar[kPackedYuy2] = PlanarTo422Simd<V, false>;
  set.from_planar[kPackedUyvy] = PlanarTo422Simd<V, true>;
  // RGB to planar at 256 bits comes from the byte-shuffle kernels
  // (rgb_to_planar_shuffle_inl.h), which the AVX2 unit adds.
  if constexpr (V::kBytes == 16) {
    set.to_planar[kPackedRgb24] = RgbToPlanarSimd<V, kPackedRgb24>;
    set.to_planar[kPackedBgr24] = RgbToPlanarSimd<V, kPackedBgr24>;
    set.to_planar[kPackedRgba32] = RgbToPlanarSimd<V, kPackedRgba32>;
    set.to_planar[kPackedBgra32] = RgbToPlanarSimd<V, kPackedBgra32>;
    set.to_planar[kPackedAbgr32] = RgbToPlanarSimd<V, kPackedAbgr32>;
    set.to_planar[kPackedArgb32] = RgbToPlanarSimd<V, kPackedArgb32>;
  }
  set.to_planar[kPackedYuy2] = From422ToPlanarSimd<V, false>;
  set.to_planar[kPackedUyvy] = From422ToPlanarSimd<V, true>;
  return set;
}

}  // namespace
}  // namespace nsVZVP

#include "video/devices/mjpeg/mjpeg_idct.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstring>

namespace nsVZVP {

namespace {

// 16384 * s(u) * s(v), s(0) = 1, s(k) = sqrt(2) * cos(k * pi / 16), natural order.
constexpr uint16_t kAanScales[64] = {
    16384, 22725, 21407, 19266, 16384, 12873, 8867,  4520,  22725, 31521, 29692, 26722, 22725,
    17855, 12299, 6270,  21407, 29692, 27969, 25172, 21407, 16819, 11585, 5906,  19266, 26722,
    25172, 22654, 19266, 15137, 10426, 5315,  16384, 22725, 21407, 19266, 16384, 12873, 8867,
    4520,  12873, 17855, 16819, 15137, 12873, 10114, 6967,  3552,  8867,  12299, 11585, 10426,
    8867,  6967,  4799,  2446,  4520,  6270,  5906,  5315,  4520,  3552,  2446,  1247};

// The multipliers at a scale of 16384; 2.613126 does not fit 16 bits and is
// kept as 2.613126 - 1, the missing 1 added back as the operand itself.
constexpr short kSqrt2 = 23168;         // 1.414214
constexpr short k1_847759 = 30272;      // 1.847759
constexpr short k1_082392 = 17728;      // 1.082392
constexpr short kMinus1_613126 = -26432;  // -2.613126 + 1

// The outputs carry two fraction bits and the transform's gain of 8.
constexpr int kDescaleBits = 5;
constexpr short kLevelShiftAndRound = (128 << kDescaleBits) + (1 << (kDescaleBits - 1));

// x * c / 16384: the operand takes two bits of headroom before the high product.
inline __m128i Mul(__m128i x, short c) { return _mm_mulhi_epi16(_mm_slli_epi16(x, 2), _mm_set1_epi16(c)); }

// One 1-D transform across eight vectors (each lane its own column or row).
inline void Aan1D(__m128i r[8]) {
  const __m128i tmp10 = _mm_add_epi16(r[0], r[4]);
  const __m128i tmp11 = _mm_sub_epi16(r[0], r[4]);
  const __m128i tmp13 = _mm_add_epi16(r[2], r[6]);
  const __m128i tmp12 = _mm_sub_epi16(Mul(_mm_sub_epi16(r[2], r[6]), kSqrt2), tmp13);
  const __m128i e0 = _mm_add_epi16(tmp10, tmp13);
  const __m128i e3 = _mm_sub_epi16(tmp10, tmp13);
  const __m128i e1 = _mm_add_epi16(tmp11, tmp12);
  const __m128i e2 = _mm_sub_epi16(tmp11, tmp12);

  const __m128i z13 = _mm_add_epi16(r[5], r[3]);
  const __m128i z10 = _mm_sub_epi16(r[5], r[3]);
  const __m128i z11 = _mm_add_epi16(r[1], r[7]);
  const __m128i z12 = _mm_sub_epi16(r[1], r[7]);
  const __m128i t7 = _mm_add_epi16(z11, z13);
  const __m128i t11 = Mul(_mm_sub_epi16(z11, z13), kSqrt2);
  const __m128i z5 = Mul(_mm_add_epi16(z10, z12), k1_847759);
  const __m128i t10 = _mm_sub_epi16(Mul(z12, k1_082392), z5);
  const __m128i t12 = _mm_add_epi16(_mm_sub_epi16(Mul(z10, kMinus1_613126), z10), z5);
  const __m128i t6 = _mm_sub_epi16(t12, t7);
  const __m128i t5 = _mm_sub_epi16(t11, t6);
  const __m128i t4 = _mm_add_epi16(t10, t5);

  r[0] = _mm_add_epi16(e0, t7);
  r[7] = _mm_sub_epi16(e0, t7);
  r[1] = _mm_add_epi16(e1, t6);
  r[6] = _mm_sub_epi16(e1, t6);
  r[2] = _mm_add_epi16(e2, t5);
  r[5] = _mm_sub_epi16(e2, t5);
  r[4] = _mm_add_epi16(e3, t4);
  r[3] = _mm_sub_epi16(e3, t4);
}

inline void Transpose(__m128i r[8]) {
  const __m128i a0 = _mm_unpacklo_epi16(r[0], r[1]);
  const __m128i a1 = _mm_unpackhi_epi16(r[0], r[1]);
  const __m128i a2 = _mm_unpacklo_epi16(r[2], r[3]);
  const __m128i a3 = _mm_unpackhi_epi16(r[2], r[3]);
  const __m128i a4 = _mm_unpacklo_epi16(r[4], r[5]);
  const __m128i a5 = _mm_unpackhi_epi16(r[4], r[5]);
  const __m128i a6 = _mm_unpacklo_epi16(r[6], r[7]);
  const __m128i a7 = _mm_unpackhi_epi16(r[6], r[7]);
  const __m128i b0 = _mm_unpacklo_epi32(a0, a2);
  const __m128i b1 = _mm_unpackhi_epi32(a0, a2);
  const __m128i b2 = _mm_unpacklo_epi32(a1, a3);
  const __m128i b3 = _mm_unpackhi_epi32(a1, a3);
  const __m128i b4 = _mm_unpacklo_epi32(a4, a6);
  const __m128i b5 = _mm_unpackhi_epi32(a4, a6);
  const __m128i b6 = _mm_unpacklo_epi32(a5, a7);
  const __m128i b7 = _mm_unpackhi_epi32(a5, a7);
  r[0] = _mm_unpacklo_epi64(b0, b4);
  r[1] = _mm_unpackhi_epi64(b0, b4);
  r[2] = _mm_unpacklo_epi64(b1, b5);
  r[3] = _mm_unpackhi_epi64(b1, b5);
  r[4] = _mm_unpacklo_epi64(b2, b6);
  r[5] = _mm_unpackhi_epi64(b2, b6);
  r[6] = _mm_unpacklo_epi64(b3, b7);
  r[7] = _mm_unpackhi_epi64(b3, b7);
}

// Rows of pixels as bytes, two rows per register: packed[i] holds rows 2i and 2i+1.
inline void TransformToBytes(const int16_t* coefficients, const int16_t* quant, __m128i packed[4]) {
  __m128i r[8];
  for (int i = 0; i < 8; ++i) {
    r[i] = _mm_mullo_epi16(_mm_load_si128(reinterpret_cast<const __m128i*>(coefficients + 8 * i)),
                           _mm_load_si128(reinterpret_cast<const __m128i*>(quant + 8 * i)));
  }
  Aan1D(r);  // columns
  Transpose(r);
  Aan1D(r);  // rows
  Transpose(r);
  const __m128i bias = _mm_set1_epi16(kLevelShiftAndRound);
  for (int i = 0; i < 8; ++i) r[i] = _mm_srai_epi16(_mm_adds_epi16(r[i], bias), kDescaleBits);
  for (int i = 0; i < 4; ++i) packed[i] = _mm_packus_epi16(r[2 * i], r[2 * i + 1]);
}

}  // namespace

void PrescaleQuantTable(const uint8_t zigzag[64], int16_t natural[64]) {
  for (int k = 0; k < 64; ++k) {
    const int n = kZigzagToNatural[k];
    natural[n] = static_cast<int16_t>((zigzag[k] * kAanScales[n] + 2048) >> 12);
  }
}

void IdctBlock(const int16_t* coefficients, const int16_t* quant, uint8_t* out, ptrdiff_t stride) {
  __m128i packed[4];
  TransformToBytes(coefficients, quant, packed);
  for (int i = 0; i < 4; ++i) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), packed[i]);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + stride), _mm_unpackhi_epi64(packed[i], packed[i]));
    out += 2 * stride;
  }
}

void IdctBlockHalfRows(const int16_t* coefficients, const int16_t* quant, uint8_t* out, ptrdiff_t stride) {
  __m128i packed[4];
  TransformToBytes(coefficients, quant, packed);
  for (int i = 0; i < 4; ++i) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_avg_epu8(packed[i], _mm_unpackhi_epi64(packed[i], packed[i])));
    out += stride;
  }
}

void FillDcBlock(int16_t dc, int16_t quant0, uint8_t* out, ptrdiff_t stride, int rows) {
  // As the transform computes it: the 16-bit product, a saturating bias, the shift.
  const int product = static_cast<int16_t>(dc * quant0);
  const int biased = std::clamp(product + kLevelShiftAndRound, -32768, 32767);
  const uint8_t value = static_cast<uint8_t>(std::clamp(biased >> kDescaleBits, 0, 255));
  for (int i = 0; i < rows; ++i) {
    std::memset(out, value, 8);
    out += stride;
  }
}

}  // namespace nsVZVP

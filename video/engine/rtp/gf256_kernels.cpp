#include "video/engine/rtp/gf256_kernels.h"

#include <immintrin.h>

#include "video/engine/rtp/gf256.h"

namespace vz::rtp {

void BuildGfNibbleTables(const uint8_t* coefficients, int count, uint8_t* tables) {
  const Gf256Tables& gf = Gf256();
  for (int i = 0; i < count; ++i) {
    const uint8_t* row = gf.mul[coefficients[i]];
    uint8_t* t = tables + static_cast<size_t>(i) * kGfNibbleTableBytes;
    for (int x = 0; x < 16; ++x) {
      t[x] = row[x];
      t[16 + x] = row[x << 4];
    }
  }
}

void GfMulAdd(uint8_t* dst, const uint8_t* src, uint8_t c, size_t length) {
  if (c == 0) return;
  const uint8_t* row = Gf256().mul[c];
  size_t j = 0;
  for (; j + 16 <= length; j += 16) {
    for (size_t u = 0; u < 16; ++u) dst[j + u] ^= row[src[j + u]];
  }
  for (; j < length; ++j) dst[j] ^= row[src[j]];
}

namespace {

// The scalar dot product over [from, length): one multiplication-table row
// per coefficient.
void ScalarDotRange(const uint8_t* coefficients, int sources, int rows, const uint8_t* const* src,
                    uint8_t* const* dst, size_t from, size_t length) {
  const Gf256Tables& gf = Gf256();
  for (int r = 0; r < rows; ++r) {
    uint8_t* out = dst[r];
    const uint8_t* first = gf.mul[coefficients[r * sources]];
    for (size_t j = from; j < length; ++j) out[j] = first[src[0][j]];
    for (int i = 1; i < sources; ++i) {
      const uint8_t c = coefficients[r * sources + i];
      if (c == 0) continue;
      const uint8_t* row = gf.mul[c];
      const uint8_t* in = src[i];
      for (size_t j = from; j < length; ++j) out[j] ^= row[in[j]];
    }
  }
}

void ScalarDot(const uint8_t* coefficients, const uint8_t*, int sources, int rows,
               const uint8_t* const* src, uint8_t* const* dst, size_t length) {
  ScalarDotRange(coefficients, sources, rows, src, dst, 0, length);
}

template <int R>
__attribute__((target("ssse3"))) void Ssse3DotRows(const uint8_t* tables, int sources,
                                                   const uint8_t* const* src, uint8_t* const* dst,
                                                   size_t blocks_end) {
  const __m128i mask = _mm_set1_epi8(0x0F);
  for (size_t j = 0; j < blocks_end; j += 16) {
    __m128i acc[R];
    for (int r = 0; r < R; ++r) acc[r] = _mm_setzero_si128();
    for (int i = 0; i < sources; ++i) {
      const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src[i] + j));
      const __m128i lo = _mm_and_si128(s, mask);
      const __m128i hi = _mm_and_si128(_mm_srli_epi64(s, 4), mask);
      for (int r = 0; r < R; ++r) {
        const uint8_t* t = tables + (static_cast<size_t>(r) * sources + i) * kGfNibbleTableBytes;
        const __m128i tlo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t));
        const __m128i thi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + 16));
        acc[r] = _mm_xor_si128(acc[r], _mm_xor_si128(_mm_shuffle_epi8(tlo, lo),
                                                     _mm_shuffle_epi8(thi, hi)));
      }
    }
    for (int r = 0; r < R; ++r) _mm_storeu_si128(reinterpret_cast<__m128i*>(dst[r] + j), acc[r]);
  }
}

void Ssse3Dot(const uint8_t* coefficients, const uint8_t* tables, int sources, int rows,
              const uint8_t* const* src, uint8_t* const* dst, size_t length) {
  const size_t blocks_end = length & ~static_cast<size_t>(15);
  switch (rows) {
    case 1: Ssse3DotRows<1>(tables, sources, src, dst, blocks_end); break;
    case 2: Ssse3DotRows<2>(tables, sources, src, dst, blocks_end); break;
    case 3: Ssse3DotRows<3>(tables, sources, src, dst, blocks_end); break;
    default: Ssse3DotRows<4>(tables, sources, src, dst, blocks_end); break;
  }
  ScalarDotRange(coefficients, sources, rows, src, dst, blocks_end, length);
}

// 64 bytes per step: each row's two nibble tables are loaded once for two
// vectors of every source.
template <int R>
__attribute__((target("avx2"))) void Avx2DotRows(const uint8_t* tables, int sources,
                                                 const uint8_t* const* src, uint8_t* const* dst,
                                                 size_t blocks_end) {
  const __m256i mask = _mm256_set1_epi8(0x0F);
  size_t j = 0;
  for (; j + 64 <= blocks_end; j += 64) {
    __m256i acc0[R];
    __m256i acc1[R];
    for (int r = 0; r < R; ++r) acc0[r] = acc1[r] = _mm256_setzero_si256();
    for (int i = 0; i < sources; ++i) {
      const __m256i s0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src[i] + j));
      const __m256i s1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src[i] + j + 32));
      const __m256i lo0 = _mm256_and_si256(s0, mask);
      const __m256i hi0 = _mm256_and_si256(_mm256_srli_epi64(s0, 4), mask);
      const __m256i lo1 = _mm256_and_si256(s1, mask);
      const __m256i hi1 = _mm256_and_si256(_mm256_srli_epi64(s1, 4), mask);
      for (int r = 0; r < R; ++r) {
        const uint8_t* t = tables + (static_cast<size_t>(r) * sources + i) * kGfNibbleTableBytes;
        const __m256i tlo =
            _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(t)));
        const __m256i thi =
            _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(t + 16)));
        acc0[r] = _mm256_xor_si256(acc0[r], _mm256_xor_si256(_mm256_shuffle_epi8(tlo, lo0),
                                                             _mm256_shuffle_epi8(thi, hi0)));
        acc1[r] = _mm256_xor_si256(acc1[r], _mm256_xor_si256(_mm256_shuffle_epi8(tlo, lo1),
                                                             _mm256_shuffle_epi8(thi, hi1)));
      }
    }
    for (int r = 0; r < R; ++r) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst[r] + j), acc0[r]);
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst[r] + j + 32), acc1[r]);
    }
  }
  for (; j < blocks_end; j += 32) {
    __m256i acc[R];
    for (int r = 0; r < R; ++r) acc[r] = _mm256_setzero_si256();
    for (int i = 0; i < sources; ++i) {
      const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src[i] + j));
      const __m256i lo = _mm256_and_si256(s, mask);
      const __m256i hi = _mm256_and_si256(_mm256_srli_epi64(s, 4), mask);
      for (int r = 0; r < R; ++r) {
        const uint8_t* t = tables + (static_cast<size_t>(r) * sources + i) * kGfNibbleTableBytes;
        const __m256i tlo =
            _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(t)));
        const __m256i thi =
            _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(t + 16)));
        acc[r] = _mm256_xor_si256(acc[r], _mm256_xor_si256(_mm256_shuffle_epi8(tlo, lo),
                                                           _mm256_shuffle_epi8(thi, hi)));
      }
    }
    for (int r = 0; r < R; ++r) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst[r] + j), acc[r]);
    }
  }
}

void Avx2Dot(const uint8_t* coefficients, const uint8_t* tables, int sources, int rows,
             const uint8_t* const* src, uint8_t* const* dst, size_t length) {
  const size_t blocks_end = length & ~static_cast<size_t>(31);
  switch (rows) {
    case 1: Avx2DotRows<1>(tables, sources, src, dst, blocks_end); break;
    case 2: Avx2DotRows<2>(tables, sources, src, dst, blocks_end); break;
    case 3: Avx2DotRows<3>(tables, sources, src, dst, blocks_end); break;
    default: Avx2DotRows<4>(tables, sources, src, dst, blocks_end); break;
  }
  ScalarDotRange(coefficients, sources, rows, src, dst, blocks_end, length);
}

}  // namespace

GfDotProductFn GfDotProductKernel(GfKernel kind) {
  switch (kind) {
    case GfKernel::kScalar: return ScalarDot;
    case GfKernel::kSsse3: return __builtin_cpu_supports("ssse3") ? Ssse3Dot : nullptr;
    case GfKernel::kAvx2: return __builtin_cpu_supports("avx2") ? Avx2Dot : nullptr;
  }
  return nullptr;
}

GfKernel ActiveGfKernel() {
  static const GfKernel kind = [] {
    if (GfDotProductKernel(GfKernel::kAvx2) != nullptr) return GfKernel::kAvx2;
    if (GfDotProductKernel(GfKernel::kSsse3) != nullptr) return GfKernel::kSsse3;
    return GfKernel::kScalar;
  }();
  return kind;
}

GfDotProductFn ActiveGfDotProduct() {
  static const GfDotProductFn fn = GfDotProductKernel(ActiveGfKernel());
  return fn;
}

}  // namespace vz::rtp

#pragma once
// The bulk arithmetic of the erasure code: dot products of coefficient rows
// with source buffers over GF(2^8). Three kernels give identical bytes: a
// table-driven scalar one, and SSSE3 and AVX2 ones that multiply 16 or 32
// bytes at a time with nibble-table shuffles. The fastest one the processor
// supports is chosen once at run time.
//
// Threads: any; kernels are pure functions.
#include <cstddef>
#include <cstdint>

namespace vz::rtp {

constexpr int kGfNibbleTableBytes = 32;  // per coefficient: 16 low-nibble, 16 high-nibble products
constexpr int kGfMaxDotRows = 4;         // outputs computed in one pass over the sources

// Writes the nibble tables of `count` coefficients (32 bytes each).
void BuildGfNibbleTables(const uint8_t* coefficients, int count, uint8_t* tables);

// dst[r][j] = sum over i < sources of coef[r][i] x src[i][j], j < length, for
// r < rows (1..kGfMaxDotRows). coef is rows x sources, row-major; tables are
// its nibble tables in the same order.
using GfDotProductFn = void (*)(const uint8_t* coefficients, const uint8_t* tables, int sources,
                                int rows, const uint8_t* const* src, uint8_t* const* dst,
                                size_t length);

enum class GfKernel { kScalar, kSsse3, kAvx2 };

// The kernel of that kind, or null when this processor cannot run it.
GfDotProductFn GfDotProductKernel(GfKernel kind);
// The fastest kernel this processor runs (chosen on the first call).
GfKernel ActiveGfKernel();
GfDotProductFn ActiveGfDotProduct();

// dst[j] ^= c x src[j] for j < length (table-driven).
void GfMulAdd(uint8_t* dst, const uint8_t* src, uint8_t c, size_t length);

}  // namespace vz::rtp

#pragma once
// The inverse DCT of the MJPEG decoder: the Arai-Agui-Nakajima scaled
// transform in 16-bit SSE2 arithmetic, eight lanes at once, with the scaling
// folded into the dequantisation table.
#include <cstddef>
#include <cstdint>

namespace nsVZVP {

// Where the k-th coefficient of the zig-zag order sits in the 8x8 block.
inline constexpr uint8_t kZigzagToNatural[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                          12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                          35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                          58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// Reorders a quantisation table from zig-zag to natural order and prescales it
// by the transform's factors: entry = (q * scale + 2048) >> 12, where scale is
// in units of 1/16384.
void PrescaleQuantTable(const uint8_t zigzag[64], int16_t natural[64]);

// Dequantises `coefficients` (natural order) with a prescaled table,
// transforms them, adds 128 and stores eight rows of eight clamped bytes.
void IdctBlock(const int16_t* coefficients, const int16_t* quant, uint8_t* out, ptrdiff_t stride);
// The same, storing four rows: each the rounded-up average (a + b + 1) / 2 of
// the output rows 0-1, 2-3, 4-5 and 6-7 (4:2:2 chroma into I420).
void IdctBlockHalfRows(const int16_t* coefficients, const int16_t* quant, uint8_t* out, ptrdiff_t stride);
// A block whose only coefficient is DC: every byte of its `rows` rows is the same.
void FillDcBlock(int16_t dc, int16_t quant0, uint8_t* out, ptrdiff_t stride, int rows);

}  // namespace nsVZVP

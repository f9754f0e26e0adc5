#pragma once
// Comparing 32-bit B,G,R,X pixels of two images. The first change from the
// left tolerates up to 4 per colour channel (dithering and compositor noise);
// the last change from the right is exact. The X byte is never compared.
//
// Exact words are compared first so an unchanged row costs about a memcmp.
#include <cstdint>
#include <cstring>

inline constexpr int kPixelTolerance = 4;

// Whether two pixels count as the same at the first-change test.
inline bool PixelsAlike(uint32_t a, uint32_t b) {
  if (((a ^ b) & 0x00FFFFFFu) == 0) return true;
  for (int shift = 0; shift < 24; shift += 8) {
    const int ca = static_cast<int>((a >> shift) & 0xFF);
    const int cb = static_cast<int>((b >> shift) & 0xFF);
    if (ca - cb > kPixelTolerance || cb - ca > kPixelTolerance) return false;
  }
  return true;
}

inline bool PixelsEqual(uint32_t a, uint32_t b) { return ((a ^ b) & 0x00FFFFFFu) == 0; }

// The changed run of a row of `count` pixels: `*first` is the first pixel
// that differs beyond the tolerance, `*end` one past the last pixel that
// differs at all (first + 1 when none after it does). False when the row
// counts as unchanged.
bool FindRowChange(const uint32_t* previous, const uint32_t* current, int count, int* first, int* end);

// The box of all changed rows of two images of `width` x `height` pixels
// with `stride` pixels per row, inside [left, right) x [top, bottom): the
// smallest first change to the largest end of a row, and the first to one
// past the last changed row. False when no row changed.
bool FindImageChange(const uint32_t* previous, const uint32_t* current, int stride, int left, int top, int right,
                     int bottom, int* box_left, int* box_top, int* box_right, int* box_bottom);

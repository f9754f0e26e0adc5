#include "capture/monitors/pixel_compare.h"

namespace {

constexpr int kBlock = 8;

// B, G and R of a pixel in three 16-bit lanes.
inline uint64_t Lanes(uint32_t p) {
  return (p & 0xFFull) | ((p & 0xFF00ull) << 8) | ((p & 0xFF0000ull) << 16);
}

// Whether any of kBlock pixels differs beyond the tolerance. Each lane holds
// 256 + a - b (1..511); its top bit after adding a bias says whether the
// difference is above +4 or below -4. No branches and no carries between
// lanes, so the compiler can turn it into vector code.
inline bool BlockBeyondTolerance(const uint32_t* a, const uint32_t* b) {
  constexpr uint64_t kBias = 0x010001000100ull;   // 256 in each lane
  constexpr uint64_t kAbove = 0x7EFB7EFB7EFBull;  // 0x7FFF - 260 per lane: top bit when >= 261
  constexpr uint64_t kBelow = 0x7F047F047F04ull;  // 0x8000 - 252 per lane: top bit clear when < 252
  constexpr uint64_t kTop = 0x800080008000ull;
  uint64_t beyond = 0;
  for (int i = 0; i < kBlock; ++i) {
    const uint64_t d = (Lanes(a[i]) | kBias) - Lanes(b[i]);
    beyond |= ((d + kAbove) | ~(d + kBelow)) & kTop;
  }
  return beyond != 0;
}

}  // namespace

bool FindRowChange(const uint32_t* previous, const uint32_t* current, int count, int* first, int* end) {
  if (count <= 0) return false;
  // Identical rows are the common case: one memcmp decides them.
  if (std::memcmp(previous, current, static_cast<size_t>(count) * 4) == 0) return false;
  int x = 0;
  // Blocks within the tolerance (noise) are passed over whole.
  while (x + kBlock <= count && !BlockBeyondTolerance(previous + x, current + x)) x += kBlock;
  for (; x < count; ++x) {
    if (PixelsEqual(previous[x], current[x])) continue;
    if (!PixelsAlike(previous[x], current[x])) break;
  }
  if (x == count) return false;
  *first = x;
  int last = count - 1;
  while (last > x && PixelsEqual(previous[last], current[last])) --last;
  *end = last + 1;
  return true;
}

bool FindImageChange(const uint32_t* previous, const uint32_t* current, int stride, int left, int top, int right,
                     int bottom, int* box_left, int* box_top, int* box_right, int* box_bottom) {
  bool found = false;
  int min_first = right, max_end = left, first_row = 0, last_row = 0;
  for (int y = top; y < bottom; ++y) {
    const size_t offset = static_cast<size_t>(y) * stride + left;
    int first = 0, end = 0;
    if (!FindRowChange(previous + offset, current + offset, right - left, &first, &end)) continue;
    if (!found) first_row = y;
    found = true;
    last_row = y;
    if (left + first < min_first) min_first = left + first;
    if (left + end > max_end) max_end = left + end;
  }
  if (!found) return false;
  *box_left = min_first;
  *box_top = first_row;
  *box_right = max_end;
  *box_bottom = last_row + 1;
  return true;
}

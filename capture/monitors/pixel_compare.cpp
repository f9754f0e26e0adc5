#include "capture/monitors/pixel_compare.h"

bool FindRowChange(const uint32_t* previous, const uint32_t* current, int count, int* first, int* end) {
  if (count <= 0) return false;
  // Identical rows are the common case: one memcmp decides them.
  if (std::memcmp(previous, current, static_cast<size_t>(count) * 4) == 0) return false;
  int x = 0;
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

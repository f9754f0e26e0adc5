#include "video/devices/render/nearest_rows.h"

#include <cstring>

void MakeNearestColumnMap(int32_t source_width, int32_t target_width, bool mirror, int32_t bytes_per_pixel,
                          std::vector<int32_t>* map) {
  map->resize(static_cast<size_t>(target_width));
  int32_t* m = map->data();
  for (int32_t x = 0; x < target_width; ++x) {
    const int32_t sx = static_cast<int32_t>(static_cast<int64_t>(x) * source_width / target_width);
    m[x] = bytes_per_pixel * (mirror ? source_width - 1 - sx : sx);
  }
}

void GatherRow24To32(const uint8_t* src, const int32_t* map, uint32_t* dst, int32_t count) {
  // One unaligned 32-bit load a pixel (B, G, R and the next pixel's B,
  // little-endian) instead of three byte loads and shifts.
  for (int32_t x = 0; x < count; ++x) {
    uint32_t v;
    std::memcpy(&v, src + map[x], sizeof v);
    dst[x] = v | 0xFF000000u;
  }
}

void GatherRow32(const uint32_t* src, const int32_t* map, uint32_t* dst, int32_t count) {
  // Two pixels a store: the loop is bound by its loads and stores.
  constexpr uint64_t kOpaque = 0xFF000000FF000000ull;
  int32_t x = 0;
  for (; x + 2 <= count; x += 2) {
    const uint64_t pair = (uint64_t{src[map[x + 1]]} << 32 | src[map[x]]) | kOpaque;
    std::memcpy(dst + x, &pair, sizeof pair);
  }
  if (x < count) dst[x] = src[map[x]] | 0xFF000000u;
}

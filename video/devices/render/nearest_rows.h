#pragma once
// Nearest-neighbour scaling of picture rows into 32-bit target rows (bytes
// B, G, R, 0xFF), shared by the software draw's composing. Pure arithmetic
// on buffers the caller owns; any thread.
#include <cstdint>
#include <vector>

// The source column of each of `target_width` target columns (x *
// source_width / target_width, taken from the right edge when mirrored),
// times `bytes_per_pixel`: byte offsets into a row for 3, pixel indices
// for 1. Both widths above 0.
void MakeNearestColumnMap(int32_t source_width, int32_t target_width, bool mirror, int32_t bytes_per_pixel,
                          std::vector<int32_t>* map);

// The source row of target row y of `target_height` (flip: counted from the
// bottom). Both heights above 0, y inside the target.
inline int32_t NearestSourceRow(int32_t y, int32_t source_height, int32_t target_height, bool flip) {
  const int32_t sy = static_cast<int32_t>(static_cast<int64_t>(y) * source_height / target_height);
  return flip ? source_height - 1 - sy : sy;
}

// dst[x] = the 24-bit B, G, R pixel at byte offset map[x] of `src`, made
// opaque. Reads four bytes at each offset: the row's buffer must hold one
// readable byte after its last pixel.
void GatherRow24To32(const uint8_t* src, const int32_t* map, uint32_t* dst, int32_t count);

// dst[x] = src[map[x]] with the top byte set to 0xFF.
void GatherRow32(const uint32_t* src, const int32_t* map, uint32_t* dst, int32_t count);

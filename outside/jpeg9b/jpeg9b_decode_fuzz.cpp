// Feeds arbitrary bytes to the stand-in's JPEG decoder as an attendee meets
// them: a received tile decoded straight into its block cell of a monitor
// frame (JPEGDecompressImageInto), and the allocating decode a codec with
// only the three classic functions gives (JPEGDecompressImage). Seeds are
// real tiles as the presenter encodes them, full cells and ragged edges.
//
// Traps when the decode into the frame writes outside its cell, or when
// both decodes succeed and their pixels differ.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "outside/jpeg9b/jpeg9b_codec.h"

namespace {

// A frame of 3 x 3 cells of the largest block; the tile goes in the middle.
constexpr int kCell = 128;
constexpr int kFrameSide = 3 * kCell;
constexpr int kStride = kFrameSide * 4;
constexpr uint8_t kGuard = 0x5A;

// Decodes into the middle cell (`width` x `height` at its top left) and
// checks that nothing outside that box changed. The result, or -2 when
// the box was overrun.
int DecodeIntoCell(const uint8_t* data, size_t size, int width, int height, std::vector<uint8_t>* frame) {
  frame->assign(static_cast<size_t>(kStride) * kFrameSide, kGuard);
  uint8_t* cell = frame->data() + static_cast<size_t>(kStride) * kCell + kCell * 4;
  const int result = Jpeg9bDecompressInto(data, static_cast<int>(size), 32, cell, kStride, width, height);
  for (int y = 0; y < kFrameSide; ++y) {
    const uint8_t* row = frame->data() + static_cast<size_t>(kStride) * y;
    const bool rows_of_cell = y >= kCell && y < kCell + height;
    for (int x = 0; x < kFrameSide; ++x) {
      if (rows_of_cell && x >= kCell && x < kCell + width) continue;
      if (std::memcmp(row + x * 4, "\x5A\x5A\x5A\x5A", 4) != 0) return -2;
    }
  }
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > 1 << 20) return 0;
  int bytes = 0;
  int width = 0;
  int height = 0;
  uint8_t* pixels = Jpeg9bDecompress(data, static_cast<int>(size), 32, &bytes, &width, &height);
  if (pixels != nullptr && bytes != width * height * 4) __builtin_trap();

  std::vector<uint8_t> frame;
  // The full cell every block but the ragged edges has.
  if (DecodeIntoCell(data, size, kCell, kCell, &frame) == -2) __builtin_trap();
  // The image's own size, when it fits a cell: the path that paints.
  if (pixels != nullptr && width <= kCell && height <= kCell) {
    const int result = DecodeIntoCell(data, size, width, height, &frame);
    if (result == -2) __builtin_trap();
    if (result == kJpeg9bDecoded) {
      const uint8_t* cell = frame.data() + static_cast<size_t>(kStride) * kCell + kCell * 4;
      const size_t row = static_cast<size_t>(width) * 4;
      for (int y = 0; y < height; ++y) {
        if (std::memcmp(cell + static_cast<size_t>(kStride) * y, pixels + row * y, row) != 0) __builtin_trap();
      }
    }
  }
  std::free(pixels);
  return 0;
}

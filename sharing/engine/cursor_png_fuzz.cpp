// Cursor images received from the network: whatever the bytes, checking
// them must neither crash nor allocate for more than a 128 x 128 cursor,
// and an image that passes must survive our own encoder unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "sharing/engine/cursor_png.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgba;
  if (!DecodeCursorPng(data, size, &width, &height, &rgba)) return 0;
  if (width < 1 || height < 1 || width > kCursorPngMaxSide || height > kCursorPngMaxSide) __builtin_trap();
  if (rgba.size() != static_cast<size_t>(width) * height * 4) __builtin_trap();
  uint8_t* png = nullptr;
  uint32_t png_size = 0;
  if (!EncodeCursorPng(rgba.data(), width, height, kCursorPngRgba, &png, &png_size)) __builtin_trap();
  int width2 = 0;
  int height2 = 0;
  std::vector<uint8_t> again;
  const bool decoded = DecodeCursorPng(png, png_size, &width2, &height2, &again);
  std::free(png);
  if (!decoded || width2 != width || height2 != height || again != rgba) __builtin_trap();
  return 0;
}

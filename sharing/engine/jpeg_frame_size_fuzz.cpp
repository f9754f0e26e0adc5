// Tile images received from the network, measured before any decode:
// whatever the bytes, the reader stays inside them, and a size it reports is
// one a frame header can state (1 to 65535 on each side).
#include <cstddef>
#include <cstdint>

#include "sharing/engine/jpeg_frame_size.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int width = -1;
  int height = -1;
  const bool found = ReadJpegFrameSize(data, size, &width, &height);
  if (found && (width < 1 || width > 65535 || height < 1 || height > 65535)) __builtin_trap();
  if (!found && (width != 0 || height != 0)) __builtin_trap();
  if (found && !IsJpegStream(data, size)) __builtin_trap();
  return 0;
}

// Feeds arbitrary bytes to the stand-in's JPEG decoder (tiles arrive from the
// network).
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "outside/jpeg9b/jpeg9b_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 20) return 0;
  int bytes = 0;
  int width = 0;
  int height = 0;
  uint8_t* pixels = Jpeg9bDecompress(data, static_cast<int>(size), 32, &bytes, &width, &height);
  if (pixels != nullptr && bytes != width * height * 4) __builtin_trap();
  std::free(pixels);
  return 0;
}

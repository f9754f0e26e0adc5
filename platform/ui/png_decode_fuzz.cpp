// PNG images come from the resource bundle, a file outside the program.
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/ui/image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::optional<vz::Image> image = vz::Image::DecodePng(std::span<const uint8_t>(data, size));
  if (image) (void)image->GetPixel(image->width() - 1, image->height() - 1);
  return 0;
}

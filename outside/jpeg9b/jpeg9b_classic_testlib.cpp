// libjpeg9bclassic.so: the JPEG codec stand-in with only the three classic
// functions. It has no decode into the caller's rows and leaves the decode's
// out value at 0, so tests show that a tile decode needs neither.
#include <cstdint>
#include <cstdlib>

#include "outside/jpeg9b/jpeg9b_codec.h"

extern "C" {

__attribute__((visibility("default"))) uint8_t* JPEGCompressImage(int width, int height, int bits_per_pixel,
                                                                   int quality, int stride, const uint8_t* pixels,
                                                                   int* out_size) {
  return Jpeg9bCompress(width, height, bits_per_pixel, quality, stride, pixels, out_size);
}

__attribute__((visibility("default"))) uint8_t* JPEGDecompressImage(const uint8_t* jpeg, int size,
                                                                     int bits_per_pixel, int* out) {
  int ignored = 0;
  uint8_t* pixels = Jpeg9bDecompress(jpeg, size, bits_per_pixel, &ignored);
  if (out != nullptr) *out = 0;
  return pixels;
}

__attribute__((visibility("default"))) void JPEGFreeMem(void* memory) { std::free(memory); }

}  // extern "C"

// The functions the sharing engine binds by name in libjpeg9b.so: the three
// of the codec's interface, and a decode into the caller's rows that the
// engine uses when it is there.
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
                                                                     int bits_per_pixel, int* out_bytes) {
  return Jpeg9bDecompress(jpeg, size, bits_per_pixel, out_bytes);
}

__attribute__((visibility("default"))) int JPEGDecompressImageInto(const uint8_t* jpeg, int size,
                                                                   int bits_per_pixel, uint8_t* target, int stride,
                                                                   int width, int height) {
  return Jpeg9bDecompressInto(jpeg, size, bits_per_pixel, target, stride, width, height);
}

__attribute__((visibility("default"))) void JPEGFreeMem(void* memory) { std::free(memory); }

}  // extern "C"

// libvzrawcodec.so: a lossless codec with the JPEG library's three
// functions, for tests that compare an attendee's pixels with the
// presenter's exactly. An image is its width and height (two uint32) and
// then its packed top-down 32-bit rows.
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {
constexpr size_t kHeader = 8;
}

extern "C" {

__attribute__((visibility("default"))) uint8_t* JPEGCompressImage(int width, int height, int bits_per_pixel,
                                                                   int /*quality*/, int stride,
                                                                   const uint8_t* pixels, int* out_size) {
  if (out_size != nullptr) *out_size = 0;
  if (pixels == nullptr || bits_per_pixel != 32 || width <= 0 || height <= 0 || width > 16384 || height > 16384 ||
      stride < width * 4) {
    return nullptr;
  }
  const size_t row = static_cast<size_t>(width) * 4;
  auto* out = static_cast<uint8_t*>(std::malloc(kHeader + row * height));
  if (out == nullptr) return nullptr;
  const uint32_t size[2] = {static_cast<uint32_t>(width), static_cast<uint32_t>(height)};
  std::memcpy(out, size, kHeader);
  for (int y = 0; y < height; ++y) std::memcpy(out + kHeader + row * y, pixels + static_cast<size_t>(stride) * y, row);
  if (out_size != nullptr) *out_size = static_cast<int>(kHeader + row * height);
  return out;
}

// `out_bytes`: the byte count of the rows returned.
__attribute__((visibility("default"))) uint8_t* JPEGDecompressImage(const uint8_t* data, int size,
                                                                     int bits_per_pixel, int* out_bytes) {
  if (out_bytes != nullptr) *out_bytes = 0;
  if (data == nullptr || bits_per_pixel != 32 || size < static_cast<int>(kHeader)) return nullptr;
  uint32_t dims[2];
  std::memcpy(dims, data, kHeader);
  if (dims[0] == 0 || dims[1] == 0 || dims[0] > 16384 || dims[1] > 16384) return nullptr;
  const size_t bytes = static_cast<size_t>(dims[0]) * dims[1] * 4;
  if (static_cast<size_t>(size) - kHeader != bytes) return nullptr;
  auto* out = static_cast<uint8_t*>(std::malloc(bytes));
  if (out == nullptr) return nullptr;
  std::memcpy(out, data + kHeader, bytes);
  if (out_bytes != nullptr) *out_bytes = static_cast<int>(bytes);
  return out;
}

__attribute__((visibility("default"))) void JPEGFreeMem(void* memory) { std::free(memory); }

}  // extern "C"

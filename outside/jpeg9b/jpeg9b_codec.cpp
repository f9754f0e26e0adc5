#include "outside/jpeg9b/jpeg9b_codec.h"

#include <turbojpeg.h>

#include <cstdlib>

#include "common/trace_client.h"

namespace {

// TurboJPEG's handle, released with its owner.
class TjHandle {
 public:
  explicit TjHandle(bool compress) : handle_(compress ? tjInitCompress() : tjInitDecompress()) {}
  ~TjHandle() {
    if (handle_ != nullptr) tjDestroy(handle_);
  }
  TjHandle(const TjHandle&) = delete;
  TjHandle& operator=(const TjHandle&) = delete;
  tjhandle get() const { return handle_; }

 private:
  tjhandle handle_;
};

// The calling thread's handle of each direction, made on first use and kept
// for the thread's life: making one costs more than coding a tile.
tjhandle ThreadHandle(bool compress) {
  thread_local TjHandle compressor(true);
  thread_local TjHandle decompressor(false);
  return compress ? compressor.get() : decompressor.get();
}

bool PixelFormatFor(int bits_per_pixel, int* format) {
  if (bits_per_pixel == 32) {
    *format = TJPF_BGRX;
    return true;
  }
  if (bits_per_pixel == 24) {
    *format = TJPF_BGR;
    return true;
  }
  VZ_LOG_ERROR("unsupported bits per pixel [%d].", bits_per_pixel);
  return false;
}

bool DimensionsAllowed(int width, int height) {
  if (width <= 0 || height <= 0 || width > kJpeg9bMaxSide || height > kJpeg9bMaxSide ||
      static_cast<int64_t>(width) * height > kJpeg9bMaxPixels) {
    VZ_LOG_ERROR("image size [%d x %d] refused.", width, height);
    return false;
  }
  return true;
}

}  // namespace

uint8_t* Jpeg9bCompress(int width, int height, int bits_per_pixel, int quality, int stride,
                        const uint8_t* pixels, int* out_size) {
  if (out_size == nullptr) {
    VZ_LOG_ERROR("null size pointer.");
    return nullptr;
  }
  *out_size = 0;
  int format = 0;
  if (pixels == nullptr || !PixelFormatFor(bits_per_pixel, &format) || !DimensionsAllowed(width, height)) return nullptr;
  if (stride < width * (bits_per_pixel / 8)) {
    VZ_LOG_ERROR("stride [%d] shorter than a row of [%d] pixels.", stride, width);
    return nullptr;
  }
  if (quality < 1) quality = 1;
  if (quality > 100) quality = 100;
  tjhandle handle = ThreadHandle(true);
  if (handle == nullptr) {
    VZ_LOG_ERROR("tjInitCompress failed.");
    return nullptr;
  }
  // Our own malloc'd buffer of the worst-case size, with reallocation off, so
  // the result is released by free whatever TurboJPEG's allocator is.
  const unsigned long capacity = tjBufSize(width, height, TJSAMP_420);
  if (capacity == static_cast<unsigned long>(-1) || capacity > static_cast<unsigned long>(INT32_MAX)) {
    VZ_LOG_ERROR("no JPEG buffer size for [%d x %d].", width, height);
    return nullptr;
  }
  auto* jpeg = static_cast<uint8_t*>(std::malloc(capacity));
  if (jpeg == nullptr) {
    VZ_LOG_ERROR("malloc memory size [%lu] failed.", capacity);
    return nullptr;
  }
  unsigned char* written = jpeg;
  unsigned long jpeg_size = capacity;
  if (tjCompress2(handle, pixels, width, stride, height, format, &written, &jpeg_size, TJSAMP_420, quality,
                  TJFLAG_NOREALLOC) != 0 ||
      written != jpeg) {
    VZ_LOG_ERROR("tjCompress2 failed: %s", tjGetErrorStr2(handle));
    std::free(jpeg);
    return nullptr;
  }
  *out_size = static_cast<int>(jpeg_size);
  return jpeg;
}

uint8_t* Jpeg9bDecompress(const uint8_t* jpeg, int size, int bits_per_pixel, int* out_bytes, int* out_width,
                          int* out_height) {
  if (out_bytes != nullptr) *out_bytes = 0;
  int format = 0;
  if (jpeg == nullptr || size <= 0) {
    VZ_LOG_ERROR("no JPEG bytes, size [%d].", size);
    return nullptr;
  }
  if (!PixelFormatFor(bits_per_pixel, &format)) return nullptr;
  tjhandle handle = ThreadHandle(false);
  if (handle == nullptr) {
    VZ_LOG_ERROR("tjInitDecompress failed.");
    return nullptr;
  }
  int width = 0;
  int height = 0;
  int subsampling = 0;
  int colorspace = 0;
  if (tjDecompressHeader3(handle, jpeg, static_cast<unsigned long>(size), &width, &height, &subsampling,
                          &colorspace) != 0) {
    VZ_LOG_ERROR("JPEG header refused: %s", tjGetErrorStr2(handle));
    return nullptr;
  }
  if (!DimensionsAllowed(width, height)) return nullptr;
  const int pixel_bytes = bits_per_pixel / 8;
  const size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * static_cast<size_t>(pixel_bytes);
  auto* pixels = static_cast<uint8_t*>(std::malloc(bytes));
  if (pixels == nullptr) {
    VZ_LOG_ERROR("malloc memory size [%zu] failed.", bytes);
    return nullptr;
  }
  // A truncated or corrupt stream is an error, not a partly grey picture.
  if (tjDecompress2(handle, jpeg, static_cast<unsigned long>(size), pixels, width, width * pixel_bytes, height,
                    format, TJFLAG_STOPONWARNING) != 0) {
    VZ_LOG_ERROR("JPEG decode refused: %s", tjGetErrorStr2(handle));
    std::free(pixels);
    return nullptr;
  }
  if (out_bytes != nullptr) *out_bytes = static_cast<int>(bytes);
  if (out_width != nullptr) *out_width = width;
  if (out_height != nullptr) *out_height = height;
  return pixels;
}

int Jpeg9bDecompressInto(const uint8_t* jpeg, int size, int bits_per_pixel, uint8_t* target, int stride, int width,
                          int height) {
  int format = 0;
  if (jpeg == nullptr || size <= 0 || target == nullptr) {
    VZ_LOG_ERROR("no JPEG bytes or no target, size [%d].", size);
    return kJpeg9bRefused;
  }
  if (!PixelFormatFor(bits_per_pixel, &format) || !DimensionsAllowed(width, height)) return kJpeg9bRefused;
  if (stride < width * (bits_per_pixel / 8)) {
    VZ_LOG_ERROR("stride [%d] shorter than a row of [%d] pixels.", stride, width);
    return kJpeg9bRefused;
  }
  tjhandle handle = ThreadHandle(false);
  if (handle == nullptr) {
    VZ_LOG_ERROR("tjInitDecompress failed.");
    return kJpeg9bRefused;
  }
  int image_width = 0;
  int image_height = 0;
  int subsampling = 0;
  int colorspace = 0;
  if (tjDecompressHeader3(handle, jpeg, static_cast<unsigned long>(size), &image_width, &image_height, &subsampling,
                          &colorspace) != 0) {
    VZ_LOG_ERROR("JPEG header refused: %s", tjGetErrorStr2(handle));
    return kJpeg9bRefused;
  }
  // A header cut short can read as a 0 x 0 image: that is no image at all.
  if (image_width <= 0 || image_height <= 0) {
    VZ_LOG_ERROR("JPEG header gives no size.");
    return kJpeg9bRefused;
  }
  // Only the exact size: TurboJPEG would otherwise scale to fit.
  if (image_width != width || image_height != height) {
    VZ_LOG_ERROR("JPEG of [%d x %d] for a place of [%d x %d].", image_width, image_height, width, height);
    return kJpeg9bWrongSize;
  }
  if (tjDecompress2(handle, jpeg, static_cast<unsigned long>(size), target, width, stride, height, format,
                    TJFLAG_STOPONWARNING) != 0) {
    VZ_LOG_ERROR("JPEG decode refused: %s", tjGetErrorStr2(handle));
    return kJpeg9bRefused;
  }
  return kJpeg9bDecoded;
}

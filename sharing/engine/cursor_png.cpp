#include "sharing/engine/cursor_png.h"

#include <png.h>

#include <cstdlib>
#include <cstring>

#include "common/trace_client.h"

namespace {

// The growing output of one encoding; grown with realloc.
struct PngBuffer {
  uint8_t* data;
  size_t size;
  size_t capacity;
};

void WriteChunk(png_structp png, png_bytep bytes, png_size_t length) {
  auto* buffer = static_cast<PngBuffer*>(png_get_io_ptr(png));
  if (length > buffer->capacity - buffer->size) {
    size_t capacity = buffer->capacity == 0 ? 4096 : buffer->capacity;
    while (capacity - buffer->size < length) capacity *= 2;
    auto* grown = static_cast<uint8_t*>(std::realloc(buffer->data, capacity));
    if (grown == nullptr) png_error(png, "Write Error");
    buffer->data = grown;
    buffer->capacity = capacity;
  }
  std::memcpy(buffer->data + buffer->size, bytes, length);
  buffer->size += length;
}

void FlushNothing(png_structp) {}

void OnPngError(png_structp png, png_const_charp message) {
  VZ_LOG_ERROR("libpng: %s", message);
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp message) { VZ_LOG_WARN("libpng: %s", message); }

// The libpng part of the encoding. No object with a destructor lives in
// this frame: an error returns through longjmp.
bool WritePng(const uint8_t* pixels, int width, int height, int pixel_code, png_bytep* rows, PngBuffer* buffer) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, buffer, WriteChunk, FlushNothing);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  if (pixel_code == kCursorPngArgb) png_set_swap_alpha(png);
  const size_t row_bytes = static_cast<size_t>(width) * 4;
  for (int i = 0; i < height; ++i) rows[i] = const_cast<png_bytep>(pixels + static_cast<size_t>(i) * row_bytes);
  png_write_image(png, rows);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool EncodeCursorPng(const uint8_t* pixels, int width, int height, int pixel_code, uint8_t** out,
                     uint32_t* out_size) {
  *out = nullptr;
  *out_size = 0;
  if (pixel_code != kCursorPngRgba && pixel_code != kCursorPngArgb) {
    VZ_LOG_ERROR("no PNG for pixel code [%d].", pixel_code);
    return false;
  }
  if (pixels == nullptr || width < 1 || height < 1 || width > kCursorPngMaxSide || height > kCursorPngMaxSide) {
    VZ_LOG_ERROR("no PNG for a cursor of %d x %d.", width, height);
    return false;
  }
  png_bytep rows[kCursorPngMaxSide];
  PngBuffer buffer{nullptr, 0, 0};
  if (!WritePng(pixels, width, height, pixel_code, rows, &buffer)) {
    VZ_LOG_ERROR("PNG encoding of a %d x %d cursor failed.", width, height);
    std::free(buffer.data);
    return false;
  }
  *out = buffer.data;
  *out_size = static_cast<uint32_t>(buffer.size);
  return true;
}

bool DecodeCursorPng(const uint8_t* data, size_t size, int* width, int* height, std::vector<uint8_t>* rgba) {
  *width = 0;
  *height = 0;
  if (data == nullptr || size == 0) {
    VZ_LOG_ERROR("empty cursor image.");
    return false;
  }
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_memory(&image, data, size) == 0) {
    VZ_LOG_ERROR("cursor image of [%zu] bytes is not a PNG: %s", size, image.message);
    png_image_free(&image);
    return false;
  }
  if (image.width < 1 || image.height < 1 || image.width > kCursorPngMaxSide || image.height > kCursorPngMaxSide) {
    VZ_LOG_ERROR("cursor image of %u x %u refused.", image.width, image.height);
    png_image_free(&image);
    return false;
  }
  image.format = PNG_FORMAT_RGBA;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
  if (png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) == 0) {
    VZ_LOG_ERROR("cursor image of [%zu] bytes is damaged: %s", size, image.message);
    png_image_free(&image);
    return false;
  }
  *width = static_cast<int>(image.width);
  *height = static_cast<int>(image.height);
  if (rgba != nullptr) *rgba = std::move(pixels);
  return true;
}

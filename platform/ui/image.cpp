#include "platform/ui/image.h"

#include <png.h>

#include <cstdio>
#include <algorithm>
#include <cstring>

#include "platform/platform_log.h"

namespace vz {

namespace {

constexpr int kMaxSide = 16384;

uint8_t Mul255(unsigned value, unsigned alpha) { return static_cast<uint8_t>((value * alpha + 127) / 255); }

}  // namespace

uint32_t PremultiplyColor(Color color) {
  const unsigned a = ColorA(color);
  if (a == 255) return color;
  if (a == 0) return 0;
  return (uint32_t{a} << 24) | (uint32_t{Mul255(ColorR(color), a)} << 16) | (uint32_t{Mul255(ColorG(color), a)} << 8) |
         Mul255(ColorB(color), a);
}

Color UnpremultiplyPixel(uint32_t pixel) {
  const unsigned a = pixel >> 24;
  if (a == 255) return pixel;
  if (a == 0) return 0;
  auto un = [a](unsigned v) { return static_cast<uint8_t>(std::min(255u, (v * 255 + a / 2) / a)); };
  return MakeColor(un((pixel >> 16) & 0xFF), un((pixel >> 8) & 0xFF), un(pixel & 0xFF), static_cast<uint8_t>(a));
}

Image::Image(int width, int height) {
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return;
  width_ = width;
  height_ = height;
  pixels_.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
}

Color Image::GetPixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return UnpremultiplyPixel(pixels_[static_cast<size_t>(y) * width_ + x]);
}

void Image::SetPixel(int x, int y, Color color) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  pixels_[static_cast<size_t>(y) * width_ + x] = PremultiplyColor(color);
}

void Image::FillForTesting(Color color) { std::fill(pixels_.begin(), pixels_.end(), PremultiplyColor(color)); }

namespace {

struct ReadState {
  std::span<const uint8_t> bytes;
  size_t offset = 0;
};

void ReadFromSpan(png_structp png, png_bytep out, png_size_t length) {
  auto* state = static_cast<ReadState*>(png_get_io_ptr(png));
  if (length > state->bytes.size() - state->offset) png_error(png, "truncated");
  std::memcpy(out, state->bytes.data() + state->offset, length);
  state->offset += length;
}

void WriteToVector(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

void FlushNothing(png_structp) {}

void OnPngError(png_structp png, png_const_charp message) {
  PlatformLog("PNG: %s", message);
  png_longjmp(png, 1);
}
void OnPngWarning(png_structp, png_const_charp) {}

}  // namespace

namespace {

struct DecodeContext {
  ReadState state;
  std::vector<uint8_t> rgba;
  std::vector<png_bytep> rows;
  png_uint_32 width = 0;
  png_uint_32 height = 0;
};

// libpng reports errors by longjmp: this frame holds nothing with a
// destructor; what the decoder fills lives in the caller's context.
bool DecodeInto(png_structp png, png_infop info, DecodeContext* context) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_read_fn(png, &context->state, ReadFromSpan);
  png_set_user_limits(png, kMaxSide, kMaxSide);
  png_read_info(png, info);
  context->width = png_get_image_width(png, info);
  context->height = png_get_image_height(png, info);
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != static_cast<size_t>(context->width) * 4) png_error(png, "unexpected row size");
  context->rgba.resize(static_cast<size_t>(context->width) * context->height * 4);
  context->rows.resize(context->height);
  for (png_uint_32 y = 0; y < context->height; ++y) {
    context->rows[y] = context->rgba.data() + static_cast<size_t>(y) * context->width * 4;
  }
  png_read_image(png, context->rows.data());
  png_read_end(png, nullptr);
  return true;
}

}  // namespace

std::optional<Image> Image::DecodePng(std::span<const uint8_t> bytes) {
  if (bytes.size() < 8 || png_sig_cmp(bytes.data(), 0, 8) != 0) {
    PlatformLog("PNG: not a PNG image (%zu bytes)", bytes.size());
    return std::nullopt;
  }
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
  if (png == nullptr) return std::nullopt;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return std::nullopt;
  }
  DecodeContext context;
  context.state = ReadState{bytes, 0};
  const bool decoded = DecodeInto(png, info, &context);
  png_destroy_read_struct(&png, &info, nullptr);
  if (!decoded) return std::nullopt;

  Image image(static_cast<int>(context.width), static_cast<int>(context.height));
  if (image.IsEmpty()) return std::nullopt;
  for (png_uint_32 y = 0; y < context.height; ++y) {
    for (png_uint_32 x = 0; x < context.width; ++x) {
      const uint8_t* p = &context.rgba[(static_cast<size_t>(y) * context.width + x) * 4];
      image.SetPixel(static_cast<int>(x), static_cast<int>(y), MakeColor(p[0], p[1], p[2], p[3]));
    }
  }
  return image;
}

std::vector<uint8_t> Image::EncodePng() const {
  std::vector<uint8_t> out;
  if (IsEmpty()) return out;
  std::vector<uint8_t> rgba(static_cast<size_t>(width_) * height_ * 4);
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      const Color c = GetPixel(x, y);
      uint8_t* p = &rgba[(static_cast<size_t>(y) * width_ + x) * 4];
      p[0] = ColorR(c);
      p[1] = ColorG(c);
      p[2] = ColorB(c);
      p[3] = ColorA(c);
    }
  }
  std::vector<png_bytep> rows(height_);
  for (int y = 0; y < height_; ++y) rows[y] = rgba.data() + static_cast<size_t>(y) * width_ * 4;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
  if (png == nullptr) return out;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    out.clear();
    return out;
  }
  png_set_write_fn(png, &out, WriteToVector, FlushNothing);
  png_set_IHDR(png, info, width_, height_, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

bool Image::WritePngFile(const std::string& path) const {
  const std::vector<uint8_t> bytes = EncodePng();
  if (bytes.empty()) return false;
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    PlatformLog("cannot write %s", path.c_str());
    return false;
  }
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

}  // namespace vz

#pragma once
// An image in memory: 32-bit pixels with premultiplied alpha, rows of
// `width` pixels (the layout the canvas draws into and from). Pixel access
// works in plain (not premultiplied) 0xAARRGGBB colours.
//
// Not thread-safe; an image belongs to one thread at a time.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/ui/ui_types.h"

namespace vz {

class Image {
 public:
  Image() = default;
  // A transparent image; sizes below 0 or above 16384 give an empty image.
  Image(int width, int height);

  // Decodes a PNG (any colour type libpng reads). Nothing, logged, when the
  // bytes are not a PNG or its size is above 16384 on either side.
  static std::optional<Image> DecodePng(std::span<const uint8_t> bytes);
  // Encodes as an 8-bit RGBA PNG. Empty on failure (logged).
  std::vector<uint8_t> EncodePng() const;
  bool WritePngFile(const std::string& path) const;

  int width() const { return width_; }
  int height() const { return height_; }
  Size size() const { return {width_, height_}; }
  bool IsEmpty() const { return width_ == 0 || height_ == 0; }

  // Plain colour of a pixel; 0 outside the image.
  Color GetPixel(int x, int y) const;
  // Sets a pixel from a plain colour; nothing outside the image.
  void SetPixel(int x, int y, Color color);
  void FillForTesting(Color color);

  // Premultiplied pixels, row after row (width() per row).
  uint32_t* data() { return pixels_.data(); }
  const uint32_t* data() const { return pixels_.data(); }

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<uint32_t> pixels_;
};

// Plain <-> premultiplied for one pixel.
uint32_t PremultiplyColor(Color color);
Color UnpremultiplyPixel(uint32_t pixel);

}  // namespace vz

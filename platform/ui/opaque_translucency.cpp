#include "platform/ui/opaque_translucency.h"

namespace vz {

namespace {

// The 4x4 ordered-dither matrix, as thresholds in the middle of 16 steps.
constexpr uint8_t kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

uint32_t Unpremultiply(uint32_t pixel) {
  const uint32_t a = pixel >> 24;
  if (a == 0) return 0xFF000000u;
  if (a == 255) return pixel;
  auto channel = [a](uint32_t c) { return std::min<uint32_t>(255, (c * 255 + a / 2) / a); };
  return 0xFF000000u | (channel((pixel >> 16) & 0xFF) << 16) | (channel((pixel >> 8) & 0xFF) << 8) |
         channel(pixel & 0xFF);
}

}  // namespace

bool StippleKeeps(uint8_t alpha, int x, int y) {
  // Thresholds 8, 24, ..., 248: alpha 255 always passes, alpha 0 never.
  return alpha > kBayer[y & 3][x & 3] * 16 + 8;
}

std::vector<uint8_t> StippleMask(const Image& image) {
  const int stride = (image.width() + 7) / 8;
  std::vector<uint8_t> mask(static_cast<size_t>(stride) * static_cast<size_t>(image.height()), 0);
  for (int y = 0; y < image.height(); ++y) {
    const uint32_t* row = image.data() + static_cast<size_t>(y) * static_cast<size_t>(image.width());
    uint8_t* bits = mask.data() + static_cast<size_t>(y) * static_cast<size_t>(stride);
    for (int x = 0; x < image.width(); ++x) {
      if (StippleKeeps(static_cast<uint8_t>(row[x] >> 24), x, y)) bits[x >> 3] |= static_cast<uint8_t>(1u << (x & 7));
    }
  }
  return mask;
}

std::vector<uint32_t> OpaqueColours(const Image& image, const Rect& area) {
  const Rect clipped = area.Intersect(Rect::FromXYWH(0, 0, image.width(), image.height()));
  std::vector<uint32_t> out(static_cast<size_t>(clipped.Width()) * static_cast<size_t>(clipped.Height()));
  size_t at = 0;
  for (int y = clipped.top; y < clipped.bottom; ++y) {
    const uint32_t* row = image.data() + static_cast<size_t>(y) * static_cast<size_t>(image.width());
    for (int x = clipped.left; x < clipped.right; ++x) out[at++] = Unpremultiply(row[x]);
  }
  return out;
}

}  // namespace vz

#include "video/devices/render/draw_geometry.h"

#include <cstdint>

void FitRect(Rect* out, const Rect& source, const Rect& target, int32_t aspect_mode) {
  *out = target;
  if (aspect_mode != 1 || source.IsEmpty() || target.IsEmpty()) return;
  const int64_t sw = source.Width(), sh = source.Height();
  const int64_t tw = target.Width(), th = target.Height();
  // Aspects compared and divided exactly: a float quotient truncates
  // 400 / (640 / 480) to 299 and leaves a stray line of background.
  const int64_t lhs = sw * th, rhs = tw * sh;
  if (lhs > rhs) {
    const int32_t height = static_cast<int32_t>(tw * sh / sw);
    out->top = target.top + static_cast<int32_t>((th - height) / 2);
    out->bottom = out->top + height;
  } else if (lhs < rhs) {
    const int32_t width = static_cast<int32_t>(th * sw / sh);
    out->left = target.left + static_cast<int32_t>((tw - width) / 2);
    out->right = out->left + width;
  }
}

void GetOverlayRect(const Rect& target, const OverlayDesc& overlay, int32_t image_width, int32_t image_height,
                    Rect* out) {
  const float w = static_cast<float>(target.Width());
  const float h = static_cast<float>(target.Height());
  if (overlay.flags & kOverlayFractions) {
    out->left = target.left + static_cast<int32_t>(overlay.values[0] * w);
    out->top = target.top + static_cast<int32_t>(overlay.values[1] * h);
    out->right = target.left + static_cast<int32_t>(overlay.values[2] * w);
    out->bottom = target.top + static_cast<int32_t>(overlay.values[3] * h);
    return;
  }
  auto edge_x = [&](int bit, float value) {
    return (overlay.flags & (1u << bit)) ? target.right - static_cast<int32_t>(value)
                                        : target.left + static_cast<int32_t>(value);
  };
  auto edge_y = [&](int bit, float value) {
    return (overlay.flags & (1u << bit)) ? target.bottom - static_cast<int32_t>(value)
                                        : target.top + static_cast<int32_t>(value);
  };
  out->left = edge_x(0, overlay.values[0]);
  out->right = edge_x(1, overlay.values[2]);
  out->top = edge_y(2, overlay.values[1]);
  out->bottom = edge_y(3, overlay.values[3]);
  // A zero right or bottom distance from the near edge means "the image's
  // own size".
  if (!(overlay.flags & 2u) && overlay.values[2] == 0) out->right = out->left + image_width;
  if (!(overlay.flags & 8u) && overlay.values[3] == 0) out->bottom = out->top + image_height;
}

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

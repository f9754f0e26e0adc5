#include "platform/screen/screen_double_testlib.h"

#include <algorithm>
#include <cstring>

#include "platform/platform_log.h"

namespace vz {

ScreenDouble::ScreenDouble(int width, int height)
    : width_(std::max(0, width)),
      height_(std::max(0, height)),
      pixels_(static_cast<size_t>(width_) * height_, 0xFF000000u) {
  monitors_.push_back({{0, 0, width_, height_}, "double", true});
}

void ScreenDouble::Fill(const ScreenRect& rect, uint32_t bgra) {
  const int x0 = std::max(rect.x, 0), y0 = std::max(rect.y, 0);
  const int x1 = std::min<int64_t>(int64_t{rect.x} + rect.width, width_);
  const int y1 = std::min<int64_t>(int64_t{rect.y} + rect.height, height_);
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) pixels_[static_cast<size_t>(y) * width_ + x] = bgra;
}

void ScreenDouble::SetPixel(int x, int y, uint32_t bgra) { Fill({x, y, 1, 1}, bgra); }

uint32_t ScreenDouble::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return pixels_[static_cast<size_t>(y) * width_ + x];
}

bool ScreenDouble::ReadPixels(const ScreenRect& rect, ScreenPixels* out) {
  ++reads_;
  if (fail_reads_ > 0) {
    --fail_reads_;
    PlatformLog("screen double: read of %dx%d failed on request", rect.width, rect.height);
    return false;
  }
  if (!ScreenRectInside(rect, Bounds())) {
    PlatformLog("screen double: %d,%d %dx%d is outside the screen", rect.x, rect.y, rect.width, rect.height);
    return false;
  }
  pixels_read_ += static_cast<uint64_t>(rect.width) * static_cast<uint64_t>(rect.height);
  out->width = rect.width;
  out->height = rect.height;
  out->stride = rect.width * 4 + row_padding_;
  out->bytes.assign(static_cast<size_t>(out->stride) * rect.height, 0);
  for (int y = 0; y < rect.height; ++y) {
    const uint32_t* src = &pixels_[static_cast<size_t>(rect.y + y) * width_ + rect.x];
    uint8_t* dst = out->bytes.data() + static_cast<size_t>(y) * out->stride;
    for (int x = 0; x < rect.width; ++x) {
      const uint32_t p = src[x];
      dst[x * 4 + 0] = static_cast<uint8_t>(p);
      dst[x * 4 + 1] = static_cast<uint8_t>(p >> 8);
      dst[x * 4 + 2] = static_cast<uint8_t>(p >> 16);
      dst[x * 4 + 3] = static_cast<uint8_t>(p >> 24);
    }
  }
  return true;
}

void ScreenDouble::ScriptReadResults(std::vector<ScreenReadResult> results) {
  scripted_ = std::move(results);
  scripted_next_ = 0;
}

ScreenReadResult ScreenDouble::ReadBlock(const ScreenRect& rect, ScreenPixels* out) {
  block_reads_.push_back(rect);
  if (scripted_next_ < scripted_.size()) {
    const ScreenReadResult result = scripted_[scripted_next_++];
    if (result != ScreenReadResult::kOk) {
      ++reads_;
      PlatformLog("screen double: read of %dx%d answers %d on request", rect.width, rect.height,
                  static_cast<int>(result));
      return result;
    }
  }
  return ReadPixels(rect, out) ? ScreenReadResult::kOk : ScreenReadResult::kReadFailed;
}

bool ScreenDouble::ReadCursor(ScreenCursor* out) {
  if (!has_cursor_) return false;
  *out = cursor_;
  return true;
}

}  // namespace vz

#include "client/sharingui/thumbnail_source.h"

#include <algorithm>

#include "common/trace_client.h"
#include "platform/process.h"
#include "platform/text.h"

vz::Image CScreenThumbnailSource::GrabScreen(const VzRect& rect) {
  if (screen_ == nullptr) return {};
  const vz::ScreenRect bounds = screen_->Bounds();
  const int left = std::max<int64_t>(rect.left, bounds.x);
  const int top = std::max<int64_t>(rect.top, bounds.y);
  const int right = std::min<int64_t>(rect.right, int64_t{bounds.x} + bounds.width);
  const int bottom = std::min<int64_t>(rect.bottom, int64_t{bounds.y} + bounds.height);
  if (right <= left || bottom <= top) return {};
  if (!screen_->ReadPixels({left, top, right - left, bottom - top}, &pixels_)) {
    VZ_LOG_ERROR("screen read of {%d, %d, %d, %d} failed", left, top, right, bottom);
    return {};
  }
  vz::Image image(pixels_.width, pixels_.height);
  for (int y = 0; y < pixels_.height; ++y) {
    const uint8_t* row = pixels_.Row(y);
    uint32_t* out = image.data() + static_cast<size_t>(y) * image.width();
    for (int x = 0; x < pixels_.width; ++x) {
      const uint8_t* p = row + x * 4;
      out[x] = 0xFF000000u | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];  // opaque screen
    }
  }
  return image;
}

std::u16string CScreenThumbnailSource::ProcessName(int32_t pid) {
  const std::string path = vz::ProcessImagePath(pid);
  if (path.empty()) return {};
  return vz::Utf8ToUtf16(path.substr(path.rfind('/') + 1));
}

std::vector<vz::ScreenIcon> CScreenThumbnailSource::WindowIcons(VzWindowHandle window) {
  if (screen_ == nullptr) return {};
  return screen_->WindowIcons(window);
}

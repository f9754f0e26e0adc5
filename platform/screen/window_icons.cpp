#include "platform/screen/window_icons.h"

#include <algorithm>

namespace vz {

std::vector<ScreenIcon> ParseWindowIcons(std::span<const unsigned long> items) {
  items = items.first(std::min(items.size(), kMaxWindowIconItems));
  std::vector<ScreenIcon> icons;
  size_t at = 0;
  while (items.size() - at >= 2) {
    const unsigned long width = items[at];
    const unsigned long height = items[at + 1];
    if (width == 0 || height == 0 || width > kMaxWindowIconSide || height > kMaxWindowIconSide) break;
    const size_t pixels = static_cast<size_t>(width) * height;  // at most 2^20: no overflow
    const size_t left = items.size() - at - 2;
    if (pixels > left) break;
    ScreenIcon icon;
    icon.width = static_cast<int>(width);
    icon.height = static_cast<int>(height);
    icon.argb.reserve(pixels);
    for (size_t i = 0; i < pixels; ++i) icon.argb.push_back(static_cast<uint32_t>(items[at + 2 + i]));
    icons.push_back(std::move(icon));
    at += 2 + pixels;
  }
  return icons;
}

}  // namespace vz

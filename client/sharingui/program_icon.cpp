#include "client/sharingui/program_icon.h"

#include <algorithm>
#include <cstdlib>

#include "platform/ui/canvas.h"

namespace program_icon {

const vz::ScreenIcon* Nearest(const std::vector<vz::ScreenIcon>& icons) {
  const vz::ScreenIcon* best = nullptr;
  int best_side = 0;
  for (const vz::ScreenIcon& icon : icons) {
    const int side = std::max(icon.width, icon.height);
    if (side <= 0) continue;
    const int distance = std::abs(side - kSide);
    const int best_distance = std::abs(best_side - kSide);
    if (best == nullptr || distance < best_distance || (distance == best_distance && side > best_side)) {
      best = &icon;
      best_side = side;
    }
  }
  return best;
}

vz::Image FromWindowIcons(const std::vector<vz::ScreenIcon>& icons) {
  const vz::ScreenIcon* icon = Nearest(icons);
  if (icon == nullptr || icon->argb.size() != static_cast<size_t>(icon->width) * icon->height) return {};
  vz::Image source(icon->width, icon->height);
  for (int y = 0; y < icon->height; ++y) {
    for (int x = 0; x < icon->width; ++x) source.SetPixel(x, y, icon->argb[static_cast<size_t>(y) * icon->width + x]);
  }
  const int longer = std::max(icon->width, icon->height);
  const int w = std::max(1, icon->width * kSide / longer);
  const int h = std::max(1, icon->height * kSide / longer);
  vz::Image out(kSide, kSide);
  auto canvas = vz::CreateImageCanvas(out);
  canvas->DrawImageScaled(source, vz::Rect::FromXYWH((kSide - w) / 2, (kSide - h) / 2, w, h));
  return out;
}

}  // namespace program_icon

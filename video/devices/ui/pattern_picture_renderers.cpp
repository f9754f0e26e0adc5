#include "video/devices/ui/pattern_picture_renderers.h"

#include <algorithm>

#include "contracts/test_pattern.h"
#include "video/devices/ui/panel_helpers.h"

namespace vzpanel {
namespace {

uint8_t Clamp(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

// Studio-range BT.601, as the renderers convert.
vz::Color YuvToColor(int y, int u, int v) {
  const int c = 298 * (y - 16), d = u - 128, e = v - 128;
  return vz::MakeColor(Clamp((c + 409 * e + 128) >> 8), Clamp((c - 100 * d - 208 * e + 128) >> 8),
                       Clamp((c + 516 * d + 128) >> 8));
}

}  // namespace

int32_t PatternPictureRenderers::CreateVideoRenderer(IVideoRenderer** out, void* owner_view) {
  if (out == nullptr) return 1;
  *out = nullptr;
  if (owner_view == nullptr) return 3;
  live_.push_back(std::make_unique<Renderer>(static_cast<vz::Window*>(owner_view)));
  *out = live_.back().get();
  return 0;
}

int32_t PatternPictureRenderers::DestroyVideoRenderer(IVideoRenderer* renderer) {
  auto found = std::find_if(live_.begin(), live_.end(), [&](const auto& r) { return r.get() == renderer; });
  if (found == live_.end()) return 1;
  live_.erase(found);
  return 0;
}

void PatternPictureRenderers::PaintViews(vz::Window* top_level, vz::Image& picture) const {
  uint32_t counter = 1200;
  for (const auto& renderer : live_) {
    counter += 7;  // a different bar position in each view
    vz::Window* view = renderer->view();
    if (view == nullptr || view->TopLevel() != top_level) continue;
    const vz::Point origin = view->ToScreen({0, 0});
    const vz::Point top = top_level->ToScreen({0, 0});
    const int dx = origin.x - top.x, dy = origin.y - top.y;
    vz::WindowRegion visible = view->UncoveredArea();
    if (visible.empty()) continue;
    for (vz::Rect& r : visible) r = r.Offset(dx, dy);
    PaintPatternFrame(picture, view->ClientRect().Offset(dx, dy), visible, counter, renderer->mirror());
  }
}

void PaintPatternFrame(vz::Image& picture, const vz::Rect& view, const vz::WindowRegion& visible, uint32_t counter,
                       bool mirror) {
  constexpr vz::Size source = PatternPictureRenderers::kSource;
  std::vector<uint8_t> frame(static_cast<size_t>(source.width) * source.height * 3 / 2);
  if (!FillTestPattern(frame.data(), source.width, source.height, counter)) return;
  const uint8_t* luma = frame.data();
  const uint8_t* cb = luma + static_cast<size_t>(source.width) * source.height;
  const uint8_t* cr = cb + static_cast<size_t>(source.width / 2) * (source.height / 2);
  const vz::Rect shown = fitRectangle(view, source);
  const vz::Rect bounds{0, 0, picture.width(), picture.height()};
  for (const vz::Rect& part : visible) {
    const vz::Rect area = part.Intersect(view).Intersect(bounds);
    for (int y = area.top; y < area.bottom; ++y) {
      for (int x = area.left; x < area.right; ++x) {
        if (!shown.Contains({x, y})) {
          picture.SetPixel(x, y, 0xFF000000);
          continue;
        }
        // Each picture pixel averages the luma of the source pixels it covers.
        int px = x - shown.left;
        if (mirror) px = shown.Width() - 1 - px;
        const int py = y - shown.top;
        const int x0 = px * source.width / shown.Width();
        const int x1 = std::max(x0 + 1, (px + 1) * source.width / shown.Width());
        const int y0 = py * source.height / shown.Height();
        const int y1 = std::max(y0 + 1, (py + 1) * source.height / shown.Height());
        int sum = 0;
        for (int sy = y0; sy < y1; ++sy)
          for (int sx = x0; sx < x1; ++sx) sum += luma[static_cast<size_t>(sy) * source.width + sx];
        const int y_value = sum / ((y1 - y0) * (x1 - x0));
        const size_t c = static_cast<size_t>((y0 + y1) / 4) * (source.width / 2) + (x0 + x1) / 4;
        picture.SetPixel(x, y, YuvToColor(y_value, cb[c], cr[c]));
      }
    }
  }
}

}  // namespace vzpanel

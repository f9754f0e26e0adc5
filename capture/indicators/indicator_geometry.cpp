#include "capture/indicators/indicator_geometry.h"

#include <cstdio>

namespace vzgrab {

namespace {

float ScaleOf(const MonitorInfo& monitor) { return monitor.DpiScale > 0.0f ? monitor.DpiScale : 1.0f; }

}  // namespace

std::string RectText(const VzRect* r) {
  if (r == nullptr) return "(null)";
  char text[96];
  std::snprintf(text, sizeof(text), "{%d, %d, %d, %d}(%d, %d)", r->left, r->top, r->right, r->bottom,
                r->right - r->left, r->bottom - r->top);
  return text;
}

vz::Point DeviceToLogical(vz::Point device, const MonitorInfo& monitor) {
  const float scale = ScaleOf(monitor);
  return {static_cast<int>(static_cast<float>(device.x - monitor.Rect.left) / scale) + monitor.LogicalRect.left,
          static_cast<int>(static_cast<float>(device.y - monitor.Rect.top) / scale) + monitor.LogicalRect.top};
}

vz::Rect DeviceToLogical(const vz::Rect& device, const MonitorInfo& monitor) {
  const vz::Point a = DeviceToLogical(vz::Point{device.left, device.top}, monitor);
  const vz::Point b = DeviceToLogical(vz::Point{device.right, device.bottom}, monitor);
  return {a.x, a.y, b.x, b.y};
}

vz::Point LogicalToDevice(vz::Point logical, const MonitorInfo& monitor) {
  const float scale = ScaleOf(monitor);
  return {static_cast<int>(static_cast<float>(logical.x - monitor.LogicalRect.left) * scale) + monitor.Rect.left,
          static_cast<int>(static_cast<float>(logical.y - monitor.LogicalRect.top) * scale) + monitor.Rect.top};
}

vz::WindowRegion RingRegion(vz::Size size, int width) {
  const vz::Rect all{0, 0, size.width, size.height};
  if (all.IsEmpty()) return {};
  const vz::Rect inside = all.Inset(width);
  if (width <= 0) return {};
  if (inside.IsEmpty()) return {all};
  return {
      vz::Rect{0, 0, size.width, width},
      vz::Rect{0, size.height - width, size.width, size.height},
      vz::Rect{0, width, width, size.height - width},
      vz::Rect{size.width - width, width, size.width, size.height - width},
  };
}

bool IsRegionEmpty(const std::vector<VzRect>& region) {
  for (const VzRect& r : region) {
    if (!ToRect(r).IsEmpty()) return false;
  }
  return true;
}

vz::WindowRegion ShadowShape(const std::vector<VzRect>& covered, const MonitorInfo& monitor,
                             const vz::Rect& window_logical) {
  vz::WindowRegion shape;
  for (const VzRect& r : covered) {
    const vz::Rect part = DeviceToLogical(ToRect(r), monitor).Intersect(window_logical);
    if (part.IsEmpty()) continue;
    shape.push_back(part.Offset(-window_logical.left, -window_logical.top));
  }
  return shape;
}

}  // namespace vzgrab

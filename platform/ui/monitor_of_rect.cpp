#include <cstdint>
#include <limits>

#include "platform/ui/window.h"

namespace vz {

namespace {

int64_t Area(const Rect& r) { return r.IsEmpty() ? 0 : int64_t{r.Width()} * r.Height(); }

// How far a point lies outside a rectangle, squared (0 inside).
int64_t DistanceSquared(const Rect& r, int64_t x, int64_t y) {
  const int64_t dx = x < r.left ? r.left - x : (x >= r.right ? x - (r.right - 1) : 0);
  const int64_t dy = y < r.top ? r.top - y : (y >= r.bottom ? y - (r.bottom - 1) : 0);
  return dx * dx + dy * dy;
}

}  // namespace

const MonitorArea* MonitorOfRect(const std::vector<MonitorArea>& monitors, const Rect& rect) {
  const MonitorArea* best = nullptr;
  int64_t best_overlap = 0;
  for (const MonitorArea& monitor : monitors) {
    const int64_t overlap = Area(monitor.bounds.Intersect(rect));
    if (overlap > best_overlap) {
      best = &monitor;
      best_overlap = overlap;
    }
  }
  if (best != nullptr) return best;
  const int64_t x = (int64_t{rect.left} + rect.right) / 2;
  const int64_t y = (int64_t{rect.top} + rect.bottom) / 2;
  int64_t nearest = std::numeric_limits<int64_t>::max();
  for (const MonitorArea& monitor : monitors) {
    const int64_t distance = DistanceSquared(monitor.bounds, x, y);
    if (distance < nearest) {
      best = &monitor;
      nearest = distance;
    }
  }
  return best;
}

}  // namespace vz

#include "platform/screen/damage_rects.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace vz {
namespace {

// Room enough for any screen; keeps right and bottom edges from overflowing.
constexpr int kMaxCoordinate = 1 << 20;

int Clamp(int v) { return std::clamp(v, -kMaxCoordinate, kMaxCoordinate); }

ScreenRect Bound(const ScreenRect& a, const ScreenRect& b) {
  const int left = std::min(a.x, b.x), top = std::min(a.y, b.y);
  const int right = std::max(a.x + a.width, b.x + b.width), bottom = std::max(a.y + a.height, b.y + b.height);
  return {left, top, right - left, bottom - top};
}

bool Contains(const ScreenRect& outer, const ScreenRect& inner) {
  return inner.x >= outer.x && inner.y >= outer.y && inner.x + inner.width <= outer.x + outer.width &&
         inner.y + inner.height <= outer.y + outer.height;
}

int64_t Area(const ScreenRect& r) { return static_cast<int64_t>(r.width) * r.height; }

}  // namespace

void AddDamageRect(std::vector<ScreenRect>* rects, const ScreenRect& rect, size_t max_rects) {
  if (rect.empty()) return;
  const int left = Clamp(rect.x), top = Clamp(rect.y);
  const int right = Clamp(static_cast<int>(std::min<int64_t>(static_cast<int64_t>(rect.x) + rect.width, kMaxCoordinate)));
  const int bottom =
      Clamp(static_cast<int>(std::min<int64_t>(static_cast<int64_t>(rect.y) + rect.height, kMaxCoordinate)));
  const ScreenRect added{left, top, right - left, bottom - top};
  if (added.empty()) return;
  for (const ScreenRect& kept : *rects)
    if (Contains(kept, added)) return;
  std::erase_if(*rects, [&](const ScreenRect& kept) { return Contains(added, kept); });
  rects->push_back(added);
  max_rects = std::max<size_t>(max_rects, 1);
  while (rects->size() > max_rects) {
    size_t best_i = 0, best_j = 1;
    int64_t best_waste = std::numeric_limits<int64_t>::max();
    for (size_t i = 0; i < rects->size(); ++i)
      for (size_t j = i + 1; j < rects->size(); ++j) {
        const ScreenRect& a = (*rects)[i];
        const ScreenRect& b = (*rects)[j];
        const int64_t waste = Area(Bound(a, b)) - Area(a) - Area(b);
        if (waste < best_waste) {
          best_waste = waste;
          best_i = i;
          best_j = j;
        }
      }
    (*rects)[best_i] = Bound((*rects)[best_i], (*rects)[best_j]);
    rects->erase(rects->begin() + static_cast<std::ptrdiff_t>(best_j));
  }
}

}  // namespace vz

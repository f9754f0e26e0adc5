#include "platform/ui/region_subtract.h"

#include <algorithm>

namespace vz {

WindowRegion SubtractRect(const WindowRegion& region, const Rect& cut) {
  WindowRegion out;
  out.reserve(region.size() + 3);
  for (const Rect& r : region) {
    const Rect overlap = r.Intersect(cut);
    if (overlap.IsEmpty()) {
      if (!r.IsEmpty()) out.push_back(r);
      continue;
    }
    if (r.top < overlap.top) out.push_back({r.left, r.top, r.right, overlap.top});
    if (r.left < overlap.left) out.push_back({r.left, overlap.top, overlap.left, overlap.bottom});
    if (overlap.right < r.right) out.push_back({overlap.right, overlap.top, r.right, overlap.bottom});
    if (overlap.bottom < r.bottom) out.push_back({r.left, overlap.bottom, r.right, r.bottom});
  }
  return out;
}

}  // namespace vz

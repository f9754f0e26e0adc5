#pragma once
// A bounded set of damaged rectangles: drawing reports are merged into at
// most a fixed number of boxes, so a flood of small reports costs a fixed
// amount of memory and a fixed number of probes, and no part drawn is lost
// (every rectangle added lies inside the union of the boxes kept).
//
// Threading: none of its own; the caller guards the vector.
#include <cstddef>
#include <vector>

#include "platform/screen/screen_source.h"

namespace vz {

// At most this many boxes are kept between two capture rounds.
inline constexpr size_t kMaxDamageRects = 8;

// Adds `rect` to `rects` (empty rectangles are ignored). A rectangle inside
// a kept box adds nothing; kept boxes inside `rect` go; when the count would
// pass `max_rects` (at least 1), the two boxes whose bounding box wastes the
// least area become that bounding box. Coordinates are clamped so that
// x + width and y + height do not overflow.
void AddDamageRect(std::vector<ScreenRect>* rects, const ScreenRect& rect, size_t max_rects = kMaxDamageRects);

}  // namespace vz

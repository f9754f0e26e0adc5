#pragma once
// Region arithmetic for the window layer: what is left of a region when
// rectangles are taken out of it. The result is a list of disjoint
// rectangles, in a fixed order for the same input, so two results can be
// compared to tell whether anything changed.
#include "platform/ui/window.h"

namespace vz {

// `region` (disjoint rectangles) without `cut`: each rectangle splits into
// at most four (the bands above and below `cut`, then its left and right).
WindowRegion SubtractRect(const WindowRegion& region, const Rect& cut);

}  // namespace vz

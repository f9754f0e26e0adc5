#pragma once
// Strokes reduced to what the overlay can show: the overlay draws at whole
// pixels, so a point that repeats the one kept before it, or that lies on
// the straight run from the point kept before it to the next one, adds
// nothing to a stroke (nor to its fill) and is dropped. What is drawn is the
// same; only the painting of it is cheaper. The first and last points are
// always kept. Linear in the number of points.
#include <vector>

#include "platform/ui/ui_types.h"

namespace vzannotation {

std::vector<vz::Point> SimplifyStroke(const std::vector<vz::Point>& points);

}  // namespace vzannotation

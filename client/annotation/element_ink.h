#pragma once
// What an element costs to paint, as the pixels its pen and fill cover
// ("ink"): each segment of a stroke, line or arrow covers its length plus
// the pen's width (the round join) times the pen's width; a rectangle's or
// ellipse's outline its perimeter the same way, and a fill its box. Pixels
// covered twice count twice, as the painter pays for them twice. Stroking a
// wide pen across the screen costs far more than its points say; this is
// the measure the drawing model limits.
#include <cstdint>

#include "client/annotation/draw_element.h"

namespace vzannotation {

// Saturates at INT64_MAX; never negative.
int64_t InkOf(const CDrawElement& element);

}  // namespace vzannotation

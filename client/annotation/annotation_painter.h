#pragma once
// Paints the drawing model's elements onto a canvas, oldest first, over a
// fully transparent background: strokes, lines and arrows as runs of lines
// from (x0 - 1, y0 - 1) through every point (so one point shows as a dot),
// rectangles and ellipses in the box of their two points. Filled elements
// are filled, then every element is outlined with a pen of its weight
// (mitred joins for rectangles and ellipses, round for the rest).
// UI thread only.
#include <cstdint>

#include "client/annotation/draw_objects.h"
#include "platform/ui/canvas.h"

// An element colour 0xAABBGGRR as the canvas colour 0xAARRGGBB (alpha kept).
vz::Color AnnotationColorToArgb(uint32_t color);

// The pixels an element with these bounds (CDrawElement::getBounds, or a
// damage rectangle of the model) may touch: its anti-aliased edge and the
// dot that starts a one-pixel stroke included.
vz::Rect AnnotationPaintReach(const vz::Rect& bounds);

void PaintAnnotationElement(vz::Canvas& canvas, const CDrawElement& element);
// Clears the canvas's clip area to transparent and paints every element
// that reaches into it (a partial repaint gives the pixels a whole one
// would). Returns the number of elements painted.
int32_t PaintAnnotationElements(vz::Canvas& canvas, const CDrawObjects& objects);

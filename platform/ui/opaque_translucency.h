#pragma once
// How a translucent window is shown on a display without per-pixel alpha (no
// compositing manager, a 24-bit window): the window is cut to a 1-bit shape
// and what remains is shown opaque.
//
// - Colours: the window's premultiplied pixels are written with their alpha
//   undone, so an edge shows its own colour instead of darkening towards
//   black (premultiplied bytes on a 24-bit window look like a dark fringe).
// - Shape: a pixel is kept when its alpha passes an ordered 4x4 threshold, so
//   a stroke of alpha a keeps about a/255 of its pixels: a highlighter or a
//   translucent fill stays visible and lets what is under it show through,
//   rather than vanishing below a fixed cut. Fully opaque pixels are always
//   kept, fully transparent ones never.
// Pure functions; any thread.
#include <cstdint>
#include <vector>

#include "platform/ui/image.h"
#include "platform/ui/ui_types.h"

namespace vz {

// Whether the shape keeps a pixel of that alpha at (x, y).
bool StippleKeeps(uint8_t alpha, int x, int y);

// The shape of `image` as a 1-bit mask: rows of (width + 7) / 8 bytes, the
// least significant bit first (X11's LSBFirst bitmap order).
std::vector<uint8_t> StippleMask(const Image& image);

// The pixels of `area` (inside the image; clipped) with the alpha undone and
// the alpha byte 255, row after row of area.Width() pixels.
std::vector<uint32_t> OpaqueColours(const Image& image, const Rect& area);

}  // namespace vz

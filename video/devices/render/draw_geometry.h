#pragma once
// Where a picture and its overlays go inside a target rectangle.
#include "video/devices/render/video_draw.h"

// The picture rectangle for `source` in `target`: with aspect mode 1 the
// picture keeps its aspect ratio and is centred (letterbox or pillarbox),
// the shorter side truncated; equal aspects, any other mode or an empty
// source or target give the target itself.
void FitRect(Rect* out, const Rect& source, const Rect& target, int32_t aspect_mode = 1);

// An overlay's rectangle in the target: with kOverlayFractions the values
// are fractions of the target's width and height; otherwise pixel
// distances from the target's left/top edge, or from its right/bottom edge
// when flag bit 0 (left), 1 (right), 2 (top) or 3 (bottom) is set.
void GetOverlayRect(const Rect& target, const OverlayDesc& overlay, int32_t image_width, int32_t image_height,
                    Rect* out);

#pragma once
// Where a picture goes inside a target rectangle.
#include "video/devices/render/video_draw.h"

// The picture rectangle for `source` in `target`: with aspect mode 1 the
// picture keeps its aspect ratio and is centred (letterbox or pillarbox),
// the shorter side truncated; equal aspects, any other mode or an empty
// source or target give the target itself.
void FitRect(Rect* out, const Rect& source, const Rect& target, int32_t aspect_mode = 1);

#pragma once
// Cursors of the annotation tools: a PNG of the resource library with its
// hot spot, alpha kept. UI thread only.
#include <cstdint>
#include <optional>

#include "platform/ui/image.h"

struct AlphaCursor {
  vz::Image image;
  vz::Point hotspot;
};

// Loads the PNG with that id and logs "size (%d, %d)"; nothing (logged)
// when the image is missing or not a PNG.
std::optional<AlphaCursor> CreateAlphaCursor(uint32_t resource_id, vz::Point hotspot);

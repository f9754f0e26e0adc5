#pragma once
// Reads what a window of the display shows (for checks and for saving a
// picture of a window): the window's area, opaque colours.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/ui/image.h"

namespace vz {

// Nothing, logged, when the display cannot be opened, the window is gone
// or unmapped, or its visual is not 8-bit RGB.
std::optional<Image> GrabX11Window(const std::string& display_name, uint64_t window);

}  // namespace vz

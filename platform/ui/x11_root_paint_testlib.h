#pragma once
// Test support for display tests above the platform: paints on the root
// window of an X server through a connection of its own, as another client
// would.
#include <cstdint>
#include <string>

namespace vz {

// Fills a rectangle of the root window with 0xRRGGBB; false when the
// display cannot be opened.
bool FillRootRectangle(const std::string& display, int x, int y, int width, int height, uint32_t rgb);

}  // namespace vz

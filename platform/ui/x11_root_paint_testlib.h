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

namespace vz {

// Sets the first monitor to a mode of `width` x `height` through RandR (made
// when the server has none), as a display settings tool would; false when
// the server refuses or has no RandR.
bool SetScreenSize(const std::string& display, int width, int height);

}  // namespace vz

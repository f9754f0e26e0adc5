#pragma once
// Byte positions of the colour channels in the packed RGB formats.
#include "video/devices/color/color_kernels.h"

namespace nsVZVP {

struct PackedLayout {
  int bytes;  // per pixel
  int r, g, b;
  int a;  // -1 for the 24-bit formats
};

constexpr PackedLayout LayoutOf(PackedIndex index) {
  switch (index) {
    case kPackedRgb24: return {3, 0, 1, 2, -1};
    case kPackedBgr24: return {3, 2, 1, 0, -1};
    case kPackedRgba32: return {4, 0, 1, 2, 3};
    case kPackedBgra32: return {4, 2, 1, 0, 3};
    case kPackedAbgr32: return {4, 3, 2, 1, 0};
    case kPackedArgb32: return {4, 1, 2, 3, 0};
    default: return {2, -1, -1, -1, -1};
  }
}

// The value every kernel writes into the fourth byte of a 32-bit pixel:
// opaque, so a picture reads the same whichever kernel made it.
constexpr uint8_t kOpaqueAlpha = 255;

}  // namespace nsVZVP

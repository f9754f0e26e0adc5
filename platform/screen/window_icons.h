#pragma once
// A window's own icons as an X client publishes them (_NET_WM_ICON): one or
// more images, each as a width, a height and width * height pixels, every
// value in one 32-bit property item (Xlib hands them out as longs). The
// property is another program's data: every size is checked against what is
// left of it before anything is taken.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vz {

// One icon: plain (not premultiplied) 0xAARRGGBB pixels, rows top first.
struct ScreenIcon {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> argb;  // width * height
};

// Sides above this are taken for damage, not for an icon.
inline constexpr int kMaxWindowIconSide = 1024;
// The most items read of a property: an icon of the largest side with every
// smaller usual size (512 down to 16) after it. Items past it are not read.
inline constexpr size_t kMaxWindowIconItems = 1024 * 1024 + 512 * 512 + 256 * 256 + 128 * 128 + 96 * 96 + 64 * 64 +
                                              48 * 48 + 32 * 32 + 24 * 24 + 16 * 16 + 2 * 10;

// The icons of a property's items, in the order they come. Parsing stops at
// the first entry whose side is 0 or above kMaxWindowIconSide or whose
// pixels run past the end (a cut or damaged property) or past the first
// kMaxWindowIconItems items: the icons before it are kept. Only the low 32
// bits of a pixel item count. Never allocates more pixels than `items`
// holds.
std::vector<ScreenIcon> ParseWindowIcons(std::span<const unsigned long> items);

}  // namespace vz

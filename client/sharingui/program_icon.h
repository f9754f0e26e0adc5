#pragma once
// The program icon of a window's thumbnail: of the sizes the window
// publishes, the one nearest 32 pixels, scaled to 32 x 32.
#include <vector>

#include "platform/screen/window_icons.h"
#include "platform/ui/image.h"

namespace program_icon {

inline constexpr int kSide = 32;

// The icon whose longer side is nearest kSide; of two as near, the larger
// (shrinking keeps more detail than growing). Null for no icons.
const vz::ScreenIcon* Nearest(const std::vector<vz::ScreenIcon>& icons);
// That icon as a kSide x kSide image: scaled to fit with its shape kept,
// centred, transparent around it. Empty for no icons.
vz::Image FromWindowIcons(const std::vector<vz::ScreenIcon>& icons);

}  // namespace program_icon

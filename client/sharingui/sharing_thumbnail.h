#pragma once
// The selection window's 192 x 192 thumbnail of a monitor or a window: a
// base of grey rings around an inner colour (the meeting's header colour
// while the target is shared, else white), and the target's pixels scaled
// to fit 180 x 180, centred, in a grey frame one pixel wider.
#include <cstdint>
#include <optional>

#include "platform/ui/canvas.h"
#include "platform/ui/image.h"

namespace sharing_thumbnail {

inline constexpr int kSize = 192;
inline constexpr int kFit = 180;  // 192 - 12
inline constexpr vz::Color kFrame = 0xFF808080;

// `header_background` is a COLORREF (the meeting config's HeaderBgColor).
vz::Image Base(bool shared, uint32_t header_background);
// Where a target of that size lies in the thumbnail; none for an empty
// size (a minimised or zero-sized window), which is never divided by.
std::optional<vz::Rect> Fit(int width, int height);
// Base, frame and the pixels stretched into the fitted rectangle; `width`
// and `height` are the target's (the pixels may be fewer when part of it
// was off the screen: they are stretched all the same).
vz::Image Compose(const vz::Image& pixels, int width, int height, bool shared, uint32_t header_background);

}  // namespace sharing_thumbnail

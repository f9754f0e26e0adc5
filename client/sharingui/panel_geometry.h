#pragma once
// The floating panel's geometry, apart from its window: where its buttons,
// label and Stop button lie, the shape of the panel, the slide steps and the
// drag limits. Pure arithmetic on client sizes, so the numbers are checked
// without windows.
#include <array>
#include <optional>

#include "platform/ui/window.h"

namespace panel_geometry {

inline constexpr int kButtonRowHeight = 52;  // the row of buttons; also how far the panel hides
inline constexpr int kButtonsLeft = 20;
inline constexpr int kSlideStep = 6;
inline constexpr int kHiddenTop = -52;
inline constexpr int kEdgeMargin = 4;  // drag limit from the primary screen's sides

// The five row buttons in their order: Audio, Share, Control, Laser, Annotate.
enum RowButton { kAudio = 0, kShare, kControl, kLaser, kAnnotate, kRowButtonCount };

// The row buttons' rectangles for a client width: n = 5 minus the hidden
// Audio and Control buttons, w = (width - 40) / n from x = 20, each w x 52.
// A hidden button has no rectangle.
std::array<std::optional<vz::Rect>, kRowButtonCount> RowButtonRects(int client_width, bool audio_visible,
                                                                    bool control_visible);
// The meeting-id label: (52, 59), 162 x 20.
vz::Rect MeetingIdLabelRect();
// The Stop button: (215, 52), 173 x (client height - 53).
vz::Rect StopButtonRect(int client_height);

// The panel's shape for a window size, as rows of rectangles: the rounded
// rectangle (6, 0)-(width - 6, 52) with 8 x 8 corners, the rectangle
// (6, 0)-(width - 6, height / 2) and the rounded tab (48, 44)-(width - 48,
// height) with 8 x 8 corners.
vz::WindowRegion PanelRegion(int width, int height);
bool RegionContains(const vz::WindowRegion& region, vz::Point point);

// The panel's top-centre rectangle on a desktop of that width.
vz::Rect TopCentre(int desktop_width, vz::Size panel);

// One slide step: the new top, and whether the slide has ended there.
struct SlideStep {
  int top;
  bool done;
};
SlideStep SlideUp(int top);
SlideStep SlideDown(int top);

// A drag step: the panel moved by dx, kept on the top edge, its left edge at
// 4 or more and its right edge at most 4 short of the primary screen's width.
vz::Rect Dragged(const vz::Rect& panel, int dx, int primary_width);

}  // namespace panel_geometry

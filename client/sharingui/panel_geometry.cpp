#include "client/sharingui/panel_geometry.h"

#include <cmath>

namespace panel_geometry {

namespace {

constexpr int kCornerSize = 8;  // the corner ellipse's width and height

// A rectangle with rounded corners as rows: the corner rows are cut in by
// the ellipse of the corner size, as a region of the system would be.
void AddRoundRect(vz::WindowRegion& region, const vz::Rect& rect) {
  if (rect.IsEmpty()) return;
  const double radius = kCornerSize / 2.0;
  const int corner_rows = std::min(kCornerSize / 2, rect.Height() / 2);
  for (int row = 0; row < corner_rows; ++row) {
    const double dy = radius - (row + 0.5);
    const int inset = static_cast<int>(std::ceil(radius - std::sqrt(radius * radius - dy * dy) - 0.5));
    region.push_back({rect.left + inset, rect.top + row, rect.right - inset, rect.top + row + 1});
    region.push_back({rect.left + inset, rect.bottom - row - 1, rect.right - inset, rect.bottom - row});
  }
  region.push_back({rect.left, rect.top + corner_rows, rect.right, rect.bottom - corner_rows});
}

}  // namespace

std::array<std::optional<vz::Rect>, kRowButtonCount> RowButtonRects(int client_width, bool audio_visible,
                                                                    bool control_visible) {
  const int count = kRowButtonCount - (audio_visible ? 0 : 1) - (control_visible ? 0 : 1);
  const int width = (client_width - 2 * kButtonsLeft) / count;
  std::array<std::optional<vz::Rect>, kRowButtonCount> rects;
  int x = kButtonsLeft;
  for (int button = 0; button < kRowButtonCount; ++button) {
    if ((button == kAudio && !audio_visible) || (button == kControl && !control_visible)) continue;
    rects[button] = vz::Rect::FromXYWH(x, 0, width, kButtonRowHeight);
    x += width;
  }
  return rects;
}

vz::Rect MeetingIdLabelRect() { return vz::Rect::FromXYWH(52, 59, 162, 20); }

vz::Rect StopButtonRect(int client_height) { return vz::Rect::FromXYWH(215, 52, 173, client_height - 53); }

vz::WindowRegion PanelRegion(int width, int height) {
  vz::WindowRegion region;
  AddRoundRect(region, {6, 0, width - 6, kButtonRowHeight});
  region.push_back({6, 0, width - 6, height / 2});
  AddRoundRect(region, {48, 44, width - 48, height});
  return region;
}

bool RegionContains(const vz::WindowRegion& region, vz::Point point) {
  for (const vz::Rect& rect : region) {
    if (rect.Contains(point)) return true;
  }
  return false;
}

vz::Rect TopCentre(int desktop_width, vz::Size panel) {
  return vz::Rect::FromXYWH((desktop_width - panel.width) / 2, 0, panel.width, panel.height);
}

SlideStep SlideUp(int top) {
  const int next = top - kSlideStep;
  if (next < kHiddenTop) return {kHiddenTop, true};
  return {next, false};
}

SlideStep SlideDown(int top) {
  const int next = top + kSlideStep;
  if (next >= 1) return {0, true};
  return {next, false};
}

vz::Rect Dragged(const vz::Rect& panel, int dx, int primary_width) {
  int left = panel.left + dx;
  if (left < kEdgeMargin) left = kEdgeMargin;
  const int limit = primary_width - kEdgeMargin;
  if (left + panel.Width() > limit) left = limit - panel.Width();
  return vz::Rect::FromXYWH(left, 0, panel.Width(), panel.Height());
}

}  // namespace panel_geometry

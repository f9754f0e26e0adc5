#pragma once
// Geometry of the indicator windows: device pixels (the capture's
// coordinates) to window-manager coordinates, the ring of a frame and the
// shape of the covered-area shadow. Pure functions, any thread.
#include <string>
#include <vector>

#include "contracts/capture_records.h"
#include "platform/ui/ui_types.h"
#include "platform/ui/window.h"

namespace vzgrab {

inline constexpr int kFrameRingWidth = 5;

inline vz::Rect ToRect(const VzRect& r) { return {r.left, r.top, r.right, r.bottom}; }
inline VzRect ToVzRect(const vz::Rect& r) { return {r.left, r.top, r.right, r.bottom}; }

// A rectangle as the log writes it: "{l, t, r, b}(w, h)", "(null)" for none.
std::string RectText(const VzRect* r);

// x' = (x - Rect.left) / DpiScale + LogicalRect.left, y' likewise with the
// tops, each truncated. A scale that is not positive counts as 1.
vz::Point DeviceToLogical(vz::Point device, const MonitorInfo& monitor);
vz::Rect DeviceToLogical(const vz::Rect& device, const MonitorInfo& monitor);
// The reverse, for a cursor position: (x - LogicalRect.left) x DpiScale + Rect.left.
vz::Point LogicalToDevice(vz::Point logical, const MonitorInfo& monitor);

// The window area minus the same area shrunk by `width` on every side, as
// at most four bands (top, bottom, left, right). A window too small to have
// an inside is all ring.
vz::WindowRegion RingRegion(vz::Size size, int width = kFrameRingWidth);

// True when no rectangle of the region has a positive area. There is no
// upper limit: a region of many rectangles is not empty.
bool IsRegionEmpty(const std::vector<VzRect>& region);

// The shadow's shape: the covered region (device pixels) in window-manager
// coordinates, cut to the shared window's rectangle (window-manager
// coordinates) and moved to that rectangle's origin. Empty when nothing of
// it lies on the window.
vz::WindowRegion ShadowShape(const std::vector<VzRect>& covered, const MonitorInfo& monitor,
                             const vz::Rect& window_logical);

}  // namespace vzgrab

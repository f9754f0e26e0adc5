#pragma once
// Which part of the shared area is visible and which part other windows
// cover, found by walking the top-level windows from the top down. Run on
// the capture thread only (in rounds and at screen set-up).
#include <functional>

#include "capture/monitors/multi_monitor.h"
#include "capture/monitors/screen_region.h"
#include "platform/screen/screen_source.h"

// Whether a window belongs to the capture itself (indicators, host windows
// named by the caller): such windows never count and never cover.
using IsOwnWindowFn = std::function<bool(VzWindowHandle)>;

// Indicator frames are drawn round the shared area and must not cut it.
inline constexpr const char* kIndicatorFrameClass = "VELZAR_INDICATORFRAME";

class CSharingRgnController {
 public:
  // `own_process_id`: this process; its menu-like windows never cover.
  explicit CSharingRgnController(int32_t own_process_id) : own_process_id_(own_process_id) {}

  // Walks the windows of `source` and recomputes the visible, full and
  // covered shared regions, cut to `monitor_region`. True when the visible
  // and full regions are the same as after the previous walk.
  //
  // Below every window lies the desktop, as large as the screen: it is shared
  // whenever a monitor is, so that moving a window over a shared monitor
  // changes nothing.
  bool Update(const CScreenRegion& monitor_region, CMultiMonitor& monitors, vz::ScreenSource& source,
              const IsOwnWindowFn& is_own_window);
  void ResetRgn();

  const CScreenRegion& visible_shared_for_testing() const { return visible_shared_; }
  const CScreenRegion& full_shared() const { return full_shared_; }
  const CScreenRegion& covered() const { return covered_; }

 private:
  int32_t own_process_id_;
  CScreenRegion occluders_;
  CScreenRegion visible_shared_;
  CScreenRegion full_shared_;
  CScreenRegion covered_;
};

#pragma once
// The border frames round what is shared: one frame per captured monitor
// while monitors are shared, one per shared window while a window is
// shared. The capture controller drives it from its helper's messages:
// reset (rebuild for what is shared now), update (destroy all) and refresh
// done (frames to their normal colour, shadows rebuilt). UI thread only.
#include <cstdint>
#include <memory>
#include <vector>

#include "capture/indicators/indicator_frame.h"
#include "capture/indicators/indicator_host.h"
#include "contracts/capture_records.h"
#include "platform/ui/window.h"

namespace vzgrab {

// A shared window with the record of the monitor that holds it.
struct SharedWindowFrame {
  ApplicationInfo window;
  MonitorInfo monitor;
};

class CIndicatorController {
 public:
  // `system` null: the process's window system at each call
  // (vz::WindowSystem::Current()); with none, nothing is shown.
  explicit CIndicatorController(IndicatorHost& host, vz::WindowSystem* system = nullptr);
  ~CIndicatorController();
  CIndicatorController(const CIndicatorController&) = delete;
  CIndicatorController& operator=(const CIndicatorController&) = delete;

  // Monitors shared: the window frames go; a monitor frame whose MonitorId
  // is still captured is set dim and rebuilt, the others go; every other
  // captured monitor gets a new dim frame.
  void ShowMonitorFrames(const std::vector<MonitorInfo>& captured, uint32_t header_bg_color);
  // A window shared: the monitor frames go; each shared window's frame is
  // set dim and rebuilt, or made; frames of windows no longer shared go.
  void ShowWindowFrames(const std::vector<SharedWindowFrame>& shared, uint32_t header_bg_color);
  void DestroyAllIndictorFrames();
  // The first full refresh is done: every frame leaves the dim state and
  // every window frame rebuilds its shadow from the covered region (device
  // pixels).
  void OnRefreshDone(const std::vector<VzRect>& covered);

  const std::vector<std::unique_ptr<CIndicatorFrame>>& monitor_frames() const { return monitor_frames_; }
  const std::vector<std::unique_ptr<CIndicatorFrame>>& window_frames() const { return window_frames_; }

 private:
  vz::WindowSystem* System() const;

  IndicatorHost& host_;
  vz::WindowSystem* system_;
  std::vector<std::unique_ptr<CIndicatorFrame>> monitor_frames_;
  std::vector<std::unique_ptr<CIndicatorFrame>> window_frames_;
};

}  // namespace vzgrab

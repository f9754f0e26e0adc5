#pragma once
// CMultiMonitorScreenSet: the controller's monitor set built from the
// monitor list, the window walk that cuts covering windows out of a shared
// window, and one change-detecting grabber per monitor in play.
//
// Threading as IScreenSet says: lists and marks under the monitor set's
// lock; the grabbers, the walk and the rounds on the capture thread.
#include <functional>

#include "capture/controller/screen_set.h"
#include "capture/monitors/capture_screens.h"
#include "capture/monitors/multi_monitor.h"
#include "capture/monitors/sharing_rgn_controller.h"

class CMultiMonitorScreenSet : public IScreenSet {
 public:
  // `own_process_id`: this process, whose windows are never listed.
  explicit CMultiMonitorScreenSet(int32_t own_process_id);
  ~CMultiMonitorScreenSet() override;

  void SetCaptureContext(int32_t capture_mode, int32_t block_width, int32_t block_height, uint32_t header_colour,
                         std::function<bool(VzWindowHandle)> is_own_window) override;
  void Reset(vz::ScreenSource* source) override;
  MonitorList* RefreshMonitors(vz::ScreenSource* source) override;
  ApplicationList* RefreshWindows(vz::ScreenSource* source) override;
  int32_t ShareMonitor(int32_t monitor_id, int32_t share) override;
  int32_t ShareWindow(VzWindowHandle window, int32_t share) override;
  bool SharedWindowMoved(vz::ScreenSource* source) override;
  bool InitScreen(vz::ScreenSource* source, int32_t* max_width, int32_t* max_height) override;
  void EndScreen() override;
  bool UpdateRegions(vz::ScreenSource* source) override;
  bool ScanAndSend(vz::ScreenSource* source, IScreenDataHandOver* sender) override;
  bool DumpAll(vz::ScreenSource* source, IScreenDataHandOver* sender) override;
  void FillSharingInfo(SharingInfo* info) override;
  bool MonitorAtLogicalPoint(int32_t x, int32_t y, MonitorInfo* out) override;
  int32_t SharedMonitorAtPoint(int32_t x, int32_t y, VzRect* monitor_rect) override;

  // The covered part of the shared area, for the presenter's shadow.
  CScreenRegion CoveredRegion() { return monitors_.CoveredRegion(); }

 private:
  CaptureRoundSettings Settings();

  CMultiMonitor monitors_;
  CSharingRgnController regions_;
  CCaptureScreens screens_;
  CriticalSectionLock context_lock_;  // guards the context below
  CaptureRoundSettings settings_;
  IsOwnWindowFn is_own_window_;
};

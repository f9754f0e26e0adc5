#pragma once
// What the capture controller needs of the monitor set, the shared region and
// the per-monitor grabbers, and what it offers them back (the screen-data
// hand-over). The controller holds one IScreenSet; tests give it a scripted
// one.
//
// Threading: the set guards its lists and marks with its own lock, since the
// caller's thread (lists, share marks) and the capture thread (everything
// else) both use it. Capture-thread operations are called under the
// controller lock. Screen sources belong to the thread that passes them.
#include <cstdint>
#include <functional>

#include "contracts/capture_records.h"

namespace vz {
class ScreenSource;
}

// The whole-monitor image a grabber hands over: 32-bit pixels (B, G, R, X),
// `stride` bytes a row, top row first unless `bottom_up`.
struct CaptureMonitorImage {
  const uint8_t* bits = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  int32_t stride = 0;
  bool bottom_up = false;
};

class IScreenDataHandOver {
 public:
  // Hands the pixels of `box` (monitor coordinates) to the sink as one
  // CaptureScreenData; true when the sink took it. Capture thread.
  virtual bool SendScreenData(int32_t monitor_id, const VzRect* monitor_rect, int32_t bits_per_pixel,
                              const VzRect* box, const CaptureMonitorImage& source) = 0;
  // True while the capture thread is being stopped: nothing more is sent.
  virtual bool IsStopping() const = 0;

 protected:
  ~IScreenDataHandOver() = default;
};

class IScreenSet {
 public:
  virtual ~IScreenSet() = default;

  // Caller's thread, before the capture thread starts: the capture mode (2
  // widens changed boxes to the block grid), the block size, the meeting's
  // HeaderBgColor (it paints the covered parts of a shared window) and the
  // test for the capture's own windows, which never count and never cover.
  // The test may be called on the capture thread. Sets that use none of it
  // ignore it.
  virtual void SetCaptureContext(int32_t capture_mode, int32_t block_width, int32_t block_height,
                                 uint32_t header_colour, std::function<bool(VzWindowHandle)> is_own_window) {
    (void)capture_mode, (void)block_width, (void)block_height, (void)header_colour, (void)is_own_window;
  }

  // Any thread.
  // Forgets the lists, the marks and the regions, then refreshes the monitors.
  virtual void Reset(vz::ScreenSource* source) = 0;
  virtual MonitorList* RefreshMonitors(vz::ScreenSource* source) = 0;
  virtual ApplicationList* RefreshWindows(vz::ScreenSource* source) = 0;
  // 1 when the marks changed, 0 otherwise (unknown id or handle included).
  virtual int32_t ShareMonitor(int32_t monitor_id, int32_t share) = 0;
  virtual int32_t ShareWindow(VzWindowHandle window, int32_t share) = 0;

  // Capture thread.
  // True when a shared window moved or changed size since it was last seen.
  virtual bool SharedWindowMoved(vz::ScreenSource* source) = 0;
  // Builds the grabbers of the monitors in play; the largest width and
  // height among them (0 when none could be built: false).
  virtual bool InitScreen(vz::ScreenSource* source, int32_t* max_width, int32_t* max_height) = 0;
  virtual void EndScreen() = 0;
  // Recomputes the shared and covered regions; true when they changed.
  virtual bool UpdateRegions(vz::ScreenSource* source) = 0;
  // One incremental scan and send over every grabber; true when the sink
  // took any data.
  virtual bool ScanAndSend(vz::ScreenSource* source, IScreenDataHandOver* sender) = 0;
  // Copies and sends every grabber's whole monitor; true when any copied.
  virtual bool DumpAll(vz::ScreenSource* source, IScreenDataHandOver* sender) = 0;
  // SharingInfo's IsDesktopSharing, SharedRect, captured monitors and shared
  // windows (the rest of the record is the controller's).
  virtual void FillSharingInfo(SharingInfo* info) = 0;
  // The monitor whose LogicalRect holds a point of the window manager's
  // coordinates; false when none.
  virtual bool MonitorAtLogicalPoint(int32_t x, int32_t y, MonitorInfo* out) = 0;
  // The captured monitor holding a device point of the shared area (0: none)
  // and its Rect.
  virtual int32_t SharedMonitorAtPoint(int32_t x, int32_t y, VzRect* monitor_rect) = 0;
};

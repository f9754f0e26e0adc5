#pragma once
// The screen capture's operations (vzgrab), called by the sharing engine on
// the thread that created the capture. A table of operations in slot order;
// there is no destructor slot: the object is released through the library's
// second export. Also the capture's callbacks (IVzGrabProviderSink) and the
// types of the library's two exports.
//
// Slots 6, 8, 17 and 20 return nothing here: the sharing engine forwards them
// and no caller reads a result.
#include <cstdint>

#include "contracts/capture_records.h"
#include "contracts/session_records.h"

class IVzGrabProvider {
 public:
  virtual MonitorList* GetMonitorList() = 0;                      // 0
  virtual ApplicationList* GetWindowList() = 0;                   // 1
  virtual int32_t ShareMonitor(MonitorInfo* monitor, int32_t share) = 0;
  virtual int32_t ShareWindow(ApplicationInfo* window, int32_t share) = 0;
  virtual int32_t StartCapture(MeetConfig* meet_config, int32_t mode) = 0;  // 4; the config may be null
  virtual int32_t StopCapture() = 0;
  virtual void CaptureNow() = 0;                                  // 6
  virtual void Refresh() = 0;
  virtual void SetCaptureHold(int32_t value) = 0;
  virtual int32_t GetCaptureHold() = 0;
  virtual int32_t ShowPointerWindow(int32_t show) = 0;            // 10
  virtual int32_t IsPointerWindowShown() = 0;
  virtual int32_t ShowArrowIndicator(const char16_t* label, uint32_t color, VzPoint* point) = 0;
  virtual int32_t SetArrowIndicatorText(const char16_t* label, uint32_t color) = 0;
  virtual int32_t SetExcludedWindow1(VzWindowHandle window) = 0;  // 14
  virtual int32_t SetExcludedWindow2(VzWindowHandle window) = 0;
  virtual int32_t SetExcludedWindow3(VzWindowHandle window) = 0;
  virtual void SetCursorCapture(int32_t enable) = 0;              // 17
  virtual int32_t SetBlankScreenMode(int32_t on) = 0;
  virtual int32_t IsBlankScreenActive() = 0;
  virtual void SetSendBacklog(uint32_t value) = 0;                // 20

 protected:
  ~IVzGrabProvider() = default;
};

// Implemented by the sharing engine; the capture calls it on the thread that
// created the capture, while its capture thread waits. The records are the
// capture's and valid only during the call. A result above 0 means delivered.
class IVzGrabProviderSink {
 public:
  virtual int32_t OnDSKeSharingInfo(SharingInfo* info) = 0;         // 0; on every change of what is shared
  virtual int32_t OnDSKeMouseInfo(CaptureMouseInfo* mouse) = 0;     // 1; null: no cursor
  virtual int32_t OnDSKeScreenData(CaptureScreenData* data) = 0;    // 2; one changed box
  virtual int32_t OnDSKeSharingStatus(int32_t paused) = 0;          // 3

 protected:
  ~IVzGrabProviderSink() = default;
};

// vzgrab export 1 ("DSCreateCapture"): the capture for a sink; null for a
// null sink or while another capture of the process is alive.
using DSCreateCaptureFn = IVzGrabProvider* (*)(IVzGrabProviderSink* sink);
// vzgrab export 2 ("DSReleaseCapture"): releases the capture. 1, or 0 for a
// pointer that is not the live capture (which then stays alive).
using DSReleaseCaptureFn = int32_t (*)(IVzGrabProvider* provider);

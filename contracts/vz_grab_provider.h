#pragma once
// The screen capture's operations (vzgrab), called by the sharing engine on
// the thread that created the capture. A table of operations in slot order;
// there is no destructor slot: the object is released through the library's
// second export.
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

// The capture callbacks (implemented by the sharing engine). The capture side
// calls the first three only on the thread that created it, while its capture
// thread waits for the result; records belong to the capture side and are
// valid only during the call. The fourth is never called.
class IVzGrabProviderSink {
 public:
  virtual int32_t OnDSKeSharingInfo(SharingInfo* info) = 0;       // result ignored
  virtual int32_t OnDSKeMouseInfo(CaptureMouseInfo* mouse) = 0;   // result ignored
  virtual int32_t OnDSKeScreenData(CaptureScreenData* data) = 0;  // > 0: taken
  virtual int32_t OnDSKeSharingStatus(int32_t paused) = 0;

 protected:
  ~IVzGrabProviderSink() = default;
};

// The library's two exports, by ordinal (1 and 2).
using DSCreateCaptureFn = IVzGrabProvider* (*)(IVzGrabProviderSink* sink);
using DSReleaseCaptureFn = int32_t (*)(IVzGrabProvider* provider);

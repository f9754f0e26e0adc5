#pragma once
// The video engine (vzvideo) and the meeting client's side of it: the
// engine's operations (IAVProvider), the client's callbacks
// (IAVProviderSink) and the types of the library's two exports.
#include <cstdint>

#include "contracts/network_proxy_entry.h"
#include "contracts/session_records.h"
#include "contracts/session_status.h"

// Implemented by the meeting client; called only on the thread that created
// the engine. Results are not used.
class IAVProviderSink {
 public:
  // status: a SessionStatus (idle, connecting or reconnecting, joined, left).
  virtual int32_t OnAVStatusNotification(int32_t status, int32_t broadcasted) = 0;
  virtual int32_t OnAVVideoBroadcasted(int32_t broadcasted, const char* roster_id) = 0;
  virtual int32_t OnAVVideoErrorCode(int32_t code, int32_t code_type) = 0;
  // The local participant's status chosen in the panel.
  virtual int32_t OnAVMyStatusChanged(const char16_t* roster_id, int32_t status) = 0;

 protected:
  ~IAVProviderSink() = default;
};

// 19 operations in slot order and no destructor slot: the client releases
// the engine through the library's second export.
class IAVProvider {
 public:
  // Above 0 when the panel was created and the join started. The proxy may
  // be null; the container window is 0 for none.
  virtual int32_t JoinVideo(MeetConfig* meet_config, AVSessionConfig* session, NetworkProxyEntry* proxy,
                            int32_t container_window) = 0;                   // 0
  virtual int32_t LeaveVideo() = 0;                                          // 1
  virtual int32_t ConfigVideo() = 0;                                         // 2
  virtual int32_t PreviewCapture(int32_t value) = 0;                         // 3
  virtual int32_t Reserved4(int32_t value) = 0;                              // 4: does nothing, 0
  virtual int32_t Reserved5(int32_t value) = 0;                              // 5: does nothing, 0
  virtual int32_t SetVideoLayoutMode(int32_t mode, int32_t* row_column) = 0;  // 6
  virtual int32_t StartMyVideo(int32_t value) = 0;                           // 7; the client passes 0
  virtual int32_t StopMyVideo() = 0;
  virtual int32_t PauseMyVideo() = 0;
  virtual int32_t ResumeMyVideo() = 0;                                       // 10
  virtual int32_t IsMyVideoStarted() = 0;
  virtual int32_t GetCurrentCaptureDevice() = 0;                             // 12; -1 when none
  virtual int32_t SelectCaptureDeviceById(int32_t device_id) = 0;
  virtual void ActivateVideoPanel() = 0;                                     // 14
  virtual int32_t GetVideoStatus() = 0;
  virtual int32_t AppRosterJoined(RosterRecord* roster, int32_t last) = 0;   // 16
  virtual int32_t AppRosterUpdated(RosterRecord* roster) = 0;
  virtual int32_t AppRosterLeft(RosterRecord* roster) = 0;                   // 18

 protected:
  ~IAVProvider() = default;
};

// vzvideo export 1 ("VideoCreateInstance"): the engine for a sink, or null.
using VideoCreateInstanceFn = IAVProvider* (*)(IAVProviderSink* sink);
// vzvideo export 2 ("VideoDeleteInstance"): leaves, releases; null is ignored. Always 1.
using VideoDeleteInstanceFn = int32_t (*)(IAVProvider* engine);

#pragma once
// The sharing engine (vzshare) and the meeting client's side of it: the
// engine's operations (IDSProvider, its first 21 slots those of the screen
// capture), the client's callbacks (IDSProviderSink), the cursor record the
// engine hands over, and the types of the library's two exports.
#include <cstdint>

#include "contracts/capture_records.h"
#include "contracts/vz_grab_provider.h"
#include "contracts/network_proxy_entry.h"
#include "common/vz_binary_data.h"
#include "contracts/ds_command_record.h"
#include "contracts/session_records.h"
#include "contracts/session_status.h"

// An attendee's cursor: the layout of CaptureMouseInfo, with a PNG image
// (Format 30) when a new shape arrives and only MonitorId, X and Y when a
// known shape moves. The data belongs to the engine; valid during the call.
struct CursorInfo {
  int32_t MonitorId;
  int32_t X;
  int32_t Y;
  int32_t Width;
  int32_t Height;
  int32_t HotspotX;
  int32_t HotspotY;
  int32_t Format;
  int32_t DataSize;
  uint8_t* Data;
};

// Implemented by the meeting client; called on the thread that created the
// engine. Records are the engine's and valid only during the call.
class IDSProviderSink {
 public:
  virtual int32_t OnDSStatusNotification(int32_t status) = 0;                   // 0; a SessionStatus
  virtual int32_t OnDSErrorNotification(int32_t code, int32_t code_type) = 0;   // 1
  virtual int32_t OnDSCommand(DSCommandRecord* command) = 0;                     // 2
  virtual int32_t OnDSWebBinary(CVZBinaryData* data) = 0;                       // 3
  virtual int32_t OnMonitorUnshared(MonitorInfo* monitor) = 0;                  // 4
  virtual int32_t OnMonitorShared(MonitorInfo* monitor, uint8_t* frame_pixels) = 0;  // 5
  virtual int32_t OnMonitorUpdated(MonitorInfo* monitor, VzRect* rect) = 0;     // 6
  virtual int32_t OnMouseUpdated(CursorInfo* cursor) = 0;                       // 7; null: no cursor
  virtual int32_t OnSharingInfo(SharingInfo* info) = 0;                         // 8
  virtual int32_t OnSharingStatus(int32_t paused) = 0;                          // 9

 protected:
  ~IDSProviderSink() = default;
};

class IDSProvider : public IVzGrabProvider {
 public:
  virtual int32_t StartDS(MeetConfig* meet_config, DSSessionConfig* session,
                          NetworkProxyEntry* proxy) = 0;     // 21; proxy null: none
  virtual int32_t StopDS() = 0;                              // 22
  virtual MonitorInfo* GetMonitorInfo(int32_t monitor_id) = 0;
  virtual DSSessionConfig* GetSessionConfig() = 0;
  virtual int32_t SendCommand(DSCommandRecord* command) = 0;  // 25
  virtual int32_t SendWebBinary(CVZBinaryData* data) = 0;
  // Hands a capture cursor record to the engine's own capture callback.
  virtual int32_t OnCaptureMouseInfo(CaptureMouseInfo* mouse) = 0;  // 27
  virtual ~IDSProvider() = default;                                  // 28
};

// vzshare export 1 ("DSCreateInstance"): the engine for a sink, or null. The
// client passes mode 1.
using DSCreateInstanceFn = IDSProvider* (*)(IDSProviderSink* sink, int32_t mode);
// vzshare export 2 ("DSDeleteInstance"): releases the engine; null is ignored. Always 1.
using DSDeleteInstanceFn = int32_t (*)(IDSProvider* engine);

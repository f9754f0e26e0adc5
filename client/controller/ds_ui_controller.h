#pragma once
// What the program's controller needs of the sharing UI (the selection
// window, the panel with its stop button, the remote-control and annotation
// windows): one object for each sharing session, created by a successful
// sharing start and destroyed by the next stop. The window layer provides
// it; without a factory sharing runs without a UI.
//
// UI thread only. Every pointer argument belongs to the caller and is valid
// only during the call.
#include <cstdint>
#include <memory>

#include "contracts/capture_records.h"
#include "contracts/ds_provider.h"
#include "contracts/session_records.h"

class CAppWinComponentsController;

class IDSUIController {
 public:
  virtual ~IDSUIController() = default;

  // State of the session and of the meeting.
  virtual void updateMeetConfig(const MeetConfig* config) = 0;
  virtual void updateAudioStatus(int32_t status, int32_t muted) = 0;
  // kind: 1 joined, 2 left, 3 updated.
  virtual void updateRosterStatus(int32_t kind, RosterRecord* roster) = 0;
  virtual void updateDSSessionStatus(int32_t status) = 0;
  virtual void updateDSSessionError(int32_t code, int32_t code_type) = 0;
  // Brings the sharing target selection back (a repeated start).
  virtual void showDSSelectionWindow(int32_t show) = 0;
  // 1 while a participant holds remote control.
  virtual void setRemoteControlIndicator(int32_t on) = 0;

  // The sharing engine's callbacks for the UI.
  virtual void updateDSCommand(DSCommandRecord* command) = 0;
  virtual void monitorShared(MonitorInfo* monitor, uint8_t* frame_pixels) = 0;
  virtual void monitorUnShared(MonitorInfo* monitor) = 0;
  virtual void monitorUpdated(MonitorInfo* monitor, VzRect* rect) = 0;
  virtual void mouseUpdated(CursorInfo* cursor) = 0;  // null: no cursor
  virtual void updateDSSharingInfo(SharingInfo* info) = 0;

  // The session ended: windows down, before the object is destroyed.
  virtual void cleanUp() = 0;
};

class IDSUIControllerFactory {
 public:
  // The UI of a new sharing session of `controller`, or null.
  virtual std::unique_ptr<IDSUIController> CreateDSUIController(CAppWinComponentsController& controller) = 0;

 protected:
  ~IDSUIControllerFactory() = default;
};

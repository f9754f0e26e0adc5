#pragma once
// What the sharing UI asks of the meeting's controller and of the sharing
// engine behind it, and the modal questions and menus it runs. The program
// gives adapters over CAppWinComponentsController and the real windows;
// tests give recording doubles.
//
// UI thread only. Pointers returned stay valid until the next call into
// the owner (they point into the controller's or the engine's records).
#include <cstdint>
#include <string>
#include <vector>

#include "client/sharingui/ds_remote_control_dialog.h"
#include "uikit/vz_popup_menu.h"
#include "contracts/capture_records.h"
#include "contracts/ds_command_record.h"
#include "contracts/session_records.h"

class IDSUIOwner {
 public:
  virtual ~IDSUIOwner() = default;

  // Participants.
  virtual RosterRecord* FindRoster(const char16_t* roster_id) = 0;
  virtual RosterRecord* FindMyRoster() = 0;
  virtual std::u16string MyRosterId() = 0;
  virtual bool IsMyRosterId(const char16_t* roster_id) = 0;
  virtual bool IsRemoteControlRoster(const char16_t* roster_id) = 0;
  virtual RosterRecord* FindRemoteControlRoster() = 0;
  virtual bool IsMyRosterPresenter() = 0;
  // Every participant's roster id, in the controller's key order.
  virtual std::vector<std::u16string> GetRosterList() = 0;
  virtual std::u16string GetMeetId() = 0;

  // The session.
  virtual int32_t GetDSState() = 0;  // 2: joined
  virtual bool IsQuickStart() = 0;
  virtual void RequestStopSharing() = 0;

  // The sharing engine (null or 0 without one).
  virtual MonitorList* GetMonitorList() = 0;
  virtual ApplicationList* GetWindowList() = 0;
  virtual MonitorInfo* GetMonitorInfo(int32_t monitor_id) = 0;
  virtual int32_t ShareMonitor(MonitorInfo* monitor, int32_t share) = 0;
  virtual int32_t ShareWindow(ApplicationInfo* window, int32_t share) = 0;
  virtual void CaptureNow() = 0;
  virtual int32_t ShowPointerWindow(int32_t show) = 0;
  virtual int32_t ShowArrowIndicator(const char16_t* label, uint32_t color, VzPoint* point) = 0;
  virtual int32_t SetArrowIndicatorText(const char16_t* label, uint32_t color) = 0;
  virtual int32_t SetExcludedWindow1(VzWindowHandle window) = 0;
  virtual int32_t SetExcludedWindow2(VzWindowHandle window) = 0;
  virtual int32_t SendCommand(DSCommandRecord* command) = 0;
  // Whether a window of the display still exists.
  virtual bool IsWindowAlive(VzWindowHandle window) = 0;

  // Remote control (the controller keeps the controlling roster id).
  virtual void SetRemoteControlRosterId(const char16_t* roster_id) = 0;
  virtual void SetRemoteControlPaused() = 0;
  virtual void StopRemoteControlTo(const char16_t* roster_id) = 0;
  // Tells the web page that a control request was refused (the report of
  // a denied request).
  virtual void ReportRemoteControlDenied() = 0;

  // Audio, asked of the web page.
  virtual void CommandAudioJoin() = 0;
  virtual void CommandAudioMute() = 0;
  virtual void CommandAudioUnmute() = 0;
  virtual void CommandAudioLeave() = 0;
};

// The modal parts: each runs a nested loop in the program, so the session
// may stop while one is open; CloseAll ends every one that is open.
class IDSUIDialogs {
 public:
  virtual ~IDSUIDialogs() = default;
  virtual bool AskRemoteControl(const DialogText& message, const DialogText& accept, const DialogText& refuse,
                                uint32_t icon) = 0;
  // The stop question (yes/no) over the panel; true for yes.
  virtual bool AskStopSharing(vz::Window* owner) = 0;
  // Shows the menu at a screen point; the chosen command id or 0.
  virtual uint32_t TrackMenu(CVzPopupMenuBase& menu, vz::Point at) = 0;
  virtual void CloseAll() = 0;
};

// The real questions and menus of the window layer.
class CDSUIDialogs : public IDSUIDialogs {
 public:
  explicit CDSUIDialogs(vz::WindowSystem* system) : system_(system) {}
  bool AskRemoteControl(const DialogText& message, const DialogText& accept, const DialogText& refuse,
                        uint32_t icon) override;
  bool AskStopSharing(vz::Window* owner) override;
  uint32_t TrackMenu(CVzPopupMenuBase& menu, vz::Point at) override;
  void CloseAll() override;

 private:
  vz::WindowSystem* system_;
  CVzPopupMenuBase* tracking_ = nullptr;
};

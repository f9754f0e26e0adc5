#pragma once
// CAppWinComponentsController: the meeting components controller that the
// program runs, embedded in the main frame. On top of the platform-neutral
// controller it tells the main frame of every state change and error
// through AppWinComponentsControllerDelegate, and it keeps the sharing UI:
// one is created by each sharing start that the engine took and destroyed
// by the next stop, and it hears the session's state changes and the
// sharing engine's monitor, cursor, command and info callbacks. Without a UI
// factory (until the window layer gives one) those are logged and dropped.
//
// Lives on the UI thread, as its base.
#include <cstdint>
#include <memory>

#include "client/controller/app_components_controller.h"
#include "client/controller/ds_ui_controller.h"
#include "client/controller/frame_dump.h"
#include "platform/run_loop.h"

// What the main frame hears from the controller. UI thread only.
class AppWinComponentsControllerDelegate {
 public:
  // status 2: the pipe to the web page is connected; anything else: it is not.
  virtual void OnAppUpdateListenerStatus(int32_t status, int32_t code) = 0;
  virtual void OnAppUpdateDSSessionStatus(int32_t status) = 0;
  virtual void OnAppUpdateDSSessionError(int32_t error, int32_t code_type) = 0;
  virtual void OnAppUpdateACSessionStatus(int32_t status, int32_t muted) = 0;
  virtual void OnAppUpdateACSessionError(int32_t error, int32_t code_type) = 0;
  virtual void OnAppUpdateAVSessionStatus(int32_t status, int32_t broadcasted) = 0;
  virtual void OnAppUpdateAVSessionError(int32_t error, int32_t code_type) = 0;
  // The sharing panel asked to stop sharing.
  virtual void OnAppRequestStopSharing() = 0;
  // The web page asked to leave audio: a pending rejoin after a device
  // change must not override that.
  virtual void OnAppRequestLeaveAudio() = 0;

 protected:
  ~AppWinComponentsControllerDelegate() = default;
};

class CAppWinComponentsController : public CAppComponentsController {
 public:
  explicit CAppWinComponentsController(const ControllerPorts& ports = ControllerPorts());
  // Forgets the delegate, then the base releases the engines and the link.
  ~CAppWinComponentsController() override;

  // Null: no delegate (nothing is told).
  void SetDelegate(AppWinComponentsControllerDelegate* delegate) { delegate_ = delegate; }
  AppWinComponentsControllerDelegate* delegate() const { return delegate_; }
  // Where sharing UIs come from; null: sessions run without one. Stays the
  // caller's.
  void SetSharingUIFactory(IDSUIControllerFactory* factory) { ui_factory_ = factory; }
  // The running session's UI, or null.
  IDSUIController* sharing_ui_for_testing() const { return sharing_ui_.get(); }

  // The sharing engine's callbacks for the UI: each logged, handed to the
  // UI when there is one; 1.
  int32_t OnDSCommand(DSCommandRecord* command) override;
  int32_t OnMonitorUnshared(MonitorInfo* monitor) override;
  int32_t OnMonitorShared(MonitorInfo* monitor, uint8_t* frame_pixels) override;
  int32_t OnMonitorUpdated(MonitorInfo* monitor, VzRect* rect) override;
  int32_t OnMouseUpdated(CursorInfo* cursor) override;
  int32_t OnSharingInfo(SharingInfo* info) override;
  int32_t OnSharingStatus(int32_t paused) override;

  int32_t OnAppSocketListener(int32_t status, int32_t code) override;
  int32_t OnAppCmdMeetConfig(MeetConfig* config) override;
  int32_t ConfigNetworkProxy() override;
  int32_t LeaveVideo() override;
  int32_t OnACSessionRequestLeave(const char16_t* conf_id) override;

  // The base start; a start the engine took gets a new UI, a repeated start
  // of the running session brings its selection window back. Always 1.
  int32_t StartDS() override;
  // The frame dump lets the session's frame go, the base stop runs, then
  // the UI goes: 1 when there was one, else 0.
  int32_t StopDs() override;
  void SetRemoteControlRosterId(const char16_t* roster_id) override;

  void NotifyRosterStatusChanged(int32_t kind, RosterRecord* roster) override;
  void NotifySharingStatusChanged(int32_t status) override;
  void NotifySharingError(int32_t code, int32_t code_type) override;
  void NotifyAudioStatusChanged(int32_t status, int32_t muted) override;
  void NotifyAudioMuted(int32_t muted) override;
  void NotifyAudioError(int32_t code, int32_t code_type) override;
  void NotifyVideoStatusChanged(int32_t status, int32_t broadcasted) override;
  void NotifyVideoError(int32_t code, int32_t code_type) override;

 private:
  AppWinComponentsControllerDelegate* delegate_ = nullptr;
  IDSUIControllerFactory* ui_factory_ = nullptr;
  std::unique_ptr<IDSUIController> sharing_ui_;
  // The attendee's rebuilt frame for diagnostics: written with or without a
  // display, since a sharing UI exists only with one.
  CFrameDump frame_dump_;
  // Writes a held-back update when its interval ends, so the last update of
  // a burst reaches the file although no other follows; the loop while armed.
  void ArmFrameDumpFlush();
  vz::RunLoop* frame_dump_loop_ = nullptr;
};

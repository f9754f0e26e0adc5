#pragma once
// CAppWinComponentsController: the meeting components controller that the
// program runs, embedded in the main frame. On top of the platform-neutral
// controller it tells the main frame of every state change and error
// through AppWinComponentsControllerDelegate.
//
// The sharing UI (created with each sharing session, handed the sharing
// engine's monitor, cursor, command and info callbacks) joins this class
// with the window layer; until then those callbacks are logged and dropped.
//
// Lives on the UI thread, as its base.
#include <cstdint>

#include "client/controller/app_components_controller.h"

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

  int32_t OnAppSocketListener(int32_t status, int32_t code) override;
  int32_t ConfigNetworkProxy() override;
  int32_t LeaveVideo() override;
  int32_t OnACSessionRequestLeave(const char16_t* conf_id) override;

  void NotifySharingStatusChanged(int32_t status) override;
  void NotifySharingError(int32_t code, int32_t code_type) override;
  void NotifyAudioStatusChanged(int32_t status, int32_t muted) override;
  void NotifyAudioError(int32_t code, int32_t code_type) override;
  void NotifyVideoStatusChanged(int32_t status, int32_t broadcasted) override;
  void NotifyVideoError(int32_t code, int32_t code_type) override;

 private:
  AppWinComponentsControllerDelegate* delegate_ = nullptr;
};

// The program's meeting components controller: the base's handling, then
// the main frame is told.
#include "client/controller/app_win_components_controller.h"

#include "common/trace_client.h"

CAppWinComponentsController::CAppWinComponentsController(const ControllerPorts& ports)
    : CAppComponentsController(ports) {
  VZ_LOG_OBJ("");
}

CAppWinComponentsController::~CAppWinComponentsController() {
  VZ_LOG_OBJ("");
  delegate_ = nullptr;
}

int32_t CAppWinComponentsController::OnAppSocketListener(int32_t status, int32_t code) {
  VZ_LOG("status [%d], code [%d]", status, code);
  CAppComponentsController::OnAppSocketListener(status, code);
  if (delegate_) delegate_->OnAppUpdateListenerStatus(status, code);
  return 1;
}

int32_t CAppWinComponentsController::ConfigNetworkProxy() { return 1; }

int32_t CAppWinComponentsController::LeaveVideo() {
  VZ_LOG("");
  CAppComponentsController::LeaveVideo();
  return 1;
}

int32_t CAppWinComponentsController::OnACSessionRequestLeave(const char16_t* conf_id) {
  // First, so that the leave is not undone by a rejoin that was waiting.
  if (delegate_) delegate_->OnAppRequestLeaveAudio();
  return CAppComponentsController::OnACSessionRequestLeave(conf_id);
}

void CAppWinComponentsController::NotifySharingStatusChanged(int32_t status) {
  CAppComponentsController::NotifySharingStatusChanged(status);
  if (delegate_) delegate_->OnAppUpdateDSSessionStatus(status);
}

void CAppWinComponentsController::NotifySharingError(int32_t code, int32_t code_type) {
  CAppComponentsController::NotifySharingError(code, code_type);
  if (delegate_) delegate_->OnAppUpdateDSSessionError(code, code_type);
}

void CAppWinComponentsController::NotifyAudioStatusChanged(int32_t status, int32_t muted) {
  CAppComponentsController::NotifyAudioStatusChanged(status, muted);
  if (delegate_) delegate_->OnAppUpdateACSessionStatus(status, muted);
}

void CAppWinComponentsController::NotifyAudioError(int32_t code, int32_t code_type) {
  CAppComponentsController::NotifyAudioError(code, code_type);
  if (delegate_) delegate_->OnAppUpdateACSessionError(code, code_type);
}

void CAppWinComponentsController::NotifyVideoStatusChanged(int32_t status, int32_t broadcasted) {
  CAppComponentsController::NotifyVideoStatusChanged(status, broadcasted);
  if (delegate_) delegate_->OnAppUpdateAVSessionStatus(status, broadcasted);
}

void CAppWinComponentsController::NotifyVideoError(int32_t code, int32_t code_type) {
  CAppComponentsController::NotifyVideoError(code, code_type);
  if (delegate_) delegate_->OnAppUpdateAVSessionError(code, code_type);
}

// The program's meeting components controller: the base's handling, then
// the main frame is told and the sharing UI updated.
#include "client/controller/app_win_components_controller.h"

#include "common/trace_client.h"
#include "platform/clock.h"
#include "platform/run_loop.h"
#include "platform/ui/modal_loop.h"

namespace {
constexpr uintptr_t kFrameDumpTimer = 1;
}  // namespace

CAppWinComponentsController::CAppWinComponentsController(const ControllerPorts& ports)
    : CAppComponentsController(ports) {
  VZ_LOG_OBJ("");
}

CAppWinComponentsController::~CAppWinComponentsController() {
  VZ_LOG_OBJ("");
  delegate_ = nullptr;
  if (frame_dump_loop_) frame_dump_loop_->KillTimer(this, kFrameDumpTimer);
  // A UI still up (no stop came) goes before the controller it uses.
  if (sharing_ui_) sharing_ui_->cleanUp();
  sharing_ui_.reset();
}

// ---------------------------------------------------------------------------
// The sharing UI's share of the sharing engine's callbacks.

int32_t CAppWinComponentsController::OnDSCommand(DSCommandRecord* command) {
  if (sharing_ui_) sharing_ui_->updateDSCommand(command);
  return 1;
}

int32_t CAppWinComponentsController::OnMonitorUnshared(MonitorInfo* monitor) {
  VZ_LOG("");
  frame_dump_.Unshared(monitor);
  if (sharing_ui_) sharing_ui_->monitorUnShared(monitor);
  return 1;
}

int32_t CAppWinComponentsController::OnMonitorShared(MonitorInfo* monitor, uint8_t* frame_pixels) {
  VZ_LOG("");
  frame_dump_.Shared(monitor, frame_pixels);
  if (sharing_ui_) sharing_ui_->monitorShared(monitor, frame_pixels);
  return 1;
}

int32_t CAppWinComponentsController::OnMonitorUpdated(MonitorInfo* monitor, VzRect* rect) {
  VZ_LOG("");
  frame_dump_.Updated(monitor, vz::MonotonicUs());
  if (frame_dump_.pending()) ArmFrameDumpFlush();
  if (sharing_ui_) sharing_ui_->monitorUpdated(monitor, rect);
  return 1;
}

void CAppWinComponentsController::ArmFrameDumpFlush() {
  vz::RunLoop* loop = vz::RunLoop::Current();
  if (loop == nullptr || frame_dump_loop_ != nullptr) return;
  const uint64_t now = vz::MonotonicUs();
  const uint64_t due = frame_dump_.DueUs();
  const uint32_t ms = static_cast<uint32_t>(due > now ? (due - now) / 1000 + 1 : 1);
  if (!loop->StartTimer(this, kFrameDumpTimer, ms, [this] {
        frame_dump_loop_->KillTimer(this, kFrameDumpTimer);
        frame_dump_loop_ = nullptr;
        frame_dump_.Flush(vz::MonotonicUs());
      }))
    return;
  frame_dump_loop_ = loop;
}

int32_t CAppWinComponentsController::OnMouseUpdated(CursorInfo* cursor) {
  VZ_LOG("");
  if (sharing_ui_) sharing_ui_->mouseUpdated(cursor);
  return 1;
}

int32_t CAppWinComponentsController::OnSharingInfo(SharingInfo* info) {
  VZ_LOG("");
  if (info == nullptr) return 1;
  VZ_LOG("desktop sharing ? [%d]", info->IsDesktopSharing);
  if (sharing_ui_) sharing_ui_->updateDSSharingInfo(info);
  return 1;
}

int32_t CAppWinComponentsController::OnSharingStatus(int32_t paused) {
  VZ_LOG("bPaused : %d", paused);
  return 1;
}

// ---------------------------------------------------------------------------
// The sharing session and its UI.

int32_t CAppWinComponentsController::StartDS() {
  if (CAppComponentsController::StartDS() == kLaunchIssued) {
    // The base start ran StopDs first, so no earlier UI is left.
    sharing_ui_ = ui_factory_ ? ui_factory_->CreateDSUIController(*this) : nullptr;
    if (sharing_ui_) {
      sharing_ui_->updateMeetConfig(&GetMeetConfig());
      sharing_ui_->updateAudioStatus(GetACState(), GetAudioRequest().IsMuted);
    }
  } else if (GetDSState() == kSessionJoined && sharing_ui_) {
    sharing_ui_->showDSSelectionWindow(1);
  }
  return 1;
}

int32_t CAppWinComponentsController::StopDs() {
  // The engine frees its frames at the stop without telling us: an update
  // held back is written while the frame is still there, then the dump lets
  // the frame go (and its flush with it).
  if (frame_dump_loop_ != nullptr) {
    frame_dump_loop_->KillTimer(this, kFrameDumpTimer);
    frame_dump_loop_ = nullptr;
  }
  frame_dump_.Flush(vz::MonotonicUs());
  frame_dump_.Forget();
  CAppComponentsController::StopDs();
  if (!sharing_ui_) return 0;
  sharing_ui_->cleanUp();
  // Inside a nested loop (a question of the UI is open) the UI may be on the
  // stack below: it goes once the loop's dispatch has unwound.
  vz::RunLoop* loop = vz::RunLoop::Current();
  if (vz::ModalLoop::Innermost() != nullptr && loop != nullptr) {
    vz::DeleteSoon(*loop, std::move(sharing_ui_));
  } else {
    sharing_ui_.reset();
  }
  return 1;
}

void CAppWinComponentsController::SetRemoteControlRosterId(const char16_t* roster_id) {
  CAppComponentsController::SetRemoteControlRosterId(roster_id);
  if (sharing_ui_) sharing_ui_->setRemoteControlIndicator(FindRemoteControlRoster() ? 1 : 0);
}

int32_t CAppWinComponentsController::OnAppCmdMeetConfig(MeetConfig* config) {
  CAppComponentsController::OnAppCmdMeetConfig(config);
  if (sharing_ui_) sharing_ui_->updateMeetConfig(&GetMeetConfig());
  return 1;
}

// ---------------------------------------------------------------------------
// Other requests.

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

// ---------------------------------------------------------------------------
// State changes: the state (in the base), the main frame, the sharing UI.

void CAppWinComponentsController::NotifyRosterStatusChanged(int32_t kind, RosterRecord* roster) {
  CAppComponentsController::NotifyRosterStatusChanged(kind, roster);
  if (sharing_ui_) sharing_ui_->updateRosterStatus(kind, roster);
}

void CAppWinComponentsController::NotifySharingStatusChanged(int32_t status) {
  CAppComponentsController::NotifySharingStatusChanged(status);
  if (delegate_) delegate_->OnAppUpdateDSSessionStatus(status);
  if (sharing_ui_) sharing_ui_->updateDSSessionStatus(status);
}

void CAppWinComponentsController::NotifySharingError(int32_t code, int32_t code_type) {
  CAppComponentsController::NotifySharingError(code, code_type);
  if (delegate_) delegate_->OnAppUpdateDSSessionError(code, code_type);
  if (sharing_ui_) sharing_ui_->updateDSSessionError(code, code_type);
}

void CAppWinComponentsController::NotifyAudioStatusChanged(int32_t status, int32_t muted) {
  CAppComponentsController::NotifyAudioStatusChanged(status, muted);
  if (delegate_) delegate_->OnAppUpdateACSessionStatus(status, muted);
  if (sharing_ui_) sharing_ui_->updateAudioStatus(status, muted);
}

void CAppWinComponentsController::NotifyAudioMuted(int32_t muted) {
  CAppComponentsController::NotifyAudioMuted(muted);
  if (sharing_ui_) sharing_ui_->updateAudioStatus(GetACState(), muted);
}

void CAppWinComponentsController::NotifyAudioError(int32_t code, int32_t code_type) {
  CAppComponentsController::NotifyAudioError(code, code_type);
  if (delegate_) delegate_->OnAppUpdateACSessionError(code, code_type);
  if (sharing_ui_) sharing_ui_->updateAudioStatus(kSessionEnded, 0);
}

void CAppWinComponentsController::NotifyVideoStatusChanged(int32_t status, int32_t broadcasted) {
  CAppComponentsController::NotifyVideoStatusChanged(status, broadcasted);
  if (delegate_) delegate_->OnAppUpdateAVSessionStatus(status, broadcasted);
}

void CAppWinComponentsController::NotifyVideoError(int32_t code, int32_t code_type) {
  CAppComponentsController::NotifyVideoError(code, code_type);
  if (delegate_) delegate_->OnAppUpdateAVSessionError(code, code_type);
}

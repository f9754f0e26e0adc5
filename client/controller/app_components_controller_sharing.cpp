// The sharing road of the meeting components controller: the web page's
// sharing requests, the start and stop of the sharing engine, its status,
// error and data callbacks, remote control and the engine operations the
// sharing UI uses.
#include <cstring>
#include <string_view>

#include "client/controller/app_components_controller.h"
#include "client/controller/logged_token.h"
#include "common/string_helpers.h"
#include "common/trace_client.h"
#include "platform/text.h"

namespace {

// The port of a sharing request that names none.
constexpr int32_t kDefaultSharingTcpPort = 443;

bool SameText(const char16_t* a, const char16_t* b) { return std::u16string_view(a) == std::u16string_view(b); }

}  // namespace

// ---------------------------------------------------------------------------
// Requests from the web page.

int32_t CAppComponentsController::OnDSSessionRequestStart(DSSessionConfig* session) {
  VZ_LOG("");
  if (session == nullptr) {
    VZ_LOG_ERROR("no sharing request");
    return 0;
  }
  VZ_LOGW(u"server addr [%s]", session->ServerAddr);
  VZ_LOGW(u"server ip [%s]", session->ServerIp);
  VZ_LOGW(u"token [%s]", LoggedToken(session->Token));
  VZ_LOGW(u"MeetId [%s]", session->MeetId);
  VZ_LOGW(u"DSId [%s]", session->DSId);
  VZ_LOGW(u"Is presenter [%d]", session->IsPresenter);
  std::memcpy(&ds_request_, session, sizeof(ds_request_));
  if (ds_request_.TcpPort == 0) ds_request_.TcpPort = kDefaultSharingTcpPort;
  return StartDS();
}

int32_t CAppComponentsController::OnDSSessionRequestQuickStart(DSSessionConfig* session) {
  VZ_LOG("");
  if (session == nullptr) {
    VZ_LOG_ERROR("no sharing request");
    return 0;
  }
  quick_start_ = 1;
  return OnDSSessionRequestStart(session);
}

int32_t CAppComponentsController::OnDSSessionRequestWebJoin(DSSessionConfig* session) {
  VZ_LOG("");
  if (session == nullptr) return 0;
  session->IsWebAttendee = 1;
  return OnDSSessionRequestJoin(session);
}

int32_t CAppComponentsController::OnDSSessionRequestJoin(DSSessionConfig* session) {
  VZ_LOG("");
  if (session == nullptr) {
    VZ_LOG_ERROR("no sharing request");
    return 0;
  }
  VZ_LOGW(u"server addr [%s]", session->ServerAddr);
  VZ_LOGW(u"token [%s]", LoggedToken(session->Token));
  VZ_LOGW(u"MeetId [%s]", session->MeetId);
  VZ_LOGW(u"DSId [%s]", session->DSId);
  std::memcpy(&ds_request_, session, sizeof(ds_request_));
  ds_request_.IsPresenter = 0;
  if (ds_request_.TcpPort == 0) ds_request_.TcpPort = kDefaultSharingTcpPort;
  return StartDS();
}

int32_t CAppComponentsController::OnDSSessionRequestUpdate(DSSessionConfig* session) {
  VZ_LOG("");
  if (session == nullptr || !share_) {
    VZ_LOG_ERROR("wrong config or ds not start.");
    return 0;
  }
  StopDs();
  std::memcpy(&ds_request_, session, sizeof(ds_request_));
  if (ds_request_.TcpPort == 0) ds_request_.TcpPort = kDefaultSharingTcpPort;
  return StartDS();
}

int32_t CAppComponentsController::OnDSSessionRequestStop(const char16_t*) {
  VZ_LOG("");
  quick_start_ = 0;
  StopDs();
  NotifySharingStatusChanged(kSessionEnded);
  ReportDSSessionStatus(kSessionEnded);
  return 1;
}

int32_t CAppComponentsController::OnDSDataCommand(CVZBinaryData* data) {
  VZ_LOG("");
  // Only a participant who watches from the web page sends data through here.
  if (data != nullptr && ds_request_.IsWebAttendee != 0 && share_) share_->SendWebBinary(data);
  return 1;
}

// ---------------------------------------------------------------------------
// Engine operations.

bool CAppComponentsController::MakeShareEngine() {
  share_ = engines().NewShareWrapper();
  if (!share_) return false;
  share_sink_ = std::make_unique<DSProviderSinkRelay>(*this, release_queue_);
  return share_->CreateInstance(share_sink_.get(), 1) != 0;
}

int32_t CAppComponentsController::StartDS() {
  VZ_LOG("");
  if (IsMyRosterInvisible() || meet_config_.SharingEnabled == 0) {
    VZ_LOG_ERROR("DS is disabled by config.");
    ReportDSSessionError(kDisabledByConfigCode, kDisabledByConfigCodeType);
    ReportDSSessionStatus(kSessionIdle);
    return 0;
  }
  if (share_ && (ds_state_ == kSessionJoined || ds_state_ == kSessionConnecting)) {
    const DSSessionConfig* running = share_->GetSessionConfig();
    if (running != nullptr && SameText(running->DSId, ds_request_.DSId)) {
      if (ds_state_ == kSessionJoined) {
        VZ_LOG_ERROR("sharing already started/joined. notify web page.");
        ReportDSSessionStatus(kSessionJoined);
      } else {
        VZ_LOG_ERROR("sharing is connecting, don't need do anything.");
      }
      return 0;
    }
  }
  VZ_COLLECT("DS presenter [%d] web [%d]", ds_request_.IsPresenter, ds_request_.IsWebAttendee);
  VZ_LOGW(u"DS presenter [%d] web [%d] addr [%s] ip [%s] token [%s] roster [%s] ds id [%s]", ds_request_.IsPresenter,
          ds_request_.IsWebAttendee, ds_request_.ServerAddr, ds_request_.ServerIp, LoggedToken(ds_request_.Token),
          ds_request_.RosterId, ds_request_.DSId);
  StopDs();
  NotifySharingStatusChanged(kSessionConnecting);
  ReportDSSessionStatus(kSessionConnecting);

  if (MakeShareEngine() && share_->StartDS(&meet_config_, &ds_request_, GetNetworkProxyEntry()) != 0) return 1;
  // The web page heard "connecting": it hears the end too, and nothing of
  // the failed start is kept.
  VZ_LOG_ERROR("the sharing engine did not take the start");
  DestroyShareEngine();
  NotifySharingStatusChanged(kSessionEnded);
  ReportDSSessionStatus(kSessionEnded);
  return 0;
}

int32_t CAppComponentsController::StopDs() {
  VZ_LOG("");
  if (share_) {
    share_->StopDS();
    DestroyShareEngine();
  }
  // Without an engine the stop command to the holder finds nothing to go through.
  SetRemoteControlRosterId(nullptr);
  ds_state_ = kSessionIdle;
  return 1;
}

MonitorList* CAppComponentsController::GetMonitorList() { return share_ ? share_->GetMonitorList() : nullptr; }

ApplicationList* CAppComponentsController::GetWindowList() { return share_ ? share_->GetWindowList() : nullptr; }

MonitorInfo* CAppComponentsController::GetMonitorInfo(int32_t monitor_id) {
  return share_ ? share_->GetMonitorInfo(monitor_id) : nullptr;
}

int32_t CAppComponentsController::ShareMonitor(MonitorInfo* monitor, int32_t share) {
  VZ_LOG("share [%d]", share);
  return share_ ? share_->ShareMonitor(monitor, share) : 0;
}

int32_t CAppComponentsController::ShareWindow(ApplicationInfo* window, int32_t share) {
  VZ_LOG("share [%d]", share);
  return share_ ? share_->ShareWindow(window, share) : 0;
}

int32_t CAppComponentsController::SendCommand(DSCommandRecord* command) {
  return share_ ? share_->SendCommand(command) : 0;
}

void CAppComponentsController::CaptureNow() {
  if (share_) share_->CaptureNow();
}

int32_t CAppComponentsController::ShowPointerWindow(int32_t show) {
  return share_ ? share_->ShowPointerWindow(show) : 0;
}

int32_t CAppComponentsController::IsPointerWindowShown() { return share_ ? share_->IsPointerWindowShown() : 0; }

int32_t CAppComponentsController::ShowArrowIndicator(const char16_t* label, uint32_t color, VzPoint* point) {
  return share_ ? share_->ShowArrowIndicator(label, color, point) : 0;
}

int32_t CAppComponentsController::SetArrowIndicatorText(const char16_t* label, uint32_t color) {
  return share_ ? share_->SetArrowIndicatorText(label, color) : 0;
}

int32_t CAppComponentsController::SetExcludedWindow1(VzWindowHandle window) {
  return share_ ? share_->SetExcludedWindow1(window) : 0;
}

int32_t CAppComponentsController::SetExcludedWindow2(VzWindowHandle window) {
  return share_ ? share_->SetExcludedWindow2(window) : 0;
}

int32_t CAppComponentsController::SetExcludedWindow3(VzWindowHandle window) {
  return share_ ? share_->SetExcludedWindow3(window) : 0;
}

// ---------------------------------------------------------------------------
// Engine callbacks (through the engine's relay, inside a callback scope).

int32_t CAppComponentsController::OnDSStatusNotification(int32_t status) {
  const int32_t presenter = IsMyRosterPresenter();
  VZ_LOG("status [%d] presenter [%d]", status, presenter);
  VZ_COLLECT("status [%d] presenter [%d]", status, presenter);
  ds_state_ = status;
  if (status == kSessionEnded || status == kSessionIdle) {
    StopDs();
  } else if (status == kSessionJoined && presenter && share_) {
    share_->StartCapture(&meet_config_, 2);  // the presenter's screen
  }
  ReportDSSessionStatus(status);
  NotifySharingStatusChanged(status);
  return 1;
}

int32_t CAppComponentsController::OnDSErrorNotification(int32_t code, int32_t code_type) {
  VZ_LOG_ERROR("code [%d], codetype [%d]", code, code_type);
  VZ_COLLECT("code [%d], codetype [%d]", code, code_type);
  StopDs();
  if (code == 9 || code == 4) {
    if (const NetworkProxyEntry* next = NextNetworkProxy()) {
      SetNetworkProxyEntry(next);
      StartDS();
      return 1;
    }
  }
  if (code == 13) {
    NotifySharingError(code, code_type);  // the proxy settings are offered; never reported
    return 1;
  }
  ReportDSSessionError(code, code_type);
  ReportDSSessionStatus(kSessionEnded);
  return 1;
}

int32_t CAppComponentsController::OnDSWebBinary(CVZBinaryData* data) {
  VZ_LOG("");
  return link_ ? link_->WSDSSessionResponseBinary(data, ds_request_.MeetId, ds_request_.DSId) : 0;
}

// The sharing UI's callbacks: the window subclass hands them to the UI.
int32_t CAppComponentsController::OnDSCommand(DSCommandRecord*) { return 1; }
int32_t CAppComponentsController::OnMonitorUnshared(MonitorInfo*) { return 1; }
int32_t CAppComponentsController::OnMonitorShared(MonitorInfo*, uint8_t*) { return 1; }
int32_t CAppComponentsController::OnMonitorUpdated(MonitorInfo*, VzRect*) { return 1; }
int32_t CAppComponentsController::OnMouseUpdated(CursorInfo*) { return 1; }
int32_t CAppComponentsController::OnSharingInfo(SharingInfo*) { return 1; }
int32_t CAppComponentsController::OnSharingStatus(int32_t) { return 1; }

// ---------------------------------------------------------------------------
// Remote control.

void CAppComponentsController::SetRemoteControlRosterId(const char16_t* roster_id) {
  VZ_LOGW(u"rosterid [%s]", roster_id ? roster_id : u"null");
  StopRemoteControl(remote_control_roster_);
  remote_control_roster_[0] = u'\0';
  if (roster_id != nullptr && roster_id[0] != u'\0') {
    vz::CopyUtf16(remote_control_roster_, std::size(remote_control_roster_), roster_id);
    GiveRemoteControl(remote_control_roster_);
  }
}

void CAppComponentsController::StopRemoteControlTo(const char16_t* roster_id) {
  if (roster_id != nullptr) StopRemoteControl(roster_id);
}

void CAppComponentsController::SetRemoteControlPaused() {
  VZ_LOG("");
  if (remote_control_roster_[0] != u'\0') PauseRemoteControl(remote_control_roster_);
}

void CAppComponentsController::GiveRemoteControl(const char16_t* roster_id) {
  SendRemoteControlCommand(DSCommandGiveControl, roster_id);
}

void CAppComponentsController::StopRemoteControl(const char16_t* roster_id) {
  SendRemoteControlCommand(DSCommandStopControl, roster_id);
}

void CAppComponentsController::PauseRemoteControl(const char16_t* roster_id) {
  SendRemoteControlCommand(DSCommandPauseControl, roster_id);
}

void CAppComponentsController::SendRemoteControlCommand(int32_t type, const char16_t* roster_id) {
  const RosterRecord* mine = FindRoster(peer_config_.RosterId);
  if (mine == nullptr || roster_id == nullptr || roster_id[0] == u'\0') return;
  const std::string narrow = WideToNarrow(roster_id);
  if (type == DSCommandGiveControl) VZ_COLLECT("GiveRemoteControl to [%s]", narrow.c_str());
  if (type == DSCommandStopControl) VZ_COLLECT("StopRemoteControl to [%s]", narrow.c_str());
  DSCommandRecord command;
  std::memset(&command, 0, sizeof(command));
  command.Type = type;
  // Ids are cut to 127 units, so both stay terminated.
  vz::CopyUtf16(command.SrcRosterId, std::size(command.SrcRosterId), mine->RosterId);
  vz::CopyUtf16(command.DstRosterId, std::size(command.DstRosterId), roster_id);
  if (share_) share_->SendCommand(&command);
}

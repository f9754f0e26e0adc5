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
  VZ_CHECK_UI_THREAD(ui_thread_);
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
  DSSessionConfig& request = sharing_.request();
  std::memcpy(&request, session, sizeof(request));
  if (request.TcpPort == 0) request.TcpPort = kDefaultSharingTcpPort;
  return StartDS();
}

int32_t CAppComponentsController::OnDSSessionRequestQuickStart(DSSessionConfig* session) {
  VZ_LOG("");
  VZ_CHECK_UI_THREAD(ui_thread_);
  if (session == nullptr) {
    VZ_LOG_ERROR("no sharing request");
    return 0;
  }
  quick_start_ = 1;
  return OnDSSessionRequestStart(session);
}

int32_t CAppComponentsController::OnDSSessionRequestWebJoin(DSSessionConfig* session) {
  VZ_LOG("");
  VZ_CHECK_UI_THREAD(ui_thread_);
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
  DSSessionConfig& request = sharing_.request();
  std::memcpy(&request, session, sizeof(request));
  request.IsPresenter = 0;
  if (request.TcpPort == 0) request.TcpPort = kDefaultSharingTcpPort;
  return StartDS();
}

int32_t CAppComponentsController::OnDSSessionRequestUpdate(DSSessionConfig* session) {
  VZ_LOG("");
  VZ_CHECK_UI_THREAD(ui_thread_);
  if (session == nullptr || !sharing_.engine()) {
    VZ_LOG_ERROR("wrong config or ds not start.");
    return 0;
  }
  StopDs();
  DSSessionConfig& request = sharing_.request();
  std::memcpy(&request, session, sizeof(request));
  if (request.TcpPort == 0) request.TcpPort = kDefaultSharingTcpPort;
  return StartDS();
}

int32_t CAppComponentsController::OnDSSessionRequestStop(const char16_t*) {
  VZ_LOG("");
  VZ_CHECK_UI_THREAD(ui_thread_);
  quick_start_ = 0;
  StopDs();
  NotifySharingStatusChanged(kSessionEnded);
  ReportDSSessionStatus(kSessionEnded);
  return 1;
}

int32_t CAppComponentsController::OnDSDataCommand(CVZBinaryData* data) {
  VZ_LOG("");
  VZ_CHECK_UI_THREAD(ui_thread_);
  // Only a participant who watches from the web page sends data through here.
  CVzShareWrapper* engine = sharing_.engine();
  if (data != nullptr && sharing_.request().IsWebAttendee != 0 && engine) engine->SendWebBinary(data);
  return 1;
}

// ---------------------------------------------------------------------------
// Engine operations.

bool CAppComponentsController::MakeShareEngine() {
  return sharing_.Make(engines_->NewShareWrapper(), *this, release_queue_, ui_thread_, kShareEngineMode);
}

int32_t CAppComponentsController::StartDS() {
  VZ_LOG("");
  VZ_CHECK_UI_THREAD(ui_thread_);
  const DSSessionConfig& request = sharing_.request();
  if (IsMyRosterInvisible() || meet_config_.SharingEnabled == 0) {
    VZ_LOG_ERROR("DS is disabled by config.");
    ReportDSSessionError(kDisabledByConfigCode, kDisabledByConfigCodeType);
    ReportDSSessionStatus(kSessionIdle);
    return kLaunchNotIssued;
  }
  const int32_t status = sharing_.status();
  if (sharing_.engine() && (status == kSessionJoined || status == kSessionConnecting)) {
    const DSSessionConfig* running = sharing_.engine()->GetSessionConfig();
    if (running != nullptr && SameText(running->DSId, request.DSId)) {
      if (status == kSessionJoined) {
        VZ_LOG_ERROR("sharing already started/joined. notify web page.");
        ReportDSSessionStatus(kSessionJoined);
      } else {
        VZ_LOG_ERROR("sharing is connecting, don't need do anything.");
      }
      return kLaunchNotIssued;
    }
  }
  VZ_COLLECT("DS presenter [%d] web [%d]", request.IsPresenter, request.IsWebAttendee);
  VZ_LOGW(u"DS presenter [%d] web [%d] addr [%s] ip [%s] token [%s] roster [%s] ds id [%s]", request.IsPresenter,
          request.IsWebAttendee, request.ServerAddr, request.ServerIp, LoggedToken(request.Token), request.RosterId,
          request.DSId);
  StopDs();
  NotifySharingStatusChanged(kSessionConnecting);
  ReportDSSessionStatus(kSessionConnecting);

  if (MakeShareEngine() &&
      sharing_.engine()->StartDS(&meet_config_, &sharing_.request(), GetNetworkProxyEntry()) != 0) {
    return kLaunchIssued;
  }
  // The web page heard "connecting": it hears the end too, and nothing of
  // the failed start is kept.
  VZ_LOG_ERROR("the sharing engine did not take the start");
  sharing_.Drop(release_queue_);
  NotifySharingStatusChanged(kSessionEnded);
  ReportDSSessionStatus(kSessionEnded);
  return kLaunchNotIssued;
}

int32_t CAppComponentsController::StopDs() {
  VZ_LOG("");
  VZ_CHECK_UI_THREAD(ui_thread_);
  if (CVzShareWrapper* engine = sharing_.engine()) {
    engine->StopDS();
    sharing_.Drop(release_queue_);
  }
  // Without an engine the stop command to the holder finds nothing to go through.
  SetRemoteControlRosterId(nullptr);
  sharing_.set_status(kSessionIdle);
  return 1;
}

MonitorList* CAppComponentsController::GetMonitorList() {
  return sharing_.engine() ? sharing_.engine()->GetMonitorList() : nullptr;
}

ApplicationList* CAppComponentsController::GetWindowList() {
  return sharing_.engine() ? sharing_.engine()->GetWindowList() : nullptr;
}

MonitorInfo* CAppComponentsController::GetMonitorInfo(int32_t monitor_id) {
  return sharing_.engine() ? sharing_.engine()->GetMonitorInfo(monitor_id) : nullptr;
}

int32_t CAppComponentsController::ShareMonitor(MonitorInfo* monitor, int32_t share) {
  VZ_LOG("share [%d]", share);
  return sharing_.engine() ? sharing_.engine()->ShareMonitor(monitor, share) : 0;
}

int32_t CAppComponentsController::ShareWindow(ApplicationInfo* window, int32_t share) {
  VZ_LOG("share [%d]", share);
  return sharing_.engine() ? sharing_.engine()->ShareWindow(window, share) : 0;
}

int32_t CAppComponentsController::SendCommand(DSCommandRecord* command) {
  return sharing_.engine() ? sharing_.engine()->SendCommand(command) : 0;
}

void CAppComponentsController::CaptureNow() {
  if (sharing_.engine()) sharing_.engine()->CaptureNow();
}

int32_t CAppComponentsController::ShowPointerWindow(int32_t show) {
  return sharing_.engine() ? sharing_.engine()->ShowPointerWindow(show) : 0;
}

int32_t CAppComponentsController::IsPointerWindowShown() {
  return sharing_.engine() ? sharing_.engine()->IsPointerWindowShown() : 0;
}

int32_t CAppComponentsController::ShowArrowIndicator(const char16_t* label, uint32_t color, VzPoint* point) {
  return sharing_.engine() ? sharing_.engine()->ShowArrowIndicator(label, color, point) : 0;
}

int32_t CAppComponentsController::SetArrowIndicatorText(const char16_t* label, uint32_t color) {
  return sharing_.engine() ? sharing_.engine()->SetArrowIndicatorText(label, color) : 0;
}

int32_t CAppComponentsController::SetExcludedWindow1(VzWindowHandle window) {
  return sharing_.engine() ? sharing_.engine()->SetExcludedWindow1(window) : 0;
}

int32_t CAppComponentsController::SetExcludedWindow2(VzWindowHandle window) {
  return sharing_.engine() ? sharing_.engine()->SetExcludedWindow2(window) : 0;
}

int32_t CAppComponentsController::SetExcludedWindow3(VzWindowHandle window) {
  return sharing_.engine() ? sharing_.engine()->SetExcludedWindow3(window) : 0;
}

// ---------------------------------------------------------------------------
// Engine callbacks (through the engine's relay, inside a callback scope).

int32_t CAppComponentsController::OnDSStatusNotification(int32_t status) {
  const int32_t presenter = IsMyRosterPresenter();
  VZ_LOG("status [%d] presenter [%d]", status, presenter);
  VZ_COLLECT("status [%d] presenter [%d]", status, presenter);
  sharing_.set_status(status);
  if (status == kSessionEnded || status == kSessionIdle) {
    StopDs();
  } else if (status == kSessionJoined && presenter && sharing_.engine()) {
    sharing_.engine()->StartCapture(&meet_config_, kCapturePresenterScreen);
  }
  ReportDSSessionStatus(status);
  NotifySharingStatusChanged(status);
  return 1;
}

int32_t CAppComponentsController::OnDSErrorNotification(int32_t code, int32_t code_type) {
  VZ_LOG_ERROR("code [%d], codetype [%d]", code, code_type);
  VZ_COLLECT("code [%d], codetype [%d]", code, code_type);
  StopDs();
  if (RetriesThroughNextProxy(code)) {
    if (const NetworkProxyEntry* next = NextNetworkProxy()) {
      SetNetworkProxyEntry(next);
      StartDS();
      return 1;
    }
  }
  if (code == kProxySettingsNeededCode) {
    NotifySharingError(code, code_type);  // the proxy settings are offered; never reported
    return 1;
  }
  ReportDSSessionError(code, code_type);
  ReportDSSessionStatus(kSessionEnded);
  return 1;
}

int32_t CAppComponentsController::OnDSWebBinary(CVZBinaryData* data) {
  VZ_LOG("");
  return link_ ? link_->WSDSSessionResponseBinary(data, sharing_.request().MeetId, sharing_.request().DSId) : 0;
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
  VZ_CHECK_UI_THREAD(ui_thread_);
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
  if (sharing_.engine()) sharing_.engine()->SendCommand(&command);
}

// The video road of the meeting components controller: the web page's video
// requests, the join and leave of the video engine, its callbacks and the
// recovery after its errors.
#include <cstring>

#include "client/controller/app_components_controller.h"
#include "client/controller/logged_token.h"
#include "common/trace_client.h"

// ---------------------------------------------------------------------------
// Requests from the web page.

int32_t CAppComponentsController::OnAVSessionRequestJoin(AVSessionConfig* session) {
  VZ_LOG("");
  VZ_CHECK_UI_THREAD(ui_thread_);
  if (session == nullptr) {
    VZ_LOG_ERROR("no video request");
    return 0;
  }
  VZ_LOGW(u"server addr [%s]", session->ServerAddr);
  VZ_LOGW(u"token [%s]", LoggedToken(session->Token));
  VZ_LOGW(u"MeetId [%s]", session->MeetId);
  VZ_LOG("broadcast [%d]", session->Broadcast);
  std::memcpy(&video_.request(), session, sizeof(AVSessionConfig));
  JoinVideo();
  return 1;
}

int32_t CAppComponentsController::OnAVSessionRequestUpdate(AVSessionConfig* session) {
  VZ_LOG("");
  VZ_CHECK_UI_THREAD(ui_thread_);
  if (session == nullptr || !video_.engine()) return 0;
  VZ_LOGW(u"server addr [%s]", session->ServerAddr);
  VZ_LOGW(u"token [%s]", LoggedToken(session->Token));
  VZ_LOGW(u"MeetId [%s]", session->MeetId);
  LeaveVideo();
  std::memcpy(&video_.request(), session, sizeof(AVSessionConfig));
  JoinVideo();
  return 1;
}

int32_t CAppComponentsController::OnAVSessionRequestLeave(const char16_t*) {
  VZ_LOG("");
  VZ_CHECK_UI_THREAD(ui_thread_);
  if (video_.engine()) video_.engine()->StopMyVideo();
  ReportAVSessionStatus(kSessionEnded);
  LeaveVideo();
  NotifyVideoStatusChanged(kSessionEnded, 0);
  return 1;
}

int32_t CAppComponentsController::OnAVSessionRequestConfig(int32_t) {
  VZ_LOG("");
  VZ_CHECK_UI_THREAD(ui_thread_);
  if (video_.engine()) video_.engine()->ConfigVideo();
  return 1;
}

int32_t CAppComponentsController::OnAVSessionRequestLayout(int32_t, int32_t layout, int32_t* row_column) {
  VZ_LOG("layout [%d]", layout);
  VZ_CHECK_UI_THREAD(ui_thread_);
  if (video_.engine()) video_.engine()->SetVideoLayoutMode(layout, row_column);
  return 1;
}

int32_t CAppComponentsController::OnAVSessionRequestCameraOn(int32_t) {
  VZ_LOG("");
  VZ_CHECK_UI_THREAD(ui_thread_);
  if (video_.engine()) video_.engine()->StartMyVideo(0);
  return 1;
}

int32_t CAppComponentsController::OnAVSessionRequestCameraOff(int32_t) {
  VZ_LOG("");
  VZ_CHECK_UI_THREAD(ui_thread_);
  if (video_.engine()) video_.engine()->StopMyVideo();
  ReportAVSessionBroadcasted(0);
  return 1;
}

// ---------------------------------------------------------------------------
// Engine operations.

int32_t CAppComponentsController::JoinVideo() {
  VZ_LOG("");
  VZ_CHECK_UI_THREAD(ui_thread_);
  AVSessionConfig& request = video_.request();
  if (meet_config_.VideoEnabled == 0) {
    VZ_LOG_ERROR("Video is disabled by application.");
    ReportAVSessionError(kDisabledByConfigCode, kDisabledByConfigCodeType);
    ReportAVSessionStatus(kSessionIdle);
    return kLaunchNotIssued;
  }
  VZ_LOGW(u"video addr [%s]:[%d/%d] token [%s] roster [%s]", request.ServerAddr, request.TcpPort, request.Port,
          LoggedToken(request.Token), request.RosterId);
  if (CAVEngineWrapper* engine = video_.engine(); engine && video_.status() == kSessionJoined) {
    engine->ActivateVideoPanel();
    if (IsMyRosterInvisible()) {
      ReportAVSessionBroadcasted(0);
      return kLaunchIssued;
    }
    if (!engine->IsMyVideoStarted() && request.Broadcast) engine->StartMyVideo(0);
    if (engine->IsMyVideoStarted() && !request.Broadcast) engine->StopMyVideo();
    return kLaunchIssued;
  }
  if (video_.status() == kSessionConnecting) {
    VZ_LOG_ERROR("video is connecting, don't need do anything.");
    return kLaunchNotIssued;
  }
  if (FindRoster(request.RosterId) == nullptr) {
    VZ_LOG_ERROR("Can't find my roster, don't start my video.");
    request.Broadcast = 0;
  }
  if (IsMyRosterInvisible()) {
    request.Broadcast = 0;
    request.IsInvisible = 1;
  }
  request.VideoQuality = meet_config_.VideoQuality;
  request.VideoToolbar = meet_config_.VideoToolbar;
  NotifyVideoStatusChanged(kSessionConnecting, request.Broadcast);
  ReportAVSessionStatus(kSessionConnecting);

  // An engine left from an earlier session (idle or ended) goes before its
  // successor is made.
  if (CAVEngineWrapper* old = video_.engine()) {
    old->LeaveVideo();
    video_.Drop(release_queue_);
  }
  if (MakeVideoEngine()) {
    size_t left = rosters_.size();
    for (auto& [id, roster] : rosters_) video_.engine()->AppRosterJoined(&roster, --left == 0 ? 1 : 0);
    if (JoinVideoWithContainer()) return kLaunchIssued;
  }
  // The web page heard "connecting": it hears the end too, and nothing of
  // the failed join is kept.
  VZ_LOG_ERROR("the video engine did not take the join");
  video_.Drop(release_queue_);
  NotifyVideoStatusChanged(kSessionEnded, request.Broadcast);
  ReportAVSessionStatus(kSessionEnded);
  return kLaunchNotIssued;
}

bool CAppComponentsController::MakeVideoEngine() {
  return video_.Make(engines_->NewVideoWrapper(), *this, release_queue_, ui_thread_);
}

void CAppComponentsController::DropVideoForRejoin() {
  if (CAVEngineWrapper* engine = video_.engine()) {
    engine->LeaveVideo();
    video_.Drop(release_queue_);
  }
  video_.set_status(kSessionIdle);
}

int32_t CAppComponentsController::JoinVideoWithContainer() {
  VZ_LOG("");
  CAVEngineWrapper* engine = video_.engine();
  if (!engine) return kLaunchNotIssued;
  const int32_t joined =
      engine->JoinVideo(&meet_config_, &video_.request(), GetNetworkProxyEntry(), peer_config_.ContainerWindow);
  return joined > 0 ? kLaunchIssued : kLaunchNotIssued;
}

int32_t CAppComponentsController::LeaveVideo() {
  VZ_LOG("");
  VZ_CHECK_UI_THREAD(ui_thread_);
  if (CAVEngineWrapper* engine = video_.engine()) {
    engine->LeaveVideo();
    video_.Drop(release_queue_);
  }
  if (video_.status() != kSessionIdle && video_.status() != kSessionEnded) {
    ReportAVSessionStatus(kSessionEnded);
    NotifyVideoStatusChanged(kSessionEnded, 0);
    video_.set_status(kSessionIdle);
  }
  return 1;
}

// ---------------------------------------------------------------------------
// Engine callbacks (through the engine's relay, inside a callback scope).

int32_t CAppComponentsController::OnAVStatusNotification(int32_t status, int32_t broadcasted) {
  VZ_LOG("Video session status [%d] broadcasted [%d]", status, broadcasted);
  VZ_COLLECT("update AV session status [%d] broadcasted [%d]", status, broadcasted);
  video_.set_status(status);
  if (status == kSessionEnded || status == kSessionIdle) LeaveVideo();
  if (status == kSessionJoined) {
    ReportAVSessionJoined(video_.request().Broadcast, 0);
  } else {
    ReportAVSessionStatus(status);
  }
  return 1;
}

int32_t CAppComponentsController::OnAVVideoBroadcasted(int32_t broadcasted, const char*) {
  VZ_LOG(" broadcasted [%d]", broadcasted);
  VZ_COLLECT(" broadcasted [%d]", broadcasted);
  ReportAVSessionBroadcasted(broadcasted);
  return 1;
}

int32_t CAppComponentsController::OnAVVideoErrorCode(int32_t code, int32_t code_type) {
  VZ_LOG_ERROR("code [%d], codetype [%d]", code, code_type);
  VZ_COLLECT("code [%d], codetype [%d]", code, code_type);
  if (RetriesThroughNextProxy(code)) {
    if (const NetworkProxyEntry* next = NextNetworkProxy()) {
      SetNetworkProxyEntry(next);
      // The failed engine goes first: a join while it is still connecting
      // or joined would be refused or taken as a refresh.
      DropVideoForRejoin();
      JoinVideo();
      return 1;
    }
  }
  if (code == kProxySettingsNeededCode) {
    NotifyVideoError(code, code_type);  // the proxy settings are offered; never reported
    return 1;
  }
  ReportAVSessionError(code, code_type);
  ReportAVSessionBroadcasted(0);
  return 1;
}

int32_t CAppComponentsController::OnAVMyStatusChanged(const char16_t* roster_id, int32_t status) {
  VZ_LOG("status [%d]", status);
  if (!IsMyRosterId(roster_id)) return 1;
  switch (status) {
    case 2:
    case 8:
      CommandAudioJoin();
      break;
    case 3:
      CommandAudioMute();
      break;
    case 4:
      CommandAudioUnmute();
      break;
    case 7:
      CommandAudioLeave();
      break;
    default:
      break;
  }
  return 1;
}

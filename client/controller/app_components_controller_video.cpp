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
  if (session == nullptr) {
    VZ_LOG_ERROR("no video request");
    return 0;
  }
  VZ_LOGW(u"server addr [%s]", session->ServerAddr);
  VZ_LOGW(u"token [%s]", LoggedToken(session->Token));
  VZ_LOGW(u"MeetId [%s]", session->MeetId);
  VZ_LOG("broadcast [%d]", session->Broadcast);
  std::memcpy(&av_request_, session, sizeof(av_request_));
  JoinVideo();
  return 1;
}

int32_t CAppComponentsController::OnAVSessionRequestUpdate(AVSessionConfig* session) {
  VZ_LOG("");
  if (session == nullptr || !video_) return 0;
  VZ_LOGW(u"server addr [%s]", session->ServerAddr);
  VZ_LOGW(u"token [%s]", LoggedToken(session->Token));
  VZ_LOGW(u"MeetId [%s]", session->MeetId);
  LeaveVideo();
  std::memcpy(&av_request_, session, sizeof(av_request_));
  JoinVideo();
  return 1;
}

int32_t CAppComponentsController::OnAVSessionRequestLeave(const char16_t*) {
  VZ_LOG("");
  if (video_) video_->StopMyVideo();
  ReportAVSessionStatus(kSessionEnded);
  LeaveVideo();
  NotifyVideoStatusChanged(kSessionEnded, 0);
  return 1;
}

int32_t CAppComponentsController::OnAVSessionRequestConfig(int32_t) {
  VZ_LOG("");
  if (video_) video_->ConfigVideo();
  return 1;
}

int32_t CAppComponentsController::OnAVSessionRequestLayout(int32_t, int32_t layout, int32_t* row_column) {
  VZ_LOG("layout [%d]", layout);
  if (video_) video_->SetVideoLayoutMode(layout, row_column);
  return 1;
}

int32_t CAppComponentsController::OnAVSessionRequestCameraOn(int32_t) {
  VZ_LOG("");
  if (video_) video_->StartMyVideo(0);
  return 1;
}

int32_t CAppComponentsController::OnAVSessionRequestCameraOff(int32_t) {
  VZ_LOG("");
  if (video_) video_->StopMyVideo();
  ReportAVSessionBroadcasted(0);
  return 1;
}

// ---------------------------------------------------------------------------
// Engine operations.

int32_t CAppComponentsController::JoinVideo() {
  VZ_LOG("");
  if (meet_config_.VideoEnabled == 0) {
    VZ_LOG_ERROR("Video is disabled by application.");
    ReportAVSessionError(kDisabledByConfigCode, kDisabledByConfigCodeType);
    ReportAVSessionStatus(kSessionIdle);
    return 0;
  }
  VZ_LOGW(u"video addr [%s]:[%d/%d] token [%s] roster [%s]", av_request_.ServerAddr, av_request_.TcpPort,
          av_request_.Port, LoggedToken(av_request_.Token), av_request_.RosterId);
  if (video_ && av_state_ == kSessionJoined) {
    video_->ActivateVideoPanel();
    if (IsMyRosterInvisible()) {
      ReportAVSessionBroadcasted(0);
      return 1;
    }
    if (!video_->IsMyVideoStarted() && av_request_.Broadcast) video_->StartMyVideo(0);
    if (video_->IsMyVideoStarted() && !av_request_.Broadcast) video_->StopMyVideo();
    return 1;
  }
  if (av_state_ == kSessionConnecting) {
    VZ_LOG_ERROR("video is connecting, don't need do anything.");
    return 0;
  }
  if (FindRoster(av_request_.RosterId) == nullptr) {
    VZ_LOG_ERROR("Can't find my roster, don't start my video.");
    av_request_.Broadcast = 0;
  }
  if (IsMyRosterInvisible()) {
    av_request_.Broadcast = 0;
    av_request_.IsInvisible = 1;
  }
  av_request_.VideoQuality = meet_config_.VideoQuality;
  av_request_.VideoToolbar = meet_config_.VideoToolbar;
  NotifyVideoStatusChanged(kSessionConnecting, av_request_.Broadcast);
  ReportAVSessionStatus(kSessionConnecting);

  // An engine left from an earlier session (idle or ended) goes before its
  // successor is made.
  if (video_) {
    video_->LeaveVideo();
    DestroyVideoEngine();
  }
  if (MakeVideoEngine()) {
    size_t left = rosters_.size();
    for (auto& [id, roster] : rosters_) video_->AppRosterJoined(&roster, --left == 0 ? 1 : 0);
    if (JoinVideoWithContainer()) return 1;
  }
  // The web page heard "connecting": it hears the end too, and nothing of
  // the failed join is kept.
  VZ_LOG_ERROR("the video engine did not take the join");
  DestroyVideoEngine();
  NotifyVideoStatusChanged(kSessionEnded, av_request_.Broadcast);
  ReportAVSessionStatus(kSessionEnded);
  return 0;
}

bool CAppComponentsController::MakeVideoEngine() {
  video_ = engines().NewVideoWrapper();
  if (!video_) return false;
  video_sink_ = std::make_unique<AVProviderSinkRelay>(*this, release_queue_);
  return video_->CreateInstance(video_sink_.get()) != 0;
}

void CAppComponentsController::DropVideoForRejoin() {
  if (video_) {
    video_->LeaveVideo();
    DestroyVideoEngine();
  }
  av_state_ = kSessionIdle;
}

int32_t CAppComponentsController::JoinVideoWithContainer() {
  VZ_LOG("");
  if (!video_) return 0;
  return video_->JoinVideo(&meet_config_, &av_request_, GetNetworkProxyEntry(), peer_config_.ContainerWindow) > 0 ? 1
                                                                                                                 : 0;
}

int32_t CAppComponentsController::LeaveVideo() {
  VZ_LOG("");
  if (video_) {
    video_->LeaveVideo();
    DestroyVideoEngine();
  }
  if (av_state_ != kSessionIdle && av_state_ != kSessionEnded) {
    ReportAVSessionStatus(kSessionEnded);
    NotifyVideoStatusChanged(kSessionEnded, 0);
    av_state_ = kSessionIdle;
  }
  return 1;
}

// ---------------------------------------------------------------------------
// Engine callbacks (through the engine's relay, inside a callback scope).

int32_t CAppComponentsController::OnAVStatusNotification(int32_t status, int32_t broadcasted) {
  VZ_LOG("Video session status [%d] broadcasted [%d]", status, broadcasted);
  VZ_COLLECT("update AV session status [%d] broadcasted [%d]", status, broadcasted);
  av_state_ = status;
  if (status == kSessionEnded || status == kSessionIdle) LeaveVideo();
  if (status == kSessionJoined) {
    ReportAVSessionJoined(av_request_.Broadcast, 0);
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
  if (code == 9 || code == 4) {
    if (const NetworkProxyEntry* next = NextNetworkProxy()) {
      SetNetworkProxyEntry(next);
      // The failed engine goes first: a join while it is still connecting
      // or joined would be refused or taken as a refresh.
      DropVideoForRejoin();
      JoinVideo();
      return 1;
    }
  }
  if (code == 13) {
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

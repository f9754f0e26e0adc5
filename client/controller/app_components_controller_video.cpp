// The video road of the meeting components controller: the join and leave
// of the video engine, its status and error callbacks.
//
// Not built yet: the web page's video requests (join, update, leave, config,
// layout, camera on and off), the engine's broadcast notice and the audio
// commands of the local participant's panel status; they log and return 0
// (see the end of this file).
#include "client/controller/app_components_controller.h"
#include "common/trace_client.h"

int32_t CAppComponentsController::JoinVideo() {
  VZ_LOG("");
  if (meet_config_.VideoEnabled == 0) {
    VZ_LOG_ERROR("Video is disabled by application.");
    ReportAVSessionError(kDisabledByConfigCode, kDisabledByConfigCodeType);
    ReportAVSessionStatus(kSessionIdle);
    return 0;
  }
  VZ_LOGW(u"video addr [%s]:[%d/%d] token [%s] roster [%s]", av_request_.ServerAddr, av_request_.TcpPort,
          av_request_.Port, av_request_.Token, av_request_.RosterId);
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

  // A wrapper left from an earlier session is released before its successor.
  DestroyWrapper(video_);
  video_ = engines().NewVideoWrapper();
  if (video_ && video_->CreateInstance(this)) {
    size_t left = rosters_.size();
    for (auto& [id, roster] : rosters_) video_->AppRosterJoined(&roster, --left == 0 ? 1 : 0);
    if (JoinVideoWithContainer()) return 1;
  }
  VZ_LOG_ERROR("the video engine did not take the join");
  DestroyWrapper(video_);  // nothing of a failed join is kept
  NotifyVideoStatusChanged(kSessionEnded, av_request_.Broadcast);
  return 0;
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
    DestroyWrapper(video_);
  }
  if (av_state_ != kSessionIdle && av_state_ != kSessionEnded) {
    ReportAVSessionStatus(kSessionEnded);
    NotifyVideoStatusChanged(kSessionEnded, 0);
    av_state_ = kSessionIdle;
  }
  return 1;
}

int32_t CAppComponentsController::OnAVStatusNotification(int32_t status, int32_t broadcasted) {
  EngineCallbackScope in_callback(this);
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

int32_t CAppComponentsController::OnAVVideoErrorCode(int32_t code, int32_t code_type) {
  EngineCallbackScope in_callback(this);
  VZ_LOG_ERROR("code [%d], codetype [%d]", code, code_type);
  VZ_COLLECT("code [%d], codetype [%d]", code, code_type);
  if (code == 9 || code == 4) {
    if (const NetworkProxyEntry* next = NextNetworkProxy()) {
      SetNetworkProxyEntry(next);
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

// ---------------------------------------------------------------------------
// Not built yet: the web page's video requests and the panel's commands.

int32_t CAppComponentsController::OnAVVideoBroadcasted(int32_t, const char*) {
  return NotHandledYet("AV broadcast notice");
}
int32_t CAppComponentsController::OnAVMyStatusChanged(const char16_t*, int32_t) {
  return NotHandledYet("AV panel status of my roster");
}
int32_t CAppComponentsController::OnAVSessionRequestJoin(AVSessionConfig*) {
  return NotHandledYet("AV session join request");
}
int32_t CAppComponentsController::OnAVSessionRequestUpdate(AVSessionConfig*) {
  return NotHandledYet("AV session update request");
}
int32_t CAppComponentsController::OnAVSessionRequestLeave(const char16_t*) {
  return NotHandledYet("AV session leave request");
}
int32_t CAppComponentsController::OnAVSessionRequestConfig(int32_t) {
  return NotHandledYet("AV session config request");
}
int32_t CAppComponentsController::OnAVSessionRequestLayout(int32_t, int32_t, int32_t*) {
  return NotHandledYet("AV session layout request");
}
int32_t CAppComponentsController::OnAVSessionRequestCameraOn(int32_t) {
  return NotHandledYet("AV session camera on request");
}
int32_t CAppComponentsController::OnAVSessionRequestCameraOff(int32_t) {
  return NotHandledYet("AV session camera off request");
}

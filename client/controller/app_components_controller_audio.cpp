// The audio road of the meeting components controller: the web page's audio
// requests, the joins and leaves of the audio engine, its callbacks, the
// recovery after its errors and the audio commands of the panels.
#include <cstring>

#include "client/controller/app_components_controller.h"
#include "client/controller/logged_token.h"
#include "common/trace_client.h"

// ---------------------------------------------------------------------------
// Requests from the web page.

int32_t CAppComponentsController::OnACSessionRequestJoin(ACSessionConfig* session) {
  VZ_LOG("");
  if (session == nullptr) return 0;
  VZ_LOGW(u"server addr [%s]:[%d]:[%d]", session->ServerAddr, session->Port, session->TcpPort);
  VZ_LOGW(u"token [%s]", LoggedToken(session->Token));
  VZ_LOGW(u"MeetId [%s]", session->MeetId);
  std::memcpy(&ac_request_, session, sizeof(ac_request_));
  JoinAudio();
  return 1;
}

int32_t CAppComponentsController::OnACSessionRequestUpdate(ACSessionConfig* session) {
  VZ_LOG("");
  if (session == nullptr || !audio_) return 0;
  VZ_LOGW(u"server addr [%s]", session->ServerAddr);
  VZ_LOGW(u"token [%s]", LoggedToken(session->Token));
  VZ_LOGW(u"MeetId [%s]", session->MeetId);
  LeaveAudio();
  std::memcpy(&ac_request_, session, sizeof(ac_request_));
  JoinAudio();
  return 1;
}

int32_t CAppComponentsController::OnACSessionRequestLeave(const char16_t*) {
  VZ_LOG("");
  LeaveAudio();
  return 1;
}

int32_t CAppComponentsController::OnACSessionRequestConfig(int32_t) {
  VZ_LOG("");
  ConfigAudio();
  return 1;
}

int32_t CAppComponentsController::OnACSessionRequestMute(int32_t) {
  VZ_LOG("");
  MuteAudio();
  return 1;
}

int32_t CAppComponentsController::OnACSessionRequestUnmute(int32_t) {
  VZ_LOG("");
  if (IsMyRosterInvisible()) {
    // An invisible participant stays muted; the page is told so.
    if (link_) link_->WSACSessionNotifyMute(peer_config_.MeetId);
    return 0;
  }
  UnmuteAudio();
  return 1;
}

// ---------------------------------------------------------------------------
// Engine operations.

int32_t CAppComponentsController::JoinAudio() {
  VZ_LOG("");
  if (meet_config_.AudioEnabled == 0) {
    VZ_LOG_ERROR("Audio is disabled by application.");
    ReportACSessionError(kDisabledByConfigCode, kDisabledByConfigCodeType);
    ReportACSessionStatus(kSessionIdle);
    return 0;
  }
  if (audio_ && ac_state_ == kSessionJoined) {
    VZ_LOG_ERROR("audio already joined. notify web page.");
    ReportACSessionJoined(audio_->IsAudioMuted(), audio_->GetAudioSsrc());
    if (ac_request_.IsMuted) {
      audio_->MuteAudio();
    } else {
      audio_->UnmuteAudio();
    }
    return 0;
  }
  if (ac_state_ == kSessionConnecting) {
    VZ_LOG_ERROR("audio is connecting, don't need do anything");
    return 0;
  }
  VZ_LOGW(u"audio addr [%s]:[%d] token [%s] roster [%s]", ac_request_.ServerAddr, ac_request_.Port,
          LoggedToken(ac_request_.Token), ac_request_.RosterId);
  LeaveAudio();
  if (IsMyRosterInvisible()) {
    ac_request_.IsMuted = 1;
    ac_request_.IsInvisible = 1;
  }
  NotifyAudioStatusChanged(kSessionConnecting, ac_request_.IsMuted);
  ReportACSessionStatus(kSessionConnecting);

  if (MakeAudioEngine() && audio_->JoinAudio(&meet_config_, &ac_request_, GetNetworkProxyEntry()) != 0) return 1;
  // The web page heard "connecting": it hears the end too, and nothing of
  // the failed join is kept.
  VZ_LOG_ERROR("the audio engine did not take the join");
  DestroyAudioEngine();
  NotifyAudioStatusChanged(kSessionEnded, 0);
  ReportACSessionStatus(kSessionEnded);
  return 0;
}

bool CAppComponentsController::MakeAudioEngine() {
  audio_ = engines().NewAudioWrapper();
  if (!audio_) return false;
  audio_sink_ = std::make_unique<ACProviderSinkRelay>(*this, release_queue_);
  return audio_->CreateInstance(audio_sink_.get()) != 0;
}

void CAppComponentsController::DropAudioForRejoin() {
  if (audio_) {
    audio_->LeaveAudio();
    DestroyAudioEngine();
  }
  ac_state_ = kSessionIdle;
}

int32_t CAppComponentsController::LeaveAudio() {
  VZ_LOG("");
  if (audio_) {
    audio_->LeaveAudio();
    DestroyAudioEngine();
  }
  if (ac_state_ != kSessionIdle && ac_state_ != kSessionEnded) {
    ReportACSessionStatus(kSessionEnded);
    NotifyAudioStatusChanged(kSessionEnded, 0);
    ac_state_ = kSessionIdle;
  }
  return 1;
}

int32_t CAppComponentsController::MuteAudio() {
  VZ_LOG("");
  if (audio_ && audio_->MuteAudio() != 0) {
    ReportACSessionMuted(1);
    ac_request_.IsMuted = 1;
    NotifyAudioMuted(1);
  }
  return 1;
}

int32_t CAppComponentsController::UnmuteAudio() {
  VZ_LOG("");
  if (IsMyRosterInvisible()) return 0;
  if (audio_ && audio_->UnmuteAudio() != 0) {
    ReportACSessionMuted(0);
    ac_request_.IsMuted = 0;
    NotifyAudioMuted(0);
  }
  return 1;
}

int32_t CAppComponentsController::IsAudioMuted() { return audio_ ? audio_->IsAudioMuted() : 0; }

int32_t CAppComponentsController::ConfigAudio() {
  VZ_LOG("");
  if (!audio_) MakeAudioEngine();  // an engine for its settings, without a join
  if (audio_) audio_->ConfigAudio();
  return 1;
}

int32_t CAppComponentsController::IsAudioConfigOpen() { return audio_ ? audio_->IsAudioConfigOpen() : 0; }

// ---------------------------------------------------------------------------
// Engine callbacks.

int32_t CAppComponentsController::OnACStatusNotification(int32_t status, int32_t muted) {
  VZ_LOG("Audio session status chagned [%d] muted [%d]", status, muted);
  VZ_COLLECT("update AC session status [%d] muted [%d]", status, muted);
  ac_state_ = status;
  if (status == kSessionEnded || status == kSessionIdle) LeaveAudio();
  if (status == kSessionJoined) {
    ReportACSessionJoined(muted, audio_ ? audio_->GetAudioSsrc() : 0);
  } else {
    ReportACSessionStatus(status);
  }
  NotifyAudioStatusChanged(status, muted);
  return 1;
}

int32_t CAppComponentsController::OnACActivedSpeaker(ACSpeakerEntry* speakers, int32_t count) {
  VZ_LOG("count [%d]", count);
  if (link_) link_->WSACSessionResponseSpeakers(speakers, count, ac_request_.MeetId);
  return 1;
}

int32_t CAppComponentsController::OnACRostersNetwork(ACRosterNetworkEntry* rosters, int32_t count) {
  VZ_LOG("count [%d]", count);
  if (link_) link_->WSACSessionResponseRostersNetwork(rosters, count, ac_request_.MeetId);
  return 1;
}

int32_t CAppComponentsController::OnACDeviceVolumeLevel(int32_t speaker_level, int32_t microphone_level) {
  VZ_LOG("level speaker [%d], micphone [%d]", speaker_level, microphone_level);
  ReportACDeviceLevel(speaker_level, microphone_level);
  return 1;
}

int32_t CAppComponentsController::OnACMicStatus(int32_t status) {
  VZ_LOG("status [%d]", status);
  if (link_) link_->WSACSessionResponseMicStatus(status, ac_request_.MeetId);
  return 1;
}

int32_t CAppComponentsController::OnACAudioErrorCode(int32_t code, int32_t code_type) {
  VZ_LOG_ERROR("code [%d], codetype [%d]", code, code_type);
  VZ_COLLECT("code [%d], codetype [%d]", code, code_type);
  if (code == 9 || code == 4) {
    if (const NetworkProxyEntry* next = NextNetworkProxy()) {
      SetNetworkProxyEntry(next);
      // The failed engine goes first: a join while it is still connecting
      // or joined would be refused or reported as joined.
      DropAudioForRejoin();
      JoinAudio();
      return 1;
    }
  }
  if (code == 13) {
    NotifyAudioError(code, code_type);  // the proxy settings are offered; never reported
    return 1;
  }
  ReportACSessionError(code, code_type);
  ReportACSessionStatus(kSessionEnded);
  return 1;
}

// ---------------------------------------------------------------------------
// Audio commands of the local participant.

void CAppComponentsController::CommandAudioJoin() {
  VZ_LOG("");
  if (link_) link_->WSACSessionNotifyJoin(peer_config_.MeetId);
}

void CAppComponentsController::CommandAudioMute() {
  VZ_LOG("");
  if (!link_) return;
  if (HasAudioEngine()) {
    MuteAudio();
  } else {
    link_->WSACSessionNotifyMute(peer_config_.MeetId);
  }
}

void CAppComponentsController::CommandAudioUnmute() {
  VZ_LOG("");
  if (!link_) return;
  if (HasAudioEngine()) {
    UnmuteAudio();
  } else {
    link_->WSACSessionNotifyUnmute(peer_config_.MeetId);
  }
}

void CAppComponentsController::CommandAudioLeave() {
  VZ_LOG("");
  if (!link_) return;
  if (HasAudioEngine()) {
    LeaveAudio();
  } else {
    link_->WSACSessionNotifyLeave(peer_config_.MeetId);
  }
}

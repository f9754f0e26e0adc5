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
  VZ_CHECK_UI_THREAD(ui_thread_);
  if (session == nullptr) return 0;
  VZ_LOGW(u"server addr [%s]:[%d]:[%d]", session->ServerAddr, session->Port, session->TcpPort);
  VZ_LOGW(u"token [%s]", LoggedToken(session->Token));
  VZ_LOGW(u"MeetId [%s]", session->MeetId);
  std::memcpy(&audio_.request(), session, sizeof(ACSessionConfig));
  JoinAudio();
  return 1;
}

int32_t CAppComponentsController::OnACSessionRequestUpdate(ACSessionConfig* session) {
  VZ_LOG("");
  VZ_CHECK_UI_THREAD(ui_thread_);
  if (session == nullptr || !audio_.engine()) return 0;
  VZ_LOGW(u"server addr [%s]", session->ServerAddr);
  VZ_LOGW(u"token [%s]", LoggedToken(session->Token));
  VZ_LOGW(u"MeetId [%s]", session->MeetId);
  LeaveAudio();
  std::memcpy(&audio_.request(), session, sizeof(ACSessionConfig));
  JoinAudio();
  return 1;
}

int32_t CAppComponentsController::OnACSessionRequestLeave(const char16_t*) {
  VZ_LOG("");
  VZ_CHECK_UI_THREAD(ui_thread_);
  LeaveAudio();
  return 1;
}

int32_t CAppComponentsController::OnACSessionRequestConfig(int32_t) {
  VZ_LOG("");
  VZ_CHECK_UI_THREAD(ui_thread_);
  ConfigAudio();
  return 1;
}

int32_t CAppComponentsController::OnACSessionRequestMute(int32_t) {
  VZ_LOG("");
  VZ_CHECK_UI_THREAD(ui_thread_);
  MuteAudio();
  return 1;
}

int32_t CAppComponentsController::OnACSessionRequestUnmute(int32_t) {
  VZ_LOG("");
  VZ_CHECK_UI_THREAD(ui_thread_);
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
  VZ_CHECK_UI_THREAD(ui_thread_);
  ACSessionConfig& request = audio_.request();
  if (meet_config_.AudioEnabled == 0) {
    VZ_LOG_ERROR("Audio is disabled by application.");
    ReportACSessionError(kDisabledByConfigCode, kDisabledByConfigCodeType);
    ReportACSessionStatus(kSessionIdle);
    return kLaunchNotIssued;
  }
  if (CACEngineWrapper* engine = audio_.engine(); engine && audio_.status() == kSessionJoined) {
    VZ_LOG_ERROR("audio already joined. notify web page.");
    ReportACSessionJoined(engine->IsAudioMuted(), engine->GetAudioSsrc());
    if (request.IsMuted) {
      engine->MuteAudio();
    } else {
      engine->UnmuteAudio();
    }
    return kLaunchNotIssued;
  }
  if (audio_.status() == kSessionConnecting) {
    VZ_LOG_ERROR("audio is connecting, don't need do anything");
    return kLaunchNotIssued;
  }
  VZ_LOGW(u"audio addr [%s]:[%d] token [%s] roster [%s]", request.ServerAddr, request.Port, LoggedToken(request.Token),
          request.RosterId);
  LeaveAudio();
  if (IsMyRosterInvisible()) {
    request.IsMuted = 1;
    request.IsInvisible = 1;
  }
  NotifyAudioStatusChanged(kSessionConnecting, request.IsMuted);
  ReportACSessionStatus(kSessionConnecting);

  if (MakeAudioEngine() && audio_.engine()->JoinAudio(&meet_config_, &request, GetNetworkProxyEntry()) != 0) {
    return kLaunchIssued;
  }
  // The web page heard "connecting": it hears the end too, and nothing of
  // the failed join is kept.
  VZ_LOG_ERROR("the audio engine did not take the join");
  audio_.Drop(release_queue_);
  NotifyAudioStatusChanged(kSessionEnded, 0);
  ReportACSessionStatus(kSessionEnded);
  return kLaunchNotIssued;
}

bool CAppComponentsController::MakeAudioEngine() {
  return audio_.Make(engines_->NewAudioWrapper(), *this, release_queue_, ui_thread_);
}

void CAppComponentsController::DropAudioForRejoin() {
  if (CACEngineWrapper* engine = audio_.engine()) {
    engine->LeaveAudio();
    audio_.Drop(release_queue_);
  }
  audio_.set_status(kSessionIdle);
}

int32_t CAppComponentsController::LeaveAudio() {
  VZ_LOG("");
  VZ_CHECK_UI_THREAD(ui_thread_);
  if (CACEngineWrapper* engine = audio_.engine()) {
    engine->LeaveAudio();
    audio_.Drop(release_queue_);
  }
  if (audio_.status() != kSessionIdle && audio_.status() != kSessionEnded) {
    ReportACSessionStatus(kSessionEnded);
    NotifyAudioStatusChanged(kSessionEnded, 0);
    audio_.set_status(kSessionIdle);
  }
  return 1;
}

int32_t CAppComponentsController::MuteAudio() {
  VZ_LOG("");
  VZ_CHECK_UI_THREAD(ui_thread_);
  if (audio_.engine() && audio_.engine()->MuteAudio() != 0) {
    ReportACSessionMuted(1);
    audio_.request().IsMuted = 1;
    NotifyAudioMuted(1);
  }
  return 1;
}

int32_t CAppComponentsController::UnmuteAudio() {
  VZ_LOG("");
  VZ_CHECK_UI_THREAD(ui_thread_);
  if (IsMyRosterInvisible()) return 0;
  if (audio_.engine() && audio_.engine()->UnmuteAudio() != 0) {
    ReportACSessionMuted(0);
    audio_.request().IsMuted = 0;
    NotifyAudioMuted(0);
  }
  return 1;
}

int32_t CAppComponentsController::IsAudioMuted() { return audio_.engine() ? audio_.engine()->IsAudioMuted() : 0; }

int32_t CAppComponentsController::ConfigAudio() {
  VZ_LOG("");
  VZ_CHECK_UI_THREAD(ui_thread_);
  if (!audio_.engine()) MakeAudioEngine();  // an engine for its settings, without a join
  if (audio_.engine()) audio_.engine()->ConfigAudio();
  return 1;
}

int32_t CAppComponentsController::IsAudioConfigOpen() {
  return audio_.engine() ? audio_.engine()->IsAudioConfigOpen() : 0;
}

// ---------------------------------------------------------------------------
// Engine callbacks.

int32_t CAppComponentsController::OnACStatusNotification(int32_t status, int32_t muted) {
  VZ_LOG("Audio session status chagned [%d] muted [%d]", status, muted);
  VZ_COLLECT("update AC session status [%d] muted [%d]", status, muted);
  audio_.set_status(status);
  if (status == kSessionEnded || status == kSessionIdle) LeaveAudio();
  if (status == kSessionJoined) {
    ReportACSessionJoined(muted, audio_.engine() ? audio_.engine()->GetAudioSsrc() : 0);
  } else {
    ReportACSessionStatus(status);
  }
  NotifyAudioStatusChanged(status, muted);
  return 1;
}

int32_t CAppComponentsController::OnACActivedSpeaker(ACSpeakerEntry* speakers, int32_t count) {
  VZ_LOG("count [%d]", count);
  if (link_) link_->WSACSessionResponseSpeakers(speakers, count, audio_.request().MeetId);
  return 1;
}

int32_t CAppComponentsController::OnACRostersNetwork(ACRosterNetworkEntry* rosters, int32_t count) {
  VZ_LOG("count [%d]", count);
  if (link_) link_->WSACSessionResponseRostersNetwork(rosters, count, audio_.request().MeetId);
  return 1;
}

int32_t CAppComponentsController::OnACDeviceVolumeLevel(int32_t speaker_level, int32_t microphone_level) {
  VZ_LOG("level speaker [%d], micphone [%d]", speaker_level, microphone_level);
  ReportACDeviceLevel(speaker_level, microphone_level);
  return 1;
}

int32_t CAppComponentsController::OnACMicStatus(int32_t status) {
  VZ_LOG("status [%d]", status);
  if (link_) link_->WSACSessionResponseMicStatus(status, audio_.request().MeetId);
  return 1;
}

int32_t CAppComponentsController::OnACAudioErrorCode(int32_t code, int32_t code_type) {
  VZ_LOG_ERROR("code [%d], codetype [%d]", code, code_type);
  VZ_COLLECT("code [%d], codetype [%d]", code, code_type);
  if (RetriesThroughNextProxy(code)) {
    if (const NetworkProxyEntry* next = NextNetworkProxy()) {
      SetNetworkProxyEntry(next);
      // The failed engine goes first: a join while it is still connecting
      // or joined would be refused or reported as joined.
      DropAudioForRejoin();
      JoinAudio();
      return 1;
    }
  }
  if (code == kProxySettingsNeededCode) {
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
  VZ_CHECK_UI_THREAD(ui_thread_);
  if (link_) link_->WSACSessionNotifyJoin(peer_config_.MeetId);
}

void CAppComponentsController::CommandAudioMute() {
  VZ_LOG("");
  VZ_CHECK_UI_THREAD(ui_thread_);
  if (!link_) return;
  if (HasAudioEngine()) {
    MuteAudio();
  } else {
    link_->WSACSessionNotifyMute(peer_config_.MeetId);
  }
}

void CAppComponentsController::CommandAudioUnmute() {
  VZ_LOG("");
  VZ_CHECK_UI_THREAD(ui_thread_);
  if (!link_) return;
  if (HasAudioEngine()) {
    UnmuteAudio();
  } else {
    link_->WSACSessionNotifyUnmute(peer_config_.MeetId);
  }
}

void CAppComponentsController::CommandAudioLeave() {
  VZ_LOG("");
  VZ_CHECK_UI_THREAD(ui_thread_);
  if (!link_) return;
  if (HasAudioEngine()) {
    LeaveAudio();
  } else {
    link_->WSACSessionNotifyLeave(peer_config_.MeetId);
  }
}

#include "outside/vzaudio/audio_stand_in_engine.h"

#include <cstring>
#include <memory>

#include "common/trace_client.h"

namespace {
constexpr uint32_t kReportMessage = 0x0400 + 100;
}  // namespace

CAudioStandInEngine::CAudioStandInEngine(IACProviderSink* sink, AudioScript script)
    : sink_(sink), script_(std::move(script)) {}

int32_t CAudioStandInEngine::JoinAudio(MeetConfig*, ACSessionConfig* session, NetworkProxyEntry* proxy) {
  if (!session) {
    VZ_LOG_ERROR("no audio session config.");
    return 0;
  }
  if (!script_.join_accepted) {
    VZ_LOG_ERROR("join refused by the script.");
    return 0;
  }
  if (in_session_) {
    VZ_LOG("already in session");
    return 1;
  }
  std::memcpy(&session_config_, session, sizeof(session_config_));
  muted_ = session->IsMuted != 0 ? 1 : 0;
  in_session_ = true;
  ++session_;
  VZ_LOG("muted [%d] proxy [%d]", muted_, proxy != nullptr ? 1 : 0);

  Post(Report::kStatus, 1);
  if (script_.join_error) {
    Post(Report::kError, script_.join_error->first, script_.join_error->second);
    return 1;
  }
  Post(Report::kStatus, 2);
  if (!script_.speakers.empty()) Post(Report::kSpeakers, 0, 0, script_.speakers);
  if (!script_.networks.empty()) Post(Report::kNetworks, 0, 0, {}, script_.networks);
  if (script_.levels) Post(Report::kLevels, script_.levels->first, script_.levels->second);
  if (script_.mic_status) Post(Report::kMic, *script_.mic_status);
  return 1;
}

int32_t CAudioStandInEngine::LeaveAudio() {
  VZ_LOG("in session [%d]", in_session_ ? 1 : 0);
  if (!in_session_) return 1;
  in_session_ = false;
  ++session_;  // the join's reports still queued are dropped
  Post(Report::kStatus, 4);
  return 1;
}

int32_t CAudioStandInEngine::ConfigAudio() {
  VZ_LOG("");
  config_open_ = 1;
  return 1;
}

int32_t CAudioStandInEngine::MuteAudio() {
  muted_ = 1;
  return 1;
}

int32_t CAudioStandInEngine::UnmuteAudio() {
  muted_ = 0;
  return 1;
}

int32_t CAudioStandInEngine::IsAudioMuted() { return muted_; }

int32_t CAudioStandInEngine::IsAudioConfigOpen() { return config_open_; }

int32_t CAudioStandInEngine::GetAudioSsrc() { return kStandInAudioSsrc; }

void CAudioStandInEngine::Post(Report::Kind kind, int32_t first, int32_t second,
                               std::vector<ACSpeakerEntry> speakers, std::vector<ACRosterNetworkEntry> networks) {
  auto* posted = new Report{kind, session_, first, second, std::move(speakers), std::move(networks)};
  // On failure the mailbox has freed the report already.
  if (!PostMessage(kReportMessage, reinterpret_cast<uintptr_t>(posted), 0, &FreeReport)) {
    VZ_LOG_ERROR("report not posted: the mailbox is stopped.");
  }
}

void CAudioStandInEngine::FreeReport(uintptr_t wParam, intptr_t) { delete reinterpret_cast<Report*>(wParam); }

intptr_t CAudioStandInEngine::OnMessage(uint32_t msg, uintptr_t wParam, intptr_t) {
  if (msg != kReportMessage) return 0;
  const std::unique_ptr<Report> report(reinterpret_cast<Report*>(wParam));
  if (report->session != session_) return 0;
  switch (report->kind) {
    case Report::kStatus:
      sink_->OnACStatusNotification(report->first, muted_);
      break;
    case Report::kError:
      in_session_ = false;
      sink_->OnACAudioErrorCode(report->first, report->second);
      break;
    case Report::kSpeakers:
      sink_->OnACActivedSpeaker(report->speakers.data(), static_cast<int32_t>(report->speakers.size()));
      break;
    case Report::kNetworks:
      sink_->OnACRostersNetwork(report->networks.data(), static_cast<int32_t>(report->networks.size()));
      break;
    case Report::kLevels:
      sink_->OnACDeviceVolumeLevel(report->first, report->second);
      break;
    case Report::kMic:
      sink_->OnACMicStatus(report->first);
      break;
  }
  return 0;
}

void CAudioStandInEngine::OnTimer(uintptr_t) {}

#include "weblink/link/audio_reports.h"

#include "contracts/session_status.h"
#include "common/string_helpers.h"
#include "weblink/json/json_builders.h"
#include "weblink/link/report_envelope.h"

namespace {

constexpr ReportFamily kFamily = ReportFamily::kAudio;

}  // namespace

std::string ACJoinedReport(int32_t muted, int32_t ssrc, const char16_t* conf_id) {
  return MakeReport("AC_SESSION_RESPONSE_JOINED", kFamily, conf_id,
                    ReportNumberMember("ssrc", ssrc) + ReportNumberMember("muted", muted));
}

std::string ACStatusReport(int32_t status, const char16_t* conf_id) {
  switch (status) {
    case kSessionIdle:
    case kSessionEnded: return MakeReport("AC_SESSION_RESPONSE_LEFT", kFamily, conf_id);
    case kSessionConnecting: return MakeReport("AC_SESSION_RESPONSE_CONNECTING", kFamily, conf_id);
    default: return std::string();
  }
}

std::string ACErrorReport(int32_t code, int32_t code_type, const char16_t* conf_id) {
  return MakeErrorReport("AC_SESSION_RESPONSE_ERROR", code, code_type, kFamily, conf_id);
}

std::string ACMutedReport(int32_t muted, const char16_t* conf_id) {
  return MakeReport(muted != 0 ? "AC_SESSION_RESPONSE_MUTED" : "AC_SESSION_RESPONSE_UNMUTED", kFamily, conf_id);
}

std::string ACMicStatusReport(int32_t status, const char16_t* conf_id) {
  return MakeReport("AC_SESSION_RESPONSE_MIC_STATUS", kFamily, conf_id, ReportNumberMember("status", status));
}

std::string ACSpeakersReport(const ACSpeakerEntry* speakers, int32_t count, const char16_t* conf_id) {
  if (speakers == nullptr || count < 1) return std::string();
  std::string list = ",\"speakers\":[";
  for (int32_t i = 0; i < count; ++i) {
    if (i > 0) list += ',';
    list += ULongToString(speakers[i].Speaker);
  }
  list += ']';
  return MakeReport("AC_SESSION_RESPONSE_SPEAKERS", kFamily, conf_id, list);
}

std::string ACNetworksReport(const ACRosterNetworkEntry* rosters, int32_t count, const char16_t* conf_id) {
  if (rosters == nullptr || count < 1) return std::string();
  std::string list = ",\"rosters\":[";
  for (int32_t i = 0; i < count; ++i) {
    const ACRosterNetworkEntry& entry = rosters[i];
    if (i > 0) list += ',';
    list += '{';
    list += JsonMakeNumberPair("ssrc", static_cast<int32_t>(entry.Ssrc));
    list += ReportNumberMember("lossrate", static_cast<int32_t>(entry.LossRate));
    list += ReportNumberMember("latency", static_cast<int32_t>(entry.Latency));
    list += ReportNumberMember("jitter", static_cast<int32_t>(entry.Jitter));
    list += ',';
    list += JsonMakeStringPair("quality", AudioQualityWord(entry.Quality));
    list += '}';
  }
  list += ']';
  return MakeReport("AC_SESSION_RESPONSE_NETWORKS", kFamily, conf_id, list);
}

std::string ACDeviceLevelReport(int32_t speaker_level, int32_t microphone_level, const char16_t* conf_id) {
  return MakeReport("AC_SESSION_RESPONSE_DEVICELEVEL", kFamily, conf_id,
                    ReportNumberMember("speaker", speaker_level) + ReportNumberMember("microphone", microphone_level));
}

std::string ACNoticeReport(ACNotice notice, const char16_t* conf_id) {
  const char* type = "AC_SESSION_NOTIFY_JOIN";
  switch (notice) {
    case ACNotice::kJoin: type = "AC_SESSION_NOTIFY_JOIN"; break;
    case ACNotice::kLeave: type = "AC_SESSION_NOTIFY_LEAVE"; break;
    case ACNotice::kMute: type = "AC_SESSION_NOTIFY_MUTE"; break;
    case ACNotice::kUnmute: type = "AC_SESSION_NOTIFY_UNMUTE"; break;
  }
  return MakeReport(type, kFamily, conf_id);
}

const char* AudioQualityWord(uint32_t quality) {
  switch (quality) {
    case 0: return "good";
    case 1: return "medium";
    case 2: return "weak";
    case 3: return "bad";
    default: return "";
  }
}

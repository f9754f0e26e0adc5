#include "weblink/link/video_reports.h"

#include "contracts/session_status.h"
#include "weblink/link/report_envelope.h"

namespace {

constexpr ReportFamily kFamily = ReportFamily::kVideo;

}  // namespace

std::string AVJoinedReport(int32_t broadcasted, int32_t ssrc, const char16_t* conf_id) {
  return MakeReport("AV_SESSION_RESPONSE_JOINED", kFamily, conf_id,
                    ReportNumberMember("ssrc", ssrc) + ReportNumberMember("broadcasted", broadcasted));
}

std::string AVStatusReport(int32_t status, const char16_t* conf_id) {
  switch (status) {
    case kSessionIdle:
    case kSessionEnded: return MakeReport("AV_SESSION_RESPONSE_LEFT", kFamily, conf_id);
    case kSessionConnecting: return MakeReport("AV_SESSION_RESPONSE_CONNECTING", kFamily, conf_id);
    default: return std::string();
  }
}

std::string AVErrorReport(int32_t code, int32_t code_type, const char16_t* conf_id) {
  return MakeErrorReport("AV_SESSION_RESPONSE_ERROR", code, code_type, kFamily, conf_id);
}

std::string AVBroadcastedReport(int32_t broadcasted, const char16_t* conf_id) {
  return MakeReport(broadcasted != 0 ? "AV_SESSION_RESPONSE_BROADCASTED" : "AV_SESSION_RESPONSE_UNBROADCASTED",
                    kFamily, conf_id);
}

std::string AVNotifyJoinReport(const char16_t* conf_id) {
  return MakeReport("AV_SESSION_NOTIFY_JOIN", kFamily, conf_id);
}

std::string AppPongReport(const char16_t* meet_id) { return MakeReport("APP_RESPONSE_PONG", kFamily, meet_id); }

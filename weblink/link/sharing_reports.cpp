#include "weblink/link/sharing_reports.h"

#include "contracts/session_status.h"
#include "weblink/link/report_envelope.h"

std::string DSStatusReport(int32_t status, const char16_t* conf_id, const char16_t* ds_id) {
  const char* type = nullptr;
  switch (status) {
    case kSessionIdle:
    case kSessionEnded: type = "DS_SESSION_RESPONSE_STOPPED"; break;
    case kSessionConnecting: type = "DS_SESSION_RESPONSE_CONNECTING"; break;
    case kSessionJoined: type = "DS_SESSION_RESPONSE_STARTED"; break;
    default: return std::string();
  }
  return MakeReport(type, ReportFamily::kSharing, conf_id, ReportTextMember("ds_id", ds_id));
}

std::string DSErrorReport(int32_t code, int32_t code_type, const char16_t* conf_id, const char16_t* ds_id) {
  return MakeErrorReport("DS_SESSION_RESPONSE_ERROR", code, code_type, ReportFamily::kSharing, conf_id,
                         ReportTextMember("ds_id", ds_id));
}

std::string DSRemoteControlReport(int32_t approved, const char16_t* conf_id, const char16_t* ds_id) {
  return MakeReport(approved != 0 ? "DS_SESSION_RESPONSE_REMOTECONTROL_APPROVED"
                                  : "DS_SESSION_RESPONSE_REMOTECONTROL_DENIED",
                    ReportFamily::kSharing, conf_id, ReportTextMember("ds_id", ds_id));
}

std::string DSNotifyStartReport(const char16_t* conf_id) {
  return MakeReport("DS_SESSION_NOTIFY_START", ReportFamily::kVideo, conf_id);
}

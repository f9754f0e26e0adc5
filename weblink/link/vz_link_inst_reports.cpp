// The link instance's report operations: each logs, builds its text with no
// lock held and queues it as PIPE_KIND_JSON_TEXT (nothing without a client).
#include "contracts/session_status.h"
#include "common/scoped_lock.h"
#include "common/trace_client.h"
#include "common/vz_binary_data.h"
#include "weblink/json/base64.h"
#include "weblink/link/audio_reports.h"
#include "weblink/link/sharing_reports.h"
#include "weblink/link/video_reports.h"
#include "weblink/link/vz_link_inst_controller.h"
#include "weblink/pipe/pipe_frame.h"

namespace {

// The refusal of a joined status closes with ten asterisks, not the thirteen
// of other error lines: the line keeps the text it has always had.
void LogJoinedStatusRefused(const char* function, int line) {
  TraceA("%s [line# %d] : *** ERROR ****** >Can't response joined status here!< **********", function, line);
}

}  // namespace

// Sharing.

int32_t CVzLinkInstController::WSDSSessionResponseStatus(int32_t status, const char16_t* conf_id,
                                                         const char16_t* ds_id) {
  VZ_LOG("status [%d]", status);
  QueueFrame(DSStatusReport(status, conf_id, ds_id), PIPE_KIND_JSON_TEXT);
  return 0;
}

int32_t CVzLinkInstController::WSDSSessionResponseError(int32_t code, int32_t code_type, const char16_t* conf_id,
                                                        const char16_t* ds_id) {
  VZ_LOG("code [%d] codetype [%d]", code, code_type);
  QueueFrame(DSErrorReport(code, code_type, conf_id, ds_id), PIPE_KIND_JSON_TEXT);
  return 0;
}

int32_t CVzLinkInstController::WSDSSessionResponseRemoteControl(int32_t /*unused*/, int32_t approved,
                                                                const char16_t* conf_id, const char16_t* ds_id) {
  VZ_LOG("");
  QueueFrame(DSRemoteControlReport(approved, conf_id, ds_id), PIPE_KIND_JSON_TEXT);
  return 0;
}

int32_t CVzLinkInstController::WSDSSessionResponseBinary(CVZBinaryData* data, const char16_t* /*conf_id*/,
                                                         const char16_t* /*ds_id*/) {
  if (data == nullptr) return 0;
  VZ_LOG("data length [%d]", static_cast<int>(data->length()));
  // Encoded only when it can be sent; the caller keeps the data.
  CScopedLock lock(instance_lock_);
  if (!client_) return 0;
  const std::string text = Base64Encode(data->data(), data->length());
  if (text.empty()) return 0;
  CScopedLock client_lock(client_->ClientLock());
  client_->Send(text, PIPE_KIND_BASE64_DATA);
  return 0;
}

int32_t CVzLinkInstController::WSDSSessionNotifyStart(const char16_t* conf_id) {
  VZ_LOG("");
  QueueFrame(DSNotifyStartReport(conf_id), PIPE_KIND_JSON_TEXT);
  return 0;
}

// Audio.

int32_t CVzLinkInstController::WSACSessionResponseJoined(int32_t muted, int32_t ssrc, const char16_t* conf_id) {
  VZ_LOG("");
  QueueFrame(ACJoinedReport(muted, ssrc, conf_id), PIPE_KIND_JSON_TEXT);
  // The mute state follows as its own report, after both locks are free.
  WSACSessionResponseMuted(muted, conf_id);
  return 0;
}

int32_t CVzLinkInstController::WSACSessionResponseStatus(int32_t status, const char16_t* conf_id) {
  VZ_LOG("status [%d]", status);
  if (status == kSessionJoined) {
    LogJoinedStatusRefused(VZ_FUNC, __LINE__);
    return 0;
  }
  QueueFrame(ACStatusReport(status, conf_id), PIPE_KIND_JSON_TEXT);
  return 0;
}

int32_t CVzLinkInstController::WSACSessionResponseError(int32_t code, int32_t code_type, const char16_t* conf_id) {
  VZ_LOG("code [%d] codetype [%d]", code, code_type);
  QueueFrame(ACErrorReport(code, code_type, conf_id), PIPE_KIND_JSON_TEXT);
  return 0;
}

int32_t CVzLinkInstController::WSACSessionResponseMuted(int32_t muted, const char16_t* conf_id) {
  VZ_LOG("muted [%d]", muted);
  QueueFrame(ACMutedReport(muted, conf_id), PIPE_KIND_JSON_TEXT);
  return 0;
}

int32_t CVzLinkInstController::WSACSessionResponseMicStatus(int32_t status, const char16_t* conf_id) {
  const std::string text = ACMicStatusReport(status, conf_id);
  VZ_LOG("Mic status [%s]", text.c_str());
  QueueFrame(text, PIPE_KIND_JSON_TEXT);
  return 0;
}

int32_t CVzLinkInstController::WSACSessionResponseSpeakers(ACSpeakerEntry* speakers, int32_t count,
                                                           const char16_t* conf_id) {
  VZ_LOG(" count [%d]", count);
  if (count < 1) return 0;
  if (speakers == nullptr) {
    VZ_LOG_ERROR("a count of %d without a list: nothing sent", count);
    return 0;
  }
  const std::string text = ACSpeakersReport(speakers, count, conf_id);
  VZ_LOG("[%s]", text.c_str());
  QueueFrame(text, PIPE_KIND_JSON_TEXT);
  return 1;  // a report was built; without a client it is dropped as any other

}

int32_t CVzLinkInstController::WSACSessionResponseRostersNetwork(ACRosterNetworkEntry* rosters, int32_t count,
                                                                 const char16_t* conf_id) {
  VZ_LOG(" count [%d]", count);
  if (count < 1) return 0;
  if (rosters == nullptr) {
    VZ_LOG_ERROR("a count of %d without a list: nothing sent", count);
    return 0;
  }
  QueueFrame(ACNetworksReport(rosters, count, conf_id), PIPE_KIND_JSON_TEXT);
  return 1;  // a report was built; without a client it is dropped as any other
}

int32_t CVzLinkInstController::WSACSessionResponseDeviceLevel(int32_t speaker_level, int32_t microphone_level,
                                                              const char16_t* conf_id) {
  VZ_LOG("level speaker [%d], micphone [%d]", speaker_level, microphone_level);
  QueueFrame(ACDeviceLevelReport(speaker_level, microphone_level, conf_id), PIPE_KIND_JSON_TEXT);
  return 0;
}

int32_t CVzLinkInstController::WSACSessionNotifyJoin(const char16_t* conf_id) {
  VZ_LOG("");
  QueueFrame(ACNoticeReport(ACNotice::kJoin, conf_id), PIPE_KIND_JSON_TEXT);
  return 0;
}

int32_t CVzLinkInstController::WSACSessionNotifyLeave(const char16_t* conf_id) {
  VZ_LOG("");
  QueueFrame(ACNoticeReport(ACNotice::kLeave, conf_id), PIPE_KIND_JSON_TEXT);
  return 0;
}

int32_t CVzLinkInstController::WSACSessionNotifyMute(const char16_t* conf_id) {
  VZ_LOG("");
  QueueFrame(ACNoticeReport(ACNotice::kMute, conf_id), PIPE_KIND_JSON_TEXT);
  return 0;
}

int32_t CVzLinkInstController::WSACSessionNotifyUnmute(const char16_t* conf_id) {
  VZ_LOG("");
  QueueFrame(ACNoticeReport(ACNotice::kUnmute, conf_id), PIPE_KIND_JSON_TEXT);
  return 0;
}

// Video and the ping answer.

int32_t CVzLinkInstController::WSAVSessionResponseJoined(int32_t broadcasted, int32_t ssrc,
                                                         const char16_t* conf_id) {
  VZ_LOG("");
  QueueFrame(AVJoinedReport(broadcasted, ssrc, conf_id), PIPE_KIND_JSON_TEXT);
  return 0;
}

int32_t CVzLinkInstController::WSAVSessionResponseStatus(int32_t status, const char16_t* conf_id) {
  VZ_LOG("status [%d]", status);
  if (status == kSessionJoined) {
    LogJoinedStatusRefused(VZ_FUNC, __LINE__);
    return 0;
  }
  QueueFrame(AVStatusReport(status, conf_id), PIPE_KIND_JSON_TEXT);
  return 0;
}

int32_t CVzLinkInstController::WSAVSessionResponseError(int32_t code, int32_t code_type, const char16_t* conf_id) {
  QueueFrame(AVErrorReport(code, code_type, conf_id), PIPE_KIND_JSON_TEXT);
  return 0;
}

int32_t CVzLinkInstController::WSAVSessionResponseBroadcasted(int32_t broadcasted, const char16_t* conf_id) {
  VZ_LOG("broadcasted [%d]", broadcasted);
  QueueFrame(AVBroadcastedReport(broadcasted, conf_id), PIPE_KIND_JSON_TEXT);
  return 0;
}

int32_t CVzLinkInstController::WSAVSessionNotifyJoin(const char16_t* conf_id) {
  VZ_LOG("");
  QueueFrame(AVNotifyJoinReport(conf_id), PIPE_KIND_JSON_TEXT);
  return 0;
}

int32_t CVzLinkInstController::WSAppResponsePong(const char16_t* conf_id) {
  VZ_LOG("");
  QueueFrame(AppPongReport(conf_id), PIPE_KIND_JSON_TEXT);
  return 0;
}

#include "video/engine/session/vz_video_session.h"

#include <string_view>

#include "common/byte_stream.h"
#include "common/trace_client.h"
#include "common/transport_records.h"
#include "contracts/session_records.h"
#include "platform/text.h"

namespace {

// The session's own streams: network order, room for any signalling message
// without growing.
constexpr uint32_t kStreamCapacity = 1024;

// The record's roster id, read up to its NUL or its field's end.
std::string NarrowRosterId(const AVSessionConfig& config) {
  constexpr size_t kChars = sizeof(config.RosterId) / sizeof(config.RosterId[0]);
  size_t length = 0;
  while (length < kChars && config.RosterId[length] != 0) ++length;
  return vz::Utf16ToUtf8(std::u16string_view(config.RosterId, length));
}

}  // namespace

CVZVideoSession::CVZVideoSession(IVZVideoSessionSink* sink) : sink_(sink) {
  VZ_LOG_OBJ("");
  transport_.CreateInstance(this, kTransportSessionVideo);
}

CVZVideoSession::CVZVideoSession(IVZVideoSessionSink* sink, const TransportLibraryLoader& loader)
    : sink_(sink), transport_(loader) {
  VZ_LOG_OBJ("");
  transport_.CreateInstance(this, kTransportSessionVideo);
}

CVZVideoSession::~CVZVideoSession() {
  VZ_LOG_OBJ("");
  LeaveSession();
  // transport_ releases the transport session as it goes.
}

int32_t CVZVideoSession::JoinSession(const AVSessionConfig* config, const NetworkProxyEntry* proxy,
                                     IMediaTransportFilter* filter) {
  VZ_LOG_OBJ("pCfg=0x%016llX filterFunc=0x%016llX", vz::LogAddress(config), vz::LogAddress(filter));
  if (config == nullptr) return 0;
  m_rosterid = NarrowRosterId(*config);
  const uint8_t started = transport_.Join(config, proxy, filter);
  VZ_LOG_OBJ("nRet=%d m_rosterid=%s", started, m_rosterid.c_str());
  // Nothing will confirm a join that never started: say so now instead of
  // leaving the caller waiting for ever.
  if (started == 0) {
    VZ_LOG_ERROR("the transport did not start the join (%s)",
                 transport_.HasTransport() ? "refused" : "no transport");
    return 0;
  }
  return 1;
}

int32_t CVZVideoSession::LeaveSession() {
  VZ_LOG_OBJ("");
  transport_.Leave();
  if (sink_ != nullptr) sink_->OnSessionLeave(0, 0);
  return 1;
}

int32_t CVZVideoSession::SendRtp(const uint8_t* data, uint32_t len) {
  CByteStream stream(nullptr, kStreamCapacity, false);
  if (!WriteRtpRecord(&stream, 1, data, len)) return 0;  // logged by the writer
  return transport_.SendRtpData(&stream);
}

int32_t CVZVideoSession::SendRtcp(const uint8_t* data, uint32_t len) {
  CByteStream stream(nullptr, kStreamCapacity, false);
  if (!WriteRtcpRecord(&stream, data, len)) return 0;
  return transport_.SendRtcpData(&stream);
}

int32_t CVZVideoSession::SendCommandBytes(const std::string& message) {
  CByteStream stream(nullptr, kStreamCapacity, false);
  if (!WriteCommandRecord(&stream, reinterpret_cast<const uint8_t*>(message.data()),
                          static_cast<uint32_t>(message.size()))) {
    VZ_LOG_ERROR("could not write a command record of %zu bytes", message.size());
    return 0;
  }
  return transport_.SendCommandData(&stream);
}

int32_t CVZVideoSession::StartBroadcastRequest(int32_t sizeType) {
  VZ_LOG_OBJ("sizeType=%d", sizeType);
  return SendCommandBytes(AvStartVideoRequest(m_rosterid, sizeType));
}

int32_t CVZVideoSession::StopBroadcastRequest() {
  VZ_LOG_OBJ("");
  return SendCommandBytes(AvStopVideoRequest(m_rosterid));
}

int32_t CVZVideoSession::UpdateVideoSizeRequest(int32_t sizeType) {
  VZ_LOG_OBJ("sizeType=%d", sizeType);
  return SendCommandBytes(AvUpdateVideoSizeRequest(m_rosterid, sizeType));
}

int32_t CVZVideoSession::SubscribeVideoRequest(const VideoSubscribeList& list) {
  VZ_LOG_OBJ("Want subscribe %d video", static_cast<int>(list.size()));
  for (size_t i = 0; i < list.size(); ++i) {
    VZ_LOG_OBJ("index=%d rosterId=%s, wantSize=%d", static_cast<int>(i), list[i].rosterId.c_str(),
               list[i].wantSize);
  }
  return SendCommandBytes(AvSubscribeVideoRequest(m_rosterid, list));
}

int32_t CVZVideoSession::UnsubscribeVideoRequest(const VideoSubscribeList& list) {
  VZ_LOG_OBJ("Want unsubscribe %d video", static_cast<int>(list.size()));
  for (size_t i = 0; i < list.size(); ++i) {
    VZ_LOG_OBJ("index=%d rosterId=%s, wantSize=%d", static_cast<int>(i), list[i].rosterId.c_str(),
               list[i].wantSize);
  }
  return SendCommandBytes(AvUnsubscribeVideoRequest(m_rosterid, list));
}

int32_t CVZVideoSession::SetSpotlightRequest(const std::string& rosterId) {
  VZ_LOG_OBJ("rosterId=%s", rosterId.c_str());
  return SendCommandBytes(AvSetSpotlightRequest(rosterId));
}

int32_t CVZVideoSession::UnsetSpotlightRequest() {
  VZ_LOG_OBJ("");
  return SendCommandBytes(AvUnsetSpotlightRequest());
}

void CVZVideoSession::OnJoinSessionConfirm(uint32_t ssrc) {
  VZ_LOG_OBJ("ssrc=%u", ssrc);
  if (sink_ != nullptr) sink_->OnSessionJoin(1, ssrc);
}

void CVZVideoSession::OnLeaveSessionConfirm(int32_t reason, int32_t arg) {
  VZ_LOG_OBJ("reason=%d arg=%d", reason, arg);
  if (sink_ != nullptr) sink_->OnSessionLeave(reason, arg);
}

void CVZVideoSession::OnSessionReconnecting(int32_t reason, int32_t arg) {
  VZ_LOG_OBJ("reason=%d arg=%d", reason, arg);
  if (sink_ != nullptr) sink_->OnReconnecting();
}

void CVZVideoSession::OnReceiveCommandData(CByteStream* stream) {
  if (stream == nullptr || stream->GetDataLength() < 2) return;
  std::vector<uint8_t> message;
  if (!ReadCommandRecord(stream, &message)) {
    uint16_t kind = 0;
    PeekRecordKind(*stream, &kind);
    VZ_LOG_WARN("dropped a record of kind %u on the command path", kind);
    return;
  }
  DispatchAvMessage(message.data(), message.size(), sink_);
}

void CVZVideoSession::OnReceiveRtpData(CByteStream* stream) {
  if (stream == nullptr) return;
  RtpRecord record;
  if (!ReadRtpRecord(stream, &record)) {
    VZ_LOG_WARN("dropped %u bytes that are not an RTP record", stream->GetDataLength());
    return;
  }
  if (record.data.empty() || sink_ == nullptr) return;
  sink_->OnReceiveRtpData(record.data.data(), static_cast<uint32_t>(record.data.size()));
}

void CVZVideoSession::OnReceiveRtcpData(CByteStream* stream) {
  if (stream == nullptr) return;
  RtcpRecord record;
  if (!ReadRtcpRecord(stream, &record)) {
    VZ_LOG_WARN("dropped %u bytes that are not an RTCP record", stream->GetDataLength());
    return;
  }
  if (record.data.empty() || sink_ == nullptr) return;
  sink_->OnReceiveRtcpData(record.data.data(), static_cast<uint32_t>(record.data.size()));
}

std::unique_ptr<IVZVideoSession> CreateVZVideoSession(IVZVideoSessionSink* sink) {
  auto session = std::make_unique<CVZVideoSession>(sink);
  VZ_LOG("session=0x%016llX transport=%d", vz::LogAddress(session.get()), session->HasTransport() ? 1 : 0);
  return session;
}

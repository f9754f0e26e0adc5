#pragma once
// Test support: a media transport bound through the wrapper's loader, for
// tests of the video session and of what is built on it. It keeps what the
// session sent (signalling messages without their record kind, RTP and RTCP
// packets without their record headers) and plays the transport's
// callbacks with streams made as the transport makes them.
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "common/byte_stream.h"
#include "common/transport_records.h"
#include "contracts/media_transport.h"
#include "contracts/session_records.h"
#include "contracts/vz_transport_wrapper.h"

namespace video_session_test {

class FakeVideoTransport : public IMediaTransport {
 public:
  // The transport the loader hands out next (the test owns it); null makes
  // the library's create fail.
  static FakeVideoTransport*& Next() {
    static FakeVideoTransport* next = nullptr;
    return next;
  }
  static TransportLibraryLoader Loader() {
    return TransportLibraryLoader{[](const char*) -> void* { return &Next(); }, &Ordinal};
  }
  static TransportLibraryLoader MissingLibrary() {
    return TransportLibraryLoader{[](const char*) -> void* { return nullptr; }, &Ordinal};
  }

  // The transport's callbacks, on the calling thread.
  void Confirm(uint32_t ssrc) { sink->OnJoinSessionConfirm(ssrc); }
  void ConfirmLeave(int32_t reason, int32_t arg) { sink->OnLeaveSessionConfirm(reason, arg); }
  void Reconnecting() { sink->OnSessionReconnecting(1, 0); }
  // Raw stream bytes, as a transport hands them over (record kind included).
  void ReceiveCommandStream(const std::string& bytes) {
    CByteStream stream = Borrowed(bytes);
    sink->OnReceiveCommandData(&stream);
  }
  void ReceiveRtpStream(const std::string& bytes) {
    CByteStream stream = Borrowed(bytes);
    sink->OnReceiveRtpData(&stream);
  }
  void ReceiveRtcpStream(const std::string& bytes) {
    CByteStream stream = Borrowed(bytes);
    sink->OnReceiveRtcpData(&stream);
  }
  // One signalling message in a command record (kind 7).
  void ReceiveCommand(const std::string& message) { ReceiveCommandStream(std::string("\x00\x07", 2) + message); }
  void ReceiveRtp(const std::string& packet) {
    CByteStream stream(nullptr, 1024, false);
    WriteRtpRecord(&stream, 1, reinterpret_cast<const uint8_t*>(packet.data()), static_cast<uint32_t>(packet.size()));
    sink->OnReceiveRtpData(&stream);
  }
  void ReceiveRtcp(const std::string& packet) {
    CByteStream stream(nullptr, 1024, false);
    WriteRtcpRecord(&stream, reinterpret_cast<const uint8_t*>(packet.data()), static_cast<uint32_t>(packet.size()));
    sink->OnReceiveRtcpData(&stream);
  }

  std::vector<std::string> Commands() { return Copy(commands); }
  std::vector<std::string> RtpPackets() { return Copy(rtp); }
  std::vector<std::string> RtcpPackets() { return Copy(rtcp); }

  uint8_t GetSessionType() override { return session_type; }
  uint8_t Join(const void* config, const NetworkProxyEntry* proxy, IMediaTransportFilter* f) override {
    std::lock_guard<std::mutex> lock(mutex);
    ++joins;
    std::memcpy(&joined, config, sizeof(joined));
    proxy_given = proxy;
    filter = f;
    return join_result;
  }
  int32_t Leave() override {
    std::lock_guard<std::mutex> lock(mutex);
    ++leaves;
    return 1;
  }
  int32_t SendCommandData(const CByteStream* stream) override {
    std::vector<uint8_t> message;
    CByteStream copy(stream->ReadPointer(), stream->GetDataLength(), false);
    std::lock_guard<std::mutex> lock(mutex);
    ++command_streams;
    if (ReadCommandRecord(&copy, &message)) commands.emplace_back(message.begin(), message.end());
    return send_result;
  }
  int32_t SendRtpData(const CByteStream* stream) override {
    CByteStream copy(stream->ReadPointer(), stream->GetDataLength(), false);
    RtpRecord record;
    std::lock_guard<std::mutex> lock(mutex);
    if (ReadRtpRecord(&copy, &record)) rtp.emplace_back(record.data.begin(), record.data.end());
    return send_result;
  }
  int32_t SendRtcpData(const CByteStream* stream) override {
    CByteStream copy(stream->ReadPointer(), stream->GetDataLength(), false);
    RtcpRecord record;
    std::lock_guard<std::mutex> lock(mutex);
    if (ReadRtcpRecord(&copy, &record)) rtcp.emplace_back(record.data.begin(), record.data.end());
    return send_result;
  }
  int32_t SendDataUtf8(const char*, uint32_t) override { return 0; }
  int32_t GetSendBacklog() override { return 0; }
  int32_t SendDataBinary(const uint8_t*, uint32_t) override { return 0; }
  int32_t GetMemberCount() override { return 0; }
  int32_t SetOption(int32_t, int32_t) override { return 0; }
  int32_t GetOption(int32_t, int32_t*) override { return 0; }
  int32_t Subscribe(uint32_t, int32_t) override { return 0; }
  int32_t SetMaxSendBandwidth(int32_t) override { return 0; }

  std::mutex mutex;
  IMediaTransportSink* sink = nullptr;
  uint8_t session_type = 0;
  int created = 0;
  int released = 0;
  int joins = 0;
  int leaves = 0;
  int command_streams = 0;
  uint8_t join_result = 1;
  int32_t send_result = 1;
  AVSessionConfig joined{};
  const NetworkProxyEntry* proxy_given = nullptr;
  IMediaTransportFilter* filter = nullptr;
  std::vector<std::string> commands;  // AvData bytes
  std::vector<std::string> rtp;       // RTP packets
  std::vector<std::string> rtcp;      // RTCP packets

 private:
  static CByteStream Borrowed(const std::string& bytes) {
    return CByteStream::Borrow(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<uint32_t>(bytes.size()),
                               false);
  }
  std::vector<std::string> Copy(const std::vector<std::string>& list) {
    std::lock_guard<std::mutex> lock(mutex);
    return list;
  }
  static IMediaTransport* Create(IMediaTransportSink* s, uint8_t type) {
    FakeVideoTransport* fake = Next();
    if (fake == nullptr) return nullptr;
    fake->sink = s;
    fake->session_type = type;
    ++fake->created;
    return fake;
  }
  static void Release(IMediaTransport* transport) { ++static_cast<FakeVideoTransport*>(transport)->released; }
  static void* Ordinal(void*, int ordinal) {
    if (ordinal == 1) return reinterpret_cast<void*>(&Create);
    if (ordinal == 2) return reinterpret_cast<void*>(&Release);
    return nullptr;
  }
};

}  // namespace video_session_test

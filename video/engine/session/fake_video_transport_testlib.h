#pragma once
// Test support: a media transport bound through the wrapper's loader, for
// tests of the video session and of what is built on it. It keeps what the
// session sent (signalling messages without their record kind, RTP and RTCP
// packets without their record headers) and plays the transport's
// callbacks with streams made as the transport makes them.
#include <mutex>
#include <string>
#include <vector>

#include "common/byte_stream.h"
#include "common/transport_records.h"
#include "contracts/session_records.h"
#include "contracts/fake_transport_base_testlib.h"

namespace video_session_test {

class FakeVideoTransport : public transport_test::FakeTransportBase<FakeVideoTransport, AVSessionConfig> {
 public:
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

  int command_streams = 0;
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
};

}  // namespace video_session_test

#pragma once
// Test support: the records members put in the relay's command, RTP and
// RTCP frames, and the payloads of the relay's own frames, built as a real
// member writes them. The wire's numbers are written out here, not taken
// from the code under test, so that a test stays a witness of the format.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "outside/vzwire/relay/relay_frame.h"
#include "platform/big_endian.h"

namespace vzrelay_test {

// Record kinds: every record starts with its uint16 kind.
constexpr uint16_t kCommandRecordKind = 7;  // the kind, then a signalling message
constexpr uint16_t kRtpRecordKind = 8;
constexpr uint16_t kRtcpRecordKind = 9;
constexpr size_t kCommandRecordHeaderSize = 2;  // the kind
// The kind, uint16 0, uint32 0, uint8 1, then the packet's uint16 length.
constexpr size_t kRtpRecordHeaderSize = 11;
constexpr size_t kRtcpRecordHeaderSize = 4;  // the kind, then the packet's uint16 length
// An RTP packet's fixed header: its sequence at bytes 2-3, its SSRC at 8-11.
constexpr size_t kRtpHeaderSize = 12;
// RTCP packet types.
constexpr uint8_t kRtcpSenderReport = 200;
constexpr uint8_t kRtcpBye = 203;
constexpr uint8_t kRtcpPayloadFeedback = 206;

// A command record holding `message` (a serialized signalling message, or
// any bytes).
inline std::vector<uint8_t> CommandRecord(const std::string& message) {
  std::vector<uint8_t> record;
  vzrelay::PutU16(&record, kCommandRecordKind);
  record.insert(record.end(), message.begin(), message.end());
  return record;
}

// An RTP packet of `packet_bytes` (at least kRtpHeaderSize) of stream
// `ssrc`: its header, then zeros.
inline std::vector<uint8_t> RtpPacket(uint32_t ssrc, uint16_t sequence, uint16_t packet_bytes) {
  std::vector<uint8_t> packet(packet_bytes, 0);
  packet[0] = 0x80;  // version 2
  vz::Store16(&packet[2], sequence);
  vz::Store32(&packet[8], ssrc);
  return packet;
}

// An RTP record holding RtpPacket(ssrc, sequence, packet_bytes).
inline std::vector<uint8_t> RtpRecord(uint32_t ssrc, uint16_t sequence, uint16_t packet_bytes = 24) {
  std::vector<uint8_t> record;
  vzrelay::PutU16(&record, kRtpRecordKind);
  vzrelay::PutU16(&record, 0);
  vzrelay::PutU32(&record, 0);
  record.push_back(1);
  vzrelay::PutU16(&record, packet_bytes);
  const std::vector<uint8_t> packet = RtpPacket(ssrc, sequence, packet_bytes);
  record.insert(record.end(), packet.begin(), packet.end());
  return record;
}

// The sequence number of the packet in an RTP record.
inline uint16_t RtpRecordSequence(const uint8_t* record) { return vz::Load16(record + kRtpRecordHeaderSize + 2); }

// An RTCP packet: version 2 and `count` in its first byte, its `type`, the
// length field `words`, then `body` (its SSRCs and what follows them).
inline std::vector<uint8_t> RtcpPacketBytes(uint8_t type, uint8_t count, uint16_t words,
                                            const std::vector<uint32_t>& body) {
  std::vector<uint8_t> packet = {static_cast<uint8_t>(0x80 | count), type};
  vzrelay::PutU16(&packet, words);
  for (uint32_t value : body) vzrelay::PutU32(&packet, value);
  return packet;
}

// An RTCP record holding `packet` (one packet or a compound).
inline std::vector<uint8_t> RtcpRecord(const std::vector<uint8_t>& packet) {
  std::vector<uint8_t> record;
  vzrelay::PutU16(&record, kRtcpRecordKind);
  vzrelay::PutU16(&record, static_cast<uint16_t>(packet.size()));
  record.insert(record.end(), packet.begin(), packet.end());
  return record;
}

// A frame's header saying `kind` and `size`, then `bytes` however many
// they are: for frames no honest member sends.
inline std::vector<uint8_t> RawFrame(vzrelay::FrameKind kind, uint32_t size, const std::vector<uint8_t>& bytes) {
  std::vector<uint8_t> frame(vzrelay::kFrameHeaderSize);
  vzrelay::WriteFrameHeader(frame.data(), kind, size);
  frame.insert(frame.end(), bytes.begin(), bytes.end());
  return frame;
}

// A ping's payload: its sequence and a send time of 0.
inline std::vector<uint8_t> PingPayload(uint32_t sequence) {
  std::vector<uint8_t> payload;
  vzrelay::PutU32(&payload, sequence);
  vzrelay::PutU64(&payload, 0);
  return payload;
}

// A byte count (frame kind 14): what the member says it took so far.
inline std::vector<uint8_t> ConsumedCount(uint64_t bytes) {
  std::vector<uint8_t> payload;
  vzrelay::PutU64(&payload, bytes);
  return payload;
}

}  // namespace vzrelay_test

#pragma once
// Test support: the sharing and video messages a test's members send, and
// the payloads of the relay's own frames (ping, byte count, RTP record,
// signalling record), built as a real member would write them.
#include <cstdint>
#include <string>
#include <vector>

#include "avdef.pb.h"
#include "dsdef.pb.h"
#include "outside/vzwire/relay/relay_frame.h"

namespace vzrelay_test {

// Sharing messages (all of session ds-1).

inline DsData Header(DsDataType type) {
  DsData message;
  message.set_type(type);
  message.set_ds_id("ds-1");
  return message;
}

// One JPEG cache slot holding `bytes`.
inline void AddCache(DsData* message, uint64_t index, uint64_t pdu_id, const std::string& bytes) {
  DsCache* cache = message->add_caches();
  cache->set_index(index);
  cache->set_pdu_id(pdu_id);
  DsCacheData* slot = cache->add_cache_data();
  slot->set_type(DS_CACHE_JPEG);
  slot->set_data_size(bytes.size());
  slot->set_data(bytes);
}

// A block at `position` showing cache (`cache_index`, `cache_pdu_id`).
inline void AddBlock(DsData* message, uint64_t index, uint64_t position, uint64_t cache_index,
                     uint64_t cache_pdu_id) {
  DsBlock* block = message->add_blocks();
  block->set_index(index);
  block->set_pdu_id(index + 1000);
  block->set_position(position);
  block->set_cache_index(cache_index);
  block->set_cache_pdu_id(cache_pdu_id);
}

// A command of `type` from `from` to `to` (none when empty).
inline DsData Command(int type, const std::string& from, const std::string& to) {
  DsData message = Header(DS_DATA_COMMAND);
  message.mutable_command()->set_type(type);
  if (!from.empty()) message.mutable_command()->set_src_roster_id(from);
  if (!to.empty()) message.mutable_command()->set_dst_roster_id(to);
  return message;
}

// Video signalling.

inline AvData AvRequest(AvDataType type, const std::string& roster) {
  AvData message;
  message.set_type(type);
  message.set_client_version(4);
  message.set_roster_id(roster);
  return message;
}

// A subscription of `subscriber` to `target`'s camera.
inline AvData SubscribeRequest(const std::string& subscriber, const std::string& target) {
  AvData message = AvRequest(AV_SUBSCRIBE_VIDEO_REQUEST, subscriber);
  AvRoster* roster = message.add_rosters();
  roster->set_roster_id(target);
  roster->set_videotype(1);
  return message;
}

// Payloads of the relay's frames.

// A command record: kind 7, then the message.
inline std::vector<uint8_t> SignallingRecord(const AvData& message) {
  std::vector<uint8_t> record = {0, 7};
  const std::string bytes = message.SerializeAsString();
  record.insert(record.end(), bytes.begin(), bytes.end());
  return record;
}

// An RTP packet of `packet_bytes` (at least 12) of stream `ssrc`: its
// header, then zeros.
inline std::vector<uint8_t> RtpPacket(uint32_t ssrc, uint16_t sequence, uint16_t packet_bytes) {
  std::vector<uint8_t> packet(packet_bytes, 0);
  packet[0] = 0x80;
  packet[2] = static_cast<uint8_t>(sequence >> 8);
  packet[3] = static_cast<uint8_t>(sequence);
  for (int i = 0; i < 4; ++i) packet[8 + i] = static_cast<uint8_t>(ssrc >> (24 - 8 * i));
  return packet;
}

// An RTP record: kind 8, 9 header bytes, then the packet.
inline std::vector<uint8_t> RtpRecord(uint32_t ssrc, uint16_t sequence, uint16_t packet_bytes = 24) {
  std::vector<uint8_t> record = {0, 8, 0, 0, 0, 0, 0, 0, 1};
  vzrelay::PutU16(&record, packet_bytes);
  const std::vector<uint8_t> packet = RtpPacket(ssrc, sequence, packet_bytes);
  record.insert(record.end(), packet.begin(), packet.end());
  return record;
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

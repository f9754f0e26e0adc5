#pragma once
// Test support: the sharing and video messages a test's members send, built
// as a real member would write them; the records that carry them and the
// payloads of the relay's own frames are relay_records_testlib.h's.
#include <cstdint>
#include <string>
#include <vector>

#include "avdef.pb.h"
#include "dsdef.pb.h"
#include "outside/vzwire/relay/relay_records_testlib.h"

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

// A command record holding `message`.
inline std::vector<uint8_t> SignallingRecord(const AvData& message) {
  return CommandRecord(message.SerializeAsString());
}

}  // namespace vzrelay_test

// Fuzz target: one meeting hub with the servers' roles and four members
// that come and go. The input is cut into steps, each one byte (member
// slot in the low two bits, step in the high four; a reconnection or a ping
// by the third bit in step 15), two bytes of length
// and the payload: joins of the sharing or the video session (or the
// payload as a join request), leaves, commands, RTP, RTCP, text and binary
// data, sharing messages of a chosen type, subscriptions, a member's queue
// emptying, and lost connections; and sharing messages built from a few
// caches, blocks or JOINs repeated many times, whose blocks name a small
// set of caches so that they repeat and overlap the ones kept. Inputs of
// odd length run against a hub with a meeting secret, whose joins carry
// member tokens (and raw joins whatever token the input holds).
//
// Whatever the input, no member is given a data payload larger than a
// frame, and no answer to a cache request names a cache twice.
#include <google/protobuf/unknown_field_set.h>

#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "common/trace_client_test_hooks.h"
#include "contracts/proto/dsdef_fields.h"
#include "outside/vzwire/relay/meeting_hub.h"
#include "outside/vzwire/relay/member_credential.h"
#include "outside/vzwire/relay/relay_roles.h"
#include "platform/big_endian.h"

namespace {

using vzrelay::FrameKind;

// The members' backlog limit, low enough that a few steps fill it (what
// a member may be sent then runs short of what it asks for).
constexpr size_t kBacklogLimit = 2u << 20;

// Field numbers of the sharing messages built here.
using vz::dsdef::DsBlock;
using vz::dsdef::DsCache;
using vz::dsdef::DsCacheData;
using vz::dsdef::kCreateBlocks;
using vz::dsdef::kCreateCaches;
using vz::dsdef::kGetCaches;
constexpr int kFieldType = vz::dsdef::DsData::kTypeFieldNumber, kFieldDsId = vz::dsdef::DsData::kDsIdFieldNumber,
              kFieldCaches = vz::dsdef::DsData::kCachesFieldNumber, kFieldBlocks = vz::dsdef::DsData::kBlocksFieldNumber;

// Stops the run: what a member was given breaks the server's promises.
// Only the sharing server's answers are known to name each cache once (a
// session of another type relays what its members send as it stands).
void CheckAnswer(const uint8_t* payload, size_t size, bool sharing) {
  if (size > vzrelay::kMaxDataPayload) std::abort();
  if (!sharing) return;
  google::protobuf::UnknownFieldSet message;
  if (!message.ParseFromArray(payload, static_cast<int>(size))) return;
  bool answer = false;
  std::set<uint64_t> named;
  size_t caches = 0;
  for (int i = 0; i < message.field_count(); ++i) {
    const google::protobuf::UnknownField& field = message.field(i);
    if (field.number() == kFieldType && field.type() == google::protobuf::UnknownField::TYPE_VARINT) {
      answer = field.varint() == kGetCaches;
    }
    if (field.number() != kFieldCaches || field.type() != google::protobuf::UnknownField::TYPE_LENGTH_DELIMITED) {
      continue;
    }
    google::protobuf::UnknownFieldSet cache;
    if (!cache.ParseFromString(field.length_delimited())) continue;
    for (int j = 0; j < cache.field_count(); ++j) {
      if (cache.field(j).number() == DsCache::kIndexFieldNumber &&
          cache.field(j).type() == google::protobuf::UnknownField::TYPE_VARINT) {
        named.insert(cache.field(j).varint());
      }
    }
    ++caches;
  }
  if (answer && named.size() != caches) std::abort();
}

// Reads every frame it is given, so a bad length shows under the
// sanitizers, and queues it until the fuzzer empties the queue.
class QueueLink : public vzrelay::IMemberLink {
 public:
  bool Deliver(FrameKind kind, const uint8_t* payload, size_t size) override {
    for (size_t i = 0; i < size; ++i) sum += payload[i];
    if (kind == FrameKind::kDataBinary) CheckAnswer(payload, size, sharing);
    backlog += size;
    return backlog <= kBacklogLimit;
  }
  size_t Backlog() const override { return backlog; }
  void Close(const char*) override { closed = true; }
  size_t backlog = 0;
  bool closed = false;
  bool sharing = false;  // joined to the sharing session by the fuzzer's own join
  unsigned sum = 0;
};

struct Slot {
  QueueLink link;
  vzrelay::MemberId id = 0;  // 0: not connected
};

constexpr char kSecret[] = "the fuzzer's meeting secret";

// Slot 0 joins as the presenter; slot 3 is of another meeting, naming the
// same session ids (its own meeting's sessions of those ids).
// `previous_ssrc`: the stream a reconnecting transport names (0: none);
// `roster`: the roster id joined as, when not the slot's own.
std::vector<uint8_t> Join(uint8_t type, size_t slot, bool with_secret, uint32_t previous_ssrc = 0,
                          const std::string& roster = std::string()) {
  vzrelay::JoinRequest join;
  join.previous_ssrc = previous_ssrc;
  join.session_type = type;
  join.session_id = type == 3 ? "ds-1" : "meet-1";
  join.meet_id = slot == 3 ? "meet-2" : "meet-1";
  join.roster_id = !roster.empty() ? roster : "r" + std::to_string(slot % 3);  // two slots share a roster id
  join.presenter = slot == 0;
  join.token = "VDS " + join.meet_id + ":" +
               (with_secret ? vzrelay::MakeMemberToken(kSecret, join.meet_id, join.roster_id,
                                                       join.presenter ? vzrelay::MemberRole::kPresenter
                                                                      : vzrelay::MemberRole::kAttendee)
                            : "t");
  return vzrelay::EncodeJoinRequest(join);
}

void PutVarint(std::vector<uint8_t>* out, uint64_t value) {
  for (; value >= 0x80; value >>= 7) out->push_back(static_cast<uint8_t>(value | 0x80));
  out->push_back(static_cast<uint8_t>(value));
}
void PutDelimited(std::vector<uint8_t>* out, int number, const std::vector<uint8_t>& bytes) {
  PutVarint(out, static_cast<uint64_t>(number) << 3 | 2);
  PutVarint(out, bytes.size());
  out->insert(out->end(), bytes.begin(), bytes.end());
}
void PutField(std::vector<uint8_t>* out, int number, uint64_t value) {
  PutVarint(out, static_cast<uint64_t>(number) << 3);
  PutVarint(out, value);
}

// The most parts one built message repeats, and the bytes it repeats
// them up to (a few large caches, so that a run stays quick).
constexpr size_t kMostRepeatedParts = 20000;
constexpr size_t kMostRepeatedBytes = 256u << 10;

// A sharing message from `spec`: its first byte chooses caches, blocks or
// a cache request (the blocks a request names), its second how often the
// parts repeat; each further three bytes make one part: a cache index of
// 0 to 15 (so that parts name the same caches), a PDU id of 0 to 3, and a
// position or a cache's size in units of 256 bytes. The parts are
// repeated up to kMostRepeatedBytes. (An answer stops at a frame or at the
// member's backlog room by the same rule: a member's queue filling up
// brings the room below what a request names.)
std::vector<uint8_t> RepeatedParts(const std::vector<uint8_t>& spec) {
  std::vector<uint8_t> message;
  if (spec.size() < 2) return message;
  static constexpr uint64_t kTypes[] = {kGetCaches, kCreateBlocks, kCreateCaches};
  const uint64_t type = kTypes[spec[0] % 3];
  PutField(&message, kFieldType, type);
  PutDelimited(&message, kFieldDsId, {'d', 's', '-', '1'});
  std::vector<std::vector<uint8_t>> parts;
  for (size_t at = 2; at + 3 <= spec.size(); at += 3) {
    std::vector<uint8_t> part;
    const uint64_t index = spec[at] % 16, pdu_id = spec[at + 1] % 4;
    if (type == kCreateCaches) {
      PutField(&part, DsCache::kIndexFieldNumber, index);
      PutField(&part, DsCache::kPduIdFieldNumber, pdu_id);
      std::vector<uint8_t> slot;
      PutField(&slot, DsCacheData::kTypeFieldNumber, vz::dsdef::kCacheJpeg);
      PutDelimited(&slot, DsCacheData::kDataFieldNumber,
                   std::vector<uint8_t>(static_cast<size_t>(spec[at + 2]) << 8, 0x5A));
      PutDelimited(&part, DsCache::kCacheDataFieldNumber, slot);
    } else {
      PutField(&part, DsBlock::kIndexFieldNumber, spec[at + 2]);
      PutField(&part, DsBlock::kPositionFieldNumber, spec[at + 2]);
      PutField(&part, DsBlock::kCacheIndexFieldNumber, index);
      PutField(&part, DsBlock::kCachePduIdFieldNumber, pdu_id);
    }
    parts.push_back(std::move(part));
  }
  if (parts.empty()) return message;
  const size_t repeats = std::min<size_t>(1 + spec[1] * 16u, kMostRepeatedParts / parts.size());
  const int field = type == kCreateCaches ? kFieldCaches : kFieldBlocks;
  size_t added = 0;
  for (size_t r = 0; r < repeats; ++r) {
    for (const std::vector<uint8_t>& part : parts) {
      if (added++ != 0 && message.size() + part.size() > kMostRepeatedBytes) return message;
      PutDelimited(&message, field, part);
    }
  }
  return message;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = [] {
    vz::BindTracerForTest(nullptr);  // no log writer: nothing is written anywhere
    return true;
  }();
  (void)quiet;
  Slot slots[4];  // outlive the hub, which holds their links
  const bool with_secret = size % 2 == 1;
  vzrelay::HubOptions options;
  if (with_secret) options.member_secret = kSecret;
  options.member_backlog_limit = kBacklogLimit;
  vzrelay::MeetingHub hub(options);
  vzrelay::InstallRelayRoles(hub);
  const auto connect = [&](Slot& slot) {
    if (slot.id != 0 && hub.FindMember(slot.id) != nullptr) return;
    slot.link.backlog = 0;
    slot.link.closed = false;
    slot.id = hub.Connect(&slot.link);
    slot.link.sharing = false;
  };
  const auto note_session = [&](Slot& slot) {
    const vzrelay::Member* member = hub.FindMember(slot.id);
    slot.link.sharing = member != nullptr && member->session != nullptr && member->session->type == 3;
  };
  size_t at = 0;
  while (at + 3 <= size) {
    const uint8_t head = data[at];
    const size_t length = std::min<size_t>(vz::Load16(data + at + 1), size - at - 3);
    const std::vector<uint8_t> payload(data + at + 3, data + at + 3 + length);
    at += 3 + length;
    const size_t index = head & 3;
    Slot& slot = slots[index];
    vzrelay::Frame frame;
    frame.payload = payload;
    switch (head >> 4) {
      case 0:
      case 1:
        connect(slot);
        hub.OnFrame(slot.id, {FrameKind::kJoin, Join(head >> 4 == 0 ? 3 : 2, index, with_secret)});
        note_session(slot);
        continue;
      case 2: connect(slot); frame.kind = FrameKind::kJoin; break;
      case 15: {
        if ((head & 4) == 0) {
          frame.kind = FrameKind::kPing;
          break;
        }
        // A new connection of the slot joining video as the roster id the
        // payload picks, continuing the stream that roster id has now (a
        // join naming that SSRC), as a reconnecting transport's does.
        uint32_t ssrc = 0;
        const std::string roster = "r" + std::to_string((payload.empty() ? index + 1 : payload[0]) % 3);
        if (vzrelay::Session* video = hub.FindSession(2, index == 3 ? "meet-2" : "meet-1", "meet-1")) {
          for (const vzrelay::Member* member : video->members) {
            if (member->join.roster_id == roster) ssrc = member->ssrc;
          }
        }
        if (slot.id != 0) hub.Disconnect(slot.id);
        slot.id = 0;
        connect(slot);
        hub.OnFrame(slot.id, {FrameKind::kJoin, Join(2, index, with_secret, ssrc, roster)});
        continue;
      }
      case 3: frame.kind = FrameKind::kLeave; frame.payload.clear(); break;
      case 4: frame.kind = FrameKind::kCommand; break;
      case 5: frame.kind = FrameKind::kRtp; break;
      case 6: frame.kind = FrameKind::kRtcp; break;
      case 7: frame.kind = FrameKind::kDataBinary; break;
      case 8: frame.kind = FrameKind::kDataUtf8; break;
      case 9: frame.kind = FrameKind::kSubscribe; break;
      case 10:
        slot.link.backlog = 0;
        hub.OnDrained(slot.id);
        continue;
      case 11:
        hub.Disconnect(slot.id);
        slot.id = 0;
        continue;
      case 12: {
        // A sharing message of a chosen type: the type field, then the rest.
        frame.kind = FrameKind::kDataBinary;
        frame.payload.clear();
        if (!payload.empty()) {
          const uint64_t type = payload[0] % 13 == 0 ? uint64_t{vz::dsdef::kKeepAlive} : (payload[0] % 13) * 10u;
          PutField(&frame.payload, kFieldType, type);
          frame.payload.insert(frame.payload.end(), payload.begin() + 1, payload.end());
        }
        break;
      }
      case 13:
        // The member's queue fills up (a member that stops reading).
        slot.link.backlog += static_cast<size_t>(length) << 10;
        continue;
      case 14:
        if (!payload.empty() && payload[0] >= 0xF0) {
          // JOINs, many at once, as one member may send them.
          const uint8_t join[] = {0xA0, 0x01, 30};
          for (int i = 0; i < 1 + (payload[0] & 0x0F) * 64 && slot.id != 0; ++i) {
            hub.OnFrame(slot.id, {FrameKind::kDataBinary, std::vector<uint8_t>(join, join + sizeof(join))});
          }
          continue;
        }
        frame.kind = FrameKind::kDataBinary;
        frame.payload = RepeatedParts(payload);
        break;
      default: frame.kind = FrameKind::kPing; break;
    }
    if (slot.id != 0) hub.OnFrame(slot.id, frame);
    if (frame.kind == FrameKind::kJoin) note_session(slot);
  }
  for (Slot& slot : slots) {
    if (slot.id != 0) hub.Disconnect(slot.id);
  }
  return 0;
}

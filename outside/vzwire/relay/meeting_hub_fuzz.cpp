// Fuzz target: one meeting hub with the servers' roles and four members
// that come and go. The input is cut into steps, each one byte (member
// slot in the low two bits, step in the high four), two bytes of length
// and the payload: joins of the sharing or the video session (or the
// payload as a join request), leaves, commands, RTP, RTCP, text and binary
// data, sharing messages of a chosen type, subscriptions, a member's queue
// emptying, and lost connections. Inputs of odd length run against a hub
// with a meeting secret, whose joins carry member tokens (and raw joins
// whatever token the input holds).
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <string>
#include <vector>

#include "common/trace_client_test_hooks.h"
#include "outside/vzwire/relay/meeting_hub.h"
#include "outside/vzwire/relay/member_credential.h"
#include "outside/vzwire/relay/relay_roles.h"
#include "platform/big_endian.h"

namespace {

using vzrelay::FrameKind;

// Reads every frame it is given, so a bad length shows under the
// sanitizers, and queues it until the fuzzer empties the queue.
class QueueLink : public vzrelay::IMemberLink {
 public:
  bool Deliver(FrameKind, const uint8_t* payload, size_t size) override {
    for (size_t i = 0; i < size; ++i) sum += payload[i];
    backlog += size;
    return backlog <= (32u << 20);
  }
  size_t Backlog() const override { return backlog; }
  void Close(const char*) override { closed = true; }
  size_t backlog = 0;
  bool closed = false;
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
  vzrelay::MeetingHub hub(options);
  vzrelay::InstallRelayRoles(hub);
  const auto connect = [&](Slot& slot) {
    if (slot.id != 0 && hub.FindMember(slot.id) != nullptr) return;
    slot.link.backlog = 0;
    slot.link.closed = false;
    slot.id = hub.Connect(&slot.link);
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
      case 0: connect(slot); hub.OnFrame(slot.id, {FrameKind::kJoin, Join(3, index, with_secret)}); continue;
      case 1: connect(slot); hub.OnFrame(slot.id, {FrameKind::kJoin, Join(2, index, with_secret)}); continue;
      case 2: connect(slot); frame.kind = FrameKind::kJoin; break;
      case 14: {
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
          frame.payload = {0xA0, 0x01, static_cast<uint8_t>((payload[0] % 13) * 10)};  // field 20, varint
          if (payload[0] % 13 == 0) frame.payload[2] = 5;  // the keep-alive's type
          frame.payload.insert(frame.payload.end(), payload.begin() + 1, payload.end());
        }
        break;
      }
      case 13:
        // The member's queue fills up (a member that stops reading).
        slot.link.backlog += static_cast<size_t>(length) << 10;
        continue;
      default: frame.kind = FrameKind::kPing; break;
    }
    if (slot.id != 0) hub.OnFrame(slot.id, frame);
  }
  for (Slot& slot : slots) {
    if (slot.id != 0) hub.Disconnect(slot.id);
  }
  return 0;
}

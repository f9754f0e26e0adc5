#pragma once
// Test support: a member of a relay session played by a test over the
// relay's real socket, speaking its framing itself (join, sharing and
// signalling messages, RTP, pings), with deadlines on every read.
#include <string>
#include <vector>

#include "outside/vzwire/relay/join_request.h"
#include "outside/vzwire/relay/raw_frame_client_testlib.h"
#include "outside/vzwire/relay/relay_messages_testlib.h"

namespace vzrelay_test {

constexpr uint8_t kVideo = 2, kSharing = 3;  // session types

// A join with the plain token every member of `meeting` holds. A relay
// without a meeting secret or a token of its own admits to a session only
// the token its first member joined with: a test's members share this one.
inline vzrelay::JoinRequest PlainJoin(const std::string& roster, uint8_t type = kSharing,
                                      const std::string& session = "ds-1", const std::string& meeting = "meet-1",
                                      bool presenter = false) {
  vzrelay::JoinRequest join;
  join.session_type = type;
  join.session_id = session;
  join.meet_id = meeting;
  join.token = "VDS " + meeting + ":tok";
  join.roster_id = roster;
  join.presenter = presenter;
  return join;
}

// The plain join of the presenter of sharing session ds-1.
inline vzrelay::JoinRequest PresenterJoin(const std::string& roster) {
  return PlainJoin(roster, kSharing, "ds-1", "meet-1", true);
}

// A member that speaks the relay's framing itself. Each read waits at most
// its timeout for every frame; frames of other kinds than the one asked
// for are skipped. One thread may write while another reads; never two
// readers or two writers at once.
class RawMember {
 public:
  // Connects and joins; true on the confirm, which sets `ssrc` and
  // `members`. A refusal sets `refused` (its code) and `refusal` (its text).
  bool Join(uint16_t port, const vzrelay::JoinRequest& join) {
    if (!client.Connect(port) || !client.Send(vzrelay::FrameKind::kJoin, vzrelay::EncodeJoinRequest(join))) {
      return false;
    }
    vzrelay::Frame answer;
    if (!client.Next(&answer, nullptr, 30000)) return false;
    vzrelay::PayloadReader reader(answer.payload.data(), answer.payload.size());
    if (answer.kind == vzrelay::FrameKind::kJoinRefused && reader.GetU32(&refused)) {
      refusal.assign(reader.Rest(), reader.Rest() + reader.Remaining());
    }
    return answer.kind == vzrelay::FrameKind::kJoinConfirm && reader.GetU32(&ssrc) && reader.GetU32(&members);
  }

  // Sends.
  bool Send(const DsData& message) { return SendBytes(message.SerializeAsString()); }
  // A sharing payload as it stands (several messages, or none).
  bool SendBytes(const std::string& bytes) {
    return client.Send(vzrelay::FrameKind::kDataBinary, std::vector<uint8_t>(bytes.begin(), bytes.end()));
  }
  bool Send(const AvData& message) { return client.Send(vzrelay::FrameKind::kCommand, SignallingRecord(message)); }
  // An RTP packet of the member's own stream.
  bool SendRtp(uint16_t sequence, uint16_t packet_bytes = 40) {
    return client.Send(vzrelay::FrameKind::kRtp, RtpRecord(ssrc, sequence, packet_bytes));
  }

  // Reads.
  // True once the relay answered a ping, so has taken everything sent before.
  bool Synced(int timeout_ms = 60000) {
    vzrelay::Frame pong;
    return client.Send(vzrelay::FrameKind::kPing, std::vector<uint8_t>(12, 7)) &&
           NextOfKind(vzrelay::FrameKind::kPong, &pong, timeout_ms);
  }
  bool NextOfKind(vzrelay::FrameKind kind, vzrelay::Frame* frame, int timeout_ms = 30000) {
    while (client.Next(frame, nullptr, timeout_ms)) {
      if (frame->kind == kind) return true;
    }
    return false;
  }
  // The next sharing message; false when it does not parse.
  bool Next(DsData* message, int timeout_ms = 30000) {
    vzrelay::Frame frame;
    return NextOfKind(vzrelay::FrameKind::kDataBinary, &frame, timeout_ms) &&
           message->ParseFromArray(frame.payload.data(), static_cast<int>(frame.payload.size()));
  }
  // The next signalling message of `type` (others skipped).
  bool Next(AvDataType type, AvData* message, int timeout_ms = 30000) {
    vzrelay::Frame frame;
    while (NextOfKind(vzrelay::FrameKind::kCommand, &frame, timeout_ms)) {
      if (frame.payload.size() >= 2 &&
          message->ParseFromArray(frame.payload.data() + 2, static_cast<int>(frame.payload.size() - 2)) &&
          message->type() == type) {
        return true;
      }
    }
    return false;
  }
  bool NextRtp(int timeout_ms = 30000) {
    vzrelay::Frame frame;
    return NextOfKind(vzrelay::FrameKind::kRtp, &frame, timeout_ms);
  }

  RawClient client;
  uint32_t ssrc = 0;
  uint32_t members = 0;
  uint32_t refused = 0;
  std::string refusal;
};

// Sends START or JOIN and reads the answer: its code, or -1 when the next
// sharing message is not that answer.
inline int Ask(RawMember& member, DsDataType type) {
  DsData answer;
  if (!member.Send(Header(type)) || !member.Next(&answer) || answer.type() != type) return -1;
  return answer.code();
}

// A presenter that started sharing ds-1 and an attendee that joined it,
// both with the plain token.
struct SharingPair {
  RawMember presenter, attendee;
  // True when both answers were successes.
  bool Start(uint16_t port, const std::string& presenter_roster = "alice",
             const std::string& attendee_roster = "bob") {
    return presenter.Join(port, PresenterJoin(presenter_roster)) && Ask(presenter, DS_DATA_START) == DS_CODE_SUCCESS &&
           attendee.Join(port, PlainJoin(attendee_roster)) && Ask(attendee, DS_DATA_JOIN) == DS_CODE_SUCCESS;
  }
};

}  // namespace vzrelay_test

#include "outside/vzwire/relay/video_server_role.h"

#include <google/protobuf/unknown_field_set.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "common/log_text.h"
#include "common/trace_client.h"
#include "common/transport_records.h"
#include "contracts/av_roster_change.h"
#include "contracts/proto/avdef_fields.h"
#include "outside/vzwire/relay/rtcp_record.h"
#include "platform/big_endian.h"

// The server reads and writes the signalling messages through protobuf's
// schema-free field sets: the generated classes belong to the video engine,
// and a second copy of them in a library loaded beside it would register
// the same schema twice in one process.
namespace vzrelay {
namespace {

using google::protobuf::UnknownField;
using google::protobuf::UnknownFieldSet;

// Message types and field numbers of the signalling messages, as the schema
// names them (contracts/proto/avdef_fields.h). A notice of a change goes out
// with the type of the request that made it.
using vz::avdef::AvData;
using vz::avdef::AvRoster;
using vz::avdef::kActiveSpeaker;
using vz::avdef::kKeepAliveRequest;
using vz::avdef::kKeepAliveResponse;
using vz::avdef::kKeyFrameRequest;
using vz::avdef::kRosterChange;
enum : uint64_t {
  kStartVideo = vz::avdef::kStartVideoRequest, kStopVideo = vz::avdef::kStopVideoRequest,
  kSubscribe = vz::avdef::kSubscribeVideoRequest, kUnsubscribe = vz::avdef::kUnsubscribeVideoRequest,
  kSetSpotlight = vz::avdef::kSetSpotlightRequest, kUnsetSpotlight = vz::avdef::kUnsetSpotlightRequest,
  kUpdateVideoSize = vz::avdef::kUpdateVideoSizeRequest,
};
constexpr int kFieldCode = AvData::kCodeFieldNumber, kFieldType = AvData::kTypeFieldNumber,
              kFieldRosterId = AvData::kRosterIdFieldNumber, kFieldStatus = AvData::kStatusFieldNumber,
              kFieldVideoType = AvData::kVideotypeFieldNumber, kFieldSsrc = AvData::kSsrcFieldNumber,
              kFieldRosterType = AvData::kRosterTypeFieldNumber, kFieldRosters = AvData::kRostersFieldNumber;
constexpr int kRosterId = AvRoster::kRosterIdFieldNumber, kRosterStatus = AvRoster::kStatusFieldNumber,
              kRosterVideoType = AvRoster::kVideotypeFieldNumber, kRosterSpotlight = AvRoster::kSpotlightFieldNumber,
              kRosterActive = AvRoster::kActiveFieldNumber, kRosterSsrc = AvRoster::kSsrcFieldNumber;
constexpr uint32_t kNoVideoType = 0xFFFFFFFFu;
// The subscriptions one participant keeps: beyond this many, only to
// members present (a meeting has fewer members than its connections), so
// that what a member asks for stays bounded. A roster id longer than a join
// carries names no member.
constexpr size_t kMaxSubscriptionsPerMember = 512;

bool FindVarint(const UnknownFieldSet& set, int number, uint64_t* value) {
  for (int i = 0; i < set.field_count(); ++i) {
    const UnknownField& field = set.field(i);
    if (field.number() == number && field.type() == UnknownField::TYPE_VARINT) {
      *value = field.varint();
      return true;
    }
  }
  return false;
}

uint64_t Varint(const UnknownFieldSet& set, int number) {
  uint64_t value = 0;
  FindVarint(set, number, &value);
  return value;
}

std::string Text(const UnknownFieldSet& set, int number) {
  for (int i = 0; i < set.field_count(); ++i) {
    const UnknownField& field = set.field(i);
    if (field.number() == number && field.type() == UnknownField::TYPE_LENGTH_DELIMITED) {
      return field.length_delimited();
    }
  }
  return std::string();
}

std::vector<const std::string*> Rosters(const UnknownFieldSet& set) {
  std::vector<const std::string*> rosters;
  for (int i = 0; i < set.field_count(); ++i) {
    const UnknownField& field = set.field(i);
    if (field.number() == kFieldRosters && field.type() == UnknownField::TYPE_LENGTH_DELIMITED) {
      rosters.push_back(&field.length_delimited());
    }
  }
  return rosters;
}

// A message being written, field by field in the order added.
class Out {
 public:
  Out& Varint(int number, uint64_t value) {
    PutVarint(static_cast<uint64_t>(number) << 3);
    PutVarint(value);
    return *this;
  }
  Out& Text(int number, const std::string& text) {
    PutVarint(static_cast<uint64_t>(number) << 3 | 2);
    PutVarint(text.size());
    bytes_ += text;
    return *this;
  }
  const std::string& Bytes() const { return bytes_; }

 private:
  void PutVarint(uint64_t value) {
    while (value >= 0x80) {
      bytes_.push_back(static_cast<char>(value | 0x80));
      value >>= 7;
    }
    bytes_.push_back(static_cast<char>(value));
  }
  std::string bytes_;
};

class VideoServerRole : public SessionRole {
 public:
  explicit VideoServerRole(MeetingHub& hub) : hub_(hub) {}

  // The members' video engines read signalling (command records), RTP and
  // RTCP; text payloads have no reader in a video session. Binary payloads
  // pass as the transport carries them between its members in any session
  // (the others being unable to take them holds their sender, not them).
  bool Reads(FrameKind kind) const override { return kind != FrameKind::kDataUtf8; }

  void OnJoined(Session& session, Member& member) override {
    const auto carried = carried_.find(member.join.roster_id);
    const bool continued = carried != carried_.end() && carried->second.ssrc == member.ssrc;
    states_[&member] = continued ? carried->second.state : State{};
    if (carried != carried_.end()) carried_.erase(carried);
    // The newcomer hears of everyone, itself included; the others of it,
    // unless it continues a member they know as it is.
    Out everyone = RosterChange(kServerRosterEntered);
    for (const Member* other : session.members) AddRoster(&everyone, *other);
    SendCommand(member, everyone);
    if (!continued) {
      Out newcomer = RosterChange(kServerRosterEntered);
      AddRoster(&newcomer, member);
      SendToOthers(session, &member, newcomer);
    }
    // Who subscribed to it before it came (or before it reconnected).
    const auto wanted = subscriptions_.find(member.join.roster_id);
    if (wanted != subscriptions_.end()) {
      for (const auto& [subscriber, size] : wanted->second) {
        if (Present(session, subscriber)) {
          SendCommand(member, Subscription(kSubscribe, subscriber, member.join.roster_id, size));
        }
      }
    }
    if (!spotlight_.empty()) {
      SendCommand(member, Out().Varint(kFieldType, kSetSpotlight).Text(kFieldRosterId, spotlight_));
    }
  }

  // A new connection that names the SSRC the member had (the transport
  // reconnecting its session) continues the member: its video state and its
  // subscriptions pass to it, and the others hear nothing of the change, so
  // that a member reconnecting costs them nothing. Any other new connection
  // of the roster id starts afresh: the member leaves, and the newcomer
  // enters.
  void OnReplaced(Session& session, Member& member, const JoinRequest& by) override {
    if (by.previous_ssrc == 0 || by.previous_ssrc != member.ssrc) {
      OnLeaving(session, member);
      return;
    }
    const auto state = states_.find(&member);
    carried_[member.join.roster_id] = Carried{state == states_.end() ? State{} : state->second, member.ssrc};
    if (state != states_.end()) states_.erase(state);
  }

  void OnLeaving(Session& session, Member& member) override {
    states_.erase(&member);
    const std::string& roster = member.join.roster_id;
    carried_.erase(roster);  // a newcomer whose join failed: the member is gone
    // Its subscriptions end with it; subscriptions to it wait for its return.
    for (auto it = subscriptions_.begin(); it != subscriptions_.end();) {
      it->second.erase(roster);
      it = it->second.empty() ? subscriptions_.erase(it) : std::next(it);
    }
    subscription_counts_.erase(roster);
    Out left = RosterChange(kServerRosterLeft);
    left.Text(kFieldRosters, Out().Text(kRosterId, roster).Varint(kRosterSsrc, member.ssrc).Bytes());
    SendToOthers(session, &member, left);
  }

  bool OnCommand(Session& session, Member& member, const uint8_t* record, size_t size) override {
    const int kind = size < 2 ? -1 : vz::Load16(record);
    if (kind != kCommandRecordKind) {
      VZ_LOG_ERROR("member %s sent a command record of kind %d; dropped", vz::LogText(member.join.roster_id).c_str(),
                   kind);
      return false;
    }
    UnknownFieldSet message;
    if (size - 2 > static_cast<size_t>(INT32_MAX) ||
        !message.ParseFromArray(record + 2, static_cast<int>(size - 2))) {
      VZ_LOG_ERROR("member %s sent %zu bytes that are not a signalling message; dropped",
                   vz::LogText(member.join.roster_id).c_str(), size - 2);
      return false;
    }
    const std::string& me = member.join.roster_id;
    const uint64_t type = Varint(message, kFieldType);
    const std::string named = Text(message, kFieldRosterId);
    switch (type) {
      case kStartVideo:
      case kStopVideo: {
        State& state = states_[&member];
        state.status = type == kStartVideo ? 1 : 0;
        uint64_t size_type = 0;
        if (FindVarint(message, kFieldVideoType, &size_type)) state.video_type = static_cast<uint32_t>(size_type);
        if (!named.empty() && named != me) {
          VZ_LOG("%s announced its video as \"%s\"", vz::LogText(me).c_str(), vz::LogText(named).c_str());
        }
        VZ_LOG("%s %s its video (size %u)", vz::LogText(me).c_str(), type == kStartVideo ? "starts" : "stops",
               state.video_type);
        Out notice;
        notice.Varint(kFieldType, type).Text(kFieldRosterId, me).Varint(kFieldStatus, state.status);
        if (type == kStartVideo) notice.Varint(kFieldVideoType, state.video_type);
        SendToOthers(session, &member, notice);
        return false;
      }
      case kUpdateVideoSize:
        states_[&member].video_type = static_cast<uint32_t>(Varint(message, kFieldVideoType));
        return false;
      case kSubscribe:
      case kUnsubscribe:
        Subscriptions(session, me, type == kSubscribe, message);
        return false;
      case kSetSpotlight:
      case kUnsetSpotlight: {
        spotlight_ = type == kSetSpotlight ? named : std::string();
        Out notice;
        notice.Varint(kFieldType, type);
        if (type == kSetSpotlight) notice.Text(kFieldRosterId, named);
        SendToOthers(session, nullptr, notice);
        return false;
      }
      case kActiveSpeaker:
        active_speaker_ = named;
        SendToOthers(session, nullptr, Out().Varint(kFieldType, type).Text(kFieldRosterId, named));
        return false;
      case kKeyFrameRequest:
        KeyFrameRequest(session, member, named, Varint(message, kFieldSsrc));
        return false;
      case kKeepAliveRequest:
        SendCommand(member, Out().Varint(kFieldCode, vz::avdef::kCodeSuccess).Varint(kFieldType, kKeepAliveResponse));
        return false;
      default:
        VZ_LOG_ERROR("member %s sent a signalling message of type %llu, which a server does not take; dropped",
                     vz::LogText(me).c_str(), static_cast<unsigned long long>(type));
        return false;
    }
  }

  bool OnRtcp(Session& session, Member& member, const uint8_t* record, size_t size) override {
    // The hub relays only whole compounds (rtcp_record.h), so each feedback
    // packet names the stream it is about at kFeedbackMediaSsrcOffset.
    RtcpCompound compound(record, size);
    if (!compound.whole()) return false;
    RtcpPacket packet;
    std::vector<Member*> targets;
    bool feedback = false;
    while (compound.Next(&packet)) {
      if (packet.Type() == vz::rtcp::kTransportFeedback || packet.Type() == vz::rtcp::kPayloadFeedback) {
        feedback = true;
        Member* target = WithSsrc(session, RtcpWord(packet, vz::rtcp::kFeedbackMediaSsrcOffset));
        if (target != nullptr && target != &member &&
            std::find(targets.begin(), targets.end(), target) == targets.end()) {
          targets.push_back(target);
        }
      }
    }
    if (!feedback) return true;
    if (targets.empty()) {
      VZ_LOG("member %s sent feedback about a stream nobody here sends; dropped",
             vz::LogText(member.join.roster_id).c_str());
    }
    for (Member* target : targets) hub_.SendMedia(*target, FrameKind::kRtcp, record, size);
    return false;
  }

  bool WantsRtp(const Session& /*session*/, const Member& from, const Member& to) override {
    const auto wanted = subscriptions_.find(from.join.roster_id);
    return wanted != subscriptions_.end() && wanted->second.count(to.join.roster_id) != 0;
  }

 private:
  struct State {
    uint32_t status = 0;
    uint32_t video_type = 0;
  };
  // What a replaced member leaves to the connection that continues it.
  struct Carried {
    State state;
    uint32_t ssrc = 0;
  };

  static Out RosterChange(uint64_t roster_type) {
    Out message;
    message.Varint(kFieldType, kRosterChange).Varint(kFieldRosterType, roster_type);
    return message;
  }

  static Out Subscription(uint64_t type, const std::string& subscriber, const std::string& target, uint32_t size) {
    Out message;
    message.Varint(kFieldType, type).Text(kFieldRosterId, subscriber);
    message.Text(kFieldRosters, Out().Text(kRosterId, target).Varint(kRosterVideoType, size).Bytes());
    return message;
  }

  void AddRoster(Out* message, const Member& member) const {
    const auto state = states_.find(&member);
    const State current = state == states_.end() ? State{} : state->second;
    const std::string& roster = member.join.roster_id;
    Out entry;
    entry.Text(kRosterId, roster)
        .Varint(kRosterStatus, current.status)
        .Varint(kRosterVideoType, current.status == 1 ? current.video_type : kNoVideoType)
        .Varint(kRosterSpotlight, !spotlight_.empty() && spotlight_ == roster ? 1 : 0)
        .Varint(kRosterActive, !active_speaker_.empty() && active_speaker_ == roster ? 1 : 0)
        .Varint(kRosterSsrc, member.ssrc);
    message->Text(kFieldRosters, entry.Bytes());
  }

  void Subscriptions(Session& session, const std::string& subscriber, bool subscribe,
                     const UnknownFieldSet& message) {
    for (const std::string* bytes : Rosters(message)) {
      UnknownFieldSet entry;
      if (!entry.ParseFromString(*bytes)) continue;
      const std::string target = Text(entry, kRosterId);
      const auto size = static_cast<uint32_t>(Varint(entry, kRosterVideoType));
      if (target.empty() || target == subscriber) continue;
      if (subscribe) {
        if (size == kNoVideoType) continue;  // "none" is no subscription
        if (!MaySubscribe(session, subscriber, target)) continue;
        uint32_t& kept = subscriptions_[target].try_emplace(subscriber, kNoVideoType).first->second;
        if (kept == size) continue;  // asked again (a reconnection): nothing the target does not know
        kept = size;
        VZ_LOG("%s subscribes %s at size %u%s", vz::LogText(subscriber).c_str(), vz::LogText(target).c_str(), size,
               Present(session, target) ? "" : " (not here yet)");
        SendToRoster(session, target, Subscription(kSubscribe, subscriber, target, size));
        continue;
      }
      const auto subscribers = subscriptions_.find(target);
      if (subscribers == subscriptions_.end()) continue;
      const auto kept = subscribers->second.find(subscriber);
      if (kept == subscribers->second.end()) continue;
      const uint32_t was = kept->second;  // the target drops it by the size it knows
      subscribers->second.erase(kept);
      if (subscribers->second.empty()) subscriptions_.erase(subscribers);
      const auto count = subscription_counts_.find(subscriber);
      if (count != subscription_counts_.end() && --count->second == 0) subscription_counts_.erase(count);
      VZ_LOG("%s unsubscribes %s", vz::LogText(subscriber).c_str(), vz::LogText(target).c_str());
      SendToRoster(session, target, Subscription(kUnsubscribe, subscriber, target, was));
    }
  }

  // Whether `subscriber` may keep one more subscription (to `target`);
  // counts it when new. Refusals are logged.
  bool MaySubscribe(const Session& session, const std::string& subscriber, const std::string& target) {
    const auto subscribers = subscriptions_.find(target);
    if (subscribers != subscriptions_.end() && subscribers->second.count(subscriber) != 0) return true;  // a resize
    size_t& count = subscription_counts_[subscriber];
    if (target.size() <= kMaxJoinText && (count < kMaxSubscriptionsPerMember || Present(session, target))) {
      ++count;
      return true;
    }
    if (count == 0) subscription_counts_.erase(subscriber);
    if (subscriptions_refused_++ % 1000 == 0) {
      VZ_LOG_ERROR("%s asked for a subscription beyond its %zu, or to a roster id of %zu bytes; refused (%llu so far)",
                   vz::LogText(subscriber).c_str(), kMaxSubscriptionsPerMember, target.size(),
                   static_cast<unsigned long long>(subscriptions_refused_));
    }
    return false;
  }

  void KeyFrameRequest(Session& session, Member& requester, const std::string& roster, uint64_t ssrc) {
    Member* sender = nullptr;
    for (Member* other : session.members) {
      if (other->link == nullptr || other == &requester) continue;
      if ((!roster.empty() && other->join.roster_id == roster) || (ssrc != 0 && other->ssrc == ssrc)) sender = other;
    }
    if (sender == nullptr) {
      VZ_LOG("%s asked for a key frame of %s (ssrc %llu), who is not here",
             vz::LogText(requester.join.roster_id).c_str(), vz::LogText(roster).c_str(),
             static_cast<unsigned long long>(ssrc));
      return;
    }
    // A picture-loss indication, as the sender's engine reads one: a record
    // of one payload-feedback packet without FCI, from the requester about
    // the sender.
    uint8_t pli[vz::rtcp::kFeedbackHeadBytes];
    vz::rtcp::WriteHeader(pli, vz::rtcp::kPliFormat, vz::rtcp::kPayloadFeedback, sizeof(pli));
    vz::Store32(pli + kSenderSsrcOffset, requester.ssrc);
    vz::Store32(pli + vz::rtcp::kFeedbackMediaSsrcOffset, sender->ssrc);
    std::vector<uint8_t> record;
    PutU16(&record, kRtcpRecordKind);
    PutU16(&record, sizeof(pli));
    record.insert(record.end(), pli, pli + sizeof(pli));
    hub_.SendMedia(*sender, FrameKind::kRtcp, record.data(), record.size());
  }

  static bool Present(const Session& session, const std::string& roster) {
    for (const Member* member : session.members) {
      if (member->link != nullptr && member->join.roster_id == roster) return true;
    }
    return false;
  }

  static Member* WithSsrc(Session& session, uint32_t ssrc) {
    for (Member* member : session.members) {
      if (member->link != nullptr && member->ssrc == ssrc) return member;
    }
    return nullptr;
  }

  // A command record: its kind, then the message.
  static std::string Record(const Out& message) {
    uint8_t kind[2];
    vz::Store16(kind, kCommandRecordKind);
    return std::string(kind, kind + sizeof(kind)) + message.Bytes();
  }

  void SendCommand(Member& member, const Out& message) {
    const std::string record = Record(message);
    hub_.SendTo(member, FrameKind::kCommand, reinterpret_cast<const uint8_t*>(record.data()), record.size());
  }

  void SendToOthers(Session& session, const Member* except, const Out& message) {
    const std::string record = Record(message);
    hub_.SendToOthers(session, except, FrameKind::kCommand, reinterpret_cast<const uint8_t*>(record.data()),
                      record.size());
  }

  void SendToRoster(Session& session, const std::string& roster, const Out& message) {
    const std::vector<Member*> members = session.members;
    for (Member* member : members) {
      if (member->link != nullptr && member->join.roster_id == roster) SendCommand(*member, message);
    }
  }

  MeetingHub& hub_;
  std::map<const Member*, State> states_;
  // roster id -> the state of a member replaced in this join, until its
  // newcomer has joined (or failed to)
  std::map<std::string, Carried> carried_;
  // target roster id -> subscriber roster id -> size type
  std::map<std::string, std::map<std::string, uint32_t>> subscriptions_;
  std::map<std::string, size_t> subscription_counts_;  // subscriber roster id -> subscriptions kept
  uint64_t subscriptions_refused_ = 0;
  std::string spotlight_;
  std::string active_speaker_;
};

}  // namespace

std::unique_ptr<SessionRole> MakeVideoServerRole(MeetingHub& hub) {
  return std::make_unique<VideoServerRole>(hub);
}

}  // namespace vzrelay

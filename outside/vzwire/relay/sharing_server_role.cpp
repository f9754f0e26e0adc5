#include "outside/vzwire/relay/sharing_server_role.h"

#include <google/protobuf/io/coded_stream.h>
#include <google/protobuf/unknown_field_set.h>
#include <google/protobuf/wire_format_lite.h>

#include <algorithm>
#include <deque>
#include <iterator>
#include <set>
#include <utility>
#include <vector>

#include "common/budgeted_log.h"
#include "common/log_text.h"
#include "common/trace_client.h"
#include "contracts/proto/dsdef_fields.h"
#include "platform/clock.h"

// The server reads and writes the sharing messages through protobuf's
// schema-free field sets: the generated classes belong to the sharing
// engine, and a second copy of them in a library loaded beside it would
// register the same schema twice in one process.
namespace vzrelay {
namespace {

using google::protobuf::UnknownField;
using google::protobuf::UnknownFieldSet;

// Message types, codes and field numbers of the sharing messages, as the
// schema names them (contracts/proto/dsdef_fields.h).
using namespace vz::dsdef;  // the DataType and DataCode values
constexpr int kFieldCode = DsData::kCodeFieldNumber, kFieldType = DsData::kTypeFieldNumber,
              kFieldDsId = DsData::kDsIdFieldNumber, kFieldCaches = DsData::kCachesFieldNumber,
              kFieldSharingInfo = DsData::kSharingInfoFieldNumber, kFieldMouseInfo = DsData::kMouseInfoFieldNumber,
              kFieldBlocks = DsData::kBlocksFieldNumber, kFieldCommand = DsData::kCommandFieldNumber;
// The fields an attendee draws from, whatever the message's type.
constexpr int kDrawnFields[] = {kFieldCaches, kFieldSharingInfo, kFieldMouseInfo, kFieldBlocks};
constexpr int kCacheIndex = DsCache::kIndexFieldNumber, kCachePduId = DsCache::kPduIdFieldNumber;
constexpr int kBlockPosition = DsBlock::kPositionFieldNumber, kBlockCacheIndex = DsBlock::kCacheIndexFieldNumber,
              kBlockCachePduId = DsBlock::kCachePduIdFieldNumber;
constexpr int kMouseCacheIndex = DsMouseInfo::kCacheIndexFieldNumber,
              kMouseCachePduId = DsMouseInfo::kCachePduIdFieldNumber;
constexpr int kCommandType = DsCommand::kTypeFieldNumber, kCommandSrcRosterId = DsCommand::kSrcRosterIdFieldNumber,
              kCommandDstRosterId = DsCommand::kDstRosterIdFieldNumber;

// The most blocks in one late-joiner blocks message.
constexpr size_t kReplayBlocks = 16384;
// The blocks of a cache request looked at: an attendee asks for each cache
// it misses once, and its table holds fewer, so that the rest of a larger
// request (repeats) costs nothing beyond its reading; it is not answered.
constexpr size_t kMostBlocksLookedAt = kKeptCacheIndexEnd;
// A replay is queued while the member has less than this queued: small
// payloads are copied into each member's queue, so this bounds what a
// member that never reads costs beyond the payloads all members share.
constexpr size_t kReplayWindow = 256u << 10;

// The last occurrence of a varint field (as a parser merges them), or 0.
uint64_t Varint(const UnknownFieldSet& set, int number) {
  uint64_t value = 0;
  for (int i = 0; i < set.field_count(); ++i) {
    const UnknownField& field = set.field(i);
    if (field.number() == number && field.type() == UnknownField::TYPE_VARINT) value = field.varint();
  }
  return value;
}

bool HasField(const UnknownFieldSet& set, int number) {
  for (int i = 0; i < set.field_count(); ++i) {
    if (set.field(i).number() == number) return true;
  }
  return false;
}

std::vector<const std::string*> Submessages(const UnknownFieldSet& set, int number) {
  std::vector<const std::string*> found;
  for (int i = 0; i < set.field_count(); ++i) {
    const UnknownField& field = set.field(i);
    if (field.number() == number && field.type() == UnknownField::TYPE_LENGTH_DELIMITED) {
      found.push_back(&field.length_delimited());
    }
  }
  return found;
}

// An optional submessage as a parser reads it: every occurrence merged.
bool MergedSubmessage(const UnknownFieldSet& set, int number, UnknownFieldSet* merged) {
  std::string bytes;
  for (const std::string* part : Submessages(set, number)) bytes += *part;
  merged->Clear();
  return merged->ParseFromString(bytes);
}

// The cache a DsBlock names (the last of each field, as a parser reads
// it), read without building anything: a request may name thousands.
// False when the bytes are not a message.
bool BlockCache(const std::string& block, uint64_t* index, uint64_t* pdu_id) {
  using google::protobuf::internal::WireFormatLite;
  google::protobuf::io::CodedInputStream input(reinterpret_cast<const uint8_t*>(block.data()),
                                               static_cast<int>(block.size()));
  *index = 0;
  *pdu_id = 0;
  for (;;) {
    const uint32_t tag = input.ReadTag();
    if (tag == 0) return input.CurrentPosition() == static_cast<int>(block.size());
    const int number = static_cast<int>(WireFormatLite::GetTagFieldNumber(tag));
    if (number == 0) return false;  // no field has it
    const bool varint = WireFormatLite::GetTagWireType(tag) == WireFormatLite::WIRETYPE_VARINT;
    if (varint && (number == kBlockCacheIndex || number == kBlockCachePduId)) {
      uint64_t value = 0;
      if (!input.ReadVarint64(&value)) return false;
      *(number == kBlockCacheIndex ? index : pdu_id) = value;
    } else if (!WireFormatLite::SkipField(&input, tag)) {
      return false;
    }
  }
}

// Protobuf's wire form, for an answer written straight into its buffer.
size_t VarintSize(uint64_t value) {
  size_t size = 1;
  while (value >= 0x80) {
    value >>= 7;
    ++size;
  }
  return size;
}
void PutVarint(std::vector<uint8_t>* out, uint64_t value) {
  while (value >= 0x80) {
    out->push_back(static_cast<uint8_t>(value | 0x80));
    value >>= 7;
  }
  out->push_back(static_cast<uint8_t>(value));
}
constexpr uint64_t DelimitedTag(int number) { return static_cast<uint64_t>(number) << 3 | 2; }
size_t DelimitedSize(int number, size_t size) { return VarintSize(DelimitedTag(number)) + VarintSize(size) + size; }
void PutDelimited(std::vector<uint8_t>* out, int number, const uint8_t* data, size_t size) {
  PutVarint(out, DelimitedTag(number));
  PutVarint(out, size);
  out->insert(out->end(), data, data + size);
}

SharedPayload Serialized(const UnknownFieldSet& message) {
  std::string bytes;
  message.SerializeToString(&bytes);
  return MakeSharedPayload(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

class SharingServerRole : public SessionRole {
 public:
  explicit SharingServerRole(MeetingHub& hub) : hub_(hub) {}

  void OnLeaving(Session& /*session*/, Member& member) override {
    // The presenter's things stay for its reconnection; a STOP clears them.
    // A key-frame request it was asked went with its connection.
    if (presenter_ == &member) {
      presenter_ = nullptr;
      key_frame_asked_ = false;
    }
    replays_.erase(&member);
    lagging_.erase(&member);
  }

  // The presenter's records are no longer queued for it (the server reads
  // the presenter again); it gets the screen anew once it caught up. A
  // member still taking its replay keeps its live records held behind it.
  void OnBehind(Session& session, Member& member) override {
    if (&member == presenter_ || replays_.count(&member) != 0 || lagging_.count(&member) != 0) return;
    lagging_[&member] = Lag{next_cache_seq_, 0};
    VZ_LOG("%s is behind in session %s of meeting [%s]: the presenter's records wait until it caught up",
           vz::LogText(member.join.roster_id).c_str(), vz::LogText(session.id).c_str(),
           vz::LogText(session.meeting).c_str());
  }

  void OnCaughtUp(Session& session, Member& member) override {
    const auto lag = lagging_.find(&member);
    if (lag == lagging_.end()) return;
    const uint64_t since = lag->second.since_seq;
    VZ_LOG("%s caught up in session %s of meeting [%s] after %zu bytes of records passed it by: it gets the "
           "latest screen",
           vz::LogText(member.join.roster_id).c_str(), vz::LogText(session.id).c_str(),
           vz::LogText(session.meeting).c_str(), lag->second.skipped);
    lagging_.erase(lag);
    StartReplay(session, member, since);
  }

  void OnDrained(Session& session, Member& member) override { Pump(session, member); }

  // The presenter's stream is deltas against the attendees' caches: it is
  // slowed down for a member that falls behind, never thinned.
  bool Paces(const Session& /*session*/, const Member& sender) const override { return presenter_ == &sender; }

  size_t HeldFor(const Member& member) const override {
    const auto replay = replays_.find(&member);
    return replay == replays_.end() ? 0 : replay->second.held_bytes;
  }

  // The members' sharing engines read sharing messages (binary payloads);
  // text payloads and command records pass as the transport carries them
  // between its members. Media has no reader here (the engine's transport
  // sink takes none), and a member's RTP would wait in the others' queues
  // ahead of the screen without ever holding its sender.
  bool Reads(FrameKind kind) const override { return kind != FrameKind::kRtp && kind != FrameKind::kRtcp; }

  bool OnData(Session& session, Member& member, FrameKind kind, const SharedPayload& payload) override {
    if (kind != FrameKind::kDataBinary) return true;
    const uint8_t* data = payload->data();
    const size_t size = payload->size();
    UnknownFieldSet message;
    if (size > static_cast<size_t>(INT32_MAX) || !message.ParseFromArray(data, static_cast<int>(size))) {
      VZ_LOG_ERROR("member %s sent %zu bytes that are not a sharing message; dropped",
                   vz::LogText(member.join.roster_id).c_str(), size);
      return false;
    }
    const uint64_t type = Varint(message, kFieldType);
    // A command travels as a command message, which the relay stamps with
    // its sender and addresses; one riding in another message would reach
    // attendees as whoever it names.
    SharedPayload carried = payload;
    if (type != kCommand && HasField(message, kFieldCommand)) {
      message.DeleteByNumber(kFieldCommand);
      carried = Serialized(message);
      if (stowaway_commands_++ % 1000 == 0) {
        VZ_LOG_ERROR("member %s sent a command inside a sharing message of type %llu; relayed without it (%llu so "
                     "far)", vz::LogText(member.join.roster_id).c_str(), static_cast<unsigned long long>(type),
                     static_cast<unsigned long long>(stowaway_commands_));
      }
    }
    switch (type) {
      case kStart: return Start(session, member);
      case kJoin: return Join(session, member);
      case kStop: return Stop(session, member);
      case kLeave:
      case kKeepAlive: return false;
      case kServerDisconnect:
        VZ_LOG_ERROR("member %s sent a server's message; dropped", vz::LogText(member.join.roster_id).c_str());
        return false;
      case kCreateCaches:
      case kCreateBlocks:
      case kCreateSharingInfo:
      case kCreateMouseInfo:
        if (!IsPresenter(member)) {
          if (refused_records_++ % 1000 == 0) {
            VZ_LOG_ERROR(
                "member %s is not the presenter of session %s of meeting [%s] and sent a presenter's message of type "
                "%llu; dropped (%llu so far)",
                vz::LogText(member.join.roster_id).c_str(), vz::LogText(session.id).c_str(),
                vz::LogText(session.meeting).c_str(),
                static_cast<unsigned long long>(type), static_cast<unsigned long long>(refused_records_));
          }
          return false;
        }
        if (type == kCreateBlocks) key_frame_asked_ = false;  // the request it had is answered
        Keep(session, type, message, carried);
        Relay(session, member, message, carried, true);
        return false;
      case kGetKeyFrame:
        AskKeyFrame(session, member, message, carried);
        return false;
      case kGetCaches: return GetCaches(session, member, message, carried);
      case kCommand: return Command(session, member, message);
      default:
        if (undefined_types_++ % 1000 == 0) {
          VZ_LOG_ERROR(
              "member %s sent a sharing message of type %llu, which the protocol does not define; "
              "dropped (%llu so far)",
              vz::LogText(member.join.roster_id).c_str(), static_cast<unsigned long long>(type),
              static_cast<unsigned long long>(undefined_types_));
        }
        return false;
    }
  }

 private:
  // What a late joiner is still to get, and what came for it meanwhile.
  // The caches are walked as they are sent, never listed ahead: starting a
  // replay costs the same however many caches are kept.
  struct Replay {
    uint64_t since_seq = 0;  // caches kept before this it has already
    uint64_t until_seq = 0;  // caches kept from this on reach it as relayed (held behind the replay)
    uint64_t next_index = 0;  // the next cache index to look at
    bool caches_sent = false;
    bool blocks_sent = false;
    bool mouse_sent = false;
    std::deque<SharedPayload> held;
    size_t held_bytes = 0;
  };

  // A member the presenter's records pass by until it caught up.
  struct Lag {
    uint64_t since_seq = 0;  // the first cache it missed
    size_t skipped = 0;      // bytes of records that passed it by
  };

  bool IsPresenter(const Member& member) const { return presenter_ == &member; }

  // One key-frame request at a time reaches the presenter: while one it
  // heard waits for its blocks (and for at most kKeyFrameRequestWaitMs),
  // the others are not passed on, since its next blocks answer them all.
  // Without that, every attendee's requests reached it as fast as they
  // could be written.
  void AskKeyFrame(const Session& session, const Member& from, const UnknownFieldSet& message,
                   const SharedPayload& payload) {
    const uint64_t now = vz::MonotonicMs();
    if (key_frame_asked_ && now - key_frame_asked_ms_ < kKeyFrameRequestWaitMs) {
      ++key_frame_requests_coalesced_;
      VZ_LOG_BUDGETED("member %s asked for a key frame in session %s of meeting [%s] while the presenter has one "
                      "request to answer; not passed on (%llu so far)",
                      vz::LogText(from.join.roster_id).c_str(), vz::LogText(session.id).c_str(),
                      vz::LogText(session.meeting).c_str(),
                      static_cast<unsigned long long>(key_frame_requests_coalesced_));
      return;
    }
    if (!ToPresenter(from, kGetKeyFrame, message, payload)) return;
    key_frame_asked_ = true;
    key_frame_asked_ms_ = now;
  }

  // A member's request passed on to the presenter, without a code (the
  // server's alone) and without caches, blocks, a sharing info or a cursor:
  // the presenter is their only source, and its engine would take them as
  // its own screen (a sharing info naming its monitor at another size
  // stops its capture being sent), a code as the end of its session. The
  // blocks of a GET_CACHES are the request's own: the server answered what
  // it keeps, the presenter only hears that caches were missing.
  // True when it was queued for the presenter.
  bool ToPresenter(const Member& from, uint64_t type, const UnknownFieldSet& message, const SharedPayload& payload) {
    if (presenter_ == nullptr || presenter_ == &from) return false;
    bool forged = false;  // a drawn field that is not the request's own
    bool stripped_any = false;
    for (int i = 0; i < message.field_count(); ++i) {
      const int number = message.field(i).number();
      const bool drawn = IsDrawnField(number);
      stripped_any = stripped_any || drawn || number == kFieldCode;
      forged = forged || (drawn && !(type == kGetCaches && number == kFieldBlocks));
    }
    if (forged) CountDrawnFieldsRemoved(from);
    if (!stripped_any) return hub_.SendTo(*presenter_, FrameKind::kDataBinary, payload);
    // The fields kept, copied alone: a request's blocks may be thousands.
    UnknownFieldSet stripped;
    for (int i = 0; i < message.field_count(); ++i) {
      const int number = message.field(i).number();
      if (!IsDrawnField(number) && number != kFieldCode) stripped.AddField(message.field(i));
    }
    return hub_.SendTo(*presenter_, FrameKind::kDataBinary, Serialized(stripped));
  }

  static bool IsDrawnField(int number) {
    return std::find(std::begin(kDrawnFields), std::end(kDrawnFields), number) != std::end(kDrawnFields);
  }

  static bool HasDrawnField(const UnknownFieldSet& message) {
    for (int i = 0; i < message.field_count(); ++i) {
      if (IsDrawnField(message.field(i).number())) return true;
    }
    return false;
  }

  void CountDrawnFieldsRemoved(const Member& member) {
    if (refused_records_++ % 1000 == 0) {
      VZ_LOG_ERROR("member %s is not the presenter and sent caches, blocks, a sharing info or a cursor inside "
                   "another message; relayed without them (%llu so far)", vz::LogText(member.join.roster_id).c_str(),
                   static_cast<unsigned long long>(refused_records_));
    }
  }

  // Whether `bytes` more kept back for the member still fit the server's
  // backlog limit with what its link holds; else drops it (logged).
  bool FitsBacklog(Member& member, size_t bytes, const char* why) {
    if (member.link == nullptr) return false;
    if (member.link->Backlog() + bytes <= hub_.Options().member_backlog_limit) return true;
    hub_.Drop(member, why);  // its replay and lag go with it
    return false;
  }

  // Relays a member's message to the others, without a code (the server's
  // alone); members still taking their replay get it after the replay, and
  // a presenter's record (`record`) passes members that are behind by.
  void Relay(Session& session, Member& from, const UnknownFieldSet& message, const SharedPayload& payload,
             bool record) {
    SharedPayload relayed = payload;
    if (HasField(message, kFieldCode)) {
      VZ_LOG_ERROR("member %s sent a code, which only the server sends; relayed without it",
                   vz::LogText(from.join.roster_id).c_str());
      UnknownFieldSet stripped;
      stripped.MergeFrom(message);
      stripped.DeleteByNumber(kFieldCode);
      relayed = Serialized(stripped);
    }
    const std::vector<Member*> members = session.members;
    for (Member* other : members) {
      if (other == &from || other->link == nullptr) continue;
      const auto lag = lagging_.find(other);
      if (record && lag != lagging_.end() && replays_.count(other) == 0) {
        lag->second.skipped += relayed->size();
        FitsBacklog(*other, lag->second.skipped, "it takes much less than it is sent");
        continue;
      }
      SendOrHold(session, *other, relayed);
    }
  }

  void SendOrHold(Session& session, Member& member, const SharedPayload& payload) {
    const auto replay = replays_.find(&member);
    if (replay == replays_.end()) {
      hub_.SendTo(member, FrameKind::kDataBinary, payload);
      return;
    }
    replay->second.held.push_back(payload);
    replay->second.held_bytes += payload->size();
    if (!FitsBacklog(member, replay->second.held_bytes, "it takes too little of what a late joiner needs")) return;
    Pump(session, member);
  }

  // The command as the sender's own: its sender is the roster id the
  // member joined with. It goes to the member its addressee names (one
  // connection holds a roster id), not to every member: a participant that is not addressed would act on it as
  // its own (ask consent, answer a stop with a stop). With no addressee,
  // or none of the others named, it goes to every other member. Caches,
  // blocks, a sharing info or a cursor in it reach them only from the
  // presenter.
  bool Command(Session& session, Member& from, const UnknownFieldSet& message) {
    UnknownFieldSet command;
    if (!MergedSubmessage(message, kFieldCommand, &command)) {
      VZ_LOG_ERROR("member %s sent a command that cannot be read; dropped", vz::LogText(from.join.roster_id).c_str());
      return false;
    }
    const std::vector<const std::string*> addressees = Submessages(command, kCommandDstRosterId);
    const std::string addressee = addressees.empty() ? std::string() : *addressees.back();
    // The command again, its sender set where the first one stood (or
    // after its type), every other sender left out.
    UnknownFieldSet stamped;
    bool placed = false;
    for (int i = 0; i < command.field_count(); ++i) {
      const UnknownField& field = command.field(i);
      if (field.number() == kCommandSrcRosterId) {
        if (!placed) stamped.AddLengthDelimited(kCommandSrcRosterId, from.join.roster_id);
        placed = true;
        continue;
      }
      stamped.AddField(field);
      if (!placed && field.number() == kCommandType && !HasField(command, kCommandSrcRosterId)) {
        stamped.AddLengthDelimited(kCommandSrcRosterId, from.join.roster_id);
        placed = true;
      }
    }
    if (!placed) stamped.AddLengthDelimited(kCommandSrcRosterId, from.join.roster_id);
    std::string stamped_bytes;
    stamped.SerializeToString(&stamped_bytes);
    UnknownFieldSet relayed;
    bool command_placed = false;
    const bool drawn_dropped = !IsPresenter(from) && HasDrawnField(message);
    if (drawn_dropped) CountDrawnFieldsRemoved(from);
    for (int i = 0; i < message.field_count(); ++i) {
      const UnknownField& field = message.field(i);
      if (field.number() == kFieldCode) continue;  // the server's alone
      if (drawn_dropped && IsDrawnField(field.number())) continue;  // only the presenter's reach attendees' screens
      if (field.number() == kFieldCommand) {
        if (!command_placed) relayed.AddLengthDelimited(kFieldCommand, stamped_bytes);
        command_placed = true;
        continue;
      }
      relayed.AddField(field);
    }
    const SharedPayload payload = Serialized(relayed);
    std::vector<Member*> to;
    if (!addressee.empty()) {
      for (Member* other : session.members) {
        if (other != &from && other->join.roster_id == addressee) to.push_back(other);
      }
    }
    if (to.empty()) {
      for (Member* other : session.members) {
        if (other != &from) to.push_back(other);
      }
    }
    // Copied first: a member that cannot take the frame is dropped.
    for (Member* member : to) {
      if (member->link != nullptr) hub_.SendTo(*member, FrameKind::kDataBinary, payload);
    }
    return false;
  }

  // The common header of a server's message (code only on answers).
  static void AddHeader(UnknownFieldSet* message, const Session& session, uint64_t type, bool with_code,
                        uint64_t code) {
    if (with_code) message->AddVarint(kFieldCode, code);
    message->AddVarint(kFieldType, type);
    message->AddLengthDelimited(kFieldDsId, session.id);
  }

  void Answer(Member& member, const Session& session, uint64_t type, uint64_t code) {
    UnknownFieldSet answer;
    AddHeader(&answer, session, type, true, code);
    Send(member, answer);
  }

  void Send(Member& member, const UnknownFieldSet& message) {
    hub_.SendTo(member, FrameKind::kDataBinary, Serialized(message));
  }

  bool Start(Session& session, Member& member) {
    if (!member.join.presenter) {
      // Presenting is the role the member joined with (its credential's,
      // when the relay has a meeting secret), never taken by asking.
      VZ_LOG_ERROR("%s asked to present in session %s of meeting [%s] but did not join as its presenter; refused",
                   vz::LogText(member.join.roster_id).c_str(), vz::LogText(session.id).c_str(),
                   vz::LogText(session.meeting).c_str());
      Answer(member, session, kStart, kCodeError);
      return false;
    }
    if (presenter_ != nullptr && presenter_ != &member) {
      VZ_LOG_ERROR("%s asked to present in session %s of meeting [%s], where %s presents",
                   vz::LogText(member.join.roster_id).c_str(),
                   vz::LogText(session.id).c_str(), vz::LogText(session.meeting).c_str(),
                   vz::LogText(presenter_->join.roster_id).c_str());
      Answer(member, session, kStart, kCodeDsidAlreadyStart);
      return false;
    }
    if (presenter_roster_ != member.join.roster_id) ForgetShared();  // a new presenter's screen
    presenter_ = &member;
    presenter_roster_ = member.join.roster_id;
    VZ_LOG("%s presents in session %s of meeting [%s]", vz::LogText(member.join.roster_id).c_str(),
           vz::LogText(session.id).c_str(), vz::LogText(session.meeting).c_str());
    Answer(member, session, kStart, kCodeSuccess);
    return false;
  }

  // A JOIN while the member's replay runs is answered and restarts
  // nothing: the replay under way brings the whole screen, and what the
  // presenter sent meanwhile waits behind it. (Restarting it on every JOIN
  // let one member make the server walk and send the kept screen as often
  // as it could write 12 bytes.)
  bool Join(Session& session, Member& member) {
    if (!join_answer_) {
      UnknownFieldSet answer;
      AddHeader(&answer, session, kJoin, true, kCodeSuccess);
      join_answer_ = Serialized(answer);
    }
    hub_.SendTo(member, FrameKind::kDataBinary, join_answer_);
    if (member.link == nullptr || replays_.count(&member) != 0) return false;
    lagging_.erase(&member);  // the whole screen follows
    StartReplay(session, member, 0);
    return false;
  }

  // What the presenter showed so far (of the caches, those kept from
  // `since_seq` on), in the order it was built: the sharing info at once,
  // the rest as the member takes it. The payloads are the kept ones, shared
  // with every member they are queued for.
  void StartReplay(Session& session, Member& member, uint64_t since_seq) {
    if (sharing_info_) hub_.SendTo(member, FrameKind::kDataBinary, sharing_info_);
    if (member.link == nullptr) return;
    Replay& replay = replays_[&member];
    replay.since_seq = since_seq;
    replay.until_seq = next_cache_seq_;
    Pump(session, member);
  }

  // Sends the member's replay while its queue is short; asks to be called
  // again (OnDrained) when it is not.
  void Pump(Session& session, Member& member) {
    for (;;) {
      const auto found = replays_.find(&member);
      if (found == replays_.end() || member.link == nullptr) return;
      if (member.link->Backlog() >= kReplayWindow) {
        member.wants_drain = true;
        return;
      }
      Replay& replay = found->second;
      if (!replay.caches_sent) {
        // One kept cache a message, as it was kept, in the order of their
        // indices; those kept since the replay began came as relayed.
        auto kept = caches_.lower_bound(replay.next_index);
        while (kept != caches_.end() &&
               (kept->second.seq < replay.since_seq || kept->second.seq >= replay.until_seq)) {
          ++kept;
        }
        if (kept == caches_.end()) {
          replay.caches_sent = true;
          continue;
        }
        replay.next_index = kept->first + 1;
        hub_.SendTo(member, FrameKind::kDataBinary, kept->second.message);
      } else if (!replay.blocks_sent) {
        replay.blocks_sent = true;
        for (const SharedPayload& blocks : BlocksReplay(session)) {
          if (!hub_.SendTo(member, FrameKind::kDataBinary, blocks)) return;
        }
      } else if (!replay.mouse_sent) {
        replay.mouse_sent = true;
        if (mouse_info_) hub_.SendTo(member, FrameKind::kDataBinary, mouse_info_);
      } else if (!replay.held.empty()) {
        const SharedPayload next = std::move(replay.held.front());
        replay.held.pop_front();
        replay.held_bytes -= next->size();
        hub_.SendTo(member, FrameKind::kDataBinary, next);
      } else {
        replays_.erase(found);
        member.wants_drain = false;
        return;
      }
    }
  }

  bool Stop(Session& session, Member& member) {
    if (!IsPresenter(member)) return false;
    VZ_LOG("%s stopped presenting in session %s of meeting [%s]", vz::LogText(member.join.roster_id).c_str(),
           vz::LogText(session.id).c_str(), vz::LogText(session.meeting).c_str());
    presenter_ = nullptr;
    presenter_roster_.clear();
    key_frame_asked_ = false;
    ForgetShared();
    UnknownFieldSet end;
    AddHeader(&end, session, kServerDisconnect, true, kCodeConfEnd);
    const SharedPayload bytes = Serialized(end);
    const std::vector<Member*> members = session.members;
    for (Member* other : members) {
      if (other != &member && other->link != nullptr) SendOrHold(session, *other, bytes);
    }
    return false;
  }

  // Answers from the kept caches, each cache the request names once (in
  // the order named) with one block naming it, up to what the member may
  // be sent: the frame limit and its backlog room, counted before the
  // answer is built; of its first kMostBlocksLookedAt blocks only. The caches past that are not answered: the member
  // asks again for what it still misses. When a cache named before that
  // point is not kept, the presenter hears of the request (without its
  // blocks: see ToPresenter).
  bool GetCaches(Session& session, Member& member, const UnknownFieldSet& request, const SharedPayload& payload) {
    if (member.link == nullptr) return false;
    const size_t queued = member.link->Backlog() + HeldFor(member);
    const size_t limit = hub_.Options().member_backlog_limit;
    const size_t room = std::min<size_t>(kMaxDataPayload, queued < limit ? limit - queued : 0);
    size_t size = VarintSize(uint64_t{kFieldType} << 3) + VarintSize(kGetCaches) +
                  DelimitedSize(kFieldDsId, session.id.size());
    std::set<std::pair<uint64_t, uint64_t>> named;
    std::vector<const KeptCache*> answered;
    std::vector<const std::string*> echoed;
    bool cut = false, missing = false;
    size_t looked_at = 0;
    for (int i = 0; i < request.field_count(); ++i) {
      const UnknownField& field = request.field(i);
      if (field.number() != kFieldBlocks || field.type() != UnknownField::TYPE_LENGTH_DELIMITED) continue;
      if (looked_at++ == kMostBlocksLookedAt) {
        cut = true;
        break;
      }
      const std::string* block = &field.length_delimited();
      uint64_t index = 0, pdu_id = 0;
      // Indices no attendee keeps are never kept here either.
      if (!BlockCache(*block, &index, &pdu_id) || index == 0 || index >= kKeptCacheIndexEnd) continue;
      if (named.count({index, pdu_id}) != 0) continue;
      const auto kept = caches_.find(index);
      const bool have = kept != caches_.end() && kept->second.pdu_id == pdu_id;
      const size_t more = DelimitedSize(kFieldBlocks, block->size()) +
                          (have ? DelimitedSize(kFieldCaches, kept->second.CacheSize()) : 0);
      if (size + more > room) {
        cut = true;
        break;
      }
      named.emplace(index, pdu_id);
      size += more;
      echoed.push_back(block);
      if (have) answered.push_back(&kept->second);
      missing = missing || !have;
    }
    if (cut && cut_answers_++ % 1000 == 0) {
      VZ_LOG("member %s asked for more caches than one answer may carry (%zu bytes of room); answered %zu, the rest "
             "is asked again (%llu answers cut so far)", vz::LogText(member.join.roster_id).c_str(), room,
             answered.size(), static_cast<unsigned long long>(cut_answers_));
    }
    if (!answered.empty()) {
      // The same blocks follow the caches, as the field order has it.
      std::vector<uint8_t> answer;
      answer.reserve(size);
      PutVarint(&answer, uint64_t{kFieldType} << 3);
      PutVarint(&answer, kGetCaches);
      PutDelimited(&answer, kFieldDsId, reinterpret_cast<const uint8_t*>(session.id.data()), session.id.size());
      for (const KeptCache* cache : answered) {
        PutDelimited(&answer, kFieldCaches, cache->message->data() + cache->cache_at, cache->CacheSize());
      }
      for (const std::string* block : echoed) {
        PutDelimited(&answer, kFieldBlocks, reinterpret_cast<const uint8_t*>(block->data()), block->size());
      }
      hub_.SendTo(member, FrameKind::kDataBinary, MakeSharedPayload(std::move(answer)));
    }
    if (missing) ToPresenter(member, kGetCaches, request, payload);
    return false;
  }

  // Keeps what a late joiner needs of a presenter's message.
  void Keep(const Session& session, uint64_t type, const UnknownFieldSet& message, const SharedPayload& payload) {
    switch (type) {
      case kCreateCaches: KeepCaches(session, message); break;
      case kCreateBlocks: KeepBlocks(message); break;
      case kCreateSharingInfo: sharing_info_ = payload; break;
      case kCreateMouseInfo: {
        mouse_info_ = payload;
        UnknownFieldSet mouse;
        mouse_cache_ = MergedSubmessage(message, kFieldMouseInfo, &mouse)
                           ? std::make_pair(Varint(mouse, kMouseCacheIndex), Varint(mouse, kMouseCachePduId))
                           : std::make_pair(uint64_t{0}, uint64_t{0});
        break;
      }
      default: break;
    }
  }

  // The kept blocks as late-joiner messages, made once for every member
  // that replays them until a block changes.
  const std::vector<SharedPayload>& BlocksReplay(const Session& session) {
    if (blocks_replay_fresh_) return blocks_replay_;
    blocks_replay_.clear();
    UnknownFieldSet blocks;
    AddHeader(&blocks, session, kCreateBlocks, false, 0);
    const size_t header = Serialized(blocks)->size();
    size_t count = 0, bytes = header;
    for (const auto& [position, block] : blocks_) {
      // Each message fits a data frame (a block came in one).
      const size_t more = DelimitedSize(kFieldBlocks, block.bytes.size());
      if (count == kReplayBlocks || (count != 0 && bytes + more > kMaxDataPayload)) {
        blocks_replay_.push_back(Serialized(blocks));
        blocks.Clear();
        AddHeader(&blocks, session, kCreateBlocks, false, 0);
        count = 0;
        bytes = header;
      }
      blocks.AddLengthDelimited(kFieldBlocks, block.bytes);
      ++count;
      bytes += more;
    }
    if (count != 0) blocks_replay_.push_back(Serialized(blocks));
    blocks_replay_fresh_ = true;
    return blocks_replay_;
  }

  void KeepBlocks(const UnknownFieldSet& message) {
    blocks_replay_fresh_ = false;
    for (const std::string* bytes : Submessages(message, kFieldBlocks)) {
      UnknownFieldSet fields;
      if (!fields.ParseFromString(*bytes)) continue;
      const uint64_t position = Varint(fields, kBlockPosition);
      KeptBlock block{*bytes, Varint(fields, kBlockCacheIndex), Varint(fields, kBlockCachePduId)};
      const auto kept = blocks_.find(position);
      if (kept != blocks_.end()) {
        kept->second = std::move(block);
      } else if (blocks_.size() < kMaxKeptBlocks) {
        blocks_.emplace(position, std::move(block));
      } else if (blocks_refused_++ % 1000 == 0) {
        VZ_LOG_ERROR("%zu block positions kept already: a block of position %llu is relayed only (%llu so far)",
                     blocks_.size(), static_cast<unsigned long long>(position),
                     static_cast<unsigned long long>(blocks_refused_));
      }
    }
  }

  void KeepCaches(const Session& session, const UnknownFieldSet& message) {
    for (const std::string* cache : Submessages(message, kFieldCaches)) {
      UnknownFieldSet fields;
      if (!fields.ParseFromString(*cache)) continue;
      const uint64_t index = Varint(fields, kCacheIndex);
      if (index == 0 || index >= kKeptCacheIndexEnd) continue;  // no attendee keeps it either
      const auto old = caches_.find(index);
      if (old != caches_.end()) {
        kept_bytes_ -= old->second.message->size();
        caches_.erase(old);
      }
      // Kept as the message a late joiner gets: a header and this cache.
      UnknownFieldSet alone;
      AddHeader(&alone, session, kCreateCaches, false, 0);
      alone.AddLengthDelimited(kFieldCaches, *cache);
      KeptCache kept{Serialized(alone), 0, Varint(fields, kCachePduId), next_cache_seq_++};
      kept.cache_at = kept.message->size() - cache->size();
      kept_bytes_ += kept.message->size();
      caches_[index] = std::move(kept);
      order_.push_back(index);
    }
    if (kept_bytes_ > kSharingCacheBudget) Evict();
    // The order list only grows with replacements; keep it near the map's size.
    if (order_.size() > 4 * caches_.size() + 64) {
      std::deque<uint64_t> fresh;
      for (uint64_t index : order_) {
        if (caches_.count(index) != 0) fresh.push_back(index);
      }
      order_.swap(fresh);
    }
  }

  // Over budget: the caches kept longest that the screen does not show go
  // first, then (a screen larger than the budget) the longest kept.
  void Evict() {
    std::set<std::pair<uint64_t, uint64_t>> shown;
    for (const auto& [position, block] : blocks_) shown.emplace(block.cache_index, block.cache_pdu_id);
    shown.insert(mouse_cache_);
    for (const bool spare_shown : {true, false}) {
      std::deque<uint64_t> spared;
      while (kept_bytes_ > kSharingCacheBudget && !order_.empty()) {
        const uint64_t index = order_.front();
        order_.pop_front();
        const auto found = caches_.find(index);
        if (found == caches_.end()) continue;
        if (spare_shown && shown.count({index, found->second.pdu_id}) != 0) {
          spared.push_back(index);
          continue;
        }
        kept_bytes_ -= found->second.message->size();
        caches_.erase(found);
        ++evicted_;
        if (evicted_ % 100 == 1) {
          VZ_LOG("cache budget reached: %llu caches let go", static_cast<unsigned long long>(evicted_));
        }
      }
      order_.insert(order_.begin(), spared.begin(), spared.end());  // still the oldest
    }
  }

  void ForgetShared() {
    caches_.clear();
    order_.clear();
    kept_bytes_ = 0;
    blocks_.clear();
    blocks_replay_.clear();
    blocks_replay_fresh_ = false;
    sharing_info_.reset();
    mouse_info_.reset();
    mouse_cache_ = {0, 0};
  }

  struct KeptCache {
    SharedPayload message;  // a caches message of this DsCache alone, as the presenter sent it
    size_t cache_at = 0;    // where the DsCache starts in it (it ends with it)
    uint64_t pdu_id = 0;
    uint64_t seq = 0;       // the order it was kept in
    size_t CacheSize() const { return message->size() - cache_at; }
  };
  struct KeptBlock {
    std::string bytes;  // the DsBlock as the presenter sent it
    uint64_t cache_index = 0;
    uint64_t cache_pdu_id = 0;
  };

  MeetingHub& hub_;
  Member* presenter_ = nullptr;    // while connected
  std::string presenter_roster_;   // until STOP, so a reconnecting presenter finds its screen
  std::map<uint64_t, KeptCache> caches_;
  std::deque<uint64_t> order_;
  size_t kept_bytes_ = 0;
  uint64_t evicted_ = 0;
  std::map<uint64_t, KeptBlock> blocks_;  // the latest DsBlock of each position
  uint64_t blocks_refused_ = 0;
  uint64_t refused_records_ = 0;
  uint64_t undefined_types_ = 0;
  uint64_t stowaway_commands_ = 0;
  uint64_t cut_answers_ = 0;
  bool key_frame_asked_ = false;     // the presenter heard a key-frame request and sent no blocks since
  uint64_t key_frame_asked_ms_ = 0;  // when it heard it
  uint64_t key_frame_requests_coalesced_ = 0;
  std::vector<SharedPayload> blocks_replay_;  // BlocksReplay's messages
  bool blocks_replay_fresh_ = false;
  uint64_t next_cache_seq_ = 1;
  SharedPayload join_answer_;  // made at the first JOIN
  SharedPayload sharing_info_;
  SharedPayload mouse_info_;
  std::pair<uint64_t, uint64_t> mouse_cache_{0, 0};  // the cache the cursor shows
  std::map<const Member*, Replay> replays_;
  std::map<const Member*, Lag> lagging_;
};

}  // namespace

std::unique_ptr<SessionRole> MakeSharingServerRole(MeetingHub& hub) {
  return std::make_unique<SharingServerRole>(hub);
}

}  // namespace vzrelay

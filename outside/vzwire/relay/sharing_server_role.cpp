#include "outside/vzwire/relay/sharing_server_role.h"

#include <google/protobuf/unknown_field_set.h>

#include <deque>
#include <vector>

#include "common/trace_client.h"

// The server reads and writes the sharing messages through protobuf's
// schema-free field sets: the generated classes belong to the sharing
// engine, and a second copy of them in a library loaded beside it would
// register the same schema twice in one process.
namespace vzrelay {
namespace {

using google::protobuf::UnknownField;
using google::protobuf::UnknownFieldSet;

// Message types, codes and field numbers of the sharing messages.
enum : uint64_t {
  kKeepAlive = 5, kStart = 10, kStop = 20, kJoin = 30, kLeave = 40, kCreateCaches = 50, kCreateBlocks = 60,
  kCreateSharingInfo = 70, kCreateMouseInfo = 80, kGetKeyFrame = 90, kGetCaches = 100, kCommand = 110,
  kServerDisconnect = 120,
};
enum : uint64_t { kCodeSuccess = 0, kCodeAlreadyStarted = 40, kCodeConferenceEnd = 80 };
constexpr int kFieldCode = 10, kFieldType = 20, kFieldDsId = 40, kFieldCaches = 50, kFieldBlocks = 80;
constexpr int kCacheIndex = 10, kCachePduId = 20;
constexpr int kBlockIndex = 10, kBlockCacheIndex = 50, kBlockCachePduId = 60;
constexpr int kFieldCommand = 90, kCommandDstRosterId = 30;

// The largest late-joiner caches message; more caches go in more messages.
constexpr size_t kReplayChunk = 4u << 20;

uint64_t Varint(const UnknownFieldSet& set, int number) {
  for (int i = 0; i < set.field_count(); ++i) {
    const UnknownField& field = set.field(i);
    if (field.number() == number && field.type() == UnknownField::TYPE_VARINT) return field.varint();
  }
  return 0;
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

class SharingServerRole : public SessionRole {
 public:
  explicit SharingServerRole(MeetingHub& hub) : hub_(hub) {}

  void OnLeaving(Session& /*session*/, Member& member) override {
    // The presenter's things stay for its reconnection; a STOP clears them.
    if (presenter_ == &member) presenter_ = nullptr;
  }

  bool OnData(Session& session, Member& member, FrameKind kind, const uint8_t* data, size_t size) override {
    if (kind != FrameKind::kDataBinary) return true;
    UnknownFieldSet message;
    if (size > static_cast<size_t>(INT32_MAX) || !message.ParseFromArray(data, static_cast<int>(size))) {
      VZ_LOG_ERROR("member %s sent %zu bytes that are not a sharing message; dropped",
                   member.join.roster_id.c_str(), size);
      return false;
    }
    switch (Varint(message, kFieldType)) {
      case kStart: return Start(session, member);
      case kJoin: return Join(session, member);
      case kStop: return Stop(session, member);
      case kLeave:
      case kKeepAlive: return false;
      case kServerDisconnect:
        VZ_LOG_ERROR("member %s sent a server's message; dropped", member.join.roster_id.c_str());
        return false;
      case kCreateCaches:
        if (IsPresenter(member)) KeepCaches(message);
        return true;
      case kCreateBlocks:
        if (IsPresenter(member)) {
          for (const std::string* block : Submessages(message, kFieldBlocks)) {
            UnknownFieldSet fields;
            if (fields.ParseFromString(*block)) blocks_[Varint(fields, kBlockIndex)] = *block;
          }
        }
        return true;
      case kCreateSharingInfo:
        if (IsPresenter(member)) sharing_info_.assign(reinterpret_cast<const char*>(data), size);
        return true;
      case kCreateMouseInfo:
        if (IsPresenter(member)) mouse_info_.assign(reinterpret_cast<const char*>(data), size);
        return true;
      case kGetKeyFrame:
        if (presenter_ != nullptr && presenter_ != &member) hub_.SendTo(*presenter_, kind, data, size);
        return false;
      case kGetCaches: return GetCaches(session, member, message, data, size);
      case kCommand: return !SendToAddressee(session, member, message, data, size);
      default: return true;
    }
  }

 private:
  bool IsPresenter(const Member& member) const { return presenter_ == &member; }

  // A command goes to the members its addressee names (a participant may
  // be joined twice while a reconnection settles), not to every member: a
  // participant that is not addressed would act on it as its own (ask
  // consent, answer a stop with a stop). False when no other member is the
  // addressee, or none is named; the command is then relayed to all.
  bool SendToAddressee(Session& session, const Member& from, const UnknownFieldSet& message, const uint8_t* data,
                       size_t size) {
    const std::vector<const std::string*> commands = Submessages(message, kFieldCommand);
    if (commands.empty()) return false;
    UnknownFieldSet command;
    if (!command.ParseFromString(*commands.front())) return false;
    const std::vector<const std::string*> addressees = Submessages(command, kCommandDstRosterId);
    if (addressees.empty() || addressees.front()->empty()) return false;
    std::vector<Member*> to;
    for (Member* other : session.members) {
      if (other != &from && other->join.roster_id == *addressees.front()) to.push_back(other);
    }
    // Copied first: a member that cannot take the frame is dropped.
    for (Member* member : to) hub_.SendTo(*member, FrameKind::kDataBinary, data, size);
    return !to.empty();
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
    std::string bytes;
    message.SerializeToString(&bytes);
    SendBytes(member, bytes);
  }

  void SendBytes(Member& member, const std::string& bytes) {
    hub_.SendTo(member, FrameKind::kDataBinary, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  }

  bool Start(Session& session, Member& member) {
    if (presenter_ != nullptr && presenter_ != &member) {
      VZ_LOG_ERROR("%s asked to present in session %s, where %s presents", member.join.roster_id.c_str(),
                   session.id.c_str(), presenter_->join.roster_id.c_str());
      Answer(member, session, kStart, kCodeAlreadyStarted);
      return false;
    }
    if (presenter_roster_ != member.join.roster_id) ForgetShared();  // a new presenter's screen
    presenter_ = &member;
    presenter_roster_ = member.join.roster_id;
    VZ_LOG("%s presents in session %s", member.join.roster_id.c_str(), session.id.c_str());
    Answer(member, session, kStart, kCodeSuccess);
    return false;
  }

  bool Join(Session& session, Member& member) {
    Answer(member, session, kJoin, kCodeSuccess);
    // What the presenter showed so far, in the order it was built.
    if (!sharing_info_.empty()) SendBytes(member, sharing_info_);
    UnknownFieldSet caches;
    AddHeader(&caches, session, kCreateCaches, false, 0);
    size_t chunk = 0;
    for (const auto& [index, kept] : caches_) {
      caches.AddLengthDelimited(kFieldCaches, kept.bytes);
      chunk += kept.bytes.size();
      if (chunk >= kReplayChunk) {
        Send(member, caches);
        caches.Clear();
        AddHeader(&caches, session, kCreateCaches, false, 0);
        chunk = 0;
      }
    }
    if (chunk != 0) Send(member, caches);
    if (!blocks_.empty()) {
      UnknownFieldSet blocks;
      AddHeader(&blocks, session, kCreateBlocks, false, 0);
      for (const auto& [index, block] : blocks_) blocks.AddLengthDelimited(kFieldBlocks, block);
      Send(member, blocks);
    }
    if (!mouse_info_.empty()) SendBytes(member, mouse_info_);
    return false;
  }

  bool Stop(Session& session, Member& member) {
    if (!IsPresenter(member)) return false;
    VZ_LOG("%s stopped presenting in session %s", member.join.roster_id.c_str(), session.id.c_str());
    presenter_ = nullptr;
    presenter_roster_.clear();
    ForgetShared();
    UnknownFieldSet end;
    AddHeader(&end, session, kServerDisconnect, true, kCodeConferenceEnd);
    std::string bytes;
    end.SerializeToString(&bytes);
    hub_.SendToOthers(session, &member, FrameKind::kDataBinary, reinterpret_cast<const uint8_t*>(bytes.data()),
                      bytes.size());
    return false;
  }

  bool GetCaches(Session& session, Member& member, const UnknownFieldSet& request, const uint8_t* data,
                 size_t size) {
    UnknownFieldSet answer;
    AddHeader(&answer, session, kGetCaches, false, 0);
    std::vector<const std::string*> blocks = Submessages(request, kFieldBlocks);
    bool found_any = false, missing = false;
    for (const std::string* block : blocks) {
      UnknownFieldSet fields;
      if (!fields.ParseFromString(*block)) continue;
      const auto kept = caches_.find(Varint(fields, kBlockCacheIndex));
      if (kept != caches_.end() && kept->second.pdu_id == Varint(fields, kBlockCachePduId)) {
        answer.AddLengthDelimited(kFieldCaches, kept->second.bytes);
        found_any = true;
      } else {
        missing = true;
      }
    }
    // The same blocks follow the caches, as the field order has it.
    for (const std::string* block : blocks) answer.AddLengthDelimited(kFieldBlocks, *block);
    if (found_any) Send(member, answer);
    if (missing && presenter_ != nullptr && presenter_ != &member) {
      hub_.SendTo(*presenter_, FrameKind::kDataBinary, data, size);
    }
    return false;
  }

  void KeepCaches(const UnknownFieldSet& message) {
    for (const std::string* cache : Submessages(message, kFieldCaches)) {
      UnknownFieldSet fields;
      if (!fields.ParseFromString(*cache)) continue;
      const uint64_t index = Varint(fields, kCacheIndex);
      const auto old = caches_.find(index);
      if (old != caches_.end()) {
        kept_bytes_ -= old->second.bytes.size();
        caches_.erase(old);
      }
      caches_[index] = Kept{*cache, Varint(fields, kCachePduId)};
      kept_bytes_ += cache->size();
      order_.push_back(index);
    }
    // Over budget: the caches kept longest go first.
    while (kept_bytes_ > kSharingCacheBudget && !order_.empty()) {
      const uint64_t index = order_.front();
      order_.pop_front();
      const auto found = caches_.find(index);
      if (found == caches_.end()) continue;
      kept_bytes_ -= found->second.bytes.size();
      caches_.erase(found);
      ++evicted_;
      if (evicted_ % 100 == 1) VZ_LOG("cache budget reached: %llu caches let go", static_cast<unsigned long long>(evicted_));
    }
    // The order list only grows with replacements; keep it near the map's size.
    if (order_.size() > 4 * caches_.size() + 64) {
      std::deque<uint64_t> fresh;
      for (uint64_t index : order_) {
        if (caches_.count(index) != 0) fresh.push_back(index);
      }
      order_.swap(fresh);
    }
  }

  void ForgetShared() {
    caches_.clear();
    order_.clear();
    kept_bytes_ = 0;
    blocks_.clear();
    sharing_info_.clear();
    mouse_info_.clear();
  }

  struct Kept {
    std::string bytes;  // the DsCache as the presenter sent it
    uint64_t pdu_id = 0;
  };

  MeetingHub& hub_;
  Member* presenter_ = nullptr;    // while connected
  std::string presenter_roster_;   // until STOP, so a reconnecting presenter finds its screen
  std::map<uint64_t, Kept> caches_;
  std::deque<uint64_t> order_;
  size_t kept_bytes_ = 0;
  uint64_t evicted_ = 0;
  std::map<uint64_t, std::string> blocks_;  // the latest DsBlock of each index
  std::string sharing_info_;
  std::string mouse_info_;
};

}  // namespace

std::unique_ptr<SessionRole> MakeSharingServerRole(MeetingHub& hub) {
  return std::make_unique<SharingServerRole>(hub);
}

}  // namespace vzrelay

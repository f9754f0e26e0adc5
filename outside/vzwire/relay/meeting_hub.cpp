#include "outside/vzwire/relay/meeting_hub.h"

#include <algorithm>

#include "common/budgeted_log.h"
#include "common/log_text.h"
#include "common/trace_client.h"
#include "contracts/transport_session_types.h"
#include "outside/vzwire/relay/member_credential.h"
#include "outside/vzwire/relay/rtcp_record.h"
#include "platform/big_endian.h"
#include "platform/clock.h"

namespace vzrelay {
namespace {

constexpr uint32_t kFirstSsrc = 0x1000;
// Where an RTP record keeps its packet's SSRC: the record's 11-byte header,
// then bytes 8 to 11 of the packet.
constexpr size_t kRtpRecordSsrcOffset = 11 + 8;

const char* TypeName(uint8_t type) {
  return type == kTransportSessionVideo ? "video" : type == kTransportSessionSharing ? "sharing" : "unknown";
}

// RAII for the hub's re-entrancy depth: members dropped during a call are
// forgotten when the outermost call ends, so no caller holds a dead one.
class DepthGuard {
 public:
  DepthGuard(int* depth) : depth_(depth) { ++*depth_; }
  ~DepthGuard() { --*depth_; }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;

 private:
  int* depth_;
};

}  // namespace

MeetingHub::MeetingHub(HubOptions options)
    : options_(std::move(options)),
      unproven_log_(options_.refusal_log_burst, options_.refusal_log_refill_ms),
      admitted_refusal_log_(options_.refusal_log_burst, options_.refusal_log_refill_ms),
      join_budget_(options_.join_burst, options_.join_refill_ms) {}

// The links belong to their connections, which may already be gone.
MeetingHub::~MeetingHub() = default;

void MeetingHub::SetRoleFactory(uint8_t session_type, RoleFactory factory) {
  role_factories_[session_type] = factory;
}

MemberId MeetingHub::Connect(IMemberLink* link) {
  const MemberId id = next_member_++;
  auto member = std::make_unique<Member>();
  member->id = id;
  member->link = link;
  members_.emplace(id, std::move(member));
  return id;
}

Member* MeetingHub::FindMember(MemberId id) {
  const auto found = members_.find(id);
  return found == members_.end() || found->second->link == nullptr ? nullptr : found->second.get();
}

Session* MeetingHub::FindSession(uint8_t type, const std::string& meeting, const std::string& id) {
  const auto found = sessions_.find(SessionKey{type, meeting, id});
  return found == sessions_.end() ? nullptr : found->second.get();
}

std::vector<Session*> MeetingHub::SessionsNamed(uint8_t type, const std::string& id) {
  std::vector<Session*> named;
  for (const auto& [key, session] : sessions_) {
    if (session->type == type && session->id == id) named.push_back(session.get());
  }
  return named;
}

void MeetingHub::OnFrame(MemberId id, Frame frame) {
  Member* member = FindMember(id);
  if (member == nullptr) return;
  {
    DepthGuard guard(&depth_);
    if (member->session == nullptr) {
      if (frame.kind == FrameKind::kJoin) {
        HandleJoin(*member, frame);
      } else {
        Drop(*member, "a frame before the join");
      }
    } else if (!Unread(*member, frame)) {
      switch (frame.kind) {
        case FrameKind::kCommand:
        case FrameKind::kRtp:
        case FrameKind::kRtcp:
          HandleMedia(*member, frame);
          break;
        case FrameKind::kDataUtf8:
        case FrameKind::kDataBinary: {
          // Held once for every member it goes to.
          Session& session = *member->session;
          const SharedPayload payload = MakeSharedPayload(std::move(frame.payload));
          if (!session.role || session.role->OnData(session, *member, frame.kind, payload)) {
            if (member->session == &session) SendToOthers(session, member, frame.kind, payload);
          }
          break;
        }
        case FrameKind::kSubscribe: {
          PayloadReader reader(frame.payload.data(), frame.payload.size());
          uint32_t ssrc = 0;
          uint8_t on = 0;
          if (!reader.GetU32(&ssrc) || !reader.GetU8(&on)) {
            Drop(*member, "a short subscribe frame");
          } else if (on != 0) {
            // Bounded whatever a member asks: a session has far fewer streams.
            if (member->subscriptions.size() < options_.max_subscriptions ||
                member->subscriptions.count(ssrc) != 0) {
              member->subscriptions.insert(ssrc);
            } else if (member->subscriptions_refused++ % 1000 == 0) {
              VZ_LOG_ERROR("member %llu (%s) asked for more than %zu subscriptions; ssrc %u refused (%llu so far)",
                           static_cast<unsigned long long>(member->id), vz::LogText(member->join.roster_id).c_str(),
                           options_.max_subscriptions, ssrc,
                           static_cast<unsigned long long>(member->subscriptions_refused));
            }
          } else {
            member->subscriptions.erase(ssrc);
            // Unsubscribing from everything must not mean "every member".
            if (member->subscriptions.empty()) member->subscriptions.insert(0);
          }
          break;
        }
        case FrameKind::kLeave:
          VZ_LOG("member %llu (%s) leaves %s session %s of meeting [%s]", static_cast<unsigned long long>(member->id),
                 vz::LogText(member->join.roster_id).c_str(), TypeName(member->session->type),
                 vz::LogText(member->session->id).c_str(), vz::LogText(member->session->meeting).c_str());
          Leave(*member);
          if (member->link != nullptr) member->link->Close("left");
          member->link = nullptr;
          dropped_.push_back(member->id);
          break;
        case FrameKind::kPing:
          break;  // answered by the connection
        default:
          Drop(*member, "a frame only the server sends");
          break;
      }
    }
  }
  if (depth_ == 0) ReapDropped();
}

void MeetingHub::OnDrained(MemberId id) {
  Member* member = FindMember(id);
  if (member == nullptr || !member->wants_drain) return;
  member->wants_drain = false;
  if (member->session == nullptr || !member->session->role) return;
  {
    DepthGuard guard(&depth_);
    member->session->role->OnDrained(*member->session, *member);
  }
  if (depth_ == 0) ReapDropped();
}

void MeetingHub::OnBehind(MemberId id) {
  Member* member = FindMember(id);
  if (member == nullptr || member->session == nullptr || !member->session->role) return;
  {
    DepthGuard guard(&depth_);
    member->session->role->OnBehind(*member->session, *member);
  }
  if (depth_ == 0) ReapDropped();
}

void MeetingHub::OnCaughtUp(MemberId id) {
  Member* member = FindMember(id);
  if (member == nullptr || member->session == nullptr || !member->session->role) return;
  {
    DepthGuard guard(&depth_);
    member->session->role->OnCaughtUp(*member->session, *member);
  }
  if (depth_ == 0) ReapDropped();
}

void MeetingHub::Disconnect(MemberId id) {
  Member* member = FindMember(id);
  if (member == nullptr) return;
  {
    DepthGuard guard(&depth_);
    if (member->session != nullptr) {
      VZ_LOG("member %llu (%s) lost its connection", static_cast<unsigned long long>(member->id),
             vz::LogText(member->join.roster_id).c_str());
      Leave(*member);
    }
    member->link = nullptr;
    dropped_.push_back(id);
  }
  if (depth_ == 0) ReapDropped();
}

bool MeetingHub::TokenAdmits(const Session* session, const JoinRequest& join) const {
  if (!options_.member_secret.empty()) {
    return MemberTokenAdmits(options_.member_secret, join.token, join.meet_id, join.roster_id,
                             join.presenter ? MemberRole::kPresenter : MemberRole::kAttendee);
  }
  std::string expected;
  const auto listed = options_.meeting_tokens.find(join.meet_id);
  if (listed != options_.meeting_tokens.end()) {
    expected = listed->second;
  } else if (!options_.default_token.empty()) {
    expected = options_.default_token;
  } else {
    return session == nullptr || SameBytesInConstantTime(session->token, join.token);
  }
  return SameBytesInConstantTime(join.token, expected) ||
         SameBytesInConstantTime(join.token, "VDS " + join.meet_id + ":" + expected);
}

size_t MeetingHub::SessionsHeldBy(const JoinRequest& join, const Session* except) const {
  size_t held = 0;
  for (const auto& [key, session] : sessions_) {
    if (session.get() == except || session->meeting != join.meet_id) continue;
    held += std::any_of(session->members.begin(), session->members.end(), [&join](const Member* m) {
      return m->join.roster_id == join.roster_id && m->join.presenter == join.presenter;
    });
  }
  return held;
}

void MeetingHub::ReplaceRoster(Session& session, const JoinRequest& join, const Member& newcomer) {
  const std::string& roster = join.roster_id;
  const std::vector<Member*> members = session.members;
  for (Member* old : members) {
    if (old == &newcomer || old->join.roster_id != roster || old->session != &session) continue;
    VZ_LOG("member %llu (%s) is replaced by member %llu, a new connection of the same member",
           static_cast<unsigned long long>(old->id), vz::LogText(roster).c_str(),
           static_cast<unsigned long long>(newcomer.id));
    if (session.role) session.role->OnReplaced(session, *old, join);
    // The role may have ended the session, which let every member go.
    if (old->session == &session) {
      auto& list = session.members;
      list.erase(std::remove(list.begin(), list.end(), old), list.end());
      old->session = nullptr;
    }
    if (old->link != nullptr) old->link->Close("replaced by a new connection of the same member");
    old->link = nullptr;
    dropped_.push_back(old->id);
    if (FindSession(session.type, session.meeting, session.id) != &session) return;
  }
}

void MeetingHub::HandleJoin(Member& member, const Frame& frame) {
  JoinRequest join;
  if (!DecodeJoinRequest(frame.payload.data(), frame.payload.size(), &join)) {
    Refuse(member, kRefusedBadRequest, "malformed join request");
    return;
  }
  if ((join.session_type != kTransportSessionVideo && join.session_type != kTransportSessionSharing) ||
      join.session_id.empty()) {
    Refuse(member, kRefusedBadRequest,
           "no session of type " + std::to_string(join.session_type) + " and id \"" + join.session_id + "\"");
    return;
  }
  if (!options_.member_secret.empty() && join.roster_id.empty()) {
    Refuse(member, kRefusedBadRequest, "no roster id: a member token is for one member");
    return;
  }
  // The join's own meeting's session: the credential proves the meeting.
  Session* session = FindSession(join.session_type, join.meet_id, join.session_id);
  if (!TokenAdmits(session, join)) {
    Refuse(member, kRefusedWrongToken,
           std::string("wrong token for ") + TypeName(join.session_type) + " session " + join.session_id, false,
           "asked to join as [" + vz::LogText(join.roster_id) + "] (" + (join.presenter ? "presenter" : "attendee") +
               ")");
    return;
  }
  const bool reconnection =
      session != nullptr && !join.roster_id.empty() &&
      std::any_of(session->members.begin(), session->members.end(),
                  [&join](const Member* m) { return m->join.roster_id == join.roster_id; });
  if (!reconnection) {
    const size_t held = SessionsHeldBy(join, session);
    if (held >= options_.max_sessions_per_member) {
      Refuse(member, kRefusedTooManySessions,
             "[" + join.roster_id + "] (" + (join.presenter ? "presenter" : "attendee") + ") of meeting [" +
                 join.meet_id + "] is in " + std::to_string(held) + " sessions already, the most one member holds",
             true);
      return;
    }
  }
  // Every join admitted of a roster id tells the session's others of a change: how
  // often a credential may do that is bounded (with a shared token, roster
  // ids prove nothing and a member without one replaces no one).
  if (!join.roster_id.empty() && !join_budget_.Take(CredentialOf(join), vz::MonotonicMs())) {
    Refuse(member, kRefusedJoinsTooOften,
           "[" + join.roster_id + "] (" + (join.presenter ? "presenter" : "attendee") + ") of meeting [" +
               join.meet_id + "] joins too often: at most " + std::to_string(options_.join_burst) +
               " joins at once, then one every " + std::to_string(options_.join_refill_ms) + " ms",
           true);
    return;
  }
  if (session != nullptr && !join.roster_id.empty()) {
    ReplaceRoster(*session, join, member);
    session = FindSession(join.session_type, join.meet_id, join.session_id);
  }
  if (session == nullptr) {
    auto created = std::make_unique<Session>();
    created->type = join.session_type;
    created->id = join.session_id;
    created->meeting = join.meet_id;
    created->token = join.token;
    created->next_ssrc = kFirstSsrc;
    const auto factory = role_factories_.find(join.session_type);
    if (factory != role_factories_.end()) created->role = factory->second(*this);
    session = created.get();
    sessions_.emplace(SessionKey{join.session_type, join.meet_id, join.session_id}, std::move(created));
    VZ_LOG("%s session %s of meeting [%s] opened", TypeName(session->type), vz::LogText(session->id).c_str(),
           vz::LogText(session->meeting).c_str());
  }
  const auto in_use = [session](uint32_t ssrc) {
    return std::any_of(session->members.begin(), session->members.end(),
                       [ssrc](const Member* m) { return m->ssrc == ssrc; });
  };
  uint32_t ssrc = join.previous_ssrc;
  if (ssrc == 0 || in_use(ssrc)) {
    do {
      ssrc = session->next_ssrc++;
    } while (ssrc == 0 || in_use(ssrc));
  }
  member.join = std::move(join);
  member.ssrc = ssrc;
  member.session = session;
  session->members.push_back(&member);
  VZ_LOG("member %llu (%s) joined %s session %s of meeting [%s] with ssrc %u, %zu members",
         static_cast<unsigned long long>(member.id), vz::LogText(member.join.roster_id).c_str(),
         TypeName(session->type), vz::LogText(session->id).c_str(), vz::LogText(session->meeting).c_str(), ssrc,
         session->members.size());
  std::vector<uint8_t> confirm;
  PutU32(&confirm, ssrc);
  PutU32(&confirm, static_cast<uint32_t>(session->members.size()));
  if (!SendTo(member, FrameKind::kJoinConfirm, confirm.data(), confirm.size())) return;
  if (session->role) session->role->OnJoined(*session, member);
}

bool MeetingHub::Unread(Member& member, const Frame& frame) {
  switch (frame.kind) {
    case FrameKind::kCommand:
    case FrameKind::kRtp:
    case FrameKind::kRtcp:
    case FrameKind::kDataUtf8:
    case FrameKind::kDataBinary:
      break;
    default:
      return false;  // the session's own frames (leave, subscribe, ping) and faults
  }
  const Session& session = *member.session;
  if (!session.role || session.role->Reads(frame.kind)) return false;
  ++member.unread_dropped;
  VZ_LOG_BUDGETED("member %llu (%s) sent a frame of %s, which no member of %s session %s of meeting [%s] reads: "
                  "dropped (%llu so far)",
                  static_cast<unsigned long long>(member.id), vz::LogText(member.join.roster_id).c_str(),
                  FrameKindName(static_cast<uint16_t>(frame.kind)), TypeName(session.type),
                  vz::LogText(session.id).c_str(), vz::LogText(session.meeting).c_str(),
                  static_cast<unsigned long long>(member.unread_dropped));
  return true;
}

bool MeetingHub::OwnStream(Member& member, const Frame& frame) {
  const uint8_t* data = frame.payload.data();
  const size_t size = frame.payload.size();
  bool own = true;
  uint32_t named = 0;
  const char* fault = nullptr;
  if (frame.kind == FrameKind::kRtp) {
    own = size >= kRtpRecordSsrcOffset + 4 && (named = vz::Load32(data + kRtpRecordSsrcOffset)) == member.ssrc;
  } else if (frame.kind == FrameKind::kRtcp) {
    // Walked as the members' engines walk it, and relayed only whole, with
    // every packet speaking for the member's own stream.
    RtcpCompound compound(data, size);
    fault = compound.fault();
    own = compound.whole();
    RtcpPacket packet;
    while (own && compound.Next(&packet)) {
      own = ForEachSource(packet, [&](uint32_t ssrc) { return (named = ssrc) == member.ssrc; });
    }
  }
  if (!own && member.media_refused++ % 1000 == 0) {
    if (fault != nullptr) {
      VZ_LOG_ERROR("member %llu (%s) sent an RTCP record that is not whole (%s): dropped (%llu so far)",
                   static_cast<unsigned long long>(member.id), vz::LogText(member.join.roster_id).c_str(), fault,
                   static_cast<unsigned long long>(member.media_refused));
    } else {
      VZ_LOG_ERROR("member %llu (%s) sent %s for ssrc %u, not its own %u: dropped (%llu so far)",
                   static_cast<unsigned long long>(member.id), vz::LogText(member.join.roster_id).c_str(),
                   FrameKindName(static_cast<uint16_t>(frame.kind)), named, member.ssrc,
                   static_cast<unsigned long long>(member.media_refused));
    }
  }
  return own;
}

void MeetingHub::HandleMedia(Member& member, Frame& frame) {
  Session& session = *member.session;
  if (!OwnStream(member, frame)) return;
  const uint8_t* data = frame.payload.data();
  const size_t size = frame.payload.size();
  if (session.role) {
    const bool relay = frame.kind == FrameKind::kCommand ? session.role->OnCommand(session, member, data, size)
                       : frame.kind == FrameKind::kRtcp  ? session.role->OnRtcp(session, member, data, size)
                                                         : true;
    // The role may have dropped the member or ended the session.
    if (!relay || member.session != &session) return;
  }
  uint32_t ssrc = 0;
  const bool is_rtp = frame.kind == FrameKind::kRtp;
  if (is_rtp && size >= kRtpRecordSsrcOffset + 4) {
    PayloadReader reader(data + kRtpRecordSsrcOffset, 4);
    reader.GetU32(&ssrc);
  }
  const std::vector<Member*> members = session.members;  // a drop may change the list
  SharedPayload shared;  // a large command is held once for all
  for (Member* other : members) {
    if (other == &member || other->link == nullptr) continue;
    if (is_rtp && !other->subscriptions.empty() && other->subscriptions.count(ssrc) == 0) continue;
    if (is_rtp && session.role && !session.role->WantsRtp(session, member, *other)) continue;
    if (frame.kind == FrameKind::kCommand) {
      if (!shared) shared = MakeSharedPayload(std::move(frame.payload));
      SendTo(*other, frame.kind, shared);
    } else {
      SendMedia(*other, frame.kind, data, size);
    }
  }
}

bool MeetingHub::SendMedia(Member& member, FrameKind kind, const uint8_t* data, size_t size) {
  if (member.link == nullptr) return false;
  if (member.link->Backlog() > options_.media_backlog_limit) {
    // Media is worth nothing late: a member that cannot keep up loses
    // packets, not the session.
    if (member.media_dropped++ % 1000 == 0) {
      VZ_LOG("member %llu (%s) is behind by %zu bytes: media dropped (%llu so far)",
             static_cast<unsigned long long>(member.id), vz::LogText(member.join.roster_id).c_str(),
             member.link->Backlog(), static_cast<unsigned long long>(member.media_dropped));
    }
    return false;
  }
  return SendTo(member, kind, data, size);
}

bool MeetingHub::SendTo(Member& member, FrameKind kind, const uint8_t* data, size_t size) {
  if (member.link == nullptr) return false;
  if (member.link->Deliver(kind, data, size)) return true;
  Drop(member, "its backlog is full");
  return false;
}

bool MeetingHub::SendTo(Member& member, FrameKind kind, const SharedPayload& payload) {
  if (member.link == nullptr) return false;
  if (member.link->DeliverShared(kind, payload)) return true;
  Drop(member, "its backlog is full");
  return false;
}

void MeetingHub::SendToOthers(Session& session, const Member* except, FrameKind kind,
                              const SharedPayload& payload) {
  const std::vector<Member*> members = session.members;
  for (Member* other : members) {
    if (other != except && other->link != nullptr) SendTo(*other, kind, payload);
  }
}

void MeetingHub::SendToOthers(Session& session, const Member* except, FrameKind kind, const uint8_t* data,
                              size_t size) {
  const std::vector<Member*> members = session.members;
  for (Member* other : members) {
    if (other != except && other->link != nullptr) SendTo(*other, kind, data, size);
  }
}

void MeetingHub::EndSession(Session& session, uint32_t reason, uint32_t arg) {
  {
    DepthGuard guard(&depth_);
    EndSessionInside(session, reason, arg);
  }
  if (depth_ == 0) ReapDropped();
}

void MeetingHub::EndAllSessions(uint32_t reason, uint32_t arg) {
  {
    DepthGuard guard(&depth_);
    while (!sessions_.empty()) EndSessionInside(*sessions_.begin()->second, reason, arg);
  }
  if (depth_ == 0) ReapDropped();
}

void MeetingHub::EndSessionInside(Session& session, uint32_t reason, uint32_t arg) {
  VZ_LOG("%s session %s of meeting [%s] ended (reason %u, %u)", TypeName(session.type),
         vz::LogText(session.id).c_str(), vz::LogText(session.meeting).c_str(), reason, arg);
  std::vector<uint8_t> payload;
  PutU32(&payload, reason);
  PutU32(&payload, arg);
  const std::vector<Member*> members = session.members;
  for (Member* member : members) {
    if (member->link == nullptr) continue;
    member->link->Deliver(FrameKind::kSessionEnded, payload.data(), payload.size());
    member->link->Close("session ended");
    member->link = nullptr;
    member->session = nullptr;
    dropped_.push_back(member->id);
  }
  RetireSession(session);
}

void MeetingHub::Refuse(Member& member, uint32_t code, const std::string& reason, bool admitted,
                        const std::string& detail) {
  vz::LogBudget& log = admitted ? admitted_refusal_log_ : unproven_log_;
  if (log.Take(vz::MonotonicMs())) {
    VZ_LOG_ERROR("join of member %llu refused (%u): %s%s%s%s", static_cast<unsigned long long>(member.id), code,
                 vz::LogText(reason).c_str(), detail.empty() ? "" : "; ", detail.c_str(), log.LeftOutNote().c_str());
  }
  std::vector<uint8_t> payload;
  PutU32(&payload, code);
  payload.insert(payload.end(), reason.begin(), reason.begin() + std::min<size_t>(reason.size(), 1024));
  member.link->Deliver(FrameKind::kJoinRefused, payload.data(), payload.size());
  member.link->Close("join refused");
  member.link = nullptr;
  dropped_.push_back(member.id);
}

void MeetingHub::Leave(Member& member) {
  Session* session = member.session;
  if (session == nullptr) return;
  if (session->role) session->role->OnLeaving(*session, member);
  // The role may have ended the session, which already let every member go.
  if (member.session == nullptr) return;
  auto& list = session->members;
  list.erase(std::remove(list.begin(), list.end(), &member), list.end());
  member.session = nullptr;
  if (list.empty()) {
    VZ_LOG("%s session %s of meeting [%s] closed: no members left", TypeName(session->type),
           vz::LogText(session->id).c_str(), vz::LogText(session->meeting).c_str());
    RetireSession(*session);
  }
}

void MeetingHub::Drop(Member& member, const char* why) {
  if (member.link == nullptr) return;
  // One that never joined has proven nothing: within the unproven budget.
  if (member.session != nullptr || unproven_log_.Take(vz::MonotonicMs())) {
    VZ_LOG_ERROR("member %llu (%s) dropped: %s%s", static_cast<unsigned long long>(member.id),
                 vz::LogText(member.join.roster_id).c_str(), why,
                 member.session != nullptr ? "" : unproven_log_.LeftOutNote().c_str());
  }
  DepthGuard guard(&depth_);
  Leave(member);
  if (member.link != nullptr) member.link->Close(why);
  member.link = nullptr;
  dropped_.push_back(member.id);
}

void MeetingHub::RetireSession(Session& session) {
  const auto found = sessions_.find(SessionKey{session.type, session.meeting, session.id});
  if (found == sessions_.end()) return;
  // Its role may be the caller: destroyed when the outermost call ends.
  retired_.push_back(std::move(found->second));
  sessions_.erase(found);
}

void MeetingHub::ReapDropped() {
  std::vector<MemberId> dropped;
  dropped.swap(dropped_);
  for (MemberId id : dropped) members_.erase(id);
  retired_.clear();
}

}  // namespace vzrelay

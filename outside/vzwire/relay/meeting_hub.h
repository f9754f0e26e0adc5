#pragma once
// The meeting server's sessions, without any I/O: members join sessions
// keyed by session type, meeting and id with the session's token, and
// whatever one member sends is relayed to the others through their links. The socket
// server (vzrelay) and the transport's in-process loopback both drive it.
//
// Threads: not thread-safe; one caller at a time (the server's loop, or the
// loopback under its lock). Links are called back inside these calls.
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "outside/vzwire/relay/join_budget.h"
#include "outside/vzwire/relay/join_request.h"
#include "common/log_budget.h"
#include "outside/vzwire/relay/relay_frame.h"

namespace vzrelay {

using MemberId = uint64_t;

// One member's way back: the server's connection or a loopback transport.
class IMemberLink {
 public:
  virtual ~IMemberLink() = default;
  // Queues one frame. False when the member cannot take it (its backlog is
  // over the limit); the hub then drops the member.
  virtual bool Deliver(FrameKind kind, const uint8_t* payload, size_t size) = 0;
  // The same for a payload queued for several members: a link that can
  // keeps a reference instead of a copy.
  virtual bool DeliverShared(FrameKind kind, const SharedPayload& payload) {
    return Deliver(kind, payload->data(), payload->size());
  }
  // Bytes queued for the member and not yet taken by it.
  virtual size_t Backlog() const = 0;
  // The hub is done with the member: send what is queued, then close.
  virtual void Close(const char* why) = 0;
};

struct HubOptions {
  // When set, a join is admitted only with the member token this secret
  // signs for its meeting, roster id and role (member_credential.h; the
  // role is the join's presenter flag), and the tokens below are not used.
  std::string member_secret;
  // Meeting id -> token. A join must carry its meeting's token (or, for
  // sharing, "VDS <meeting id>:<token>"). A shared token tells members
  // apart by nothing: its holders may join as any roster id and role.
  std::map<std::string, std::string> meeting_tokens;
  // The token of meetings not listed above; when empty too, the first member
  // of a session sets the token its later members must carry.
  std::string default_token;
  // Above this backlog a member's media frames (RTP, RTCP) are dropped.
  size_t media_backlog_limit = 2u << 20;
  // The server's limit of what may wait for one member (its link drops it
  // past this); the roles count what they keep back for a member against it.
  size_t member_backlog_limit = 32u << 20;
  // The most media subscriptions (kSubscribe) one member keeps.
  size_t max_subscriptions = 1024;
  // The most sessions one credential (meeting, roster id and role) is
  // joined to at a time: a member uses one of each type, so that one token
  // holder cannot fill its meeting with sessions of its own.
  size_t max_sessions_per_member = 4;
  // How often one credential with a roster id may join (join_budget.h):
  // this many joins at once, then one more every this many milliseconds.
  // Past it a join is refused and the connection it would replace stays.
  uint32_t join_burst = kJoinBurst;
  uint64_t join_refill_ms = kJoinRefillMs;
  // The log's budget for lines about members that have proven nothing, and
  // the one for refusals of good credentials (common/log_budget.h): this
  // many lines at once, then one more every this many milliseconds (20,
  // then one every 15 s: 240 an hour, about 40 KB of a 256,000-byte log).
  uint32_t refusal_log_burst = 20;
  uint64_t refusal_log_refill_ms = 15000;
};

// Join refusal codes (FrameKind::kJoinRefused).
constexpr uint32_t kRefusedBadRequest = 400;
constexpr uint32_t kRefusedWrongToken = 401;
constexpr uint32_t kRefusedTooManySessions = 429;
// The same "too many", in time: the credential joined too often of late.
constexpr uint32_t kRefusedJoinsTooOften = 429;
constexpr uint32_t kRefusedMeetingFull = 503;

// A member whose role waits for room is told so below this backlog.
constexpr size_t kDrainedBacklog = 1u << 20;

struct Session;
struct Member {
  MemberId id = 0;
  IMemberLink* link = nullptr;
  Session* session = nullptr;  // null until joined
  JoinRequest join;
  uint32_t ssrc = 0;
  std::set<uint32_t> subscriptions;  // empty: every member's media
  uint64_t subscriptions_refused = 0;  // beyond HubOptions::max_subscriptions
  uint64_t media_dropped = 0;
  uint64_t media_refused = 0;  // its own media naming another stream
  uint64_t unread_dropped = 0;  // frames of kinds no member of its session reads
  // Its role waits for its backlog to fall (MeetingHub::OnDrained).
  bool wants_drain = false;
};

// What a session type does beyond relaying (the sharing server's answers).
class SessionRole {
 public:
  virtual ~SessionRole() = default;
  // After the join confirm was delivered to `member`.
  virtual void OnJoined(Session& /*session*/, Member& /*member*/) {}
  // Whether a member of the session reads frames of `kind` (commands, RTP,
  // RTCP, text or binary payloads). The hub drops a frame of a kind none
  // reads as it comes, unrelayed and unkept (counted, logged within a
  // budget), so that a member cannot fill the others' queues with what
  // they would throw away.
  virtual bool Reads(FrameKind /*kind*/) const { return true; }
  // A data payload from `member`; true relays it unchanged to the others.
  virtual bool OnData(Session& /*session*/, Member& /*member*/, FrameKind /*kind*/,
                      const SharedPayload& /*payload*/) {
    return true;
  }
  // The member asked for it (wants_drain) and its backlog fell below
  // kDrainedBacklog: the role may queue more for it.
  virtual void OnDrained(Session& /*session*/, Member& /*member*/) {}
  // The member left or was dropped (still listed in the session).
  virtual void OnLeaving(Session& /*session*/, Member& /*member*/) {}
  // A new connection of the same roster id, joining with `by`, takes the
  // member's place (still listed in the session); OnJoined follows for the
  // newcomer unless its join fails, and then OnLeaving does. By default the
  // member leaves.
  virtual void OnReplaced(Session& session, Member& member, const JoinRequest& /*by*/) {
    OnLeaving(session, member);
  }
  // The member takes much less than it is sent (the server no longer holds
  // senders for it): the role may stop queueing what it can send anew later.
  virtual void OnBehind(Session& /*session*/, Member& /*member*/) {}
  // A member that was behind drained its queue.
  virtual void OnCaughtUp(Session& /*session*/, Member& /*member*/) {}
  // A command record from `member`; true relays it unchanged to the others.
  virtual bool OnCommand(Session& /*session*/, Member& /*member*/, const uint8_t* /*record*/,
                         size_t /*size*/) {
    return true;
  }
  // An RTCP record from `member`; true relays it to the others (through the
  // media backlog rule), false when the role took care of it.
  virtual bool OnRtcp(Session& /*session*/, Member& /*member*/, const uint8_t* /*record*/,
                      size_t /*size*/) {
    return true;
  }
  // Whether `to` is to get the RTP `from` sends. The members' own
  // subscriptions (kSubscribe) and the backlog rule apply as well.
  virtual bool WantsRtp(const Session& /*session*/, const Member& /*from*/, const Member& /*to*/) {
    return true;
  }
  // Whether the server may stop reading `sender` while another member of
  // the session has too much queued (back-pressure on a bulk sender whose
  // data are never dropped).
  virtual bool Paces(const Session& /*session*/, const Member& /*sender*/) const { return false; }
  // Bytes the role holds for `member` outside its link (counted with the
  // link's backlog for the back-pressure).
  virtual size_t HeldFor(const Member& /*member*/) const { return 0; }
};

struct Session {
  uint8_t type = 0;
  std::string id;
  // The meeting it belongs to. Only that meeting's members find it: session
  // ids (a video session's is its meeting's id) and roster ids repeat
  // across meetings, so whatever ids another meeting's members open, they
  // open sessions of their own meeting.
  std::string meeting;
  std::string token;
  std::vector<Member*> members;
  uint32_t next_ssrc = 0;
  std::unique_ptr<SessionRole> role;
};

class MeetingHub {
 public:
  explicit MeetingHub(HubOptions options);
  // Does not call the links: their owners close them.
  ~MeetingHub();
  MeetingHub(const MeetingHub&) = delete;
  MeetingHub& operator=(const MeetingHub&) = delete;

  // A new connection. The link is used until Disconnect or the hub closes it.
  MemberId Connect(IMemberLink* link);
  // One frame from the member (a join first). A join finds the session of
  // its type and id in its own meeting (and opens it when there is none):
  // sessions of other meetings bearing the same id are not its business,
  // and no member of theirs keeps it out. A roster id is held by one connection per session: a
  // join naming a roster id already there replaces that member as a
  // reconnection does (it is closed, and the others see it leave before
  // the new one joins). A credential joins at most max_sessions_per_member
  // sessions at a time, and joins at most join_burst times at once, then
  // once every join_refill_ms (a join past that is refused, and the
  // connection it would have replaced stays); with a meeting secret, every member has a roster id. A frame that breaks the
  // protocol closes that member only. A frame of a kind its session's role
  // says no member reads is dropped and counted. Media and data whose stream is not
  // the one announced to the member (RTP of another SSRC, RTCP sent as or
  // ending another member's stream) is dropped and counted.
  void OnFrame(MemberId id, Frame frame);
  // The member's link has room again (its backlog is below
  // kDrainedBacklog); calls its role when the member waits for that.
  void OnDrained(MemberId id);
  // The member fell behind, or caught up again (the server's SenderHold);
  // calls its role.
  void OnBehind(MemberId id);
  void OnCaughtUp(MemberId id);
  // The connection is gone; its link is not used again.
  void Disconnect(MemberId id);

  // Delivers to one member, dropping it when it cannot take the frame.
  // For the roles. False when the member was dropped.
  bool SendTo(Member& member, FrameKind kind, const uint8_t* data, size_t size);
  bool SendTo(Member& member, FrameKind kind, const SharedPayload& payload);
  // Delivers media (RTP, RTCP) to one member unless the member is behind
  // by more than the media backlog limit (then the frame is dropped and
  // counted). For the roles. False when not delivered.
  bool SendMedia(Member& member, FrameKind kind, const uint8_t* data, size_t size);
  // Delivers to every member of the session but `except`.
  void SendToOthers(Session& session, const Member* except, FrameKind kind, const uint8_t* data,
                    size_t size);
  void SendToOthers(Session& session, const Member* except, FrameKind kind, const SharedPayload& payload);
  // Closes and forgets a member (a protocol fault, a full backlog, a role's
  // decision); logged with `why`. For the roles as well.
  void Drop(Member& member, const char* why);
  // Ends a session for everyone: each member gets kSessionEnded and is closed.
  void EndSession(Session& session, uint32_t reason, uint32_t arg);

  // Ends every session (EndSession for each).
  void EndAllSessions(uint32_t reason, uint32_t arg);
  // The options, changeable between calls (tokens apply to later joins).
  HubOptions& Options() { return options_; }

  size_t SessionCountForTesting() const { return sessions_.size(); }
  size_t MemberCountForTesting() const { return members_.size(); }
  // The session of `meeting` with that type and id; null when none is open.
  Session* FindSession(uint8_t type, const std::string& meeting, const std::string& id);
  // The sessions of every meeting with that type and id (for a caller that
  // knows no meeting: the in-process loopback's controls).
  std::vector<Session*> SessionsNamed(uint8_t type, const std::string& id);
  Member* FindMember(MemberId id);

  // Makes a role for each new session of a type (none: plain relaying).
  using RoleFactory = std::unique_ptr<SessionRole> (*)(MeetingHub& hub);
  void SetRoleFactory(uint8_t session_type, RoleFactory factory);

  // The budget of log lines about connections that have proven nothing
  // (joins refused before a good credential, frames before a join): the
  // hub's and the server's lines about them share it.
  vz::LogBudget& UnprovenLog() { return unproven_log_; }

 private:
  void HandleJoin(Member& member, const Frame& frame);
  void HandleMedia(Member& member, Frame& frame);
  // Whether the frame is of a kind no member of the member's session reads
  // (then it is counted and logged within a budget, to be dropped).
  bool Unread(Member& member, const Frame& frame);
  // Whether the member's RTP or RTCP speaks only for its own stream.
  bool OwnStream(Member& member, const Frame& frame);
  // Answers a join with `code` and `reason` and closes the member. Logged,
  // with `detail` (which the member is not told), within the unproven
  // budget, or within a budget of its own when the member's credential was
  // good (`admitted`), so that no flood without one hides such a refusal.
  void Refuse(Member& member, uint32_t code, const std::string& reason, bool admitted = false,
              const std::string& detail = std::string());
  bool TokenAdmits(const Session* session, const JoinRequest& join) const;
  // Sessions other than `except` joined by a member with the credential of
  // `join` (its meeting, roster id and role).
  size_t SessionsHeldBy(const JoinRequest& join, const Session* except) const;
  // Closes the members of `session` joined with the roster id of `join` (a
  // reconnection of theirs is joining); the session stays for the newcomer.
  void ReplaceRoster(Session& session, const JoinRequest& join, const Member& newcomer);
  void Leave(Member& member);
  void EndSessionInside(Session& session, uint32_t reason, uint32_t arg);
  void RetireSession(Session& session);
  void ReapDropped();

  HubOptions options_;
  std::map<MemberId, std::unique_ptr<Member>> members_;
  // By type, meeting and id.
  using SessionKey = std::tuple<uint8_t, std::string, std::string>;
  std::map<SessionKey, std::unique_ptr<Session>> sessions_;
  std::map<uint8_t, RoleFactory> role_factories_;
  std::vector<std::unique_ptr<Session>> retired_;  // ended, destroyed after the call in progress
  std::vector<MemberId> dropped_;  // closed members, forgotten after the call in progress
  MemberId next_member_ = 1;
  int depth_ = 0;
  vz::LogBudget unproven_log_;
  vz::LogBudget admitted_refusal_log_;
  JoinBudget join_budget_;
};

}  // namespace vzrelay

#pragma once
// Back-pressure for a session's bulk sender (the sharing presenter): while a
// member it feeds has too much queued, the server stops reading the sender,
// so the sender's own send queue grows and it stops producing (a sharing
// presenter skips capture rounds while its backlog is long), and what it
// makes next shows the latest state instead of queueing stale rounds here.
// Nothing is dropped: a held sender's data waits in its own queue.
//
// A member's queue is full from the high mark until it drains below the low
// mark. One slow or lying member must not slow the others: a full member
// holds its senders for at most hold_budget_ms of holding time, which
// comes back at a quarter of the time it holds no one (its holding over a
// window, so that a member that drains a moment and fills again, over and
// over, holds no longer than one that stays full); past it, it stays full
// but holds no one. The holding time is the member's, not its
// connection's: every connection of one account (the server's: the
// member's credential) spends the same, and it is kept while the member
// is away, so a member that connects anew (a late joiner's replay makes it
// full at once) has no more than it left with. Members taking turns do
// not add theirs up either: a sender is held by all of them together for
// at most sender_hold_budget_ms, which comes back at the same quarter of
// the time it is read. A member whose queue is full and that takes next to
// nothing for stall_ms (it takes much less than it is sent, or says it
// does), or whose queue stays full for lag_ms however it takes, is behind
// and holds no one until it drains below the low mark;
// OnQueue reports both changes, so the session's role can stop queueing
// what it would not take and bring it up to date once it caught up. A hold
// lasts at most max_hold_ms at a time as well (the sender's transport
// counts a silence of 5 s as a lost connection, and its pings wait in the
// same stream): then the sender is read until its next ping is answered.
//
// Pure bookkeeping with times and counts passed in; the server calls it on
// its thread once a turn (OnQueue for every member, then Decide for every
// sender). Not thread-safe.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace vzrelay {

struct HoldOptions {
  // A member's queue here counts what the server has queued, what waits in
  // the kernel's buffers and what its own transport has not handed on yet.
  // A 1920x1080 screen with a window moving is about 150 KB a second (the
  // whole screen at first about 550 KB), and an attendee short of CPU takes
  // no more: every 32 KiB queued is a fifth of a second of latency there.
  size_t high_mark = 32u << 10;
  size_t low_mark = 16u << 10;
  // Below the transport's 5 s silence limit with a second for the ping.
  uint32_t max_hold_ms = 2500;
  // A full queue that took less than stall_bytes in stall_ms is behind: a
  // member that takes next to nothing is let go before the others notice
  // (their frames wait while it holds the presenter). An honest member
  // hands on at least a relay frame (up to 64 KiB) at a time.
  uint32_t stall_ms = 250;
  uint64_t stall_bytes = 4096;
  // A queue full this long is behind however it takes: an attendee slowed
  // for a moment (a loaded machine) but still taking stays in step, one
  // that takes much less than it is sent is let go.
  uint32_t lag_ms = 1000;
  // The most holding time a member has (the others' frames wait while it
  // holds): one hold of it is a gap the others can bear. It comes back at
  // one part in hold_refill of the time the member holds no one.
  uint32_t hold_budget_ms = 250;
  uint32_t hold_refill = 4;
  // The most time a sender is held by all the members it feeds together
  // (one hold of it is a gap its members can bear), coming back at one
  // part in hold_refill of the time it is read.
  uint32_t sender_hold_budget_ms = 250;
};

class SenderHold {
 public:
  // A connection.
  using Id = uint64_t;
  // Whose holding time a connection spends, the same across its
  // reconnections (the server names the member's credential).
  using Account = std::string;
  explicit SenderHold(HoldOptions options) : options_(options) {}

  // What a member's queue did this turn.
  enum class Change { kNone, kFellBehind, kCaughtUp };
  // A member's queue: `pending` bytes not yet taken, `taken` bytes taken so
  // far (a running count). A connection keeps the account of its first call.
  Change OnQueue(Id member, const Account& account, size_t pending, uint64_t taken, uint64_t now_ms);
  // Whether `sender` is to be held (not read) now. `fed` lists the members
  // its data goes to (the sender itself is skipped); `pings` is the running
  // count of the sender's pings the server answered. A connection keeps
  // the account of its first call.
  bool Decide(Id sender, const Account& account, const std::vector<Id>& fed, uint64_t pings, uint64_t now_ms);
  // The connection is gone; what it held is charged to its account up to
  // `now_ms`, and the account's holding time is kept until it came back.
  void Forget(Id id, uint64_t now_ms);

  // Whether the member's queue holds its senders now: it is full and has
  // holding time left.
  bool Full(Id member) const;
  // When the holds in force run out of time next (a member's holding time,
  // a held sender's, or the longest hold), so that the server looks again
  // then and a hold ends on time; UINT64_MAX when nothing is held.
  uint64_t HoldEndsMs() const;
  // Whether the member fell behind and has not drained since.
  bool BehindForTesting(Id member) const;
  // Holds begun so far, and holds that ran out of time.
  uint64_t HoldsForTesting() const { return holds_; }
  uint64_t ExpiredForTesting() const { return expired_; }
  // Accounts whose holding time is kept (members' and senders').
  size_t AccountsForTesting() const { return member_time_.size() + sender_time_.size(); }

 private:
  // An account's holding time left, in ms times hold_refill (so that it
  // comes back in whole units), and when it was last brought up to date.
  // It is spent for each of its connections that holds (or is held) while
  // some is left; a hold runs to the end of a turn, and what it overran is
  // owed (below 0).
  struct HoldingTime {
    int64_t credit = 0;
    uint64_t at_ms = 0;
    size_t spending = 0;  // its connections that spend it now
    size_t connections = 0;  // its connections known here
  };
  using Accounts = std::map<Account, HoldingTime>;
  // The account's time (a new one with `budget_ms` left), one connection more.
  HoldingTime& Attach(Accounts& accounts, const Account& account, uint32_t budget_ms, uint64_t now_ms);
  // Brings an account's time up to `now_ms`: spent while its connections
  // spent it, coming back while none did, up to `budget_ms`.
  void Bring(HoldingTime& time, uint32_t budget_ms, uint64_t now_ms) const;
  // Forgets accounts without connections whose time came back whole.
  void Tidy(uint64_t now_ms);

  enum class Queue { kFlowing, kFull, kBehind };
  struct MemberState {
    Queue queue = Queue::kFlowing;
    uint64_t taken = 0;
    uint64_t full_since_ms = 0;  // when it passed the high mark
    uint64_t window_since_ms = 0;  // the stall check's window: its start,
    uint64_t window_taken = 0;     // and the count taken then
    size_t pending = 0;
    HoldingTime* time = nullptr;  // its account's
  };
  // Moves a member's queue to `queue`, counting it as spending its
  // account's time while full.
  static void SetQueue(MemberState& state, Queue queue);
  static bool Holding(const MemberState& state) { return state.queue == Queue::kFull && state.time->credit > 0; }
  struct SenderState {
    uint64_t held_since_ms = 0;  // 0: not held
    bool awaiting_ping = false;  // a hold ran out: read until the next ping
    uint64_t pings_at_release = 0;
    HoldingTime* time = nullptr;  // its account's
  };

  HoldOptions options_;
  std::map<Id, MemberState> members_;
  std::map<Id, SenderState> senders_;
  Accounts member_time_;
  Accounts sender_time_;
  uint64_t next_tidy_ms_ = 0;
  uint64_t holds_ = 0;
  uint64_t expired_ = 0;
  uint64_t fell_behind_ = 0;
  uint64_t spent_ = 0;
  uint64_t sender_spent_ = 0;
};

}  // namespace vzrelay

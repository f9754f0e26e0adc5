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
// but holds no one. A member whose queue is full and that takes next to
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
};

class SenderHold {
 public:
  using Id = uint64_t;
  explicit SenderHold(HoldOptions options) : options_(options) {}

  // What a member's queue did this turn.
  enum class Change { kNone, kFellBehind, kCaughtUp };
  // A member's queue: `pending` bytes not yet taken, `taken` bytes taken so
  // far (a running count).
  Change OnQueue(Id member, size_t pending, uint64_t taken, uint64_t now_ms);
  // Whether `sender` is to be held (not read) now. `fed` lists the members
  // its data goes to (the sender itself is skipped); `pings` is the running
  // count of the sender's pings the server answered.
  bool Decide(Id sender, const std::vector<Id>& fed, uint64_t pings, uint64_t now_ms);
  // The member or sender is gone.
  void Forget(Id id);

  // Whether the member's queue holds its senders now: it is full and has
  // holding time left.
  bool Full(Id member) const;
  // Whether the member fell behind and has not drained since.
  bool BehindForTesting(Id member) const;
  // Holds begun so far, and holds that ran out of time.
  uint64_t HoldsForTesting() const { return holds_; }
  uint64_t ExpiredForTesting() const { return expired_; }

 private:
  enum class Queue { kFlowing, kFull, kBehind };
  struct MemberState {
    Queue queue = Queue::kFlowing;
    uint64_t taken = 0;
    uint64_t full_since_ms = 0;  // when it passed the high mark
    uint64_t window_since_ms = 0;  // the stall check's window: its start,
    uint64_t window_taken = 0;     // and the count taken then
    size_t pending = 0;
    // Holding time left, in ms times hold_refill (so that it comes back in
    // whole units), and when it was last brought up to date. A hold runs
    // to the end of a turn: what it overran is owed (below 0).
    int64_t hold_credit = 0;
    uint64_t credit_at_ms = 0;
    bool seen = false;
  };
  // Brings a member's holding time up to `now_ms`: spent while it was
  // holding, coming back while it was not.
  void Account(MemberState& state, uint64_t now_ms);
  static bool Holding(const MemberState& state) { return state.queue == Queue::kFull && state.hold_credit > 0; }
  struct SenderState {
    uint64_t held_since_ms = 0;  // 0: not held
    bool awaiting_ping = false;  // a hold ran out: read until the next ping
    uint64_t pings_at_release = 0;
  };

  HoldOptions options_;
  std::map<Id, MemberState> members_;
  std::map<Id, SenderState> senders_;
  uint64_t holds_ = 0;
  uint64_t expired_ = 0;
  uint64_t fell_behind_ = 0;
  uint64_t spent_ = 0;
};

}  // namespace vzrelay

#include "outside/vzwire/relay/sender_hold.h"

#include <algorithm>

#include "common/trace_client.h"

namespace vzrelay {

void SenderHold::Account(MemberState& state, uint64_t now_ms) {
  const int64_t full_credit = static_cast<int64_t>(options_.hold_budget_ms) * options_.hold_refill;
  if (!state.seen) {
    state.seen = true;
    state.hold_credit = full_credit;
    state.credit_at_ms = now_ms;
    return;
  }
  const int64_t elapsed = static_cast<int64_t>(now_ms > state.credit_at_ms ? now_ms - state.credit_at_ms : 0);
  state.credit_at_ms = now_ms;
  if (Holding(state)) {
    state.hold_credit -= elapsed * options_.hold_refill;
  } else {
    state.hold_credit = std::min(full_credit, state.hold_credit + elapsed);
  }
}

SenderHold::Change SenderHold::OnQueue(Id member, size_t pending, uint64_t taken, uint64_t now_ms) {
  MemberState& state = members_[member];
  const bool was_holding = state.seen && Holding(state);
  Account(state, now_ms);
  if (was_holding && state.hold_credit <= 0 && spent_++ % 100 == 0) {
    VZ_LOG_ERROR("member %llu held its senders for the %u ms it may: it holds no one until that time comes back "
                 "(%llu so far)",
                 static_cast<unsigned long long>(member), options_.hold_budget_ms,
                 static_cast<unsigned long long>(spent_));
  }
  state.taken = taken;
  state.pending = pending;
  if (pending < options_.low_mark) {
    const bool was_behind = state.queue == Queue::kBehind;
    state.queue = Queue::kFlowing;
    if (was_behind) {
      VZ_LOG("member %llu drained to %zu bytes: it holds its senders again", static_cast<unsigned long long>(member),
             pending);
      return Change::kCaughtUp;
    }
    return Change::kNone;
  }
  if (pending >= options_.high_mark && state.queue == Queue::kFlowing) {
    state.queue = Queue::kFull;
    state.full_since_ms = now_ms;
    state.window_since_ms = now_ms;
    state.window_taken = taken;
  }
  if (state.queue != Queue::kFull) return Change::kNone;
  const uint64_t full_for = now_ms - state.full_since_ms;
  bool stalled = false;
  if (now_ms - state.window_since_ms >= options_.stall_ms) {
    stalled = taken - state.window_taken < options_.stall_bytes;
    state.window_since_ms = now_ms;
    state.window_taken = taken;
  }
  if (!stalled && full_for < options_.lag_ms) return Change::kNone;
  state.queue = Queue::kBehind;
  if (fell_behind_++ % 100 == 0) {
    VZ_LOG_ERROR("member %llu still has %zu bytes queued after %llu ms%s: it is behind and holds no one until it "
                 "drains (%llu so far)",
                 static_cast<unsigned long long>(member), pending, static_cast<unsigned long long>(full_for),
                 stalled ? " and takes next to nothing" : "", static_cast<unsigned long long>(fell_behind_));
  }
  return Change::kFellBehind;
}

bool SenderHold::Decide(Id sender, const std::vector<Id>& fed, uint64_t pings, uint64_t now_ms) {
  SenderState& state = senders_[sender];
  if (state.awaiting_ping) {
    if (pings == state.pings_at_release) return false;
    state.awaiting_ping = false;
  }
  bool any_full = false;
  for (Id member : fed) {
    if (member != sender && Full(member)) any_full = true;
  }
  if (!any_full) {
    state.held_since_ms = 0;
    return false;
  }
  if (state.held_since_ms == 0) {
    state.held_since_ms = now_ms;
    if (holds_++ % 100 == 0) {
      VZ_LOG("member %llu is not read while a member it feeds is behind (%llu holds so far, %llu ran out of time)",
             static_cast<unsigned long long>(sender), static_cast<unsigned long long>(holds_),
             static_cast<unsigned long long>(expired_));
    }
    return true;
  }
  if (now_ms - state.held_since_ms < options_.max_hold_ms) return true;
  // Out of time (several members full one after the other): the sender is
  // read until it is answered a ping.
  ++expired_;
  state.held_since_ms = 0;
  state.awaiting_ping = true;
  state.pings_at_release = pings;
  return false;
}

void SenderHold::Forget(Id id) {
  members_.erase(id);
  senders_.erase(id);
}

bool SenderHold::Full(Id member) const {
  const auto found = members_.find(member);
  return found != members_.end() && Holding(found->second);
}

bool SenderHold::BehindForTesting(Id member) const {
  const auto found = members_.find(member);
  return found != members_.end() && found->second.queue == Queue::kBehind;
}

}  // namespace vzrelay

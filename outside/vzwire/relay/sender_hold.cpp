#include "outside/vzwire/relay/sender_hold.h"

#include <algorithm>

#include "common/trace_client.h"

namespace vzrelay {
namespace {
// How often accounts without connections are looked through.
constexpr uint64_t kTidyEveryMs = 1000;
}  // namespace

SenderHold::HoldingTime& SenderHold::Attach(Accounts& accounts, const Account& account, uint32_t budget_ms,
                                            uint64_t now_ms) {
  const auto [found, added] = accounts.try_emplace(account);
  HoldingTime& time = found->second;
  if (added) {
    time.credit = static_cast<int64_t>(budget_ms) * options_.hold_refill;
    time.at_ms = now_ms;
  }
  ++time.connections;
  return time;
}

void SenderHold::Bring(HoldingTime& time, uint32_t budget_ms, uint64_t now_ms) const {
  const int64_t full_credit = static_cast<int64_t>(budget_ms) * options_.hold_refill;
  const int64_t elapsed = static_cast<int64_t>(now_ms > time.at_ms ? now_ms - time.at_ms : 0);
  time.at_ms = std::max(time.at_ms, now_ms);
  if (time.spending != 0 && time.credit > 0) {
    time.credit -= elapsed * options_.hold_refill * static_cast<int64_t>(time.spending);
  } else {
    time.credit = std::min(full_credit, time.credit + elapsed);
  }
}

void SenderHold::Tidy(uint64_t now_ms) {
  if (now_ms < next_tidy_ms_) return;
  next_tidy_ms_ = now_ms + kTidyEveryMs;
  const auto tidy = [&](Accounts& accounts, uint32_t budget_ms) {
    const int64_t full_credit = static_cast<int64_t>(budget_ms) * options_.hold_refill;
    for (auto it = accounts.begin(); it != accounts.end();) {
      if (it->second.connections == 0) Bring(it->second, budget_ms, now_ms);
      it = it->second.connections == 0 && it->second.credit >= full_credit ? accounts.erase(it) : std::next(it);
    }
  };
  tidy(member_time_, options_.hold_budget_ms);
  tidy(sender_time_, options_.sender_hold_budget_ms);
}

void SenderHold::SetQueue(MemberState& state, Queue queue) {
  if (state.queue == queue) return;
  if (state.queue == Queue::kFull) --state.time->spending;
  if (queue == Queue::kFull) ++state.time->spending;
  state.queue = queue;
}

SenderHold::Change SenderHold::OnQueue(Id member, const Account& account, size_t pending, uint64_t taken,
                                       uint64_t now_ms) {
  Tidy(now_ms);
  MemberState& state = members_[member];
  if (state.time == nullptr) state.time = &Attach(member_time_, account, options_.hold_budget_ms, now_ms);
  const bool was_holding = Holding(state);
  Bring(*state.time, options_.hold_budget_ms, now_ms);
  if (was_holding && state.time->credit <= 0 && spent_++ % 100 == 0) {
    VZ_LOG_ERROR("member %llu held its senders for the %u ms its credential may: it holds no one until that time "
                 "comes back (%llu so far)",
                 static_cast<unsigned long long>(member), options_.hold_budget_ms,
                 static_cast<unsigned long long>(spent_));
  }
  state.taken = taken;
  state.pending = pending;
  if (pending < options_.low_mark) {
    const bool was_behind = state.queue == Queue::kBehind;
    SetQueue(state, Queue::kFlowing);
    if (was_behind) {
      VZ_LOG("member %llu drained to %zu bytes: it holds its senders again", static_cast<unsigned long long>(member),
             pending);
      return Change::kCaughtUp;
    }
    return Change::kNone;
  }
  if (pending >= options_.high_mark && state.queue == Queue::kFlowing) {
    SetQueue(state, Queue::kFull);
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
  SetQueue(state, Queue::kBehind);
  if (fell_behind_++ % 100 == 0) {
    VZ_LOG_ERROR("member %llu still has %zu bytes queued after %llu ms%s: it is behind and holds no one until it "
                 "drains (%llu so far)",
                 static_cast<unsigned long long>(member), pending, static_cast<unsigned long long>(full_for),
                 stalled ? " and takes next to nothing" : "", static_cast<unsigned long long>(fell_behind_));
  }
  return Change::kFellBehind;
}

bool SenderHold::Decide(Id sender, const Account& account, const std::vector<Id>& fed, uint64_t pings,
                        uint64_t now_ms) {
  SenderState& state = senders_[sender];
  if (state.time == nullptr) state.time = &Attach(sender_time_, account, options_.sender_hold_budget_ms, now_ms);
  HoldingTime& time = *state.time;
  const bool was_held = state.held_since_ms != 0;
  Bring(time, options_.sender_hold_budget_ms, now_ms);
  const auto release = [&]() {
    if (state.held_since_ms != 0) --time.spending;
    state.held_since_ms = 0;
    return false;
  };
  if (state.awaiting_ping) {
    if (pings == state.pings_at_release) return release();
    state.awaiting_ping = false;
  }
  bool any_full = false;
  for (Id member : fed) {
    if (member != sender && Full(member)) any_full = true;
  }
  if (!any_full) return release();
  if (time.credit <= 0) {
    // Its members together held it for all the time they may: it is read
    // until that time comes back, whichever of them is full.
    if (was_held && sender_spent_++ % 100 == 0) {
      VZ_LOG_ERROR("member %llu was held for the %u ms the members it feeds may hold it together: it is read until "
                   "that time comes back (%llu so far)",
                   static_cast<unsigned long long>(sender), options_.sender_hold_budget_ms,
                   static_cast<unsigned long long>(sender_spent_));
    }
    return release();
  }
  if (state.held_since_ms == 0) {
    state.held_since_ms = now_ms;
    ++time.spending;
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
  state.awaiting_ping = true;
  state.pings_at_release = pings;
  return release();
}

void SenderHold::Forget(Id id, uint64_t now_ms) {
  const auto member = members_.find(id);
  if (member != members_.end()) {
    MemberState& state = member->second;
    Bring(*state.time, options_.hold_budget_ms, now_ms);
    SetQueue(state, Queue::kFlowing);
    --state.time->connections;
    members_.erase(member);
  }
  const auto sender = senders_.find(id);
  if (sender != senders_.end()) {
    SenderState& state = sender->second;
    Bring(*state.time, options_.sender_hold_budget_ms, now_ms);
    if (state.held_since_ms != 0) --state.time->spending;
    --state.time->connections;
    senders_.erase(sender);
  }
}

uint64_t SenderHold::HoldEndsMs() const {
  // The time's end at the rate its connections spend it, rounded up.
  const auto ends = [this](const HoldingTime& time) {
    if (time.spending == 0 || time.credit <= 0) return UINT64_MAX;
    const int64_t rate = static_cast<int64_t>(options_.hold_refill) * static_cast<int64_t>(time.spending);
    return time.at_ms + static_cast<uint64_t>((time.credit + rate - 1) / rate);
  };
  uint64_t next = UINT64_MAX;
  for (const auto& [id, state] : senders_) {
    if (state.held_since_ms == 0) continue;
    next = std::min({next, state.held_since_ms + options_.max_hold_ms, ends(*state.time)});
  }
  if (next == UINT64_MAX) return next;  // no one held: no member's time is spent holding
  for (const auto& [account, time] : member_time_) next = std::min(next, ends(time));
  return next;
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

#include "outside/vzwire/relay/sender_hold.h"

#include "common/trace_client.h"

namespace vzrelay {

void SenderHold::OnQueue(Id member, size_t pending, uint64_t taken, uint64_t now_ms) {
  const auto [found, first] = members_.try_emplace(member);
  MemberState& state = found->second;
  if (first || taken != state.taken) state.progress_ms = now_ms;
  state.taken = taken;
  state.pending = pending;
  if (pending < options_.low_mark) {
    if (state.queue == Queue::kOverdue) {
      VZ_LOG("member %llu drained to %zu bytes: its senders are held for it again",
             static_cast<unsigned long long>(member), pending);
    }
    state.queue = Queue::kFlowing;
  } else if (pending >= options_.high_mark && state.queue == Queue::kFlowing) {
    state.queue = Queue::kFull;
  }
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
  // Out of time: the sender is read until it is answered a ping; a member
  // that took nothing all along no longer holds anyone.
  ++expired_;
  for (Id member : fed) {
    const auto found = members_.find(member);
    if (member == sender || found == members_.end() || found->second.queue != Queue::kFull) continue;
    MemberState& stuck = found->second;
    if (now_ms - stuck.progress_ms >= options_.max_hold_ms) {
      stuck.queue = Queue::kOverdue;
      VZ_LOG_ERROR("member %llu took nothing of its %zu queued bytes for %llu ms: its senders are no longer "
                   "held for it",
                   static_cast<unsigned long long>(member), stuck.pending,
                   static_cast<unsigned long long>(now_ms - stuck.progress_ms));
    }
  }
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
  return found != members_.end() && found->second.queue == Queue::kFull;
}

}  // namespace vzrelay

#include "outside/vzwire/relay/join_budget.h"

#include <algorithm>

namespace vzrelay {

std::string CredentialOf(const JoinRequest& join) {
  return std::to_string(join.meet_id.size()) + ":" + join.meet_id + std::to_string(join.roster_id.size()) + ":" +
         join.roster_id + (join.presenter ? "presenter" : "attendee");
}

JoinBudget::JoinBudget(uint32_t burst, uint64_t refill_ms)
    : burst_(std::max<uint32_t>(burst, 1)), refill_ms_(std::max<uint64_t>(refill_ms, 1)) {}

bool JoinBudget::Take(const std::string& credential, uint64_t now_ms) {
  if (spent_.size() > prune_above_) Prune(now_ms);
  auto found = spent_.find(credential);
  if (found == spent_.end()) found = spent_.emplace(credential, Spent{vz::LogBudget(burst_, refill_ms_), now_ms}).first;
  found->second.last_ms = now_ms;
  return found->second.budget.Take(now_ms);
}

void JoinBudget::Prune(uint64_t now_ms) {
  // A whole budget is earned back `burst` refills after the last join.
  const uint64_t whole_after = static_cast<uint64_t>(burst_) * refill_ms_;
  for (auto it = spent_.begin(); it != spent_.end();) {
    it = now_ms >= it->second.last_ms && now_ms - it->second.last_ms >= whole_after ? spent_.erase(it) : std::next(it);
  }
  // Amortised: the next sweep waits until the table has doubled.
  prune_above_ = std::max<size_t>(64, 2 * spent_.size());
}

}  // namespace vzrelay

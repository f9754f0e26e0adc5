#include "outside/vzwire/relay/stream_senders.h"

#include <algorithm>

namespace vzrelay {

void StreamSenders::Add(Sender sender, uint64_t start, uint64_t end) {
  if (end <= start) return;
  if (!stretches_.empty() && stretches_.back().sender == sender && stretches_.back().end == start) {
    stretches_.back().end = end;
  } else {
    stretches_.push_back({sender, start, end});
  }
  waiting_[sender] += end - start;
}

void StreamSenders::TakenThrough(uint64_t position) {
  while (!stretches_.empty() && stretches_.front().start < position) {
    Stretch& front = stretches_.front();
    const uint64_t done = std::min(position, front.end) - front.start;
    const auto waiting = waiting_.find(front.sender);
    waiting->second -= done;
    if (waiting->second == 0) waiting_.erase(waiting);
    front.start += done;
    if (front.start == front.end) stretches_.pop_front();
  }
}

uint64_t StreamSenders::Waiting(Sender sender) const {
  const auto found = waiting_.find(sender);
  return found == waiting_.end() ? 0 : found->second;
}

void StreamSenders::ForEachOver(uint64_t limit, const std::function<void(Sender)>& over) const {
  for (const auto& [sender, waiting] : waiting_) {
    if (waiting > limit) over(sender);
  }
}

}  // namespace vzrelay

#include "outside/vzwire/relay/stream_answers.h"

#include <algorithm>

namespace vzrelay {

void StreamAnswers::Add(uint64_t start, uint64_t end) {
  if (end <= start) return;
  if (!stretches_.empty() && stretches_.back().end == start) {
    stretches_.back().end = end;
  } else {
    stretches_.push_back({start, end});
  }
  unread_ += end - start;
}

void StreamAnswers::TakenThrough(uint64_t position) {
  while (!stretches_.empty() && stretches_.front().start < position) {
    Stretch& front = stretches_.front();
    const uint64_t done = std::min(position, front.end) - front.start;
    taken_ += done;
    unread_ -= done;
    front.start += done;
    if (front.start == front.end) stretches_.pop_front();
  }
}

}  // namespace vzrelay

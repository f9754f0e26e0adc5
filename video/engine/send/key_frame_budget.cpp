#include "video/engine/send/key_frame_budget.h"

#include <algorithm>

KeyFrameBudget::KeyFrameBudget(uint32_t burst, uint32_t gap_ms, uint32_t refill_ms)
    : burst_(std::max<uint32_t>(burst, 1)), gap_ms_(gap_ms), refill_ms_(std::max<uint32_t>(refill_ms, 1)),
      left_(burst_) {}

void KeyFrameBudget::Refill(uint32_t now_ms) {
  // A whole budget earns nothing more. Differences of the wrapping clock.
  if (left_ >= burst_) {
    earned_from_ms_ = now_ms;
    return;
  }
  const uint32_t earned = (now_ms - earned_from_ms_) / refill_ms_;
  if (earned == 0) return;
  left_ = static_cast<uint32_t>(std::min<uint64_t>(burst_, static_cast<uint64_t>(left_) + earned));
  earned_from_ms_ = left_ >= burst_ ? now_ms : earned_from_ms_ + earned * refill_ms_;
}

bool KeyFrameBudget::Ready(uint32_t now_ms) {
  Refill(now_ms);
  return left_ > 0 && (!spent_ || now_ms - last_ms_ >= gap_ms_);
}

void KeyFrameBudget::Spend(uint32_t now_ms) {
  Refill(now_ms);
  if (left_ > 0) --left_;
  spent_ = true;
  last_ms_ = now_ms;
}

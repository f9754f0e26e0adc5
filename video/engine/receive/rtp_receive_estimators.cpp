#include "video/engine/receive/rtp_receive_estimators.h"

#include <algorithm>
#include <cstdlib>
#include <cstdint>

namespace {

// Milliseconds from `from` to `to`, negative when `to` is earlier.
int32_t Since(uint32_t to, uint32_t from) { return static_cast<int32_t>(to - from); }

// The times come from the network: sums and differences of two 32-bit
// figures are taken in 64 bits and held inside the 32-bit range, so a
// hostile send time bends a figure but never overflows it.
int32_t Clamp32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}
int64_t Abs64(int64_t v) { return v < 0 ? -v : v; }

}  // namespace

bool IsCounterAhead(uint16_t a, uint16_t b) {
  if (a > b) return a - b < 62535;
  if (a < b) return b - a > 62534;
  return false;
}

void CBitRateEstimator::Input(int32_t length, uint32_t now_ms) {
  const uint64_t bytes = length > 0 ? static_cast<uint64_t>(length) : 0;
  if (!started_) {
    started_ = true;
    window_start_ = now_ms;
    bytes_ = 0;
  }
  bytes_ += bytes;
  const int32_t span = Since(now_ms, window_start_);
  if (span < 0) {
    window_start_ = now_ms;
    bytes_ = bytes;
    return;
  }
  if (static_cast<uint32_t>(span) < kWindowMs) return;
  // 64-bit: a busy window of more than 536 KB overflows 32 bits here.
  uint64_t rate = bytes_ * 8000u / static_cast<uint32_t>(span);
  if (rate > UINT32_MAX) rate = UINT32_MAX;
  if (rate_ != 0) rate = static_cast<uint64_t>(0.6 * static_cast<double>(rate) + 0.4 * static_cast<double>(rate_));
  rate_ = static_cast<uint32_t>(rate);
  bytes_ = 0;
  window_start_ = now_ms;
}

void CJitterEstimator::Input(uint32_t sent_ms, uint32_t received_ms) {
  int64_t d = 0;
  if (started_) d = int64_t{Since(received_ms, sent_ms)} - Since(previous_received_, previous_sent_);
  started_ = true;
  jitter_ = Clamp32(jitter_ + (Abs64(d) - jitter_) / 16);
  previous_sent_ = sent_ms;
  previous_received_ = received_ms;
}

void CDelayEstimator::Rebase(uint32_t received_ms) {
  minimum_time_ = received_ms;
  calm_count_ = 0;
  jittery_count_ = 0;
}

void CDelayEstimator::JitteryEvent() {
  ++jittery_count_;
  if (jittery_count_ > 3 && calm_count_ < kCalmRebaseCount) {
    jittery_count_ = 0;
    calm_count_ = 0;
  }
}

void CDelayEstimator::Input(uint32_t sent_ms, uint32_t received_ms) {
  const int32_t diff = Since(received_ms, sent_ms);
  if (!started_) {
    started_ = true;
    minimum_ = calm_ = slow_ = diff;
    minimum_time_ = received_ms;
    previous_sent_ = sent_ms;
    previous_received_ = received_ms;
    return;
  }
  if (diff < minimum_) {
    minimum_ = calm_ = slow_ = diff;
    minimum_time_ = received_ms;
  } else {
    const int32_t since_minimum = Since(received_ms, minimum_time_);
    if (since_minimum >= static_cast<int32_t>(kRebaseAfterMs)) {
      if (calm_count_ >= kCalmRebaseCount) {
        minimum_ = slow_ = calm_;
        Rebase(received_ms);
      } else if (since_minimum >= static_cast<int32_t>(kSlowRebaseAfterMs) && long_count_ >= kLongRebaseCount) {
        minimum_ = calm_ = slow_;
        swing_ = 0;
        long_count_ = 0;
        high_count_ = 0;
        Rebase(received_ms);
      }
    }
  }
  const int32_t above = Clamp32(Abs64(int64_t{diff} - minimum_));
  variation_ = Clamp32((int64_t{above} + 15 * int64_t{variation_}) / 16);

  const int64_t step = int64_t{Since(received_ms, previous_received_)} - Since(sent_ms, previous_sent_);
  const bool jittery = Abs64(step) > kJitteryMs;
  previous_sent_ = sent_ms;
  previous_received_ = received_ms;

  if (variation_ > kHighVariationMs) {
    JitteryEvent();
    if (jittery) {
      ++high_count_;
      if (high_count_ >= 20 && long_count_ < kLongRebaseCount) {
        long_count_ = 0;
        high_count_ = 0;
      }
      return;
    }
    const int32_t swing = above > kLargeSwingMs ? 2 : 1;
    if ((swing_ == 1 && swing == 2) || (swing_ == 2 && swing == 1)) {
      long_count_ = 0;
      high_count_ = 0;
    }
    swing_ = swing;
    slow_ = Clamp32(int64_t{slow_ / 8} * 7 + diff / 8);
    ++long_count_;
    if (long_count_ >= 200) high_count_ = 0;
    return;
  }
  if (jittery) {
    JitteryEvent();
    return;
  }
  calm_ = Clamp32(int64_t{calm_ / 4} * 3 + diff / 4);
  ++calm_count_;
  if (calm_count_ >= 15) jittery_count_ = 0;
}

void CLossEstimator::Restart(uint16_t counter, uint32_t received_ms) {
  received_ = 0;
  start_counter_ = highest_ = next_highest_ = counter;
  window_start_time_ = received_ms;
}

void CLossEstimator::Input(uint16_t counter, uint32_t received_ms) {
  if (!started_) {
    // The first counter opens the window as expected, not as received.
    started_ = true;
    Restart(counter, received_ms);
    return;
  }
  const uint16_t h = highest_;
  bool accepted = counter == h;
  if (IsCounterAhead(h, counter)) {
    accepted = static_cast<uint16_t>(h - counter) <= kMaxBehind;
  } else if (IsCounterAhead(counter, h)) {
    accepted = static_cast<uint16_t>(counter - h) <= kMaxAhead;
  }
  if (!accepted) {
    Restart(counter, received_ms);
    return;
  }
  const int32_t elapsed = Since(received_ms, window_start_time_);
  if (elapsed < 0) {
    window_start_time_ = received_ms;
    return;
  }
  constexpr uint32_t kEarlyPartMs = kWindowMs - std::min<uint32_t>(kWindowMs / 3, 500);
  if (static_cast<uint32_t>(elapsed) <= kEarlyPartMs) {
    if (IsCounterAhead(counter, h)) highest_ = next_highest_ = counter;
    ++received_;
  } else if (IsCounterAhead(counter, h)) {
    ++late_;
    if (IsCounterAhead(counter, next_highest_)) next_highest_ = counter;
  } else if (IsCounterAhead(counter, start_counter_)) {
    ++received_;
  }
  if (static_cast<uint32_t>(elapsed) >= kWindowMs) {
    window_start_time_ = received_ms;
    CloseWindow();
  }
}

void CLossEstimator::CloseWindow() {
  const uint16_t h = highest_;
  const uint16_t next_start = static_cast<uint16_t>(h + 1);
  if (start_counter_ != next_start) {
    const Window window{static_cast<uint16_t>(h - start_counter_ + 1), received_, start_counter_};
    while (windows_.size() >= kMaxWindows) windows_.pop_front();
    windows_.push_back(window);
    ComputeLoss();
  }
  start_counter_ = next_start;
  received_ = late_;
  late_ = 0;
  if (IsCounterAhead(next_highest_, h)) {
    highest_ = next_highest_;
  } else {
    next_highest_ = h;
  }
}

void CLossEstimator::ComputeLoss() {
  uint16_t expected = 0;
  uint16_t received = 0;
  for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
    expected = static_cast<uint16_t>(expected + it->expected);
    received = static_cast<uint16_t>(received + it->received);
    if (expected >= kEnoughExpected) break;
  }
  if (windows_.empty() || expected == 0 || expected < received) {
    loss_ = 0;
    return;
  }
  loss_ = static_cast<uint16_t>((static_cast<uint32_t>(expected) - received) * 1000u / expected);
}

#include "video/engine/receive/playout_time_estimator.h"

#include <algorithm>

#include "video/engine/core/engine_clock.h"

namespace {
int32_t Diff(uint32_t a, uint32_t b) { return static_cast<int32_t>(a - b); }
}  // namespace

int32_t CPlayoutTimeEstimator::Estimate(uint32_t time_stamp_ms, uint32_t* render_ms) {
  uint32_t delay = 0;
  return Estimate(time_stamp_ms, VZSE_::NowMs(), render_ms, &delay);
}

int32_t CPlayoutTimeEstimator::Estimate(uint32_t t, uint32_t now, uint32_t* render_ms, uint32_t* delay_ms) {
  // Saved so that a frame delayed beyond the limit changes nothing.
  const CPlayoutTimeEstimator before = *this;

  if (!has_reference_ || Diff(now, ref_arrival_) > static_cast<int32_t>(kRestartAfterMs)) {
    has_reference_ = true;
    ref_time_stamp_ = t, ref_arrival_ = now;
    last_time_stamp_ = t, last_arrival_ = now;
    last_target_ = now;
  } else if (Diff(t, ref_time_stamp_) > Diff(now, ref_arrival_)) {
    ref_time_stamp_ = t, ref_arrival_ = now;  // came through faster than the reference
  }

  const int32_t step = Diff(t, last_time_stamp_);
  uint32_t target = last_target_ + static_cast<uint32_t>(step);
  const uint32_t fastest = ref_arrival_ + static_cast<uint32_t>(Diff(t, ref_time_stamp_)) + jitter_max_;
  if (Diff(target, fastest) > 0) target = last_target_ + static_cast<uint32_t>(static_cast<int32_t>(0.8 * step));
  if (Diff(target, now) < 0) target = now;

  const int64_t delay64 = static_cast<int64_t>(Diff(now, ref_arrival_)) - Diff(t, ref_time_stamp_);
  const uint32_t delay = static_cast<uint32_t>(std::min<int64_t>(delay64 < 0 ? -delay64 : delay64, UINT32_MAX));
  if (render_ms) *render_ms = target;
  if (delay_ms) *delay_ms = delay;

  if (delay > kMaxDelayMs) {
    *this = before;
    return 0;
  }
  if (!window_open_) {
    window_open_ = true;
    window_start_ = t;
    window_max_ = delay;
  } else if (Diff(t, window_start_) >= static_cast<int32_t>(kJitterWindowMs)) {
    previous_window_max_ = window_max_;
    window_start_ = t;
    window_max_ = delay;
  } else {
    window_max_ = std::max(window_max_, delay);
  }
  jitter_max_ = std::max(window_max_, previous_window_max_);
  last_target_ = target;
  last_time_stamp_ = t, last_arrival_ = now;
  return 0;
}

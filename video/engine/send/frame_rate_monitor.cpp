#include "video/engine/send/frame_rate_monitor.h"

#include <cmath>

bool CFrameRateMonitor::Update(uint32_t now_ms) {
  ++count_;
  if (!started_) {
    started_ = true;
    window_start_ = now_ms;
    last_call_ = now_ms;
    return false;
  }
  const uint32_t since_last = now_ms - last_call_;
  last_call_ = now_ms;
  if (since_last >= kGapMs) {
    count_ = 0;
    window_start_ = now_ms;
    const bool changed = std::fabs(rate_ - 1.0f) > 0.1f;
    rate_ = 1.0f;
    return changed;
  }
  if (count_ < kFramesPerMeasurement) return false;
  const uint32_t elapsed = now_ms - window_start_;
  float measured = elapsed == 0 ? 0.0f : static_cast<float>(count_) / (static_cast<float>(elapsed) / 1000.0f);
  if (measured == 0.0f) measured = 1.0f;
  if (measured > kMaxRate) measured = kMaxRate;
  if (!measured_) {
    measured_ = true;
    last_change_ = now_ms;
  }
  const float difference = std::fabs(measured - rate_);
  const bool changed =
      difference / measured >= 0.1f || (difference > 0.1f && now_ms - last_change_ >= kSlowChangeMs);
  if (changed) {
    rate_ = measured;
    last_change_ = now_ms;
  }
  count_ = 0;
  window_start_ = now_ms;
  return changed;
}

bool CFrameRateFilter::Pass(uint32_t now_ms) {
  // A time before the window (the clock's 32-bit wrap) restarts it too.
  if (!started_ || static_cast<int32_t>(now_ms - window_start_) < 0) {
    started_ = true;
    window_start_ = now_ms;
    passed_ = 0;
    return true;
  }
  const double allowed = std::floor((static_cast<double>(now_ms - window_start_) * target_ + 500.0) / 1000.0);
  if (passed_ >= allowed) return false;
  ++passed_;
  if (passed_ > kWindowFrames) {
    window_start_ = now_ms;
    passed_ = 0;
  }
  return true;
}

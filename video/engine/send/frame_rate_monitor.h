#pragma once
// Frame-rate measurement and thinning for the encoder.
//
// CFrameRateMonitor measures the rate of the frames it is told of: every
// 50th frame it takes count / elapsed seconds (at most 30) and reports a
// change of 10 % or more, or any change above 0.1 once 30 s passed since
// the last one. A gap of a second or more resets the rate to 1.
//
// CFrameRateFilter lets through round(elapsed ms x target / 1000) frames of
// a window that restarts after 60 passed frames.
//
// Times are engine milliseconds (32-bit, compared by unsigned difference).
// Threads: none; the encoder calls them under its lock.
#include <cstdint>

class CFrameRateMonitor {
 public:
  static constexpr uint32_t kGapMs = 1000;
  static constexpr int kFramesPerMeasurement = 50;
  static constexpr float kMaxRate = 30.0f;
  static constexpr uint32_t kSlowChangeMs = 30000;

  explicit CFrameRateMonitor(float rate = 1.0f) : rate_(rate) {}
  // Counts a frame at `now_ms`; true when the rate changed (see rate()).
  bool Update(uint32_t now_ms);
  float rate() const { return rate_; }
  void set_rate(float rate) { rate_ = rate; }

 private:
  bool started_ = false;
  int count_ = 0;
  uint32_t window_start_ = 0;
  uint32_t last_call_ = 0;
  float rate_;
  bool measured_ = false;
  uint32_t last_change_ = 0;
};

class CFrameRateFilter {
 public:
  static constexpr int kWindowFrames = 60;

  // A target of 0.1 or less means 1 frame per second.
  void SetTarget(float rate) { target_ = rate <= 0.1f ? 1.0f : rate; }
  float target_for_testing() const { return target_; }
  // True when the frame at `now_ms` may be encoded.
  bool Pass(uint32_t now_ms);

 private:
  float target_ = 24.0f;
  bool started_ = false;
  uint32_t window_start_ = 0;
  int passed_ = 0;
};

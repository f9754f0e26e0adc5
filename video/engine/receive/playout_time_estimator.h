#pragma once
// When to render each received frame. Keeps the frame that came through
// fastest as the reference (restarted after two minutes without frames),
// advances the render time by the media-time step, pulls it back slowly
// (0.8 of the step) when it runs ahead of the reference plus the jitter, and
// never renders before arrival. Jitter is the largest delay above the
// reference over two 3-second windows; a frame delayed by more than 3 s gets
// a render time but changes nothing.
//
// All times are 32-bit milliseconds; differences are taken as signed 32-bit
// (serial arithmetic), so the clock's wrap does no harm. Used by one listen
// channel's data thread; no lock.
#include <cstdint>

class CPlayoutTimeEstimator {
 public:
  static constexpr uint32_t kRestartAfterMs = 120000;
  static constexpr uint32_t kJitterWindowMs = 3000;
  static constexpr uint32_t kMaxDelayMs = 3000;

  CPlayoutTimeEstimator() = default;
  virtual ~CPlayoutTimeEstimator() = default;

  // Arrival is now on the engine clock. Returns 0.
  int32_t Estimate(uint32_t time_stamp_ms, uint32_t* render_ms);
  // With a given arrival time; *delay_ms receives the frame's delay above
  // the reference. Returns 0.
  int32_t Estimate(uint32_t time_stamp_ms, uint32_t arrival_ms, uint32_t* render_ms, uint32_t* delay_ms);

  uint32_t jitter_max_ms_for_testing() const { return jitter_max_; }

 private:
  bool has_reference_ = false;
  uint32_t ref_time_stamp_ = UINT32_MAX;
  uint32_t ref_arrival_ = UINT32_MAX;
  uint32_t last_time_stamp_ = 0;
  uint32_t last_arrival_ = 0;
  uint32_t last_target_ = 0;
  bool window_open_ = false;
  uint32_t window_start_ = UINT32_MAX;
  uint32_t window_max_ = 0;
  uint32_t previous_window_max_ = 0;
  uint32_t jitter_max_ = 0;
};

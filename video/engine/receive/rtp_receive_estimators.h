#pragma once
// The figures a receiver derives from the sender's timing element (a 16-bit
// packet counter and the send time in ms) and the local receive time (ms):
// bit rate, counter jitter, one-way delay variation and loss in per mille.
// Times are 32-bit milliseconds; "before" and "after" are read from their
// signed difference, so the figures stay right across the 32-bit wrap.
//
// Threads: none; each estimator belongs to one monitor, under its lock.
#include <cstddef>
#include <cstdint>
#include <deque>

// Serial order of 16-bit counters: a is ahead of b when a > b and
// a - b < 62,535, or a < b and b - a > 62,534. Forward across the wrap it
// reaches 3,001 counters only; backward almost the whole range.
bool IsCounterAhead(uint16_t a, uint16_t b);

// Bytes per window of at least 1,000 ms; each closed window's rate is
// blended 0.6 new / 0.4 previous once a previous rate exists.
class CBitRateEstimator {
 public:
  static constexpr uint32_t kWindowMs = 1000;
  void Input(int32_t length, uint32_t now_ms);
  uint32_t rate() const { return rate_; }  // bits per second, 0 until a window closed

 private:
  bool started_ = false;
  uint64_t bytes_ = 0;
  uint32_t window_start_ = 0;
  uint32_t rate_ = 0;
};

// Interarrival jitter in the RFC 3550 shape (J += (|D| - J) / 16) over any
// pair of send and receive times; used for the timing element's send times
// and for the RTP time stamps alike.
class CJitterEstimator {
 public:
  void Input(uint32_t sent_ms, uint32_t received_ms);
  int32_t jitter() const { return jitter_; }

 private:
  bool started_ = false;
  int32_t jitter_ = 0;
  uint32_t previous_sent_ = 0;
  uint32_t previous_received_ = 0;
};

// One-way delay variation against a tracked base delay. The base follows the
// smallest transit time, and is lifted again after 5 s of calm (to the calm
// delay) or after 75 s of steady high variation (to the slow delay), so a
// route change that lengthens the path does not read as variation forever.
class CDelayEstimator {
 public:
  static constexpr int32_t kJitteryMs = 19;
  static constexpr int32_t kHighVariationMs = 100;
  static constexpr int32_t kLargeSwingMs = 300;
  static constexpr uint32_t kRebaseAfterMs = 5000;
  static constexpr uint32_t kSlowRebaseAfterMs = 75000;
  static constexpr int32_t kCalmRebaseCount = 20;
  static constexpr int32_t kLongRebaseCount = 300;

  void Input(uint32_t sent_ms, uint32_t received_ms);
  int32_t variation() const { return variation_; }

  // For tests.
  int32_t minimum_for_testing() const { return minimum_; }
  int32_t calm_for_testing() const { return calm_; }
  int32_t slow_for_testing() const { return slow_; }
  int32_t calm_count_for_testing() const { return calm_count_; }
  int32_t jittery_count_for_testing() const { return jittery_count_; }
  int32_t long_count_for_testing() const { return long_count_; }
  int32_t swing_for_testing() const { return swing_; }

 private:
  void Rebase(uint32_t received_ms);
  void JitteryEvent();

  bool started_ = false;
  int32_t minimum_ = 0;
  int32_t calm_ = 0;
  int32_t slow_ = 0;
  uint32_t minimum_time_ = 0;
  uint32_t previous_received_ = 0;
  uint32_t previous_sent_ = 0;
  int32_t variation_ = 0;
  int32_t calm_count_ = 0;
  int32_t jittery_count_ = 0;
  int32_t high_count_ = 0;
  int32_t long_count_ = 0;
  int32_t swing_ = 0;  // 0 none, 1 small, 2 large
};

// Loss over 1 s windows of the sender's packet counter. A window expects the
// counters from its start to the highest seen and counts those received;
// counters that run ahead late in a window belong to the next one. The loss
// sums the newest windows until 100 packets were expected (at most 6 kept).
class CLossEstimator {
 public:
  static constexpr uint32_t kWindowMs = 1000;
  static constexpr size_t kMaxWindows = 6000 / kWindowMs;
  static constexpr uint16_t kMaxBehind = 99;
  static constexpr uint16_t kMaxAhead = 2999;
  static constexpr uint16_t kEnoughExpected = 100;

  struct Window {
    uint16_t expected;
    uint16_t received;
    uint16_t start;
  };

  void Input(uint16_t counter, uint32_t received_ms);
  uint16_t loss() const { return loss_; }  // per mille

  // For tests.
  const std::deque<Window>& windows_for_testing() const { return windows_; }
  uint16_t highest_for_testing() const { return highest_; }
  uint16_t received_for_testing() const { return received_; }
  uint16_t window_start_for_testing() const { return start_counter_; }

 private:
  void Restart(uint16_t counter, uint32_t received_ms);
  void CloseWindow();
  void ComputeLoss();

  bool started_ = false;
  uint16_t start_counter_ = 0;
  uint16_t highest_ = 0;
  uint16_t next_highest_ = 0;
  uint16_t received_ = 0;
  uint16_t late_ = 0;
  uint16_t loss_ = 0;
  uint32_t window_start_time_ = 0;
  std::deque<Window> windows_;
};

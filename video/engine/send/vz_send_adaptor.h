#pragma once
// CVzSendAdaptor: a leaky bucket of 600 ms of data with one fill threshold
// per drop priority (0 most needed .. 14 least; 15 not used). Each frame (or
// packet) is sent (0), dropped for rate (1) or dropped as unusable (2); the
// least important layers go first as the bucket fills. Thresholds come from
// a flat rule, from the encoder's layer bit rates, or from the measured
// priority mix when the encoder asks for dynamic distribution.
//
// Unlike the original design, no thread is pinned to a processor: the
// engine's monotonic clock is consistent across processors.
// Threads: none of its own; the send controller calls it under its lock.
#include <cstdint>

#include "video/engine/send/send_adaptor.h"

class CVzSendAdaptor final : public ISendAdaptor {
 public:
  static constexpr uint32_t kInitialRate = 2097152;
  static constexpr int kPriorities = 15;
  static constexpr uint32_t kWindowMs = 501;

  CVzSendAdaptor();

  int32_t AdaptFrame(const uint8_t* data, int32_t length, int32_t total, uint32_t time_stamp,
                     int32_t* priority) override;
  int32_t AdaptPacket(uint32_t time_stamp, const uint8_t* data, int32_t length, int32_t* priority) override;
  void SetBandwidth(uint32_t rate) override;
  bool SetMaxMode(int32_t mode) override;
  int32_t GetMaxMode() const override { return max_mode_; }
  void EnableDropP0(bool on) override;
  // -1 keeps the current rate.
  void ResetLevelThreshold(int32_t rate) override;
  void SetCongestionSwitch(int32_t value) override { congestion_switch_ = value; }
  void SetCongestStatus(int32_t status) override;
  void SetEncoderParam(const vzh264::EncoderParam& param) override;
  void GenerateBitrateRatio();

  // For tests and statistics.
  int32_t threshold_for_testing(int priority) const { return thresholds_[priority]; }
  int32_t occupancy_for_testing() const { return occupancy_; }
  bool last_idr_dropped_for_testing() const { return last_idr_dropped_; }
  uint32_t rate_for_testing() const { return rate_; }

 private:
  int64_t NowUs() const;
  int32_t Leak();
  // The smallest priority over the slots 0..max mode (15 without the
  // element); *slot_priority gets the max mode's slot when present.
  int PacketPriority(const uint8_t* data, int32_t length, int32_t* slot_priority) const;
  void FeedWindow(uint32_t time_stamp, int32_t length, int p);
  void ApplyDistribution(const int32_t cum[kPriorities], const bool present[kPriorities], bool forced);
  void ScaleBaseThreshold();
  int32_t Fill600() const;

  int64_t origin_us_;
  uint32_t rate_ = 0;
  int32_t occupancy_ = 0;
  int64_t last_leak_us_ = 0;
  int32_t thresholds_[kPriorities] = {};
  int32_t max_mode_ = 3;
  bool drop_p0_ = false;
  int last_priority_ = 255;
  uint32_t last_key_ = 0;
  int32_t last_result_ = 0;
  bool last_idr_dropped_ = false;
  int32_t congestion_switch_ = 2;
  vzh264::EncoderParam layers_;
  bool layers_known_ = false;
  // The priority window.
  bool window_started_ = false;
  uint32_t window_start_ = 0;
  int64_t counters_[kPriorities] = {};
  int32_t smoothed_[kPriorities] = {};
};

#pragma once
// What the paced send controller asks of its send adaptor: a verdict and a
// priority for each frame (and for single assessed packets), and the
// controller's options passed on.
#include <cstdint>

#include "contracts/vzh264_codec.h"

// Verdicts.
inline constexpr int32_t kAdaptSend = 0;
inline constexpr int32_t kAdaptDropForRate = 1;
inline constexpr int32_t kAdaptUnusable = 2;

class ISendAdaptor {
 public:
  virtual ~ISendAdaptor() = default;
  // A frame whose first packet is `data`; *priority (15 on entry) may be
  // lowered. Answers a verdict.
  virtual int32_t AdaptFrame(const uint8_t* data, int32_t length, int32_t total, uint32_t time_stamp,
                             int32_t* priority) = 0;
  virtual int32_t AdaptPacket(uint32_t time_stamp, const uint8_t* data, int32_t length, int32_t* priority) = 0;
  virtual void SetBandwidth(uint32_t rate) = 0;
  // False for a mode outside 0..3 (kept as it was).
  virtual bool SetMaxMode(int32_t mode) = 0;
  virtual int32_t GetMaxMode() const = 0;
  virtual void EnableDropP0(bool on) = 0;
  virtual void ResetLevelThreshold(int32_t fill) = 0;
  virtual void SetCongestionSwitch(int32_t value) = 0;
  virtual void SetCongestStatus(int32_t status) = 0;
  virtual void SetEncoderParam(const vzh264::EncoderParam& param) = 0;
};

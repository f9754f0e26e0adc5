#pragma once
// The pulsing alpha of the covered-area shadow: from 0.30 down by 0.02 a
// step to 0.10, then up by 0.03 a step to 0.30, and so on. Kept in whole
// hundredths, so no rounding drift ever moves the turning points.
#include <cstdint>

namespace vzgrab {

class ShadowPulse {
 public:
  // One tick: while rising, +3 until it passes 30 (then 30 and falling);
  // while falling, -2 until it drops below 10 (then 10 and rising).
  void Step() {
    if (rising_) {
      percent_ += 3;
      if (percent_ > 30) {
        percent_ = 30;
        rising_ = false;
      }
    } else {
      percent_ -= 2;
      if (percent_ < 10) {
        percent_ = 10;
        rising_ = true;
      }
    }
  }
  int percent_for_testing() const { return percent_; }
  // The window's constant alpha: alpha x 255, truncated.
  uint8_t alpha_byte() const { return static_cast<uint8_t>(percent_ * 255 / 100); }

 private:
  int percent_ = 30;
  bool rising_ = false;
};

}  // namespace vzgrab

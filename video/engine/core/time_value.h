#pragma once
// Seconds and microseconds, kept normalised: |usec| < 1,000,000 and both
// parts of the same sign. Sums saturate at Infinite().
#include <cstdint>

namespace VZSE_ {

class TimeValue {
 public:
  constexpr TimeValue() = default;
  constexpr TimeValue(int32_t sec, int32_t usec) : sec_(sec), usec_(usec) { Normalize(); }
  static TimeValue FromUs(int64_t us);
  static TimeValue FromMsForTesting(int64_t ms) { return FromUs(ms * 1000); }
  static constexpr TimeValue Zero() { return TimeValue(); }
  static constexpr TimeValue Infinite() { return TimeValue(2147483647, 999999); }

  // Carries whole seconds out of the microseconds, then gives both parts
  // the same sign.
  constexpr void Normalize() {
    sec_ += usec_ / 1000000;
    usec_ %= 1000000;
    if (sec_ > 0 && usec_ < 0) {
      --sec_;
      usec_ += 1000000;
    } else if (sec_ < 0 && usec_ > 0) {
      ++sec_;
      usec_ -= 1000000;
    }
  }

  constexpr int32_t sec_for_testing() const { return sec_; }
  constexpr int32_t usec_for_testing() const { return usec_; }
  constexpr bool IsInfinite() const { return sec_ == 2147483647 && usec_ == 999999; }
  constexpr int64_t ToUs() const { return static_cast<int64_t>(sec_) * 1000000 + usec_; }
  // 64-bit, so long waits do not wrap; Infinite() gives INT64_MAX ("no
  // limit"), never a number of milliseconds.
  int64_t ToMs() const;

  friend TimeValue operator+(const TimeValue& a, const TimeValue& b);
  friend TimeValue operator-(const TimeValue& a, const TimeValue& b);
  TimeValue& operator+=(const TimeValue& b) { return *this = *this + b; }
  friend constexpr bool operator==(const TimeValue& a, const TimeValue& b) {
    return a.sec_ == b.sec_ && a.usec_ == b.usec_;
  }
  friend constexpr bool operator<(const TimeValue& a, const TimeValue& b) {
    return a.sec_ != b.sec_ ? a.sec_ < b.sec_ : a.usec_ < b.usec_;
  }
  friend constexpr bool operator>(const TimeValue& a, const TimeValue& b) { return b < a; }
  friend constexpr bool operator<=(const TimeValue& a, const TimeValue& b) { return !(b < a); }
  friend constexpr bool operator>=(const TimeValue& a, const TimeValue& b) { return !(a < b); }

 private:
  int32_t sec_ = 0;
  int32_t usec_ = 0;
};

}  // namespace VZSE_

#include "video/engine/core/time_value.h"

#include <limits>

namespace VZSE_ {

TimeValue TimeValue::FromUs(int64_t us) {
  const int64_t sec = us / 1000000;
  if (sec >= std::numeric_limits<int32_t>::max()) return Infinite();
  if (sec <= std::numeric_limits<int32_t>::min()) return TimeValue(std::numeric_limits<int32_t>::min(), 0);
  return TimeValue(static_cast<int32_t>(sec), static_cast<int32_t>(us % 1000000));
}

int64_t TimeValue::ToMs() const {
  if (IsInfinite()) return std::numeric_limits<int64_t>::max();
  return static_cast<int64_t>(sec_) * 1000 + usec_ / 1000;
}

TimeValue operator+(const TimeValue& a, const TimeValue& b) {
  if (a.IsInfinite() || b.IsInfinite()) return TimeValue::Infinite();
  return TimeValue::FromUs(a.ToUs() + b.ToUs());
}

TimeValue operator-(const TimeValue& a, const TimeValue& b) { return TimeValue::FromUs(a.ToUs() - b.ToUs()); }

}  // namespace VZSE_

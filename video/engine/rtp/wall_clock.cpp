#include "video/engine/rtp/wall_clock.h"

#include <chrono>

#include "platform/clock.h"

namespace {
int64_t SystemUnixMicros() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}
uint64_t SystemTickMs() { return vz::MonotonicMs(); }
}  // namespace

CWallClock::CWallClock() : CWallClock(SystemUnixMicros, SystemTickMs) {}

CWallClock::CWallClock(UnixMicrosFn unix_micros, TickMsFn tick_ms)
    : unix_micros_(unix_micros), tick_ms_(tick_ms) {}

void CWallClock::Now(int64_t* seconds, int32_t* microseconds) {
  std::call_once(base_once_, [this] {
    const int64_t now = unix_micros_();
    base_seconds_ = now / 1000000;
    base_micros_ = now % 1000000;
    base_tick_micros_ = static_cast<int64_t>(tick_ms_()) * 1000;
  });
  const int64_t t = base_micros_ + static_cast<int64_t>(tick_ms_()) * 1000 - base_tick_micros_;
  if (seconds != nullptr) *seconds = base_seconds_ + t / 1000000;
  if (microseconds != nullptr) *microseconds = static_cast<int32_t>(t % 1000000);
}

CWallClock& CWallClock::Instance() {
  static CWallClock clock;
  return clock;
}

uint32_t NtpFraction(uint32_t microseconds) {
  return static_cast<uint32_t>((static_cast<uint64_t>(microseconds) << 32) / 1000000u);
}

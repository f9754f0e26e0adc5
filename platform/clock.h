#pragma once
// Clocks: the monotonic clock for intervals and timers, the wall clock only
// for time stamps.
#include <cstdint>

namespace vz {

uint64_t MonotonicMs();
uint64_t MonotonicUs();
int64_t UnixTimeSeconds();  // wall clock, UTC

struct LocalTime {
  int year, month, day, hour, minute, second, millisecond;
};
LocalTime NowLocal();

// A clock that run loops and timers read; tests inject a fake one.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual uint64_t NowMs() const = 0;
};
Clock& SystemClock();

// A clock that moves only when told to.
class FakeClock : public Clock {
 public:
  explicit FakeClock(uint64_t start_ms = 0) : now_ms_(start_ms) {}
  uint64_t NowMs() const override { return now_ms_; }
  void AdvanceMs(uint64_t ms) { now_ms_ += ms; }
  void SetMs(uint64_t ms) { now_ms_ = ms; }

 private:
  uint64_t now_ms_;
};

void SleepMs(uint32_t ms);

}  // namespace vz

#pragma once
// The clocks every engine timing reads. Intervals, timers, time stamps and
// throttles use the monotonic clock; the wall clock only dates things.
// Tests install a fake clock for the whole process.
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "video/engine/core/time_value.h"

namespace VZSE_ {

class EngineClock {
 public:
  virtual ~EngineClock() = default;
  virtual int64_t MonotonicUs() const = 0;
  virtual int64_t WallUs() const = 0;  // since 1 January 1970, UTC
};

EngineClock& SystemEngineClock();

// Moves only when told to; any thread may read and move it.
class FakeEngineClock final : public EngineClock {
 public:
  explicit FakeEngineClock(int64_t monotonic_us = 1000000, int64_t wall_us = 1700000000000000)
      : monotonic_us_(monotonic_us), wall_us_(wall_us) {}
  int64_t MonotonicUs() const override { return monotonic_us_.load(); }
  int64_t WallUs() const override { return wall_us_.load(); }
  void AdvanceUs(int64_t us) {
    monotonic_us_ += us;
    wall_us_ += us;
  }
  void AdvanceMs(int64_t ms) { AdvanceUs(ms * 1000); }
  // A wall-clock step (the user or NTP setting the time); monotonic time
  // does not move.
  void StepWallUsForTesting(int64_t us) { wall_us_ += us; }

 private:
  std::atomic<int64_t> monotonic_us_;
  std::atomic<int64_t> wall_us_;
};

// The clock in use (the system's unless a test installed one).
EngineClock& CurrentEngineClock();
// Installs a clock for the process (null: the system's again); returns the
// previous one. For tests, before any engine object reads the clock.
EngineClock* SetEngineClockForTest(EngineClock* clock);

int64_t MonotonicMicroseconds();
// Monotonic milliseconds as 32 bits; callers compare with unsigned
// differences, which stay right across the wrap.
uint32_t NowMs();
// Wall clock: one of the runtime's clocks. Every engine timing uses the
// monotonic clock instead (NowMs), so nothing in the engine calls it.
TimeValue NowTime();
// Wall-clock microseconds advanced by the monotonic clock from a base taken
// on first use, so it never steps with the wall clock.
int64_t WallClockMicroseconds();

// Reverses the bytes in place on a little-endian host (host to network
// order and back for 16- and 32-bit fields).
void SwapByteOrder(void* data, size_t size);

}  // namespace VZSE_

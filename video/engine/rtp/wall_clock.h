#pragma once
// The engine's wall clock: the system time read once, then advanced by a
// 64-bit millisecond tick, so later changes of the system time do not make
// it jump (and a 32-bit tick's wrap cannot either). Also the NTP fraction.
//
// Threads: any; the base is taken once under a lock.
#include <cstdint>
#include <mutex>

class CWallClock {
 public:
  // Sources: microseconds since 1970-01-01 (UTC), and a monotonic tick in ms.
  using UnixMicrosFn = int64_t (*)();
  using TickMsFn = uint64_t (*)();

  // The system's clocks.
  CWallClock();
  // Injected clocks (tests).
  CWallClock(UnixMicrosFn unix_micros, TickMsFn tick_ms);

  // Seconds and microseconds since 1970-01-01.
  void Now(int64_t* seconds, int32_t* microseconds);

  // The process's clock.
  static CWallClock& Instance();

 private:
  UnixMicrosFn unix_micros_;
  TickMsFn tick_ms_;
  std::once_flag base_once_;
  int64_t base_seconds_ = 0;
  int64_t base_micros_ = 0;
  int64_t base_tick_micros_ = 0;
};

// Microseconds (0..999,999) as the 32-bit fraction of an NTP time stamp:
// us x 2^32 / 10^6, truncated.
uint32_t NtpFraction(uint32_t microseconds);

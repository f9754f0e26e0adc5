#include "platform/clock.h"

#include <time.h>

#include <cerrno>

namespace vz {
namespace {

timespec Now(clockid_t clock) {
  timespec ts{};
  clock_gettime(clock, &ts);
  return ts;
}

class MonotonicClock : public Clock {
 public:
  uint64_t NowMs() const override { return MonotonicMs(); }
};

}  // namespace

uint64_t MonotonicMs() { return MonotonicUs() / 1000; }

uint64_t MonotonicUs() {
  timespec ts = Now(CLOCK_MONOTONIC);
  return static_cast<uint64_t>(ts.tv_sec) * 1000000u + static_cast<uint64_t>(ts.tv_nsec) / 1000u;
}

int64_t UnixTimeSeconds() { return static_cast<int64_t>(Now(CLOCK_REALTIME).tv_sec); }

LocalTime NowLocal() {
  // Log lines ask for the time many times a second; the calendar fields are
  // worked out (localtime_r, under the C library's time zone lock) once per
  // second and thread. Offset changes fall on whole seconds, so the cache
  // never spans one.
  thread_local time_t cached_seconds = -1;
  thread_local tm cached_parts{};
  timespec ts = Now(CLOCK_REALTIME);
  if (ts.tv_sec != cached_seconds) {
    tm parts{};
    localtime_r(&ts.tv_sec, &parts);
    cached_parts = parts;
    cached_seconds = ts.tv_sec;
  }
  const tm& parts = cached_parts;
  return LocalTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour,
                   parts.tm_min,         parts.tm_sec,     static_cast<int>(ts.tv_nsec / 1000000)};
}

Clock& SystemClock() {
  static MonotonicClock clock;
  return clock;
}

void SleepMs(uint32_t ms) {
  timespec left{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  // A signal cuts the sleep short; sleep on for what is left.
  while (clock_nanosleep(CLOCK_MONOTONIC, 0, &left, &left) == EINTR) {
  }
}

}  // namespace vz

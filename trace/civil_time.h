#pragma once
// Calendar fields of a moment, computed without the C library's time zone
// functions (they take locks), so the crash path can name its files.
#include <cstdint>

namespace vz {

struct CivilTime {
  int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0, millisecond = 0;
};

// `unix_ms` is milliseconds since 1970 UTC; add a UTC offset first for local time.
CivilTime CivilTimeFromUnixMs(int64_t unix_ms);

}  // namespace vz

#include "trace/civil_time.h"

namespace vz {
namespace {

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

}  // namespace

CivilTime CivilTimeFromUnixMs(int64_t unix_ms) {
  CivilTime out;
  const int64_t days = FloorDiv(unix_ms, 86400000);
  const int64_t ms_of_day = unix_ms - days * 86400000;
  out.hour = static_cast<int>(ms_of_day / 3600000);
  out.minute = static_cast<int>(ms_of_day / 60000 % 60);
  out.second = static_cast<int>(ms_of_day / 1000 % 60);
  out.millisecond = static_cast<int>(ms_of_day % 1000);
  // Days to a proleptic Gregorian date, with eras of 400 years starting in March.
  const int64_t z = days + 719468;
  const int64_t era = FloorDiv(z, 146097);
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t day = doy - (153 * mp + 2) / 5 + 1;
  const int64_t month = mp < 10 ? mp + 3 : mp - 9;
  out.year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
  out.month = static_cast<int>(month);
  out.day = static_cast<int>(day);
  return out;
}

}  // namespace vz

#include "trace/civil_time.h"

#include <gtest/gtest.h>

namespace vz {
namespace {

void ExpectTime(int64_t unix_ms, int year, int month, int day, int hour, int minute, int second, int ms) {
  const CivilTime t = CivilTimeFromUnixMs(unix_ms);
  EXPECT_EQ(t.year, year) << unix_ms;
  EXPECT_EQ(t.month, month) << unix_ms;
  EXPECT_EQ(t.day, day) << unix_ms;
  EXPECT_EQ(t.hour, hour) << unix_ms;
  EXPECT_EQ(t.minute, minute) << unix_ms;
  EXPECT_EQ(t.second, second) << unix_ms;
  EXPECT_EQ(t.millisecond, ms) << unix_ms;
}

TEST(CivilTimeTest, CalendarEdges) {
  ExpectTime(0, 1970, 1, 1, 0, 0, 0, 0);
  ExpectTime(951782400000, 2000, 2, 29, 0, 0, 0, 0);      // leap day of a century leap year
  ExpectTime(1709164799999, 2024, 2, 28, 23, 59, 59, 999);
  ExpectTime(1709164800000, 2024, 2, 29, 0, 0, 0, 0);
  ExpectTime(4107542400000, 2100, 3, 1, 0, 0, 0, 0);      // 2100 is no leap year
  ExpectTime(1735689599123, 2024, 12, 31, 23, 59, 59, 123);
  ExpectTime(-1, 1969, 12, 31, 23, 59, 59, 999);
}

}  // namespace
}  // namespace vz

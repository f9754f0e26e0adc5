#include "trace/signal_safe_format.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>

namespace vz {
namespace {

std::string Safe(const char* format, auto... args) {
  char out[256];
  const size_t n = SafeFormat(out, sizeof(out), format, args...);
  EXPECT_EQ(n, std::string(out).size()) << format;
  return out;
}

std::string Libc(const char* format, auto... args) {
  char out[256];
  std::snprintf(out, sizeof(out), format, args...);
  return out;
}

TEST(SignalSafeFormatTest, MatchesTheCLibraryForTheReportFormats) {
  EXPECT_EQ(Safe("Exception Code: %08X [%s]", 0xC0000005u, "ACCESS_VIOLATION"),
            Libc("Exception Code: %08X [%s]", 0xC0000005u, "ACCESS_VIOLATION"));
  EXPECT_EQ(Safe("%016lX", 0x7fffdeadbeefUL), Libc("%016lX", 0x7fffdeadbeefUL));
  EXPECT_EQ(Safe("%016lX", 0UL), "0000000000000000");
  EXPECT_EQ(Safe("%04X:%08lX", 2u, 0x1a2bUL), Libc("%04X:%08lX", 2u, 0x1a2bUL));
  EXPECT_EQ(Safe("%d|%d|%u", INT_MIN, INT_MAX, UINT_MAX), Libc("%d|%d|%u", INT_MIN, INT_MAX, UINT_MAX));
  EXPECT_EQ(Safe("%lld %llu", LLONG_MIN, ULLONG_MAX), Libc("%lld %llu", LLONG_MIN, ULLONG_MAX));
  EXPECT_EQ(Safe("%02hu/%04hu", static_cast<unsigned short>(7), static_cast<unsigned short>(2024)), "07/2024");
  EXPECT_EQ(Safe("%03d %5d|%-5d|%-6s|%6s", 7, -42, 3, "ab", "cd"),
            Libc("%03d %5d|%-5d|%-6s|%6s", 7, -42, 3, "ab", "cd"));
  EXPECT_EQ(Safe("%05d", -42), Libc("%05d", -42));
  EXPECT_EQ(Safe("%x %c %zu %u %% memory", 0xabcu, 'Q', static_cast<size_t>(12), 40u), "abc Q 12 40 % memory");
}

TEST(SignalSafeFormatTest, NullStringsUnknownConversionsAndTheEnd) {
  const char* volatile no_text = nullptr;
  EXPECT_EQ(Safe("[%s]", no_text), "[(null)]");
  EXPECT_EQ(Safe("%q"), "%q");
  EXPECT_EQ(Safe("tail %"), "tail ");
  char out[8];
  EXPECT_EQ(SafeFormat(out, sizeof(out), nullptr), 0u);
  EXPECT_STREQ(out, "");
}

TEST(SignalSafeFormatTest, CutsAtTheCapacityAndAlwaysTerminates) {
  char out[6] = "XXXXX";
  EXPECT_EQ(SafeFormat(out, sizeof(out), "%s-%08X", "abc", 0xFFu), 5u);
  EXPECT_STREQ(out, "abc-0");
  char one[1] = {'X'};
  EXPECT_EQ(SafeFormat(one, 1, "abc"), 0u);
  EXPECT_EQ(one[0], '\0');
  char none = 'X';
  EXPECT_EQ(SafeFormat(&none, 0, "abc"), 0u);
  EXPECT_EQ(none, 'X');
}

}  // namespace
}  // namespace vz

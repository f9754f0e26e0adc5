#include "trace/log_text_format.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace vz {
namespace {

std::string Format(size_t capacity, const char* format, ...) {
  std::string out(capacity, '#');
  va_list args;
  va_start(args, format);
  const size_t n = FormatLogTextV(capacity == 0 ? nullptr : out.data(), capacity, format, args);
  va_end(args);
  if (capacity > 0) {
    EXPECT_EQ(out[n], '\0') << format;
  }
  return out.substr(0, n);
}

std::string Plain(const char* format, ...) {
  char out[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(out, sizeof(out), format, args);
  va_end(args);
  return out;
}

#define EXPECT_AS_PRINTF(format, ...) EXPECT_EQ(Format(512, format, __VA_ARGS__), Plain(format, __VA_ARGS__)) << format

TEST(LogTextFormatTest, NumbersAndPointersAreWrittenAsPrintfWritesThem) {
  int dummy = 0;
  EXPECT_AS_PRINTF("%d %i %5d|%-5d|%05d %+d % d %.3d", -42, 7, 12, 12, -3, 4, 5, 9);
  EXPECT_AS_PRINTF("%--5d|%0-5d|%+ +d|%#0#8x", 1, 2, 3, 4u);  // a flag written twice, or after another
  EXPECT_AS_PRINTF("%x %X %#x %o %#o %u", 255u, 255u, 255u, 8u, 8u, 4000000000u);
  EXPECT_AS_PRINTF("%hhd %hd %ld %lld %lu %llu", 300, 70000, -1L, -1LL, ~0UL, ~0ULL);
  EXPECT_AS_PRINTF("%zu %zd %jd %td %*d|%-*d|%.*d", size_t{5}, ptrdiff_t{-5}, intmax_t{6}, ptrdiff_t{-7}, 4, 1, 4, 2,
                   3, 3);
  EXPECT_AS_PRINTF("%f %.2f %e %E %g %G %a %8.3f %Lf", 3.25, 2.0 / 3, 1e-9, 12345.678, 0.0001, 1e20, 1.0, -2.5,
                   1.5L);
  EXPECT_AS_PRINTF("%p %p %s%%", static_cast<void*>(&dummy), static_cast<void*>(nullptr), "100");
  EXPECT_EQ(Format(512, "%016llX", 0xABCDEFULL), "0000000000ABCDEF");
}

TEST(LogTextFormatTest, TextsAndCharactersAreEscapedWithThePrecisionOfTheValueAndTheWidthOfTheText) {
  EXPECT_EQ(Format(512, "join of session %s refused", "s1\r\nforged"), "join of session s1\\x0D\\x0Aforged refused");
  // The format's own text is the caller's.
  EXPECT_EQ(Format(512, "\n\n-- %s --\n", "a\tb"), "\n\n-- a\\x09b --\n");
  EXPECT_EQ(Format(512, "[%.3s]", "a\nbcd"), "[a\\x0Ab]");
  EXPECT_EQ(Format(512, "[%6s][%-6s]", "\n", "x\\"), "[  \\x0A][x\\    ]");
  EXPECT_EQ(Format(512, "[%*s]", -5, "ab"), "[ab   ]");
  EXPECT_EQ(Format(512, "[%c%c%3c]", 'a', '\r', '\x80'), "[a\\x0D\\x80]");
  EXPECT_EQ(Format(512, "[%s]", static_cast<const char*>(nullptr)), "[(null)]");
  EXPECT_EQ(Format(512, "[%ls][%lc][%.2ls]", L"x\ny\u00E9", static_cast<wint_t>(0x2028), L"\u00E9a"),
            "[x\\x0Ay\xC3\xA9][\\u2028][\xC3\xA9]");
}

TEST(LogTextFormatTest, NStoresNothingAndAConversionNotKnownEndsTheArguments) {
  int stored = 12345;
  EXPECT_EQ(Format(512, "a%nb %d", &stored, 7), "ab 7");
  EXPECT_EQ(stored, 12345);
  EXPECT_EQ(Format(512, "x %d %y %s", 1, "never read"), "x 1 %y %s");
  EXPECT_EQ(Format(512, "ends in %"), "ends in %");
}

TEST(LogTextFormatTest, TextThatDoesNotFitIsCutAndTerminated) {
  EXPECT_EQ(Format(8, "%s and %d", "abcdef", 12345), "abcdef ");
  EXPECT_EQ(Format(5, "%08d", 42), "0000");
  EXPECT_EQ(Format(1, "%s", "abc"), "");
  EXPECT_EQ(Format(0, "%s", "abc"), "");
  const std::string wide = Format(4096, "%3000d|%s", 1, std::string(2000, '\n').c_str());
  EXPECT_EQ(wide.size(), 4095u);
  EXPECT_EQ(wide.substr(2995, 10), "    1|\\x0A");
}

}  // namespace
}  // namespace vz

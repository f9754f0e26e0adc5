#include "platform/wide_format.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

namespace vz {
namespace {

std::u16string Wide(const char* ascii) { return std::u16string(ascii, ascii + std::char_traits<char>::length(ascii)); }

TEST(WideFormatTest, StringsTakeWideAndNarrowArguments) {
  EXPECT_EQ(FormatWideString(u"[%s]", u"a\u00e9\u4e2d\U0001F600"), u"[a\u00e9\u4e2d\U0001F600]");
  EXPECT_EQ(FormatWideString(u"%S [line# %d] : >", "Func::Name", 42), u"Func::Name [line# 42] : >");
  EXPECT_EQ(FormatWideString(u"%S", "a\xc3\xa9"), u"a\u00e9");  // narrow text is UTF-8
  EXPECT_EQ(FormatWideString(u"%hs|%ls", "narrow", u"wide"), u"narrow|wide");
  EXPECT_EQ(FormatWideString(u"%s %S", static_cast<const char16_t*>(nullptr), static_cast<const char*>(nullptr)),
            u"(null) (null)");
  EXPECT_EQ(FormatWideString(u"[%6s][%-6s][%.2s]", u"ab", u"ab", u"abcdef"), u"[    ab][ab    ][ab]");
  // A precision reads no further than it says, so the text need not be terminated.
  const char16_t unterminated[3] = {u'x', u'y', u'z'};
  EXPECT_EQ(FormatWideString(u"%.*s", 3, unterminated), u"xyz");
  EXPECT_EQ(FormatWideString(u"%.*S", 2, "abc"), u"ab");
  EXPECT_EQ(FormatWideString(u"%.1s", u"\U0001F600"), u"");  // never half a pair
}

TEST(WideFormatTest, IntegersWithFlagsWidthsAndSizes) {
  EXPECT_EQ(FormatWideString(u"%d", INT_MIN), u"-2147483648");
  EXPECT_EQ(FormatWideString(u"%i %d", INT_MAX, 0), u"2147483647 0");
  EXPECT_EQ(FormatWideString(u"%u", 4294967295u), u"4294967295");
  EXPECT_EQ(FormatWideString(u"[0x%08X]", 0xBEEFu), u"[0x0000BEEF]");
  EXPECT_EQ(FormatWideString(u"%x %X %#x %#X %#x", 0xabcdu, 0xabcdu, 255u, 255u, 0u), u"abcd ABCD 0xff 0XFF 0");
  EXPECT_EQ(FormatWideString(u"[%-5d][%5d][%05d][%-05d]", 42, 42, -42, 42), u"[42   ][   42][-0042][42   ]");
  EXPECT_EQ(FormatWideString(u"[%+d][% d][%+d]", 5, 5, -5), u"[+5][ 5][-5]");
  EXPECT_EQ(FormatWideString(u"[%.3d][%06.3d][%.0d]", 7, 7, 0), u"[007][   007][]");
  EXPECT_EQ(FormatWideString(u"[%*d][%-*d][%*d]", 4, 1, 4, 2, -4, 3), u"[   1][2   ][3   ]");
  EXPECT_EQ(FormatWideString(u"%hd %hu", 70000, 70000), u"4464 4464");
  EXPECT_EQ(FormatWideString(u"%ld %lu", LONG_MIN, ULONG_MAX), Wide("-9223372036854775808 18446744073709551615"));
  EXPECT_EQ(FormatWideString(u"%lld %llX", LLONG_MIN, 0xFFFFFFFFFFFFFFFFull),
            Wide("-9223372036854775808 FFFFFFFFFFFFFFFF"));
  EXPECT_EQ(FormatWideString(u"%zu %zd", SIZE_MAX, static_cast<ptrdiff_t>(-3)), Wide("18446744073709551615 -3"));
}

TEST(WideFormatTest, CharactersPointersFloatsAndLiterals) {
  EXPECT_EQ(FormatWideString(u"%c%c|%3c|%-3c|", u'a', u'\u4e2d', u'b', u'c'), u"a\u4e2d|  b|c  |");
  EXPECT_EQ(FormatWideString(u"%p", reinterpret_cast<void*>(0x12ab)), u"00000000000012AB");
  EXPECT_EQ(FormatWideString(u"%f|%.2f|%8.3f|%-8.1f|%08.2f", 1.5, 2.3456, -3.14159, 0.3, -1.5),
            u"1.500000|2.35|  -3.142|0.3     |-0001.50");
  EXPECT_EQ(FormatWideString(u"%.0f|%#.0f|%+.1f|%f", 2.7, 3.0, 1.0, -0.0), u"3|3.|+1.0|-0.000000");
  EXPECT_EQ(FormatWideString(u"%f %f %5f", 1.0 / 0.0, -1.0 / 0.0, 0.0 / 0.0).substr(0, 9), u"inf -inf ");
  EXPECT_EQ(FormatWideString(u"100%% sure"), u"100% sure");
  // Unknown conversions and a trailing '%' are shown as written, reading no argument.
  EXPECT_EQ(FormatWideString(u"%q %n %d %", 7), u"%q %n 7 %");
  EXPECT_EQ(FormatWideString(nullptr), u"");
}

TEST(WideFormatTest, OutputIsCutAtCapacityAndAlwaysTerminated) {
  // A long line is cut at 4,096 units, terminator included.
  std::u16string long_text(10000, u'x');
  std::u16string buffer(5000, u'#');
  size_t written = FormatWide(buffer.data(), 4096, u"%s tail %d", long_text.c_str(), 12345);
  EXPECT_EQ(written, 4095u);
  EXPECT_EQ(buffer[4095], u'\0');
  EXPECT_EQ(buffer[4096], u'#');  // nothing beyond the capacity is touched
  EXPECT_EQ(buffer.substr(0, 4095), std::u16string(4095, u'x'));

  char16_t small[8];
  EXPECT_EQ(FormatWide(small, sizeof(small) / sizeof(small[0]), u"%d-%d", 1234, 5678), 7u);
  EXPECT_EQ(std::u16string(small), u"1234-56");
  EXPECT_EQ(FormatWide(small, 8, u"%-10d|", 1), 7u);  // padding is cut too
  EXPECT_EQ(std::u16string(small), u"1      ");

  char16_t one[1] = {u'#'};
  EXPECT_EQ(FormatWide(one, 1, u"abc"), 0u);
  EXPECT_EQ(one[0], u'\0');
  EXPECT_EQ(FormatWide(nullptr, 0, u"abc"), 0u);

  // A pair that would be split is cut before its first half, wherever it comes from.
  char16_t four[4];
  EXPECT_EQ(FormatWide(four, 4, u"ab%s", u"\U0001F600"), 2u);
  EXPECT_EQ(std::u16string(four), u"ab");
  EXPECT_EQ(FormatWide(four, 4, u"ab\U0001F600"), 2u);
  EXPECT_EQ(std::u16string(four), u"ab");
  EXPECT_EQ(FormatWide(four, 4, u"a%S", "\xf0\x9f\x98\x80"), 3u);
  EXPECT_EQ(std::u16string(four), u"a\U0001F600");
  // Once something is cut, nothing shorter after it slips in.
  EXPECT_EQ(FormatWide(four, 4, u"ab%sc", u"\U0001F600"), 2u);
  EXPECT_EQ(std::u16string(four), u"ab");
}

}  // namespace
}  // namespace vz

#include "platform/text.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace vz {
namespace {

TEST(TextTest, RoundTripsEveryKindOfCharacter) {
  struct Case {
    std::u16string wide;
    std::string narrow;
  };
  const Case cases[] = {
      {u"", ""},
      {u"plain ASCII 123", "plain ASCII 123"},
      {u"a\u00e9", "a\xc3\xa9"},
      {u"\u4e2d\u6587\u4f1a\u8bae", "\xe4\xb8\xad\xe6\x96\x87\xe4\xbc\x9a\xe8\xae\xae"},
      {u"x\U0001F600y", "x\xf0\x9f\x98\x80y"},  // a surrogate pair
      {u"\U0010FFFF\uFFFF\u0800\u07FF\u0080", "\xf4\x8f\xbf\xbf\xef\xbf\xbf\xe0\xa0\x80\xdf\xbf\xc2\x80"},
      {std::u16string(u"nul\0inside", 10), std::string("nul\0inside", 10)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.narrow));
    EXPECT_EQ(Utf16ToUtf8(c.wide), c.narrow);
    EXPECT_EQ(Utf8ToUtf16(c.narrow), c.wide);
  }
  EXPECT_EQ(Utf16ToUtf8(static_cast<const char16_t*>(nullptr)), "");
  EXPECT_EQ(Utf8ToUtf16(static_cast<const char*>(nullptr)), u"");
  EXPECT_EQ(Utf16ToUtf8(u"a\u00e9"), "a\xc3\xa9");  // the zero-terminated form
}

TEST(TextTest, TheOneCodePointEncoderMatchesTheDecoderForEveryCodePoint) {
  // Every scalar value encodes to the shortest form the decoder takes back
  // as exactly that value (as UTF-16: one unit, or a pair above U+FFFF).
  for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    std::string bytes;
    AppendUtf8(bytes, cp);
    ASSERT_EQ(bytes.size(), cp < 0x80 ? 1u : cp < 0x800 ? 2u : cp < 0x10000 ? 3u : 4u) << std::hex << static_cast<uint32_t>(cp);
    const std::u16string back = Utf8ToUtf16(bytes);
    const char32_t decoded = back.size() == 2 ? 0x10000 + ((char32_t{back[0]} - 0xD800) << 10) + (back[1] - 0xDC00)
                                              : char32_t{back[0]};
    ASSERT_EQ(decoded, cp) << std::hex << static_cast<uint32_t>(cp);
  }
  // Not a code point: the replacement character, appended after what is there.
  std::string out = "x";
  for (char32_t bad : {char32_t{0xD800}, char32_t{0xDFFF}, char32_t{0x110000}, char32_t{0xFFFFFFFF}}) AppendUtf8(out, bad);
  EXPECT_EQ(out, "x\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd");
}

TEST(TextTest, LargeConversionsKeepNoWorstCaseBuffer) {
  // Sized for the worst case while converting: a large result that came out
  // short must not hold three times its size for its whole life.
  const std::string narrow = Utf16ToUtf8(std::u16string(100000, u'a'));
  EXPECT_EQ(narrow, std::string(100000, 'a'));
  EXPECT_LE(narrow.capacity(), narrow.size() + narrow.size() / 2);
  std::string cjk;
  for (int i = 0; i < 30000; ++i) cjk += "\xe4\xb8\xad";
  const std::u16string wide = Utf8ToUtf16(cjk);
  EXPECT_EQ(wide, std::u16string(30000, u'\u4e2d'));
  EXPECT_LE(wide.capacity(), wide.size() + wide.size() / 2);
}

TEST(TextTest, UnpairedSurrogatesBecomeReplacementCharacters) {
  const std::string replacement = "\xef\xbf\xbd";
  EXPECT_EQ(Utf16ToUtf8(std::u16string{u'a', 0xD800, u'b'}), "a" + replacement + "b");
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xDC00, 0xD800}), replacement + replacement);
  EXPECT_EQ(Utf16ToUtf8(std::u16string{u'x', 0xDBFF}), "x" + replacement);  // high half at the end
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xD800, 0xD800, 0xDC00}), replacement + "\xf0\x90\x80\x80");
}

TEST(TextTest, MalformedUtf8BecomesReplacementCharacters) {
  struct Case {
    std::string narrow;
    std::u16string wide;
  };
  const Case cases[] = {
      {"a\x80z", u"a\uFFFDz"},                        // lone continuation byte
      {"\xc3(", u"\uFFFD("},                          // bad continuation byte
      {"\xc0\xaf", u"\uFFFD\uFFFD"},                  // overlong '/'
      {"\xe0\x80\xaf", u"\uFFFD\uFFFD\uFFFD"},        // overlong in three bytes
      {"\xf0\x82\x82\xac", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // overlong in four bytes
      {"\xed\xa0\x80", u"\uFFFD\uFFFD\uFFFD"},        // a surrogate code point
      {"\xf4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
      {"\xf5\x80", u"\uFFFD\uFFFD"},                  // lead byte never valid
      {"\xe4\xb8", u"\uFFFD"},                        // cut at the end: one replacement
      {"\xe4\xb8\xe4\xb8\xad", u"\uFFFD\u4e2d"},      // the good character after a cut one survives
      {"\xff", u"\uFFFD"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf8ToUtf16(c.narrow), c.wide) << "input of " << c.narrow.size() << " bytes";
  }
}

TEST(TextTest, CopyCutsAtCapacityAndKeepsSurrogatePairsWhole) {
  char16_t out[4];
  EXPECT_TRUE(CopyUtf16(out, 4, u"abc"));
  EXPECT_EQ(std::u16string(out), u"abc");
  EXPECT_FALSE(CopyUtf16(out, 4, u"abcd"));
  EXPECT_EQ(std::u16string(out), u"abc");
  // The pair would be cut between its halves: it is left out whole.
  EXPECT_FALSE(CopyUtf16(out, 4, u"ab\U0001F600"));
  EXPECT_EQ(std::u16string(out), u"ab");
  EXPECT_FALSE(CopyUtf16(out, 1, u"a"));
  EXPECT_EQ(out[0], u'\0');
  EXPECT_FALSE(CopyUtf16(out, 0, u"a"));

  EXPECT_EQ(Utf16Length(nullptr), 0u);
  EXPECT_EQ(Utf16Length(u"a\U0001F600"), 3u);
}

}  // namespace
}  // namespace vz

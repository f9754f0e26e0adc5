#include "common/string_helpers.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(WideToNarrowTest, NullAndEmptyGiveEmpty) {
  EXPECT_EQ(WideToNarrow(nullptr), "");
  EXPECT_EQ(WideToNarrow(u""), "");
}

TEST(WideToNarrowTest, ConvertsToCompleteUtf8) {
  EXPECT_EQ(WideToNarrow(u"plain"), "plain");
  EXPECT_EQ(WideToNarrow(u"a\u00E9"), "a\xC3\xA9");                         // 2 units, 3 bytes
  EXPECT_EQ(WideToNarrow(u"\u4F1A\u8B70"), "\xE4\xBC\x9A\xE8\xAD\xB0");    // 2 units, 6 bytes
  EXPECT_EQ(WideToNarrow(u"x\U0001F600y"), "x\xF0\x9F\x98\x80y");          // surrogate pair
  // Longer than the wide length in every byte: nothing is cut.
  const std::u16string many(1000, u'\u00E9');
  const std::string narrow = WideToNarrow(many.c_str());
  ASSERT_EQ(narrow.size(), 2000u);
  EXPECT_EQ(narrow.substr(1998), "\xC3\xA9");
}

TEST(ULongToStringTest, DecimalText) {
  EXPECT_EQ(ULongToString(0), "0");
  EXPECT_EQ(ULongToString(4294967295u), "4294967295");
}

}  // namespace

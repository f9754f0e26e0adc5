#include "weblink/json/json_builders.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "weblink/json/json_parser.h"

namespace {

TEST(JsonBuildersTest, PlainTextIsWrittenAsPassed) {
  EXPECT_EQ(JsonMakeStringPair("type", "DS_SESSION_RESPONSE_STARTED"), "\"type\":\"DS_SESSION_RESPONSE_STARTED\"");
  EXPECT_EQ(JsonMakeStringPair("conf_id", ""), "\"conf_id\":\"\"");
  EXPECT_EQ(JsonMakeStringPair("n", "Zo\xC3\xAB / \xF0\x9F\x98\x80 '\x7F"), "\"n\":\"Zo\xC3\xAB / \xF0\x9F\x98\x80 '\x7F\"");
}

TEST(JsonBuildersTest, QuotesBackslashesAndControlBytesAreEscaped) {
  EXPECT_EQ(JsonMakeStringPair("k", "a\"b\\c"), "\"k\":\"a\\\"b\\\\c\"");
  EXPECT_EQ(JsonMakeStringPair("k", "\n\r\t\b\f"), "\"k\":\"\\n\\r\\t\\b\\f\"");
  EXPECT_EQ(JsonMakeStringPair("k", std::string("\x01\x1f", 2)), "\"k\":\"\\u0001\\u001f\"");
  EXPECT_EQ(JsonMakeStringPair("k\"", "v"), "\"k\\\"\":\"v\"");

  // An injection attempt stays one member with the hostile text as its value.
  const std::string hostile = "x\",\"code\":\"1";
  std::string object = "{";
  object += JsonMakeStringPair("id", hostile);
  object += '}';
  auto root = JsonParse(object);
  ASSERT_TRUE(root);
  ASSERT_EQ(root->members().size(), 1u);
  EXPECT_EQ(root->members().Find("id")->text(), hostile);
}

TEST(JsonBuildersTest, EscapingAppendsAndEscapesSlashOnlyWhenAsked) {
  std::string out = "kept:";
  JsonAppendEscaped(&out, "a/b\"\x01");
  EXPECT_EQ(out, "kept:a/b\\\"\\u0001");
  out.clear();
  JsonAppendEscaped(&out, "</script> \\/", JsonSlash::kEscape);
  EXPECT_EQ(out, "<\\/script> \\\\\\/");
}

TEST(JsonBuildersTest, NumbersAreUnsigned32Bit) {
  EXPECT_EQ(JsonMakeNumberPair("code", 5), "\"code\":5");
  EXPECT_EQ(JsonMakeNumberPair("code", 0), "\"code\":0");
  EXPECT_EQ(JsonMakeNumberPair("code", -1), "\"code\":4294967295");
  EXPECT_EQ(JsonMakeNumberPair("code", std::numeric_limits<int32_t>::min()), "\"code\":2147483648");
  EXPECT_EQ(JsonMakeNumberPair("code", std::numeric_limits<int32_t>::max()), "\"code\":2147483647");
}

}  // namespace

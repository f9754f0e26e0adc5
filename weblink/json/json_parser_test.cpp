#include "weblink/json/json_parser.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <string_view>

#include "weblink/json/json_lookup.h"

namespace {

struct GrammarCase {
  const char* text;
  bool accepted;
};

// The web page's grammar, case by case: what it takes and what it refuses.
const GrammarCase kGrammarCases[] = {
    // Whitespace: exactly tab, line feed, carriage return and space.
    {" \t\r\n{\"a\":1} \t\r\n", true},
    {"{\"a\":1} x", false},
    {"{\"a\":1}x", false},
    {"", false},
    {" \t\r\n ", false},
    {"\f1", false},
    {"1\f", false},
    {"\v1", false},
    {"[1,\f2]", false},
    // Literals, in any case; only the literal itself is compared.
    {"TRUE", true},
    {"True", true},
    {"fAlSe", true},
    {"NULL", true},
    {"Null", true},
    {"[true,FALSE,null]", true},
    {"[truex]", false},
    {"truex", false},
    {"tru", false},
    {"nul", false},
    {"fals", false},
    // Numbers.
    {"0", true},
    {"-0", true},
    {"0.5", true},
    {"-12.25e2", true},
    {"3E-1", true},
    {"1e+5", true},
    {"1E5", true},
    {"-", false},
    {"-a", false},
    {"1.", false},
    {"1.e5", false},
    {"1e", false},
    {"1e+", false},
    {"1e-", false},
    {"01", false},
    {"-01", false},
    {"+1", false},
    {".5", false},
    {"[1.]", false},
    // Containers.
    {"[]", true},
    {"[ \t\r\n]", true},
    {"{}", true},
    {"{ \n }", true},
    {"[[],{}]", true},
    {"{\"a\":[1,{\"b\":null}],\"c\":\"d\"}", true},
    {"[1,]", false},
    {"[1,", false},
    {"[1 2]", false},
    {"[,1]", false},
    {"[", false},
    {"]", false},
    {"{\"a\":1,}", false},
    {"{\"a\":1,", false},
    {"{\"a\" 1}", false},
    {"{\"a\"}", false},
    {"{\"a\":}", false},
    {"{a:1}", false},
    {"{,}", false},
    {"{", false},
    {"{\"a\":1]", false},
    {"[1}", false},
    // Strings: control bytes and raw UTF-8 are taken as they are.
    {"\"ctl \x01\x1f\t\n end\"", true},
    {"\"\xC3\xA9\xF0\x9F\x98\x80\"", true},
    {"\"open", false},
    {"\"ends in backslash\\", false},
    {"'single'", false},
};

TEST(JsonParseTest, GrammarTable) {
  for (const GrammarCase& c : kGrammarCases) {
    JsonDocument root = JsonParse(c.text);
    EXPECT_EQ(static_cast<bool>(root), c.accepted) << "text: [" << c.text << "]";
  }
}

TEST(JsonParseTest, ValuesAndTags) {
  auto root = JsonParse("[\"s\",TRUE,false,Null,-12.25e2,3E-1,0.5,[1],{\"k\":2}]");
  ASSERT_TRUE(root);
  ASSERT_EQ(root->tag, kJsonTagArray);
  ASSERT_EQ(root->items().size(), 9u);
  EXPECT_EQ(root->items()[0].tag, kJsonTagString);
  EXPECT_EQ(root->items()[0].text(), "s");
  EXPECT_EQ(root->items()[1].tag, kJsonTagBool);
  EXPECT_TRUE(root->items()[1].flag());
  EXPECT_EQ(root->items()[2].tag, kJsonTagBool);
  EXPECT_FALSE(root->items()[2].flag());
  EXPECT_EQ(root->items()[3].tag, kJsonTagNull);
  EXPECT_EQ(root->items()[4].tag, kJsonTagNumber);
  EXPECT_DOUBLE_EQ(root->items()[4].number(), -1225);
  EXPECT_DOUBLE_EQ(root->items()[5].number(), 0.3);
  EXPECT_DOUBLE_EQ(root->items()[6].number(), 0.5);
  EXPECT_EQ(root->items()[7].tag, kJsonTagArray);
  EXPECT_EQ(root->items()[8].tag, kJsonTagObject);
  EXPECT_EQ(root->items()[8].members().Find("k")->number(), 2);
}

TEST(JsonParseTest, LastDuplicateWins) {
  auto root = JsonParse("{\"a\":{\"x\":[1,\"two\",{\"y\":null}]},\"b\":0,\"a\":2}");
  ASSERT_TRUE(root);
  EXPECT_EQ(root->members().Find("a")->tag, kJsonTagNumber);
  EXPECT_EQ(root->members().Find("a")->number(), 2);
  EXPECT_EQ(JsonGetNumber(root->members(), "a"), 2);
  EXPECT_EQ(JsonGetObject(root->members(), "a").size(), 0u);
}

TEST(JsonParseTest, MembersKeepTheTextsOrder) {
  auto root = JsonParse("{\"b\":1,\"\xC3\xA9\":2,\"B\":3,\"a\":4,\"\":5}");
  ASSERT_TRUE(root);
  std::string order;
  for (const JsonMember& member : root->members()) order += std::string(member.name) + ",";
  EXPECT_EQ(order, "b,\xC3\xA9,B,a,,");
  EXPECT_EQ(JsonGetNumber(root->members(), ""), 5);
  EXPECT_FALSE(JsonHasKey(root->members(), "A"));
}

// The text ends at its first NUL byte, as it did for C strings: what follows
// is never read, and a NUL inside a string or before the value is complete
// fails.
TEST(JsonParseTest, TheTextEndsAtANul) {
  using namespace std::string_view_literals;
  EXPECT_TRUE(JsonParse("{\"a\":1}\0garbage"sv));
  EXPECT_TRUE(JsonParse("[1] \0]"sv));
  EXPECT_TRUE(JsonParse("7\0"sv));
  EXPECT_FALSE(JsonParse("\0{}"sv));
  EXPECT_FALSE(JsonParse("\"a\0b\""sv));
  EXPECT_FALSE(JsonParse("\"long enough to scan by words\0 still inside\""sv));
  EXPECT_FALSE(JsonParse("[1,\0 2]"sv));
  EXPECT_FALSE(JsonParse("{\"a\"\0:1}"sv));
  EXPECT_FALSE(JsonParse("tr\0e"sv));
}

// Strings long enough for the word-wise scan, with the stop byte at each
// position of a word and escapes straddling word boundaries.
TEST(JsonParseTest, LongStringsStopAtTheRightByte) {
  for (size_t length = 0; length < 40; ++length) {
    const std::string body(length, 'x');
    auto plain = JsonParse("\"" + body + "\"");
    ASSERT_TRUE(plain) << length;
    EXPECT_EQ(plain->text(), body) << length;
    auto escaped = JsonParse("\"" + body + "\\\"" + body + "\\n\\u00e9" + body + "\"");
    ASSERT_TRUE(escaped) << length;
    EXPECT_EQ(escaped->text(), body + "\"" + body + "\n\xC3\xA9" + body) << length;
    EXPECT_FALSE(JsonParse("\"" + body)) << length;
    auto high = JsonParse("\"" + body + "\xFF\x80\xA2\xDC\"");
    ASSERT_TRUE(high) << length;
    EXPECT_EQ(high->text(), body + "\xFF\x80\xA2\xDC") << length;
  }
}

struct EscapeCase {
  const char* text;
  const char* value;  // null: the text must fail
};

const EscapeCase kEscapeCases[] = {
    {"\"\\\"\\\\\\/\\b\\f\\n\\r\\t\"", "\"\\/\b\f\n\r\t"},
    {"\"\\u0041\"", "A"},
    {"\"Zo\\u00eb\"", "Zo\xC3\xAB"},
    {"\"\\u00E9\\u12E9\"", "\xC3\xA9\xE1\x8B\xA9"},
    {"\"\\u20AC\"", "\xE2\x82\xAC"},
    {"\"\\u007f\\u0080\\u07FF\\u0800\\uFFFF\"", "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF"},
    {"\"\\uD83D\\uDE00\"", "\xF0\x9F\x98\x80"},
    {"\"\\udbff\\udfff\"", "\xF4\x8F\xBF\xBF"},
    // Lone surrogates become U+FFFD; the escape after a lone high one is read on its own.
    {"\"\\uD83D\"", "\xEF\xBF\xBD"},
    {"\"\\uD83Dx\"", "\xEF\xBF\xBDx"},
    {"\"\\uD83D\\u0041\"", "\xEF\xBF\xBD" "A"},
    {"\"\\uD83D\\uD83D\\uDE00\"", "\xEF\xBF\xBD\xF0\x9F\x98\x80"},
    {"\"\\uDE00\"", "\xEF\xBF\xBD"},
    {"\"\\u0000\"", nullptr},
    {"\"a\\u0000b\"", nullptr},
    {"\"\\x41\"", nullptr},
    {"\"\\U0041\"", nullptr},
    {"\"\\u12", nullptr},
    {"\"\\u12\"", nullptr},
    {"\"\\u12G4\"", nullptr},
    {"\"\\uD83D\\u12\"", nullptr},
    {"\"\\uD83D\\", nullptr},
};

TEST(JsonParseTest, Escapes) {
  for (const EscapeCase& c : kEscapeCases) {
    auto root = JsonParse(c.text);
    if (!c.value) {
      EXPECT_FALSE(root) << c.text;
      continue;
    }
    ASSERT_TRUE(root) << c.text;
    EXPECT_EQ(root->text(), c.value) << c.text;
  }
  auto root = JsonParse("{\"k\\u00e9y\":1}");
  ASSERT_TRUE(root);
  EXPECT_TRUE(JsonHasKey(root->members(), "k\xC3\xA9y"));
}

// Every proper prefix of a valid text must fail without reading past its end
// (each prefix sits in an exactly sized buffer for AddressSanitizer).
TEST(JsonParseTest, EveryPrefixOfAValidTextFailsCleanly) {
  const std::string text =
      "{\"type\":\"AC_SESSION_REQUEST_JOIN\",\"action\":{\"zone\":\"eu\\u00e9\",\"n\":-12.5e+2,"
      "\"ok\":TRUE,\"off\":false,\"none\":null,\"list\":[1,[],{},\"\\uD83D\\uDE00\"],"
      "\"nested\":{\"a\":{\"b\":[0.25,3E-1]}}}}";
  ASSERT_TRUE(JsonParse(text));
  for (size_t length = 0; length < text.size(); ++length) {
    auto buffer = std::make_unique<char[]>(length);
    std::memcpy(buffer.get(), text.data(), length);
    EXPECT_FALSE(JsonParse(std::string_view(buffer.get(), length))) << "prefix of " << length << " bytes";
  }
}

std::string Nested(int depth, const char* open, const char* inner, const char* close) {
  std::string text;
  for (int i = 0; i < depth; ++i) text += open;
  text += inner;
  for (int i = 0; i < depth; ++i) text += close;
  return text;
}

TEST(JsonParseTest, NestingIsLimited) {
  EXPECT_TRUE(JsonParse(Nested(kJsonMaxDepth, "[", "1", "]")));
  EXPECT_FALSE(JsonParse(Nested(kJsonMaxDepth + 1, "[", "1", "]")));
  EXPECT_TRUE(JsonParse(Nested(kJsonMaxDepth, "{\"a\":", "1", "}")));
  EXPECT_FALSE(JsonParse(Nested(kJsonMaxDepth + 1, "{\"a\":", "1", "}")));
  // A hostile text fails at the limit instead of exhausting the stack.
  EXPECT_FALSE(JsonParse(std::string(1000000, '[')));
  EXPECT_FALSE(JsonParse(Nested(100000, "[{\"a\":", "1", "}]")));
}

double ParseNumberText(const std::string& text) {
  auto root = JsonParse(text);
  EXPECT_TRUE(root) << text;
  return root ? root->number() : -1;
}

TEST(JsonParseTest, HugeExponentsReturnPromptly) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(ParseNumberText("1e2000000000"), inf);
  EXPECT_EQ(ParseNumberText("-1e2000000000"), -inf);
  EXPECT_EQ(ParseNumberText("1e99999999999999999999999999999999"), inf);
  EXPECT_EQ(ParseNumberText("1e-2000000000"), 0);
  EXPECT_EQ(ParseNumberText("0e2000000000"), 0);
  EXPECT_EQ(ParseNumberText("1e400"), inf);
  EXPECT_DOUBLE_EQ(ParseNumberText("1e308"), 1e308);
  EXPECT_GT(ParseNumberText("1e-320"), 0);  // a subnormal survives, as repeated division gives
  EXPECT_EQ(ParseNumberText(std::string(400, '9')), inf);
  EXPECT_EQ(ParseNumberText("0." + std::string(100000, '0') + "1"), 0);
}

// Integer parts are built as value x 10 + digit in doubles; the parser may
// take a faster road only where it gives the very same double.
TEST(JsonParseTest, IntegersMatchTheDigitByDigitDouble) {
  const char* const kDigits[] = {"9007199254740991", "9007199254740992", "9007199254740993",
                                 "90071992547409919", "18446744073709551615", "18446744073709551616",
                                 "123456789012345678901234567890", "900719925474099", "9007199254740999999"};
  for (const char* digits : kDigits) {
    double expected = 0;
    for (const char* p = digits; *p; ++p) expected = expected * 10 + (*p - '0');
    EXPECT_EQ(ParseNumberText(digits), expected) << digits;
    EXPECT_EQ(ParseNumberText(std::string("-") + digits), -expected) << digits;
  }
}

}  // namespace

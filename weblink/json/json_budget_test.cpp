// What a parse may cost: texts up to the pipe's 64 MiB frame limit must not
// turn into gigabytes of tree, and a refusal must be logged and reported.
#include <gtest/gtest.h>

#include <string>

#include "common/log_capture_testlib.h"
#include "weblink/json/json_lookup.h"
#include "weblink/json/json_parser.h"

namespace {

constexpr size_t kFrameLimit = size_t{64} << 20;

class JsonBudgetTest : public ::testing::Test {
 protected:
  bool Logged(const std::string& text) { return log_.Has(text); }

  vz::LogLineCapture log_;
};

// "[" then `count` copies of `element` joined by `separator`, then "]".
std::string ArrayText(size_t count, const std::string& element, const std::string& separator) {
  std::string text;
  text.reserve(1 + count * (element.size() + separator.size()) + 1);
  text += '[';
  for (size_t i = 0; i < count; ++i) {
    if (i) text += separator;
    text += element;
  }
  text += ']';
  return text;
}

TEST_F(JsonBudgetTest, AFrameOfZerosIsRefusedWithinASmallMultipleOfItsSize) {
  const std::string text = ArrayText(kFrameLimit / 2 - 1, "0", ",");
  ASSERT_LE(text.size(), kFrameLimit);
  const JsonDocument document = JsonParse(text);
  EXPECT_FALSE(document);
  EXPECT_EQ(document.error_for_testing(), JsonParseError::kOverBudget);
  // Refused before the tree grew past the working stack's cap.
  EXPECT_LE(document.peak_scratch_bytes_for_testing(), text.size() * 4 + 64 * 1024);
  EXPECT_EQ(document.arena_bytes_for_testing(), 0u);
  EXPECT_TRUE(Logged("JSON text of " + std::to_string(text.size()) + " bytes holds more than " +
                     std::to_string(JsonValueBudget(text.size())) + " values: refused"));
  EXPECT_EQ(document->tag, kJsonTagNull);
  EXPECT_TRUE(document->members().empty());
}

TEST_F(JsonBudgetTest, ATextAtTheBudgetParsesWithinFiveTimesItsSize) {
  // Four bytes a value: the densest text the budget takes whole.
  const size_t count = (size_t{16} << 20) / 4;
  const std::string text = ArrayText(count, "0", ",  ");
  const JsonDocument document = JsonParse(text);
  ASSERT_TRUE(document);
  ASSERT_EQ(document->items().size(), count);
  EXPECT_LE(document.arena_bytes_for_testing(), text.size() * 5);
  EXPECT_LE(document.peak_scratch_bytes_for_testing(), text.size() * 4 + 64 * 1024);
  EXPECT_TRUE(log_.lines().empty());
}

TEST_F(JsonBudgetTest, LongStringsCostTheirOwnLength) {
  // One large text, as a crash report or a relayed image brings.
  const std::string body(size_t{8} << 20, 'b');
  const JsonDocument document = JsonParse("{\"type\":\"LOG\",\"data\":\"" + body + "\"}");
  ASSERT_TRUE(document);
  EXPECT_EQ(JsonGetString(document->members(), "data").size(), body.size());
  EXPECT_LE(document.arena_bytes_for_testing(), body.size() + (size_t{2} << 20));
}

struct BudgetCase {
  const char* name;
  std::string text;
};

// Member names and nested containers count as much as scalars; every shape
// past the budget fails the same way.
TEST_F(JsonBudgetTest, EveryShapeOfExcessIsRefused) {
  const size_t over = 8192;
  const BudgetCase cases[] = {
      {"names", "{" + std::string(ArrayText(over, "\"\":0", ",")).substr(1, std::string::npos)},
      {"empty arrays", ArrayText(over, "[]", ",")},
      {"empty objects", ArrayText(over, "{}", ",")},
      {"numbers", ArrayText(over, "7", ",")},
      {"nested", ArrayText(over / 8, "[[[0]]]", ",")},
  };
  for (const BudgetCase& c : cases) {
    std::string text = c.text;
    if (c.text[0] == '{') text.back() = '}';
    log_.Clear();
    const JsonDocument document = JsonParse(text);
    EXPECT_EQ(document.error_for_testing(), JsonParseError::kOverBudget) << c.name;
    EXPECT_TRUE(Logged("values: refused")) << c.name;
  }
  // Just within: a small text may be as dense as it likes up to the slack.
  EXPECT_TRUE(JsonParse(ArrayText(1000, "0", ",")));
}

TEST_F(JsonBudgetTest, SyntaxErrorsAreSilentAndDepthIsLogged) {
  EXPECT_EQ(JsonParse("[1,]").error_for_testing(), JsonParseError::kSyntax);
  EXPECT_TRUE(log_.lines().empty());
  EXPECT_EQ(JsonParse(std::string(300, '[')).error_for_testing(), JsonParseError::kTooDeep);
  EXPECT_TRUE(Logged("nests deeper than 256: refused"));
}

}  // namespace

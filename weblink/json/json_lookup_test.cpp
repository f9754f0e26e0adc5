#include "weblink/json/json_lookup.h"

#include <gtest/gtest.h>

#include <limits>
#include <utility>

#include "weblink/json/json_parser.h"

namespace {

constexpr int32_t kInt32Min = std::numeric_limits<int32_t>::min();

class JsonLookupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = JsonParse(
        "{\"s\":\"text\",\"n\":2.9,\"m\":-2.9,\"t\":true,\"f\":false,\"z\":null,"
        "\"o\":{\"k\":1},\"a\":[1,\"x\"],\"zero\":0,\"big\":1e10,\"inf\":1e400}");
    ASSERT_TRUE(root_);
  }
  JsonMembers members() const { return root_->members(); }
  JsonDocument root_;
};

TEST_F(JsonLookupTest, EachLookupTakesOnlyItsOwnTag) {
  EXPECT_EQ(JsonGetString(members(), "s"), "text");
  EXPECT_EQ(JsonGetString(members(), "n"), "");
  EXPECT_EQ(JsonGetString(members(), "z"), "");
  EXPECT_EQ(JsonGetString(members(), "missing"), "");

  EXPECT_EQ(JsonGetNumber(members(), "n"), 2);
  EXPECT_EQ(JsonGetNumber(members(), "m"), -2);
  EXPECT_EQ(JsonGetNumber(members(), "t"), 0);
  EXPECT_EQ(JsonGetNumber(members(), "s"), 0);
  EXPECT_EQ(JsonGetNumber(members(), "missing"), 0);

  EXPECT_TRUE(JsonGetBool(members(), "t"));
  EXPECT_FALSE(JsonGetBool(members(), "f"));
  EXPECT_FALSE(JsonGetBool(members(), "n"));
  EXPECT_FALSE(JsonGetBool(members(), "s"));
  EXPECT_FALSE(JsonGetBool(members(), "missing"));

  EXPECT_EQ(JsonGetObject(members(), "o").size(), 1u);
  EXPECT_TRUE(JsonGetObject(members(), "a").empty());
  EXPECT_EQ(JsonGetArray(members(), "a").size(), 2u);
  EXPECT_TRUE(JsonGetArray(members(), "o").empty());

  EXPECT_TRUE(JsonHasKey(members(), "z"));
  EXPECT_TRUE(JsonHasKey(members(), "zero"));
  EXPECT_FALSE(JsonHasKey(members(), "missing"));
}

TEST_F(JsonLookupTest, NumbersOutsideInt32GiveTheDefinedValue) {
  EXPECT_EQ(JsonGetNumber(members(), "big"), kInt32Min);
  EXPECT_EQ(JsonGetNumber(members(), "inf"), kInt32Min);
  EXPECT_EQ(JsonNumberToInt32(2147483647.9), 2147483647);
  EXPECT_EQ(JsonNumberToInt32(2147483648.0), kInt32Min);
  EXPECT_EQ(JsonNumberToInt32(-2147483648.9), kInt32Min);
  EXPECT_EQ(JsonNumberToInt32(-2147483649.0), kInt32Min);
  EXPECT_EQ(JsonNumberToInt32(-std::numeric_limits<double>::infinity()), kInt32Min);
  EXPECT_EQ(JsonNumberToInt32(std::numeric_limits<double>::quiet_NaN()), kInt32Min);
  EXPECT_EQ(JsonNumberToInt32(-0.5), 0);
}

TEST_F(JsonLookupTest, TagFourCountsAsANumber) {
  JsonMember member{"k", JsonValue::Number(7.5)};
  member.value.tag = kJsonTagNumberAlt;
  const JsonMembers local(&member, 1);
  EXPECT_EQ(JsonGetNumber(local, "k"), 7);
  EXPECT_EQ(JsonGetString(local, "k"), "");
}

TEST_F(JsonLookupTest, ViewsPointIntoTheDocument) {
  const JsonMembers object = JsonGetObject(members(), "o");
  const JsonItems items = JsonGetArray(members(), "a");
  EXPECT_EQ(object.Find("k"), members().Find("o")->members().Find("k"));
  EXPECT_EQ(&items[1], &members().Find("a")->items()[1]);
  EXPECT_EQ(items[1].text(), "x");
  // The document moves; what it holds stays where it was.
  const JsonDocument moved = std::move(root_);
  EXPECT_EQ(items[1].text(), "x");
  EXPECT_EQ(JsonGetNumber(moved->members(), "zero"), 0);
  EXPECT_EQ(JsonGetNumber(object, "k"), 1);
}

// Of repeated names the last counts, for every look-up alike.
TEST(JsonLookupDuplicatesTest, TheLastNameWinsForEveryLookup) {
  const JsonDocument root = JsonParse("{\"k\":\"s\",\"k\":3,\"o\":{\"a\":1},\"o\":[1,2],\"o\":{\"b\":2}}");
  ASSERT_TRUE(root);
  EXPECT_EQ(JsonGetString(root->members(), "k"), "");
  EXPECT_EQ(JsonGetNumber(root->members(), "k"), 3);
  EXPECT_FALSE(JsonHasKey(JsonGetObject(root->members(), "o"), "a"));
  EXPECT_EQ(JsonGetNumber(JsonGetObject(root->members(), "o"), "b"), 2);
  EXPECT_TRUE(JsonGetArray(root->members(), "o").empty());
}

}  // namespace

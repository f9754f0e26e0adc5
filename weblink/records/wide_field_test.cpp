#include "weblink/records/wide_field.h"

#include <gtest/gtest.h>

#include <string>

#include "common/log_capture_testlib.h"
#include "weblink/records/record_fixture_testlib.h"

namespace {

// A field with a guard on each side, to see that nothing is written outside.
struct GuardedField {
  char16_t before[4];
  char16_t field[128];
  char16_t after[4];
};

GuardedField Filled() {
  GuardedField g;
  for (char16_t& c : g.before) c = u'#';
  for (char16_t& c : g.field) c = u'x';
  for (char16_t& c : g.after) c = u'#';
  return g;
}

bool AllZero(const char16_t* field, size_t capacity) {
  for (size_t i = 0; i < capacity; ++i) {
    if (field[i] != 0) return false;
  }
  return true;
}

bool GuardsIntact(const GuardedField& g) {
  for (int i = 0; i < 4; ++i) {
    if (g.before[i] != u'#' || g.after[i] != u'#') return false;
  }
  return true;
}

TEST(WideFieldTest, CapacityRule) {
  vz::LogLineCapture log;
  GuardedField g = Filled();
  EXPECT_TRUE(StoreWideField(g.field, std::string(127, 'm'), "MeetId"));
  EXPECT_EQ(std::u16string(g.field), std::u16string(127, u'm'));
  EXPECT_TRUE(GuardsIntact(g));
  EXPECT_TRUE(log.lines().empty());

  g = Filled();
  EXPECT_FALSE(StoreWideField(g.field, std::string(128, 'm'), "MeetId"));
  EXPECT_TRUE(AllZero(g.field, 128));
  EXPECT_TRUE(GuardsIntact(g));
  EXPECT_TRUE(log.Has("*** ERROR ****** >MeetId is 128 characters, more than the 127 its field holds: left empty<"));
}

TEST(WideFieldTest, ANonBmpCharacterCountsTwo) {
  const std::string emoji = "\xF0\x9F\x98\x80";  // U+1F600, a surrogate pair
  GuardedField g = Filled();
  EXPECT_FALSE(StoreWideField(g.field, std::string(126, 'a') + emoji, "Name"));
  EXPECT_TRUE(AllZero(g.field, 128));

  EXPECT_TRUE(StoreWideField(g.field, std::string(125, 'a') + emoji, "Name"));
  EXPECT_EQ(std::u16string(g.field), std::u16string(125, u'a') + u"\U0001F600");
  // Two-byte and three-byte UTF-8 characters count one unit each.
  EXPECT_TRUE(StoreWideField(g.field, "\xC3\xA9\xE2\x82\xAC", "Name"));
  EXPECT_EQ(std::u16string(g.field), u"\u00E9\u20AC");
  EXPECT_TRUE(GuardsIntact(g));
}

TEST(WideFieldTest, InvalidUtf8BecomesReplacementCharacters) {
  GuardedField g = Filled();
  EXPECT_TRUE(StoreWideField(g.field, "a\xFF" "b\xC3", "Name"));
  EXPECT_EQ(std::u16string(g.field), u"a\uFFFDb\uFFFD");
  EXPECT_TRUE(StoreWideField(g.field, "", "Name"));
  EXPECT_TRUE(AllZero(g.field, 128));
}

}  // namespace

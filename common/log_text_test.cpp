#include "common/log_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "common/log_text_testlib.h"

namespace vz {
namespace {

using namespace std::string_literals;

std::string LineSafe(std::string_view text) {
  std::string out;
  AppendLineSafeText(&out, text);
  return out;
}

TEST(LogTextTest, ControlBytesBrokenUtf8AndCharactersThatBreakALineAreEscapedAndTheRestKept) {
  const struct {
    std::string text;
    std::string safe;
  } cases[] = {
      {"B", "B"},
      {"s1\r\n2026-01-01 forged line", "s1\\x0D\\x0A2026-01-01 forged line"},
      {"tab\there\x1B[2J\x7F", "tab\\x09here\\x1B[2J\\x7F"},
      {"C:\\dir\\", "C:\\dir\\"},  // the writer keeps backslashes; LogText doubles them
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},  // é € 😀
      {"\xC3", "\\xC3"},                              // cut short
      {"\xC3(", "\\xC3("},                            // not followed by a continuation
      {"\xC0\xAF", "\\xC0\\xAF"},                     // overlong "/"
      {"\xE0\x80\xAF", "\\xE0\\x80\\xAF"},            // overlong, three bytes
      {"\xED\xA0\x80", "\\xED\\xA0\\x80"},            // a surrogate
      {"\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},  // past U+10FFFF
      {"\xFF\xFE", "\\xFF\\xFE"},
      {"\xC2\x85", "\\u0085"},                        // NEL, a C1 control
      {"a\xE2\x80\xA8" "b", "a\\u2028b"},             // line separator
      {"\xE2\x80\xAE" "fdp.exe", "\\u202Efdp.exe"},   // right-to-left override
      {"\xE2\x81\xA6x\xE2\x81\xA9", "\\u2066x\\u2069"},
  };
  char buffer[64];
  for (const auto& c : cases) {
    EXPECT_EQ(LineSafe(c.text), c.safe) << ::testing::PrintToString(c.text);
    // The crash report's form, into a fixed buffer, writes the same.
    EXPECT_EQ(std::string(buffer, WriteLineSafeText(buffer, sizeof(buffer), c.text)), c.safe)
        << ::testing::PrintToString(c.text);
  }
  // Cut for room, it ends between whole characters and escapes.
  const std::string text = "a\n\xE2\x80\xA8\xC3\xA9";  // a, line end, line separator, é
  for (const auto& [capacity, cut] : std::vector<std::pair<size_t, std::string>>{
           {1, ""}, {5, "a"}, {6, "a\\x0A"}, {11, "a\\x0A"}, {12, "a\\x0A\\u2028"}, {13, "a\\x0A\\u2028"},
           {14, "a\\x0A\\u2028\xC3\xA9"}}) {
    std::fill(std::begin(buffer), std::end(buffer), 'z');
    EXPECT_EQ(WriteLineSafeText(buffer, capacity, text), cut.size()) << capacity;
    EXPECT_EQ(std::string(buffer), cut) << capacity;
  }
  EXPECT_EQ(WriteLineSafeText(buffer, 0, text), 0u);
  std::string out = "kept ";
  AppendLineSafeText(&out, "\n");
  EXPECT_EQ(out, "kept \\x0A");
}

// Printable runs are copied a word at a time: what ends a run is escaped
// wherever it falls in a word, and a run cut for room keeps what fits.
TEST(LogTextTest, WhatEndsALongPrintableRunIsEscapedWhereverItFalls) {
  const struct {
    std::string character;
    std::string safe;
  } ends[] = {{"\n", "\\x0A"}, {"\x7F", "\\x7F"}, {"\xC2\x85", "\\u0085"}, {"\xFF", "\\xFF"},
              {"\xC3\xA9", "\xC3\xA9"}, {"\xE2\x80\xA8", "\\u2028"}};
  for (size_t length = 0; length < 20; ++length) {
    const std::string run(length, 'a');
    for (const auto& end : ends) {
      EXPECT_EQ(LineSafe(run + end.character + run), run + end.safe + run) << length;
    }
    EXPECT_EQ(LogText(run + "\\" + run), run + "\\\\" + run) << length;
  }
  char buffer[16];
  const std::string text = std::string(30, 'b') + "\n";
  EXPECT_EQ(std::string(buffer, WriteLineSafeText(buffer, sizeof(buffer), text)), std::string(15, 'b'));
}

TEST(LogTextTest, LogTextKeepsEveryByteOfTheValueAndDoublesBackslashes) {
  EXPECT_EQ(LogText("B"), "B");
  EXPECT_EQ(LogText("B\0"s), "B\\x00");
  EXPECT_EQ(LogText("B\\x00"), "B\\\\x00");
  EXPECT_EQ(LogText("a\r\n\xFF\xC2\x85"), "a\\x0D\\x0A\\xFF\\u0085");
  EXPECT_EQ(LineSafe(LogText("x\0\n\\y"s)), LogText("x\0\n\\y"s)) << "the writer finds nothing more to escape";
}

TEST(LogTextTest, WideTextIsMadeLineSafeAlikeAndALoneSurrogateWrittenByItsUnit) {
  EXPECT_EQ(LineSafeText(u"a\r\nb\\"), u"a\\x0D\\x0Ab\\");
  EXPECT_EQ(LineSafeText(u"\u0085\u2028\u202E\u00E9"), u"\\u0085\\u2028\\u202E\u00E9");
  EXPECT_EQ(LineSafeText(u"\U0001F600"), u"\U0001F600");  // a whole pair
  EXPECT_EQ(LineSafeText(std::u16string(1, char16_t{0xD83D}) + u"x"), u"\\uD83Dx");
  EXPECT_EQ(LineSafeText(std::u16string(1, char16_t{0xDE00})), u"\\uDE00");
}

// Whatever the bytes, LogText gives one line of well-formed text that reads
// back as them: two values never log alike.
TEST(LogTextTest, AnyBytesGivePrintableUtf8ThatReadsBackAsThem) {
  std::mt19937 random(49);
  // Bytes weighted toward the interesting ones.
  const std::string alphabet = "a\\x\n\r\0\x7F\xC2\x85\xE2\x80\xA8\xAE\xED\xA0\xF0\x9F\x98\xFF\xC3\xA9"s;
  for (int round = 0; round < 20000; ++round) {
    std::string value(random() % 12, '\0');
    for (char& c : value) c = round % 2 == 0 ? alphabet[random() % alphabet.size()] : static_cast<char>(random());
    const std::string text = LogText(value);
    std::string back;
    ASSERT_TRUE(testing::UnescapeLogText(text, &back)) << ::testing::PrintToString(text);
    ASSERT_EQ(back, value) << ::testing::PrintToString(text);
  }
}

}  // namespace
}  // namespace vz

#include "common/text_scrambler.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <random>
#include <string>

namespace vz {
namespace {

// Builds a scrambled text by hand for any key offset and filler count, as a
// producer with another generator would.
std::string HandScrambled(unsigned k, unsigned n, const std::string& plain) {
  const std::string_view key = ScramblingKey();
  char digits[3];
  std::string text;
  auto append = [&](unsigned value) {
    std::snprintf(digits, sizeof(digits), "%02x", value & 0xff);
    text += digits;
  };
  append(k);
  append(0xa4 | n);  // the high bits carry no meaning
  for (unsigned i = 0; i < n; ++i) append(0x5a + i);
  size_t at = k;
  for (const char c : plain) {
    append(static_cast<unsigned char>(c) ^ static_cast<unsigned char>(key[at]));
    at = (at + 1) % key.size();
  }
  return text;
}

TEST(TextScramblerKey, HoldsNineHundredNinetyTwoPrintableCharacters) {
  const std::string_view key = ScramblingKey();
  ASSERT_EQ(key.size(), 992u);
  for (const char c : key) EXPECT_TRUE(c > 0x20 && c < 0x7f) << static_cast<int>(c);
}

TEST(TextScrambler, GoldenVectorAndSameTextEveryCall) {
  std::string first, second;
  const int figure = ScrambleHexText("proxy-pass", 1023, &first);
  ScrambleHexText("proxy-pass", 1023, &second);
  EXPECT_EQ(first, second);
  // The generator seeded with 255 gives k = 0x67 and three filler bytes.
  EXPECT_EQ(first, "67935ad6df380b5c130d07485c2917");
  EXPECT_EQ(figure, static_cast<int>(first.size()) + 2);
}

TEST(TextScrambler, RoundTripsRandomBytesOfEveryValue) {
  std::mt19937 random(7);
  for (int length = 1; length <= 511; length += 17) {
    std::string plain(length, '\0');
    for (char& c : plain) c = static_cast<char>(1 + random() % 255);
    SCOPED_TRACE(testing::Message() << "length " << length);
    std::string hex, back;
    ASSERT_GT(ScrambleHexText(plain, 1100, &hex), 0);
    EXPECT_EQ(DescrambleHexText(hex, 1023, &back), length);
    EXPECT_EQ(back, plain);
  }
}

TEST(TextScrambler, DescramblesAnyOffsetAndFillerCountAcrossTheKeyEnd) {
  std::string plain;
  for (int i = 0; i < 800; ++i) plain.push_back(static_cast<char>(1 + i % 250));
  for (unsigned k : {0u, 1u, 200u, 254u, 255u}) {
    for (unsigned n = 0; n < 4; ++n) {
      std::string back;
      EXPECT_EQ(DescrambleHexText(HandScrambled(k, n, plain), 2000, &back), 800) << "k=" << k << " n=" << n;
      EXPECT_EQ(back, plain) << "k=" << k << " n=" << n;  // 255 + 800 wraps the key
    }
  }
}

TEST(TextScrambler, UpperCaseDigitsReadLikeLowerCase) {
  std::string hex = HandScrambled(17, 2, "MixedCase");
  for (char& c : hex) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  std::string back;
  EXPECT_EQ(DescrambleHexText(hex, 100, &back), 9);
  EXPECT_EQ(back, "MixedCase");
}

TEST(TextScramblerMalformed, ShortOddAndNonHexTextsDecodeNothingBeyondTheirValidPairs) {
  std::string back;
  for (const char* text : {"", "6", "67", "67b"}) {
    EXPECT_EQ(DescrambleHexText(text, 100, &back), 0) << text;
    EXPECT_TRUE(back.empty()) << text;
  }
  // Exactly 4 + 2n digits: a header and nothing behind it.
  EXPECT_EQ(DescrambleHexText(HandScrambled(5, 3, ""), 100, &back), 0);
  EXPECT_EQ(DescrambleHexText("0a01", 100, &back), 0);
  // The header announces fillers that are not there.
  EXPECT_EQ(DescrambleHexText("0a0311", 100, &back), 0);
  // A header that is not hex.
  EXPECT_EQ(DescrambleHexText("zz00" + HandScrambled(0, 0, "abc").substr(4), 100, &back), 0);

  const std::string good = HandScrambled(9, 1, "abcd");
  // A lone trailing digit is not a pair.
  EXPECT_EQ(DescrambleHexText(good + "7", 100, &back), 4);
  EXPECT_EQ(back, "abcd");
  // Decoding stops at the first character that is not hex.
  std::string broken = good;
  broken[good.size() - 3] = 'g';
  EXPECT_EQ(DescrambleHexText(broken, 100, &back), 2);
  EXPECT_EQ(back, "ab");
  // Digits after an embedded terminator are not read.
  EXPECT_EQ(DescrambleHexText(std::string_view(good.c_str(), good.size() - 2), 100, &back), 3);
}

TEST(TextScramblerLimits, DescramblingStopsAfterTheLimitAndCountsZeroBytes) {
  std::string back;
  EXPECT_EQ(DescrambleHexText(HandScrambled(3, 0, "abcdef"), 4, &back), 4);
  EXPECT_EQ(back, "abcd");
  EXPECT_EQ(DescrambleHexText(HandScrambled(3, 0, "abc"), 0, &back), 0);

  // A pair that decodes to zero is counted and left out.
  const std::string_view key = ScramblingKey();
  char pair[3];
  std::snprintf(pair, sizeof(pair), "%02x", static_cast<unsigned char>(key[3]));
  const std::string with_zero = HandScrambled(3, 0, "") + pair;
  EXPECT_EQ(DescrambleHexText(with_zero, 10, &back), 1);
  EXPECT_TRUE(back.empty());
}

TEST(TextScramblerLimits, ScramblingNeverPassesTheLimit) {
  const std::string plain(600, 'x');
  for (int limit = -1; limit < 40; ++limit) {
    std::string hex;
    const int figure = ScrambleHexText(plain, limit, &hex);
    if (limit < 11) {  // the header with three fillers and the terminator need 11
      EXPECT_EQ(figure, 0) << limit;
      EXPECT_TRUE(hex.empty()) << limit;
    } else {
      EXPECT_LE(static_cast<int>(hex.size()), limit - 1) << limit;
      EXPECT_EQ(figure, static_cast<int>(hex.size()) + 2) << limit;
    }
  }
  // The usual limit keeps 505 bytes of a longer text: the figure stops above 1,020.
  std::string hex, back;
  EXPECT_EQ(ScrambleHexText(plain, 1023, &hex), 1022);
  EXPECT_EQ(hex.size(), 1020u);
  EXPECT_EQ(DescrambleHexText(hex, 1023, &back), 505);
  // The plain text ends at its first zero byte.
  ScrambleHexText(std::string_view("ab\0cd", 5), 1023, &hex);
  EXPECT_EQ(DescrambleHexText(hex, 100, &back), 2);
}

}  // namespace
}  // namespace vz

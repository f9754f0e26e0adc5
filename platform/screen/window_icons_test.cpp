// The window icon property read from items as another program may set them:
// well-formed lists of sizes, and cut, oversized and lying ones.
#include "platform/screen/window_icons.h"

#include <gtest/gtest.h>

#include <vector>

namespace vz {
namespace {

std::vector<unsigned long> Icon(unsigned long width, unsigned long height, uint32_t first_pixel) {
  std::vector<unsigned long> items{width, height};
  for (unsigned long i = 0; i < width * height; ++i) items.push_back(first_pixel + i);
  return items;
}

std::vector<unsigned long> Join(std::initializer_list<std::vector<unsigned long>> parts) {
  std::vector<unsigned long> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

TEST(WindowIconsTest, EverySizeComesInOrderWithItsOwnPixels) {
  const auto items = Join({Icon(2, 3, 0xFF000010), Icon(1, 1, 0x80FFFFFF), Icon(4, 2, 0x00000000)});
  const std::vector<ScreenIcon> icons = ParseWindowIcons(items);
  ASSERT_EQ(icons.size(), 3u);
  EXPECT_EQ(icons[0].width, 2);
  EXPECT_EQ(icons[0].height, 3);
  EXPECT_EQ(icons[0].argb, (std::vector<uint32_t>{0xFF000010, 0xFF000011, 0xFF000012, 0xFF000013, 0xFF000014,
                                                  0xFF000015}));
  EXPECT_EQ(icons[1].argb, (std::vector<uint32_t>{0x80FFFFFF}));
  EXPECT_EQ(icons[2].width, 4);
  EXPECT_EQ(icons[2].argb.size(), 8u);
  EXPECT_EQ(icons[2].argb.back(), 7u);
}

TEST(WindowIconsTest, ADamagedEntryEndsTheListAndKeepsTheIconsBeforeIt) {
  const auto good = Icon(2, 2, 0xFF112233);
  // Pixels cut short: the last size claims one more pixel than is there.
  auto cut = Join({good, Icon(3, 3, 1)});
  cut.pop_back();
  EXPECT_EQ(ParseWindowIcons(cut).size(), 1u);
  // A size alone, with no room for a height.
  auto lonely = good;
  lonely.push_back(16);
  EXPECT_EQ(ParseWindowIcons(lonely).size(), 1u);
  // Zero sides and sides above the limit are damage, not empty icons.
  EXPECT_EQ(ParseWindowIcons(Join({good, {0, 5}, good})).size(), 1u);
  EXPECT_EQ(ParseWindowIcons(Join({good, {5, 0}, good})).size(), 1u);
  EXPECT_EQ(ParseWindowIcons(Join({good, {kMaxWindowIconSide + 1ul, 1}, good})).size(), 1u);
  // Sides whose product overflows 32 bits, or that are negative numbers
  // sign-extended into a long, never pass for a small area.
  EXPECT_TRUE(ParseWindowIcons(std::vector<unsigned long>{0x10000, 0x10000, 1, 2}).empty());
  EXPECT_TRUE(ParseWindowIcons(std::vector<unsigned long>{static_cast<unsigned long>(-1L), 1, 1}).empty());
  // The largest allowed side still parses when all of its pixels are there.
  EXPECT_EQ(ParseWindowIcons(Icon(kMaxWindowIconSide, 1, 0)).size(), 1u);
  EXPECT_TRUE(ParseWindowIcons({}).empty());
}

// A 1024 pixel icon comes first and every smaller size after it is still
// read; what lies past the most the parser reads is not, even when it is
// there.
TEST(WindowIconsTest, TheLargestIconWithEverySmallerSizeIsReadAndNothingPastTheBound) {
  std::vector<unsigned long> items = Icon(kMaxWindowIconSide, kMaxWindowIconSide, 0xFF000000);
  for (unsigned long side : {512ul, 256ul, 128ul, 96ul, 64ul, 48ul, 32ul, 24ul, 16ul}) {
    const auto icon = Icon(side, side, 0xFF000000);
    items.insert(items.end(), icon.begin(), icon.end());
  }
  ASSERT_EQ(items.size(), kMaxWindowIconItems);
  const std::vector<ScreenIcon> icons = ParseWindowIcons(items);
  ASSERT_EQ(icons.size(), 10u);
  EXPECT_EQ(icons.front().width, kMaxWindowIconSide);
  EXPECT_EQ(icons.back().width, 16);
  // One more 1x1 icon beyond the bound is not read.
  const auto extra = Icon(1, 1, 0xFFFFFFFF);
  items.insert(items.end(), extra.begin(), extra.end());
  EXPECT_EQ(ParseWindowIcons(items).size(), 10u);
}

TEST(WindowIconsTest, OnlyTheLow32BitsOfAPixelItemCount) {
  const std::vector<unsigned long> items{1, 1, static_cast<unsigned long>(0xFFFFFFFF80402010ull)};
  const auto icons = ParseWindowIcons(items);
  ASSERT_EQ(icons.size(), 1u);
  EXPECT_EQ(icons[0].argb[0], 0x80402010u);
}

}  // namespace
}  // namespace vz

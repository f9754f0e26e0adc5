#include "platform/screen/damage_rects.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace vz {
namespace {

bool Covered(const std::vector<ScreenRect>& rects, const ScreenRect& r) {
  for (const ScreenRect& k : rects)
    if (r.x >= k.x && r.y >= k.y && r.x + r.width <= k.x + k.width && r.y + r.height <= k.y + k.height) return true;
  return false;
}

TEST(DamageRectsTest, AFloodOfReportsStaysBoundedAndEveryReportStaysCovered) {
  std::vector<ScreenRect> rects;
  std::vector<ScreenRect> added;
  for (int i = 0; i < 500; ++i) {
    const ScreenRect r{(i * 97) % 3800, (i * 61) % 2100, 1 + i % 40, 1 + i % 25};
    added.push_back(r);
    AddDamageRect(&rects, r);
    ASSERT_LE(rects.size(), kMaxDamageRects) << "after report " << i;
  }
  for (const ScreenRect& r : added) EXPECT_TRUE(Covered(rects, r)) << r.x << "," << r.y;
  // A bound of 0 still keeps one box.
  std::vector<ScreenRect> one;
  AddDamageRect(&one, {0, 0, 10, 10}, 0);
  AddDamageRect(&one, {100, 100, 10, 10}, 0);
  EXPECT_EQ(one, (std::vector<ScreenRect>{{0, 0, 110, 110}}));
}

// Near boxes merge before far ones, so two far apart windows stay two boxes.
TEST(DamageRectsTest, TheClosestBoxesMergeAndContainedOnesAddNothing) {
  std::vector<ScreenRect> rects;
  AddDamageRect(&rects, {0, 0, 100, 100}, 2);
  AddDamageRect(&rects, {10, 10, 5, 5}, 2);
  EXPECT_EQ(rects.size(), 1u);
  AddDamageRect(&rects, {3000, 2000, 10, 10}, 2);
  AddDamageRect(&rects, {100, 0, 20, 100}, 2);
  EXPECT_EQ(rects, (std::vector<ScreenRect>{{0, 0, 120, 100}, {3000, 2000, 10, 10}}));
  // A report over kept boxes replaces them.
  AddDamageRect(&rects, {-10, -10, 200, 200}, 2);
  EXPECT_EQ(rects, (std::vector<ScreenRect>{{3000, 2000, 10, 10}, {-10, -10, 200, 200}}));
}

TEST(DamageRectsTest, EmptyAndExtremeReportsAreSafe) {
  std::vector<ScreenRect> rects;
  AddDamageRect(&rects, {5, 5, 0, 10});
  AddDamageRect(&rects, {5, 5, 10, -1});
  EXPECT_TRUE(rects.empty());
  AddDamageRect(&rects, {INT_MAX - 1, INT_MAX - 1, INT_MAX, INT_MAX});
  AddDamageRect(&rects, {INT_MIN, INT_MIN, INT_MAX, INT_MAX});
  for (const ScreenRect& r : rects) {
    SCOPED_TRACE("box at " + std::to_string(r.x) + "," + std::to_string(r.y));
    EXPECT_GT(r.width, 0);
    EXPECT_GT(r.height, 0);
    EXPECT_LE(static_cast<long long>(r.x) + r.width, INT_MAX);
  }
}

}  // namespace
}  // namespace vz

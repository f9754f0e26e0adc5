#include "capture/monitors/screen_region.h"

#include <gtest/gtest.h>

namespace {

bool SameRect(const VzRect& a, const VzRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(ScreenRegionTest, EmptyRectanglesGiveNoRegion) {
  EXPECT_TRUE(CScreenRegion(VzRect{5, 5, 5, 10}).IsEmpty());
  EXPECT_TRUE(CScreenRegion(VzRect{5, 5, 10, 4}).IsEmpty());
  EXPECT_TRUE(SameRect(CScreenRegion().Box(), {0, 0, 0, 0}));
}

TEST(ScreenRegionTest, OperationsGiveTheSamePixelsWhateverTheOrder) {
  CScreenRegion a(VzRect{0, 0, 100, 100});
  a.Subtract(CScreenRegion(VzRect{40, 40, 60, 60}));  // a ring
  EXPECT_FALSE(a.Contains(50, 50));
  EXPECT_TRUE(a.Contains(39, 50));
  EXPECT_TRUE(a.Contains(60, 50));
  EXPECT_FALSE(a.Contains(100, 50));
  EXPECT_TRUE(SameRect(a.Box(), {0, 0, 100, 100}));

  // The same ring built from four strips compares equal.
  CScreenRegion b(VzRect{0, 0, 100, 40});
  b.Union(CScreenRegion(VzRect{0, 60, 100, 100}));
  b.Union(CScreenRegion(VzRect{0, 40, 40, 60}));
  b.Union(CScreenRegion(VzRect{60, 40, 100, 60}));
  EXPECT_EQ(a, b);

  // Filling the hole gives back the plain square.
  b.Union(CScreenRegion(VzRect{40, 40, 60, 60}));
  EXPECT_EQ(b, CScreenRegion(VzRect{0, 0, 100, 100}));
  EXPECT_EQ(b.Rects().size(), 1u);

  CScreenRegion c(VzRect{0, 0, 100, 100});
  c.Intersect(CScreenRegion(VzRect{90, 95, 200, 200}));
  EXPECT_EQ(c, CScreenRegion(VzRect{90, 95, 100, 100}));
  c.Offset(-90, -95);
  EXPECT_EQ(c, CScreenRegion(VzRect{0, 0, 10, 5}));
  c.Subtract(CScreenRegion(VzRect{0, 0, 10, 5}));
  EXPECT_TRUE(c.IsEmpty());
}

// A region of many rectangles (a heavily overlapped shared area) is not
// empty, however large its description grows.
TEST(ScreenRegionTest, ManyRectanglesStayARegion) {
  CScreenRegion region(VzRect{0, 0, 2000, 2000});
  for (int i = 0; i < 100; ++i) region.Subtract(CScreenRegion(VzRect{i * 20, i * 20, i * 20 + 10, i * 20 + 10}));
  EXPECT_GT(region.Rects().size(), 62u);
  EXPECT_FALSE(region.IsEmpty());
  EXPECT_FALSE(region.Contains(5, 5));
  EXPECT_TRUE(region.Contains(15, 5));
}

}  // namespace

// The element shapes: growth and damage, bounds, hit tests, copies and the
// arrow's outline, at exact values.
#include "client/annotation/draw_element.h"

#include <gtest/gtest.h>

#include <limits>
#include <typeinfo>

namespace {

using vz::Point;
using vz::Rect;
using Points = std::vector<Point>;

template <typename T>
bool IsExactly(const CDrawElement& element) {
  return typeid(element) == typeid(T);
}

TEST(ArrowOutlineTest, GoldenOutlinesAcrossTheClamps) {
  // Length 15: a = b = c = 2, h = 5, s = 6; M.x truncates 4.9999996 to 4.
  EXPECT_EQ(vzannotation::ArrowOutline({0, 0}, {15, 0}),
            (Points{{4, -1}, {2, -6}, {15, 0}, {2, 6}, {4, 1}, {0, 1}}));
  // Length 6: scaled by t = 0.5, the barb base falls on the anchor.
  EXPECT_EQ(vzannotation::ArrowOutline({0, 0}, {6, 0}), (Points{{1, -1}, {0, -3}, {6, 0}, {0, 3}, {1, 1}, {0, 1}}));
  // Length 400: every constant at its upper clamp.
  EXPECT_EQ(vzannotation::ArrowOutline({0, 0}, {400, 0}),
            (Points{{350, -12}, {340, -30}, {400, 0}, {340, 30}, {350, 12}, {0, 3}}));
  // Length 100: a = 6.67, b = 3.33, c = 12.5.
  EXPECT_EQ(vzannotation::ArrowOutline({0, 0}, {100, 0}),
            (Points{{66, -6}, {60, -20}, {100, 0}, {60, 20}, {66, 6}, {0, 1}}));
  // Diagonal, pointing up-left: truncation goes toward zero on both sides.
  EXPECT_EQ(vzannotation::ArrowOutline({100, 100}, {40, 20}),
            (Points{{55, 49}, {48, 64}, {40, 20}, {80, 40}, {64, 42}, {101, 99}}));
}

TEST(ArrowOutlineTest, ZeroLengthFallsBackToTheAnchor) {
  EXPECT_EQ(vzannotation::ArrowOutline({7, 9}, {7, 9}), (Points{{7, 9}, {7, 9}, {7, 9}, {7, 9}, {7, 9}, {7, 9}}));
}

TEST(ElementTest, ABoundsAndDamageArePaddedAsymmetrically) {
  CDrawPoints stroke({}, 0xFF0000FF, 4, false, "a");
  EXPECT_EQ(stroke.getBounds(), Rect{});
  EXPECT_EQ(stroke.addPoint({10, 20}), (Rect{6, 16, 18, 28}));
  EXPECT_EQ(stroke.getBounds(), (Rect{6, 16, 18, 28}));
  // The damage covers only the new segment.
  stroke.addPoint({50, 20});
  EXPECT_EQ(stroke.addPoint({52, 30}), (Rect{46, 16, 60, 38}));
  EXPECT_EQ(stroke.getBounds(), (Rect{6, 16, 60, 38}));
  EXPECT_EQ(stroke.points.size(), 3u);  // nothing dropped or merged
}

TEST(ElementTest, LineKeepsTwoPointsAndReportsOldAndNewArea) {
  CDrawLine line({}, 0, 1, false, "a");
  EXPECT_EQ(line.addPoint({0, 0}), (Rect{-1, -1, 2, 2}));
  line.addPoint({100, 0});
  // Back to (10, 10): the old line's area and the new segment's.
  EXPECT_EQ(line.addPoint({10, 10}), (Rect{-1, -1, 102, 12}));
  EXPECT_EQ(line.points, (Points{{0, 0}, {10, 10}}));
}

TEST(ElementTest, ShapesDropPointsNearerThanThreeToTheAnchor) {
  CDrawRectangle rect({}, 0, 2, false, "a");
  rect.addPoint({10, 10});
  EXPECT_EQ(rect.addPoint({20, 30}), (Rect{8, 8, 24, 34}));
  // 2.9 away: dropped, the anchor alone is left, the old bounds come back.
  EXPECT_EQ(rect.addPoint({12, 12}), (Rect{8, 8, 24, 34}));
  EXPECT_EQ(rect.points, (Points{{10, 10}}));
  // 3.0 away is taken.
  rect.addPoint({13, 10});
  EXPECT_EQ(rect.points, (Points{{10, 10}, {13, 10}}));
  // Moving out again brings the second corner back.
  rect.addPoint({40, 50});
  EXPECT_EQ(rect.points, (Points{{10, 10}, {40, 50}}));

  CDrawArrow arrow({}, 0, 1, true, "a");
  arrow.addPoint({0, 0});
  arrow.addPoint({2, 2});
  EXPECT_EQ(arrow.points.size(), 1u);
  arrow.addPoint({15, 0});
  EXPECT_EQ(arrow.points, (Points{{0, 0}, {4, -1}, {2, -6}, {15, 0}, {2, 6}, {4, 1}, {0, 1}}));
  arrow.addPoint({400, 0});
  EXPECT_EQ(arrow.points.size(), 7u);  // rebuilt, never grown
}

TEST(ElementTest, NearSegmentEdgesOfThePaddedBox) {
  // The diagonals of the 6x6 square reach 3 pixels: a vertical segment at
  // x = 10 is hit from x = 7 (the padded box's inclusive left edge) to 13.
  EXPECT_TRUE(vzannotation::NearSegment({7, 10}, {10, 0}, {10, 20}));
  EXPECT_FALSE(vzannotation::NearSegment({6, 10}, {10, 0}, {10, 20}));
  EXPECT_TRUE(vzannotation::NearSegment({13, 10}, {10, 0}, {10, 20}));
  EXPECT_FALSE(vzannotation::NearSegment({14, 10}, {10, 0}, {10, 20}));
  // Straight beyond an end no diagonal reaches the segment.
  EXPECT_FALSE(vzannotation::NearSegment({10, -3}, {10, 0}, {10, 20}));
  EXPECT_TRUE(vzannotation::NearSegment({15, 7}, {10, 10}, {20, 10}));
  EXPECT_FALSE(vzannotation::NearSegment({15, 6}, {10, 10}, {20, 10}));
  // A 45-degree stroke lies on one diagonal (no crossing there) and is
  // still hit through the other.
  EXPECT_TRUE(vzannotation::NearSegment({5, 5}, {0, 0}, {10, 10}));
  EXPECT_FALSE(vzannotation::SegmentsCross({0, 0}, {10, 10}, {2, 2}, {8, 8}));
}

TEST(ElementTest, HitTestsOfStrokesRectanglesAndEllipses) {
  CDrawPoints dot({{10, 10}}, 0, 5, false, "a");
  EXPECT_FALSE(dot.hitTest({10, 10}));  // one point is never hit

  CDrawRectangle outline({{10, 10}, {110, 60}}, 0, 2, false, "a");
  EXPECT_TRUE(outline.hitTest({10, 30}));
  EXPECT_TRUE(outline.hitTest({60, 61}));
  EXPECT_FALSE(outline.hitTest({60, 35}));  // the inside of an outline misses
  CDrawRectangle filled({{110, 60}, {10, 10}}, 0, 2, true, "a");
  EXPECT_TRUE(filled.hitTest({60, 35}));
  EXPECT_TRUE(filled.hitTest({10, 10}));
  EXPECT_FALSE(filled.hitTest({110, 35}));  // right edge outside

  CDrawEllipse ring({{0, 0}, {100, 50}}, 0, 2, false, "a");
  EXPECT_FALSE(ring.hitTest({50, 25}));  // the centre of an outline misses
  EXPECT_TRUE(ring.hitTest({0, 25}));
  EXPECT_TRUE(ring.hitTest({50, 0}));
  CDrawEllipse disc({{0, 0}, {100, 50}}, 0, 2, true, "a");
  EXPECT_TRUE(disc.hitTest({50, 25}));
  EXPECT_FALSE(disc.hitTest({2, 2}));  // a corner of the box is outside
  CDrawEllipse tiny({{0, 0}, {5, 30}}, 0, 2, false, "a");
  EXPECT_TRUE(tiny.hitTest({-3, -3}));  // narrower than 6: the padded box hits
  EXPECT_FALSE(tiny.hitTest({-4, 0}));
}

TEST(ElementTest, PeerSizedValuesDoNotOverflow) {
  const int32_t big = std::numeric_limits<int32_t>::max();
  CDrawPoints stroke({{big, big}}, 0, big, false, "a");
  const Rect bounds = stroke.getBounds();
  EXPECT_EQ(bounds.right, big);  // saturated, not wrapped
  EXPECT_EQ(bounds.left, 0);
  CDrawEllipse huge({{-big, -big}, {big, big}}, 0, 1, false, "a");
  EXPECT_FALSE(huge.hitTest({0, 0}));
  CDrawRectangle far({{-big, 0}, {big, 10}}, 0, 1, false, "a");
  EXPECT_TRUE(far.hitTest({0, 0}));
  // A stroke across the whole coordinate range, probed far off its line: the
  // cross products exceed 64-bit integers.
  CDrawPoints across({{-big, -big}, {big, big}}, 0, 1, false, "a");
  EXPECT_FALSE(across.hitTest({-big, big}));
  EXPECT_TRUE(across.hitTest({0, 0}));
}

TEST(ElementTest, ClonesKeepIdAndKindAndResetUndoFields) {
  const int32_t next = vzannotation::PeekDrawSerial();
  CDrawArrow arrow({}, 0xFF00FF00, 1, true, "a");
  EXPECT_EQ(arrow.elementId, next);
  EXPECT_EQ(vzannotation::PeekDrawSerial(), next + 1);
  arrow.addPoint({0, 0});
  arrow.addPoint({100, 0});
  arrow.undoAction = 2;
  arrow.undoGroup = 9;
  std::unique_ptr<CDrawElement> copy = arrow.clone();
  EXPECT_EQ(vzannotation::PeekDrawSerial(), next + 1);  // the counter is untouched
  EXPECT_EQ(copy->elementId, arrow.elementId);
  EXPECT_EQ(copy->undoAction, 0);
  EXPECT_EQ(copy->undoGroup, -1);
  EXPECT_EQ(copy->points, arrow.points);
  EXPECT_TRUE(copy->filled);
  EXPECT_EQ(copy->kind(), CDrawElement::Kind::kPolyline);
  // The copy is the base kind: it extends as a stroke, not as an arrow.
  EXPECT_TRUE(IsExactly<CDrawElement>(*copy));
  // Hit as a polyline with no closing edge from Q back to P0: (0, 1)-(0, 0).
  EXPECT_TRUE(copy->hitTest({100, 0}));

  CDrawEllipse ellipse({{0, 0}, {10, 10}}, 0, 1, true, "b");
  EXPECT_TRUE(IsExactly<CDrawEllipse>(*ellipse.clone()));
  CDrawRectangle rect({{0, 0}, {10, 10}}, 0, 1, true, "b");
  EXPECT_TRUE(IsExactly<CDrawRectangle>(*rect.clone()));
  CDrawLine line({{0, 0}, {10, 10}}, 0, 1, false, "b");
  EXPECT_TRUE(IsExactly<CDrawElement>(*line.clone()));
}

}  // namespace

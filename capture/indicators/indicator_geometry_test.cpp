// Colours, coordinates, ring and shadow shapes, and the shadow's pulse.
#include <gtest/gtest.h>

#include "capture/indicators/indicator_colors.h"
#include "capture/indicators/indicator_geometry.h"
#include "capture/indicators/indicator_images.h"
#include "capture/indicators/indicator_testlib.h"
#include "capture/indicators/shadow_pulse.h"

namespace vzgrab {
namespace {

using testing::MakeMonitor;

TEST(IndicatorColors, HeaderColourGivesFrameAndHalvedColours) {
  EXPECT_EQ(FrameColorRef(0xff0084ffu), 0x0084FFu);
  EXPECT_EQ(HalfColorRef(FrameColorRef(0xff0084ffu)), 0x00427Fu);
  EXPECT_EQ(HalfColorRef(0xFFFFFF), 0x7F7F7Fu);
  EXPECT_EQ(HalfColorRef(0x010101), 0u);  // odd channels round down
}

TEST(IndicatorColors, LabelTextIsWhiteOnDarkAndBlackOnLight) {
  EXPECT_EQ(LabelTextColorRef(0xC8C8C8), 0x000000u);  // RGB(200, 200, 200)
  EXPECT_EQ(LabelTextColorRef(0xFF0000), 0xFFFFFFu);  // RGB(0, 0, 255)
  EXPECT_EQ(LabelTextColorRef(0x808080), 0xFFFFFFu);  // mean 128: still white
  EXPECT_EQ(LabelTextColorRef(0x818181), 0x000000u);  // mean 129
  EXPECT_EQ(LabelTextColorRef(0x808082), 0xFFFFFFu);  // sum 386: integer mean 128
  EXPECT_EQ(LabelTextColorRef(0x808083), 0x000000u);  // sum 387: mean 129
}

TEST(IndicatorGeometry, DeviceToLogicalDividesByTheScaleAndTruncates) {
  const MonitorInfo m = MakeMonitor(2, {1920, 0, 4800, 1620}, {1920, 0, 3840, 1080}, 1.5f);
  EXPECT_EQ(DeviceToLogical(vz::Rect{1920, 0, 4800, 1620}, m), (vz::Rect{1920, 0, 3840, 1080}));
  EXPECT_EQ(DeviceToLogical(vz::Point{1921, 2}, m), (vz::Point{1920, 1}));  // 0.67 and 1.33 truncated
  EXPECT_EQ(LogicalToDevice(vz::Point{1921, 1}, m), (vz::Point{1921, 1}));  // 1.5 truncated
  EXPECT_EQ(LogicalToDevice(vz::Point{1930, 10}, m), (vz::Point{1935, 15}));
  // A record without a scale counts as 1, never a division by zero.
  const MonitorInfo zero = MakeMonitor(1, {0, 0, 100, 100}, {0, 0, 100, 100}, 0.0f);
  EXPECT_EQ(DeviceToLogical(vz::Point{50, 60}, zero), (vz::Point{50, 60}));
}

TEST(IndicatorGeometry, RingIsFiveBandsOfTheEdgeAndNoInside) {
  const vz::WindowRegion ring = RingRegion({100, 60});
  ASSERT_EQ(ring.size(), 4u);
  auto in_ring = [&](int x, int y) {
    for (const vz::Rect& r : ring) {
      if (r.Contains({x, y})) return true;
    }
    return false;
  };
  int area = 0;
  for (int y = 0; y < 60; ++y) {
    for (int x = 0; x < 100; ++x) area += in_ring(x, y) ? 1 : 0;
  }
  EXPECT_EQ(area, 100 * 60 - 90 * 50);  // no band overlaps another
  EXPECT_TRUE(in_ring(0, 0));
  EXPECT_TRUE(in_ring(4, 30));
  EXPECT_FALSE(in_ring(5, 30));
  EXPECT_TRUE(in_ring(95, 30));
  EXPECT_FALSE(in_ring(94, 30));
  EXPECT_TRUE(in_ring(50, 59));
  EXPECT_FALSE(in_ring(50, 54));
  // Too small for an inside: all ring; nothing for an empty size.
  EXPECT_EQ(RingRegion({10, 40}), (vz::WindowRegion{vz::Rect{0, 0, 10, 40}}));
  EXPECT_TRUE(RingRegion({0, 40}).empty());
}

TEST(IndicatorGeometry, EmptyRegionHasNoAreaAndNoSizeLimit) {
  EXPECT_TRUE(IsRegionEmpty({}));
  EXPECT_TRUE(IsRegionEmpty({VzRect{5, 5, 5, 10}, VzRect{0, 0, 10, -1}}));
  std::vector<VzRect> many;
  for (int i = 0; i < 200; ++i) many.push_back(VzRect{i * 2, 0, i * 2 + 1, 1});
  EXPECT_FALSE(IsRegionEmpty(many));  // 200 rectangles are a region, not "empty"
}

TEST(IndicatorGeometry, ShadowShapeIsTheCoveredPartOnTheWindowAtItsOrigin) {
  const MonitorInfo m = MakeMonitor(1, {0, 0, 3000, 2000}, {0, 0, 2000, 1333}, 1.5f);
  const vz::Rect window{100, 100, 500, 400};
  const std::vector<VzRect> covered{{600, 300, 900, 750}, {0, 0, 30, 30}, {1200, 1200, 1300, 1300}};
  // (600,300)-(900,750) device is (400,200)-(600,500) logical; cut to the window.
  EXPECT_EQ(ShadowShape(covered, m, window), (vz::WindowRegion{vz::Rect{300, 100, 400, 300}}));
  EXPECT_TRUE(ShadowShape({}, m, window).empty());
}

TEST(IndicatorGeometry, RectTextAsTheLogWritesIt) {
  const VzRect r{1, 2, 11, 22};
  EXPECT_EQ(RectText(&r), "{1, 2, 11, 22}(10, 20)");
  EXPECT_EQ(RectText(nullptr), "(null)");
}

TEST(ShadowPulse, FallsByTwoRisesByThreeAndTurnsExactlyAtTheLimits) {
  ShadowPulse pulse;
  std::vector<int> seen{pulse.percent_for_testing()};
  for (int i = 0; i < 20; ++i) {
    pulse.Step();
    seen.push_back(pulse.percent_for_testing());
  }
  const std::vector<int> expected{30, 28, 26, 24, 22, 20, 18, 16, 14, 12, 10,
                                  10, 13, 16, 19, 22, 25, 28, 30, 28, 26};
  EXPECT_EQ(seen, expected);
  // Many cycles later it still turns at exactly 10 and 30.
  int low = 100, high = 0;
  for (int i = 0; i < 100000; ++i) {
    pulse.Step();
    low = std::min(low, pulse.percent_for_testing());
    high = std::max(high, pulse.percent_for_testing());
  }
  EXPECT_EQ(low, 10);
  EXPECT_EQ(high, 30);
}

TEST(ShadowPulse, AlphaByteIsTruncated) {
  ShadowPulse pulse;
  EXPECT_EQ(pulse.alpha_byte(), 76);  // 0.3 x 255 = 76.5
  for (int i = 0; i < 10; ++i) pulse.Step();
  EXPECT_EQ(pulse.percent_for_testing(), 10);
  EXPECT_EQ(pulse.alpha_byte(), 25);  // 25.5
}

TEST(IndicatorImages, TintKeepsAlphaAndScalesTheColourByBrightness) {
  vz::Image image(3, 1);
  image.SetPixel(0, 0, 0xFFFFFFFF);  // white: exactly the colour
  image.SetPixel(1, 0, 0xFF808080);  // mid grey: about half of it
  image.SetPixel(2, 0, 0x00000000);  // transparent stays so
  TintIndicatorImage(image, 0x00FF8040);  // R 0x40, G 0x80, B 0xFF
  EXPECT_EQ(image.GetPixel(0, 0), 0xFF4080FFu);
  EXPECT_EQ(image.GetPixel(1, 0), vz::MakeColor(0x40 * 128 / 255, 0x80 * 128 / 255, 0xFF * 128 / 255));
  EXPECT_EQ(image.GetPixel(2, 0), 0u);
}

TEST(IndicatorImages, DrawnStandInsExistForTheThreePictures) {
  EXPECT_FALSE(DrawIndicatorImage(kArrowImageId).IsEmpty());
  EXPECT_FALSE(DrawIndicatorImage(kPointerImageId).IsEmpty());
  EXPECT_FALSE(DrawIndicatorImage(kCloseImageId).IsEmpty());
  EXPECT_TRUE(DrawIndicatorImage(7).IsEmpty());
}

}  // namespace
}  // namespace vzgrab

// The panel's small helpers: the aspect fit, the wide-to-narrow conversion,
// the tile name, the hint placement and the waiting animation's frames.
#include "video/devices/ui/panel_helpers.h"

#include <gtest/gtest.h>

#include <map>

namespace vzpanel {
namespace {

// Widths per font height, so a test sets what the text measures.
class FakeMeasurer : public vz::TextMeasurer {
 public:
  std::map<int, int> width_at;
  vz::Size MeasureText(std::string_view, const vz::Font& font) override {
    const int height = static_cast<int>(font.pixel_size);
    return {width_at[height], height + 2};
  }
};

TEST(FitRectangleTest, FitsCentredAndLeavesTinyRectanglesAlone) {
  // A 160 x 90 image in 100 x 50: 89 x 50, 5 from the left.
  EXPECT_EQ(fitRectangle({0, 0, 100, 50}, {160, 90}), (vz::Rect{5, 0, 94, 50}));
  EXPECT_EQ(fitRectangle({10, 20, 110, 70}, {160, 90}), (vz::Rect{15, 20, 104, 70}));
  // The large view's aspect in 1280 x 720: 1277 x 720 at x = 1.
  EXPECT_EQ(fitRectangle({0, 0, 1280, 720}, {642, 362}), (vz::Rect{1, 0, 1278, 720}));
  // 11 pixels or less in either direction: unchanged.
  EXPECT_EQ(fitRectangle({0, 0, 11, 500}, {160, 90}), (vz::Rect{0, 0, 11, 500}));
  EXPECT_EQ(fitRectangle({3, 3, 500, 14}, {160, 90}), (vz::Rect{3, 3, 500, 14}));
  EXPECT_EQ(fitRectangle({0, 0, 100, 50}, {0, 90}), (vz::Rect{0, 0, 100, 50}));
}

TEST(ConvertWideToNarrowTest, GivesTheWholeUtf8WhateverTheLocale) {
  EXPECT_EQ(ConvertWideToNarrow(static_cast<const char16_t*>(nullptr)), "");
  EXPECT_EQ(ConvertWideToNarrow(u""), "");
  EXPECT_EQ(ConvertWideToNarrow(u"Zo\u00eb"), "Zo\xc3\xab");
  EXPECT_EQ(ConvertWideToNarrow(u"\u4f1a\u8b70"), "\xe4\xbc\x9a\xe8\xad\xb0");
  EXPECT_EQ(ConvertWideToNarrow(u"\U0001F600"), "\xf0\x9f\x98\x80");  // a surrogate pair
  // Two ids that differ only in a non-ASCII character stay distinct.
  EXPECT_NE(ConvertWideToNarrow(u"id-\u00e9"), ConvertWideToNarrow(u"id-\u00e8"));
}

TEST(TileNameTest, HostWordWinsOverPresenterWord) {
  EXPECT_EQ(ComposeTileName(u"Ann", false, false, u"(Host)", u"(Presenter)"), u"Ann");
  EXPECT_EQ(ComposeTileName(u"Ann", true, true, u"(Host)", u"(Presenter)"), u"Ann (Host)");
  EXPECT_EQ(ComposeTileName(u"Ann", false, true, u"(Host)", u"(Presenter)"), u"Ann (Presenter)");
}

TEST(HintPlacementTest, DropsTo13PixelsWhenTheTextDoesNotFit) {
  FakeMeasurer measurer;
  measurer.width_at = {{17, 60}, {13, 40}};
  // 150 - 100 < 60: 13 pixels, 40 + 10 wide, centred.
  HintPlacement narrow = PlaceHintLabel({150, 100}, "Video is paused", measurer);
  EXPECT_EQ(narrow.font_height, 13);
  EXPECT_EQ(narrow.rect, vz::Rect::FromXYWH(50, 42, 50, 15));
  HintPlacement wide = PlaceHintLabel({160, 100}, "Video is paused", measurer);
  EXPECT_EQ(wide.font_height, 17);
  EXPECT_EQ(wide.rect, vz::Rect::FromXYWH(45, 40, 70, 19));
}

TEST(WaitingAnimationTest, FramesRunInTheBundlesOrderAndWrapAfterEleven) {
  const uint32_t expected[] = {270, 271, 280, 281, 272, 273, 274, 275, 276, 277, 278, 279};
  int index = 0;
  for (uint32_t id : expected) {
    EXPECT_EQ(WaitingFrameImage(index), id) << "frame " << index;
    index = NextWaitingFrame(index);
  }
  EXPECT_EQ(index, 0);
  EXPECT_EQ(WaitingFrameImage(12), 270u);
}

}  // namespace
}  // namespace vzpanel

#include "client/app/demo/panel_picture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "contracts/test_pattern.h"

namespace {

constexpr vz::Size kSource{640, 360};
constexpr vz::Color kPanelGrey = 0xFF2D2D2D;

// Draws frame `counter` of the pattern as grey levels whose studio-range
// luma is the pattern's, scaled (nearest) into `area` of `grab`.
void DrawPattern(vz::Image& grab, const vz::Rect& area, uint32_t counter) {
  std::vector<uint8_t> i420(static_cast<size_t>(kSource.width) * kSource.height * 3 / 2);
  ASSERT_TRUE(FillTestPattern(i420.data(), kSource.width, kSource.height, counter)) << "frame " << counter;
  for (int y = area.top; y < area.bottom; ++y) {
    for (int x = area.left; x < area.right; ++x) {
      const int sx = (x - area.left) * kSource.width / area.Width();
      const int sy = (y - area.top) * kSource.height / area.Height();
      const int luma = i420[static_cast<size_t>(sy) * kSource.width + sx];
      const int grey = std::clamp(static_cast<int>((luma - 16) / 0.859 + 0.5), 0, 255);
      grab.SetPixel(x, y, 0xFF000000u | static_cast<uint32_t>(grey * 0x010101));
    }
  }
}

TEST(PanelPictureTest, PlacesTheLargePictureAndTheStripAsThePanelLaysThemOut) {
  // 640x480: the large view 640x361 at y 59, its container one pixel in,
  // the picture fitted into 638x359.
  EXPECT_EQ(PanelLargeViewRect({640, 480}), (vz::Rect{0, 59, 640, 420}));
  const vz::Rect picture = PanelLargePictureRect({640, 480}, kSource);
  EXPECT_EQ(picture.Width(), 638);
  EXPECT_GE(picture.Height(), 358);
  EXPECT_LE(picture.Height(), 359);
  // Cells of 144x82 (+13 for the name) in two columns, centred: the second
  // tile's picture at 321,324.
  EXPECT_EQ(PanelStripPictureRect({640, 480}, 2, 1), (vz::Rect{321, 324, 463, 404}));
  EXPECT_EQ(PanelStripPictureRect({640, 480}, 2, 0), (vz::Rect{177, 324, 319, 404}));
  // A panel too small for any cell has no strip picture.
  EXPECT_TRUE(PanelStripPictureRect({100, 60}, 2, 0).IsEmpty());
}

TEST(PanelPictureTest, ReadsTheCounterAndMatchesThePatternAFewPixelsOff) {
  // 642 wide: the container is the camera's size, the picture unscaled.
  vz::Image grab(642, 480);
  grab.FillForTesting(kPanelGrey);
  const vz::Rect expected = PanelLargePictureRect({642, 480}, kSource);
  ASSERT_EQ(expected, (vz::Rect{1, 60, 641, 420}));
  DrawPattern(grab, expected.Offset(1, -1), 1234);
  const PanelPictureReading reading = ReadPanelPicture(grab, expected, kSource);
  ASSERT_TRUE(reading.found);
  EXPECT_EQ(reading.counter, 1234);
  EXPECT_GT(reading.psnr, 30.0);
  EXPECT_EQ(reading.picture, expected.Offset(1, -1));
}

TEST(PanelPictureTest, AnotherFrameOrNoPictureIsNotAMatch) {
  const vz::Rect expected = PanelLargePictureRect({640, 480}, kSource);
  // The panel's grey alone: the counter reads as 0 at best, and the
  // picture is far from the pattern.
  vz::Image empty(640, 480);
  empty.FillForTesting(kPanelGrey);
  const PanelPictureReading none = ReadPanelPicture(empty, expected, kSource);
  EXPECT_TRUE(!none.found || none.psnr < 20.0);
  // A grab smaller than the place where the picture should be.
  vz::Image small(320, 200);
  EXPECT_FALSE(ReadPanelPicture(small, expected, kSource).found);
  EXPECT_FALSE(ReadStripTile(small, PanelStripPictureRect({640, 480}, 2, 1), kSource).found);
  EXPECT_FALSE(ReadPanelPicture(small, {}, kSource).found);
}

TEST(PanelPictureTest, ReadsTheStripTileAtAQuarterSize) {
  vz::Image grab(640, 480);
  grab.FillForTesting(kPanelGrey);
  const vz::Rect tile = PanelStripPictureRect({640, 480}, 2, 1);
  DrawPattern(grab, tile, 77);
  const PanelPictureReading reading = ReadStripTile(grab, tile, kSource);
  ASSERT_TRUE(reading.found);
  EXPECT_GT(reading.psnr, 25.0);
  // The neighbouring place holds only the panel's grey.
  const PanelPictureReading other = ReadStripTile(grab, PanelStripPictureRect({640, 480}, 2, 0), kSource);
  EXPECT_TRUE(!other.found || other.psnr < 20.0);
}

}  // namespace

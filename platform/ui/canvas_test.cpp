#include <gtest/gtest.h>

#include "platform/ui/canvas.h"
#include "platform/ui/image.h"

namespace vz {
namespace {

TEST(ImageTest, PixelsKeepTheirPlainColourThroughPremultiplication) {
  Image image(4, 2);
  image.SetPixel(0, 0, 0xFF102030);
  image.SetPixel(1, 0, 0x80FF0000);
  image.SetPixel(2, 0, 0x00FFFFFF);  // fully transparent: the colour is gone
  EXPECT_EQ(image.GetPixel(0, 0), 0xFF102030u);
  EXPECT_EQ(image.GetPixel(1, 0), 0x80FF0000u);
  EXPECT_EQ(image.GetPixel(2, 0), 0u);
  EXPECT_EQ(image.GetPixel(-1, 0), 0u);
  EXPECT_EQ(image.GetPixel(4, 0), 0u);
  image.SetPixel(9, 9, 0xFFFFFFFF);  // outside: ignored
}

TEST(ImageTest, PngRoundTripKeepsEveryPixel) {
  Image image(3, 2);
  image.SetPixel(0, 0, 0xFFFF0000);
  image.SetPixel(1, 0, 0xFF00FF00);
  image.SetPixel(2, 0, 0xFF0000FF);
  image.SetPixel(0, 1, 0x40FFFFFF);
  const std::vector<uint8_t> png = image.EncodePng();
  ASSERT_FALSE(png.empty());
  std::optional<Image> back = Image::DecodePng(png);
  ASSERT_TRUE(back);
  ASSERT_EQ(back->size(), (Size{3, 2}));
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) EXPECT_EQ(back->GetPixel(x, y), image.GetPixel(x, y)) << x << "," << y;
  }
}

TEST(ImageTest, MalformedPngsAreRefused) {
  const std::vector<uint8_t> nothing;
  EXPECT_FALSE(Image::DecodePng(nothing));
  const std::vector<uint8_t> garbage(100, 0x42);
  EXPECT_FALSE(Image::DecodePng(garbage));
  Image image(8, 8);
  image.FillForTesting(0xFF00FF00);
  std::vector<uint8_t> png = image.EncodePng();
  std::vector<uint8_t> cut(png.begin(), png.begin() + static_cast<long>(png.size() / 2));
  EXPECT_FALSE(Image::DecodePng(cut));
  // A header claiming an enormous size (with a right checksum) is refused
  // before anything is allocated.
  const uint8_t huge[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R',
                          0, 0x0F, 0x42, 0x40, 0, 0x0F, 0x42, 0x40, 8, 6, 0, 0, 0, 0x5C, 0x6D, 0x38, 0x7D};
  EXPECT_FALSE(Image::DecodePng(huge));
  EXPECT_TRUE(Image(0, 5).IsEmpty());
  EXPECT_TRUE(Image(20000, 5).IsEmpty());
}

TEST(CanvasTest, RectanglesCoverExactlyTheirPixels) {
  Image image(10, 10);
  auto canvas = CreateImageCanvas(image);
  canvas->FillRect({2, 3, 5, 6}, 0xFF112233);
  EXPECT_EQ(image.GetPixel(2, 3), 0xFF112233u);
  EXPECT_EQ(image.GetPixel(4, 5), 0xFF112233u);
  EXPECT_EQ(image.GetPixel(5, 5), 0u);
  EXPECT_EQ(image.GetPixel(4, 6), 0u);
  EXPECT_EQ(image.GetPixel(1, 3), 0u);

  canvas->StrokeRect({0, 0, 10, 10}, 0xFFFFFFFF, 1);
  EXPECT_EQ(image.GetPixel(0, 0), 0xFFFFFFFFu);
  EXPECT_EQ(image.GetPixel(9, 9), 0xFFFFFFFFu);
  EXPECT_EQ(image.GetPixel(1, 1), 0u);

  // Clear replaces, blending nothing; fill blends over.
  canvas->ClearRect({2, 3, 3, 4}, 0x00000000);
  EXPECT_EQ(image.GetPixel(2, 3), 0u);
  canvas->FillRect({3, 3, 4, 4}, 0x80FFFFFF);
  const Color blended = image.GetPixel(3, 3);
  EXPECT_EQ(ColorA(blended), 255);
  EXPECT_NEAR(ColorR(blended), (0x11 + 255) / 2, 1);
}

TEST(CanvasTest, ClipAndTranslateAreUndoneByRestore) {
  Image image(10, 10);
  auto canvas = CreateImageCanvas(image);
  canvas->Save();
  canvas->Translate(5, 5);
  canvas->ClipRect({0, 0, 2, 2});
  canvas->FillRect({0, 0, 10, 10}, 0xFFFF0000);
  canvas->Restore();
  EXPECT_EQ(image.GetPixel(5, 5), 0xFFFF0000u);
  EXPECT_EQ(image.GetPixel(6, 6), 0xFFFF0000u);
  EXPECT_EQ(image.GetPixel(7, 7), 0u);
  EXPECT_EQ(image.GetPixel(4, 4), 0u);
  canvas->FillRect({0, 0, 1, 1}, 0xFF0000FF);
  EXPECT_EQ(image.GetPixel(0, 0), 0xFF0000FFu);
}

TEST(CanvasTest, ImagesDrawAtNaturalSizeWithAlpha) {
  Image sprite(2, 2);
  sprite.SetPixel(0, 0, 0xFFFF0000);
  sprite.SetPixel(1, 0, 0x00000000);
  sprite.SetPixel(0, 1, 0x80000000);
  Image image(6, 6);
  image.FillForTesting(0xFFFFFFFF);
  auto canvas = CreateImageCanvas(image);
  canvas->DrawImage(sprite, 3, 2);
  EXPECT_EQ(image.GetPixel(3, 2), 0xFFFF0000u);
  EXPECT_EQ(image.GetPixel(4, 2), 0xFFFFFFFFu);  // transparent pixel leaves the background
  EXPECT_NEAR(ColorR(image.GetPixel(3, 3)), 127, 1);
  EXPECT_EQ(image.GetPixel(2, 2), 0xFFFFFFFFu);
  // Scaled into a rectangle: it covers the rectangle and nothing beyond.
  Image solid(2, 2);
  solid.FillForTesting(0xFF00FF00);
  canvas->DrawImageScaled(solid, {0, 0, 3, 1});
  EXPECT_EQ(image.GetPixel(0, 0), 0xFF00FF00u);
  EXPECT_EQ(image.GetPixel(2, 0), 0xFF00FF00u);
  EXPECT_EQ(image.GetPixel(0, 1), 0xFFFFFFFFu);
}

TEST(CanvasTest, TextStaysInsideItsBoxAndEllipsisShortensIt) {
  const Font font;
  const std::string text = "A fairly long line of text for a small box";
  const Size full = DefaultTextMeasurer().MeasureText(text, font);
  EXPECT_GT(full.width, 100);
  EXPECT_GT(full.height, 8);
  EXPECT_LT(DefaultTextMeasurer().MeasureText("A", font).width, full.width);
  EXPECT_EQ(DefaultTextMeasurer().MeasureText("", font), (Size{0, 0}));

  Image image(200, 40);
  auto canvas = CreateImageCanvas(image);
  TextStyle style;
  style.color = 0xFF000000;
  style.ellipsis = true;
  const Rect box{10, 10, 90, 30};
  canvas->DrawText(std::string_view(text), box, style);
  int inked = 0;
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 200; ++x) {
      if (ColorA(image.GetPixel(x, y)) == 0) continue;
      ++inked;
      EXPECT_TRUE(box.Contains({x, y})) << x << "," << y;
    }
  }
  EXPECT_GT(inked, 50);
}

TEST(CanvasTest, CentredTextIsCentred) {
  Image image(200, 30);
  auto canvas = CreateImageCanvas(image);
  TextStyle style;
  style.align = TextAlign::kCenter;
  style.valign = TextVAlign::kMiddle;
  canvas->DrawText(std::string_view("OK"), {0, 0, 200, 30}, style);
  int min_x = 200, max_x = -1;
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 200; ++x) {
      if (ColorA(image.GetPixel(x, y)) == 0) continue;
      min_x = std::min(min_x, x);
      max_x = std::max(max_x, x);
    }
  }
  ASSERT_LE(min_x, max_x);
  EXPECT_NEAR((min_x + max_x) / 2.0, 100, 3);
}

TEST(CanvasTest, ShapesAndThickLines) {
  Image image(40, 40);
  auto canvas = CreateImageCanvas(image);
  canvas->FillEllipse({0, 0, 40, 40}, 0xFF0000FF);
  EXPECT_EQ(image.GetPixel(20, 20), 0xFF0000FFu);
  EXPECT_EQ(image.GetPixel(0, 0), 0u);  // corners stay outside the ellipse
  Pen pen{0xFFFF0000, 6.0, LineCap::kButt};
  canvas->DrawLine(5, 20, 35, 20, pen);
  EXPECT_EQ(image.GetPixel(20, 18), 0xFFFF0000u);
  EXPECT_EQ(image.GetPixel(20, 22), 0xFFFF0000u);
  EXPECT_EQ(image.GetPixel(20, 24), 0xFF0000FFu);
  EXPECT_EQ(image.GetPixel(3, 20), 0xFF0000FFu);  // butt cap: nothing before the start
  pen.cap = LineCap::kSquare;
  canvas->DrawLine(5, 30, 35, 30, pen);
  EXPECT_EQ(image.GetPixel(3, 30), 0xFFFF0000u);  // square cap reaches half the width beyond
  Path triangle;
  triangle.MoveTo(0, 0);
  triangle.LineTo(10, 0);
  triangle.LineTo(0, 10);
  triangle.Close();
  canvas->FillPath(triangle, 0xFF00FF00);
  EXPECT_EQ(image.GetPixel(2, 2), 0xFF00FF00u);
  EXPECT_NE(image.GetPixel(9, 9), 0xFF00FF00u);
}

}  // namespace
}  // namespace vz

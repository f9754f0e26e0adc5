// Images, tint and colour matrices on known pixels.
#include <gtest/gtest.h>

#include "uikit/color_matrix.h"
#include "uikit/gdiplus_bitmap.h"
#include "uikit/test_bundle_testlib.h"

namespace {

TEST(TintTest, WhiteBecomesExactlyTheColourAndAlphaIsKept) {
  TestBundle bundle;
  vz::Image image(3, 1);
  image.SetPixel(0, 0, 0xFFFFFFFF);
  image.SetPixel(1, 0, 0x80FFFFFF);
  image.SetPixel(2, 0, 0x00000000);
  bundle.Png(500, image).Install();
  CGdiPlusBitmapResource bitmap;
  ASSERT_TRUE(bitmap.Load(500));
  TintImage(bitmap, 0x0084FF);  // COLORREF: red 0xFF, green 0x84, blue 0x00
  EXPECT_EQ(bitmap.bitmap()->GetPixel(0, 0), 0xFFFF8400u);
  EXPECT_EQ(vz::ColorA(bitmap.bitmap()->GetPixel(1, 0)), 0x80);
  EXPECT_EQ(bitmap.bitmap()->GetPixel(2, 0), 0u);  // transparent stays transparent
}

TEST(TintTest, BrightnessIsTheIntegerMeanOfTheChannels) {
  // Channels summing to 4: the integer mean is 1, so red 192 gives 192/255 = 0;
  // a fractional mean (1.33) would give 1.
  vz::Image image(2, 1);
  image.SetPixel(0, 0, vz::MakeColor(2, 1, 1));
  image.SetPixel(1, 0, vz::MakeColor(255, 255, 255));
  TintImagePixels(image, 0x0000C0, {0, 0, 2, 1});
  EXPECT_EQ(image.GetPixel(0, 0), vz::MakeColor(0, 0, 0));
  EXPECT_EQ(image.GetPixel(1, 0), vz::MakeColor(192, 0, 0));
  vz::Image part(4, 1);
  part.FillForTesting(0xFFFFFFFF);
  TintImagePixels(part, 0x0000FF, {2, 0, 10, 1});  // a part, clipped to the image
  EXPECT_EQ(part.GetPixel(1, 0), 0xFFFFFFFFu);
  EXPECT_EQ(part.GetPixel(2, 0), 0xFFFF0000u);
  EXPECT_EQ(part.GetPixel(3, 0), 0xFFFF0000u);
}

TEST(ColorMatrixTest, GreyMixesTheChannelsWithTheirWeights) {
  EXPECT_EQ(ApplyColorMatrix(kGreyColorMatrix, vz::MakeColor(255, 0, 0)), vz::MakeColor(77, 77, 77));
  EXPECT_EQ(ApplyColorMatrix(kGreyColorMatrix, vz::MakeColor(0, 255, 0)), vz::MakeColor(150, 150, 150));
  EXPECT_EQ(ApplyColorMatrix(kGreyColorMatrix, vz::MakeColor(0, 0, 255)), vz::MakeColor(28, 28, 28));
  EXPECT_EQ(ApplyColorMatrix(kGreyColorMatrix, 0x80FFFFFF), 0x80FFFFFFu);
}

TEST(ColorMatrixTest, HotBrightensAddsTheConstantAndClamps) {
  // 100 * 1.55 + 0.05 * 255 = 167.75 -> 168; alpha 100 * 1.5 = 150.
  EXPECT_EQ(ApplyColorMatrix(kHotColorMatrix, vz::MakeColor(100, 100, 100, 100)), vz::MakeColor(168, 168, 168, 150));
  EXPECT_EQ(ApplyColorMatrix(kHotColorMatrix, vz::MakeColor(200, 0, 20, 200)), vz::MakeColor(255, 13, 44, 255));
  // Transparent stays transparent.
  EXPECT_EQ(vz::ColorA(ApplyColorMatrix(kHotColorMatrix, 0x00000000)), 0);
}

TEST(BitmapResourceTest, MissingOrBrokenPngsLeaveNoBitmap) {
  TestBundle bundle;
  bundle.Png(1, 4, 2, 0xFF00FF00).Install();
  CGdiPlusBitmapResource bitmap;
  ASSERT_TRUE(bitmap.Load(1));
  EXPECT_EQ(GetImageSize(bitmap), (vz::Size{4, 2}));
  EXPECT_FALSE(bitmap.Load(2));
  EXPECT_FALSE(bitmap.HasBitmap());  // the earlier image is released too
  EXPECT_EQ(GetImageSize(bitmap), (vz::Size{0, 0}));
  EXPECT_FALSE(bitmap.Load(1, "BMP"));
  TintImage(bitmap, 0x123456);  // nothing to tint: no crash
}

}  // namespace

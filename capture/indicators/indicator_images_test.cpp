// The indicator pictures from the resource library loaded by name.
#include <gtest/gtest.h>

#include "capture/indicators/indicator_images.h"

namespace vzgrab {
namespace {

TEST(ResourceImages, PicturesComeFromTheShippedBundle) {
  auto images = CreateResourceImages();
  std::optional<vz::Image> close = images->LoadPng(kCloseImageId);
  ASSERT_TRUE(close);
  // The bundle's close box is a cross on a dark button; the drawn stand-in
  // would be a cross alone, transparent round it.
  EXPECT_EQ(close->size(), (vz::Size{12, 12}));
  EXPECT_EQ(close->GetPixel(6, 1), 0xFF5A5A5Au);
  EXPECT_LT(close->GetPixel(11, 11) >> 24, 0x40u) << "a rounded corner";
  std::optional<vz::Image> arrow = images->LoadPng(kArrowImageId);
  ASSERT_TRUE(arrow);
  EXPECT_EQ(arrow->size(), (vz::Size{120, 24}));
  // An id the bundle lacks and nothing is drawn for.
  EXPECT_FALSE(images->LoadPng(4242));
}

}  // namespace
}  // namespace vzgrab

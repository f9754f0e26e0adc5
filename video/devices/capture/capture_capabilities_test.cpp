#include "video/devices/capture/capture_capabilities.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace vzcapture {
namespace {

vz::CameraFormatRange Range(uint32_t min_w, uint32_t max_w, uint32_t step_w, uint32_t min_h, uint32_t max_h,
                            uint32_t step_h) {
  vz::CameraFormatRange range;
  range.fourcc = vz::kFourccYuyv;
  range.min_width = min_w;
  range.max_width = max_w;
  range.step_width = step_w;
  range.min_height = min_h;
  range.max_height = max_h;
  range.step_height = step_h;
  range.min_rate = 5.0f;
  range.max_rate = 30.0f;
  return range;
}

std::vector<std::pair<int32_t, int32_t>> Sizes(const std::vector<VideoFormat>& list) {
  std::vector<std::pair<int32_t, int32_t>> sizes;
  for (const VideoFormat& format : list) sizes.emplace_back(format.width, format.height);
  return sizes;
}

TEST(CaptureCapabilitiesTest, ASteppedRangeGivesItsEndsThenThePreferredSizesFitted) {
  std::vector<VideoFormat> list;
  AddCapabilities(Range(160, 1280, 8, 120, 720, 8), &list);
  // 180 rounds up to the next step (184); 160x90 folds into 160x120.
  const std::vector<std::pair<int32_t, int32_t>> expected = {{160, 120}, {1280, 720}, {320, 240},
                                                             {640, 480}, {176, 144},  {352, 288},
                                                             {704, 576}, {320, 184},  {640, 360}};
  EXPECT_EQ(Sizes(list), expected);
  for (const VideoFormat& format : list) {
    SCOPED_TRACE(std::to_string(format.width) + "x" + std::to_string(format.height));
    EXPECT_EQ(format.video_type, kVideoTypeYuy2);
    EXPECT_FLOAT_EQ(format.frame_rate, 5.0f);
    EXPECT_FLOAT_EQ(format.max_frame_rate(), 30.0f);
  }
}

TEST(CaptureCapabilitiesTest, AFittedSizeThatStepsPastTheMaximumIsNotOffered) {
  int32_t w = 0, h = 0;
  // 160 + 16 * ceil(840 / 16) = 1008, above the maximum of 1000.
  EXPECT_FALSE(FitPreferredSize(Range(160, 1000, 16, 120, 720, 8), 1000, 720, &w, &h));
  EXPECT_TRUE(FitPreferredSize(Range(160, 1000, 16, 120, 720, 8), 992, 720, &w, &h));
  EXPECT_EQ(w, 992);
  std::vector<VideoFormat> list;
  AddCapabilities(Range(160, 700, 16, 120, 570, 10), &list);
  for (const VideoFormat& format : list) {
    EXPECT_LE(format.width, 700) << format.width << "x" << format.height;
    EXPECT_LE(format.height, 570) << format.width << "x" << format.height;
  }
}

TEST(CaptureCapabilitiesTest, BrokenRangesOfferOnlyTheirEnds) {
  int32_t w = 0, h = 0;
  EXPECT_FALSE(FitPreferredSize(Range(160, 1280, 0, 120, 720, 8), 320, 240, &w, &h));
  EXPECT_FALSE(FitPreferredSize(Range(640, 320, 8, 120, 720, 8), 320, 240, &w, &h));
  std::vector<VideoFormat> list;
  AddCapabilities(Range(160, 1280, 0, 120, 720, 8), &list);
  EXPECT_EQ(list.size(), 2u);
}

TEST(CaptureCapabilitiesTest, ARecordEqualInAllFiveFieldsIsListedOnce) {
  std::vector<VideoFormat> list;
  AddCapabilities(Range(640, 640, 1, 480, 480, 1), &list);
  AddCapabilities(Range(640, 640, 1, 480, 480, 1), &list);
  ASSERT_EQ(list.size(), 1u);
  auto faster = Range(640, 640, 1, 480, 480, 1);
  faster.max_rate = 60.0f;
  AddCapabilities(faster, &list);
  EXPECT_EQ(list.size(), 2u);
}

TEST(CaptureCapabilitiesTest, FrameRatesSnapToTheKnownRates) {
  EXPECT_EQ(FrameRateToInterval(30.0f), 333333);
  EXPECT_EQ(FrameRateToInterval(29.97003f), 333667);
  EXPECT_EQ(FrameRateToInterval(25.0f), 400000);
  EXPECT_EQ(FrameRateToInterval(15.0f), 666666);
  EXPECT_EQ(FrameRateToInterval(12.5f), 800000);
  EXPECT_EQ(FrameRateToInterval(0.0f), 0);
  EXPECT_EQ(FrameRateToInterval(-1.0f), 0);
}

TEST(CaptureCapabilitiesTest, PixelFormatsMapToVideoTypesAndPictureSizes) {
  EXPECT_EQ(VideoTypeOfFourcc(vz::kFourccMjpeg), kVideoTypeOther);
  EXPECT_EQ(FourccOfVideoType(kVideoTypeBgr24BottomUp), vz::kFourccBgr24);
  EXPECT_EQ(FourccOfVideoType(9), 0u);
  EXPECT_EQ(PictureBytes(kVideoTypeI420, 640, 360), 345600);
  EXPECT_EQ(PictureBytes(kVideoTypeYuy2, 640, 480), 614400);
  EXPECT_EQ(PictureBytes(kVideoTypeOther, 640, 480), 0);
}

}  // namespace
}  // namespace vzcapture

#include "video/devices/capture/capture_format_choice.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "video/devices/capture/capture_capabilities.h"

namespace vzcapture {
namespace {

vz::CameraFormatRange Discrete(uint32_t fourcc, uint32_t w, uint32_t h) {
  vz::CameraFormatRange range;
  range.fourcc = fourcc;
  range.min_width = range.max_width = w;
  range.min_height = range.max_height = h;
  range.step_width = range.step_height = 1;
  range.min_rate = 15.0f;
  range.max_rate = 30.0f;
  return range;
}

// A driver that takes the formats it knows at the sizes it has, and
// otherwise sets the nearest size it has.
class FakeSetter : public ICaptureFormatSetter {
 public:
  std::set<uint32_t> refused;
  std::vector<std::pair<int32_t, int32_t>> sizes = {{640, 480}};
  uint32_t default_fourcc = vz::kFourccYuyv;
  std::vector<uint32_t> asked;  // pixel formats in the order asked
  int32_t width = 0, height = 0;
  int wrong_size_calls = 0;  // the first this many settings give another size

  bool SetFormat(uint32_t fourcc, int32_t w, int32_t h, float) override {
    asked.push_back(fourcc);
    if (refused.count(fourcc) != 0) return false;
    width = sizes.front().first;
    height = sizes.front().second;
    if (wrong_size_calls > 0) {
      --wrong_size_calls;
      width = w + 8;
      return true;
    }
    for (const auto& size : sizes) {
      if (size.first == w && size.second == h) {
        width = w;
        height = h;
      }
    }
    return true;
  }
  bool GetSize(int32_t* w, int32_t* h) override {
    *w = width;
    *h = height;
    return true;
  }
  uint32_t DefaultFourcc() override { return default_fourcc; }
};

VideoFormat Wanted(int32_t type, int32_t w, int32_t h) { return VideoFormat{type, w, h, 30.0f, 0}; }

TEST(CaptureFormatChoiceTest, TheStrictStepTakesTheWantedPixelFormatFromTheFirstAdmittingRange) {
  FakeSetter setter;
  const std::vector<vz::CameraFormatRange> ranges = {Discrete(vz::kFourccYuyv, 320, 240),
                                                     Discrete(vz::kFourccI420, 640, 480),
                                                     Discrete(vz::kFourccYuyv, 640, 480)};
  EXPECT_EQ(ChooseCaptureFormat(ranges, Wanted(kVideoTypeYuy2, 640, 480), setter), FormatChoice::kStrict);
  EXPECT_EQ(setter.asked, std::vector<uint32_t>{vz::kFourccYuyv});
}

// Of several ranges that admit the wanted size, the strict step and the
// relaxed step's first part each try only the first: a driver that sets
// another size there sends the choice on to the next step.
TEST(CaptureFormatChoiceTest, OnlyTheFirstAdmittingRangeIsTriedInEachStep) {
  vz::CameraFormatRange stepped = Discrete(vz::kFourccYuyv, 320, 240);
  stepped.max_width = 1280;
  stepped.max_height = 720;
  stepped.step_width = stepped.step_height = 8;
  const std::vector<vz::CameraFormatRange> ranges = {Discrete(vz::kFourccYuyv, 640, 480), stepped};
  FakeSetter setter;
  setter.wrong_size_calls = 1;
  EXPECT_EQ(ChooseCaptureFormat(ranges, Wanted(kVideoTypeYuy2, 640, 480), setter),
            FormatChoice::kRelaxedAdmitting);
  EXPECT_EQ(setter.asked.size(), 2u);

  FakeSetter twice;
  twice.wrong_size_calls = 2;
  EXPECT_EQ(ChooseCaptureFormat(ranges, Wanted(kVideoTypeYuy2, 640, 480), twice), FormatChoice::kRelaxedForced);
  EXPECT_EQ(twice.asked.size(), 3u);
}

TEST(CaptureFormatChoiceTest, TheRelaxedStepTakesAnyPixelFormatThatAdmitsTheSize) {
  FakeSetter setter;
  // The camera has no I420: the relaxed step takes its YUYV at the size.
  const std::vector<vz::CameraFormatRange> ranges = {Discrete(vz::kFourccMjpeg, 1280, 720),
                                                     Discrete(vz::kFourccYuyv, 640, 480)};
  EXPECT_EQ(ChooseCaptureFormat(ranges, Wanted(kVideoTypeI420, 640, 480), setter),
            FormatChoice::kRelaxedAdmitting);
  EXPECT_EQ(setter.asked.back(), vz::kFourccYuyv);
  // Type 0 has no strict step.
  setter.asked.clear();
  EXPECT_EQ(ChooseCaptureFormat(ranges, Wanted(kVideoTypeOther, 640, 480), setter),
            FormatChoice::kRelaxedAdmitting);
  EXPECT_EQ(setter.asked, std::vector<uint32_t>{vz::kFourccYuyv});
}

TEST(CaptureFormatChoiceTest, TheForcedStepTriesEachPixelFormatOnceAndAWrongSizeFallsThrough) {
  FakeSetter setter;
  setter.sizes = {{352, 288}, {800, 600}};
  setter.refused = {vz::kFourccMjpeg};
  // No range admits 800x600 (the ranges say less than the driver does).
  const std::vector<vz::CameraFormatRange> ranges = {
      Discrete(vz::kFourccMjpeg, 640, 480), Discrete(vz::kFourccMjpeg, 320, 240), Discrete(vz::kFourccYuyv, 352, 288)};
  EXPECT_EQ(ChooseCaptureFormat(ranges, Wanted(kVideoTypeI420, 800, 600), setter), FormatChoice::kRelaxedForced);
  EXPECT_EQ(setter.asked, (std::vector<uint32_t>{vz::kFourccMjpeg, vz::kFourccYuyv}));
  // A size the driver cannot set fails every step, the default one last.
  setter.asked.clear();
  EXPECT_EQ(ChooseCaptureFormat(ranges, Wanted(kVideoTypeI420, 1024, 768), setter), FormatChoice::kNone);
  EXPECT_EQ(setter.asked, (std::vector<uint32_t>{vz::kFourccMjpeg, vz::kFourccYuyv, vz::kFourccYuyv}));
}

TEST(CaptureFormatChoiceTest, TheDefaultStepForcesTheSizeOnTheDriversOwnFormat) {
  FakeSetter setter;
  setter.sizes = {{640, 480}};
  setter.default_fourcc = vz::kFourccYv12;
  EXPECT_EQ(ChooseCaptureFormat({}, Wanted(kVideoTypeI420, 640, 480), setter), FormatChoice::kDefault);
  EXPECT_EQ(setter.asked, std::vector<uint32_t>{vz::kFourccYv12});
}

TEST(CaptureFormatChoiceTest, ARangeAdmitsOnlyWholeStepsWithinItsSizesAndRates) {
  vz::CameraFormatRange range = Discrete(vz::kFourccYuyv, 160, 120);
  range.max_width = 1280;
  range.max_height = 720;
  range.step_width = range.step_height = 8;
  EXPECT_TRUE(Admits(range, 320, 240, FrameRateToInterval(30.0f)));
  EXPECT_FALSE(Admits(range, 322, 240, FrameRateToInterval(30.0f)));
  EXPECT_FALSE(Admits(range, 1288, 720, FrameRateToInterval(30.0f)));
  EXPECT_FALSE(Admits(range, 320, 240, FrameRateToInterval(60.0f)));
  EXPECT_FALSE(Admits(range, 320, 240, FrameRateToInterval(5.0f)));
  range.step_width = 0;
  EXPECT_FALSE(Admits(range, 320, 240, FrameRateToInterval(30.0f)));
}

TEST(CaptureFormatChoiceTest, TheAcceptedTypesFollowTheWantedFormat) {
  vz::CameraFormat i420{vz::kFourccI420, 640, 480, 640, 460800, true};
  vz::CameraFormat yuyv{vz::kFourccYuyv, 640, 480, 1280, 614400, true};
  const VideoFormat want_i420 = Wanted(kVideoTypeI420, 640, 480);
  EXPECT_TRUE(AcceptsFormat(AcceptedTypesFor(&want_i420), i420));
  EXPECT_FALSE(AcceptsFormat(AcceptedTypesFor(&want_i420), yuyv));
  vz::CameraFormat interlaced = i420;
  interlaced.progressive = false;
  EXPECT_FALSE(AcceptsFormat(AcceptedTypesFor(&want_i420), interlaced));
  // Types 0 and 5 take frames in another pixel format; the size still counts.
  const VideoFormat want_yv12 = Wanted(kVideoTypeYv12, 640, 480);
  EXPECT_TRUE(AcceptsFormat(AcceptedTypesFor(&want_yv12), yuyv));
  const VideoFormat smaller = Wanted(kVideoTypeOther, 320, 240);
  EXPECT_FALSE(AcceptsFormat(AcceptedTypesFor(&smaller), yuyv));
  EXPECT_TRUE(AcceptsFormat(AcceptedTypesFor(nullptr), yuyv));
}

}  // namespace
}  // namespace vzcapture

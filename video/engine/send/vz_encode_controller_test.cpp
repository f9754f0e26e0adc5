#include "video/engine/send/vz_encode_controller.h"

#include <gtest/gtest.h>

#include <vector>

#include "video/engine/core/engine_clock.h"

namespace {

struct Sinks final : IEncodeLevelChangeSink, IVideoEncodeControllerSink {
  void OnEncodeLevelChanged() override { ++level_changes; }
  int32_t OnCaptureParameterChanged(const VideoFormat& f) override {
    captures.push_back(f);
    return 0;
  }
  int32_t OnProbingDeltaBitrate(int32_t source, int32_t delta_kbps) override {
    probes.push_back({source, delta_kbps});
    return 0;
  }
  int level_changes = 0;
  std::vector<VideoFormat> captures;
  std::vector<std::pair<int32_t, int32_t>> probes;
};

class EncodeControllerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    VZSE_::SetEngineClockForTest(&clock_);
    controller_ = static_cast<CVzEncodeController*>(CreateEncodeController());
    controller_->SetLevelChangeSink(&sinks_);
    controller_->SetControllerSink(&sinks_);
    controller_->SetSourceId(77);
  }
  void TearDown() override {
    controller_->Release();
    VZSE_::SetEngineClockForTest(nullptr);
  }
  void Uplink(int32_t bandwidth, int32_t status = 0) {
    UplinkStat stat;
    stat.bandwidth = bandwidth;
    stat.status = status;
    controller_->UpdateUpLinkStat(&stat, 0);
  }
  // One sender-side period of 500 ms with `percent` of the offered bytes sent.
  void Period(int percent, int64_t offered = 50000) {
    clock_.AdvanceMs(500);
    EncodeFeedback r;
    r.time = VZSE_::NowMs();
    r.kind = 0;
    r.reference = offered;
    r.measured = offered * percent / 100;
    controller_->UpdateFilterInfo(1, &r);
  }
  int Level() { return controller_->current_level_for_testing(); }

  VZSE_::FakeEngineClock clock_;
  Sinks sinks_;
  CVzEncodeController* controller_ = nullptr;
};

TEST_F(EncodeControllerTest, StartsAtTheDefaultLevelOfTheSpatialIndex) {
  EXPECT_EQ(controller_->spatial_index_for_testing(), 2);
  EXPECT_EQ(Level(), 16);  // 520,000 on the 640x360 layer
  EXPECT_EQ(controller_->capped_top_level_for_testing(), 19);
  EncodeParams params;
  ASSERT_EQ(controller_->GetEncodeConfiguration(&params), VSE_S_OK);
  EXPECT_EQ(params.codec_type, 1);
  EXPECT_EQ(params.level.layer_count, 3);
  EXPECT_EQ(params.level.multi_slice, 0);
  EXPECT_EQ(controller_->GetEncodeConfiguration(nullptr), VSE_E_INVALIDARG);
  const EncodeFeedback empty;
  EXPECT_EQ(controller_->UpdateFilterInfo(5, &empty), 1u);
  EXPECT_EQ(controller_->UpdateFilterInfo(0, &empty), VSE_E_INVALIDARG);  // receiver side: type 0 only
}

TEST_F(EncodeControllerTest, RisesAfterTwoSecondsAtFullThroughputNeverPastTheCap) {
  Uplink(3000000);
  Period(100);  // the first decision only starts the clocks
  std::vector<int> levels;
  for (int i = 0; i < 20; ++i) {
    Period(100);
    levels.push_back(Level());
  }
  // Up one level when more than 2 s passed since the last rise.
  EXPECT_EQ(levels[3], 16);
  EXPECT_EQ(levels[4], 17);
  EXPECT_EQ(levels[8], 17);
  EXPECT_EQ(levels[9], 18);
  EXPECT_EQ(levels.back(), 19);  // the capped top at performance level 3
  EXPECT_EQ(sinks_.level_changes, 3);
  int32_t top = 0;
  controller_->IsAtTopLevel(&top);
  EXPECT_EQ(top, 1);
  EXPECT_TRUE(sinks_.probes.empty());
}

TEST_F(EncodeControllerTest, LastLevelOfARowHoldsFiveSecondsAndBigStepsAreClearedByBandwidth) {
  Uplink(1000000);  // the default level is then the end of the 640x360 row
  controller_->AdjustPerformance(0);  // maximum: the cap leaves the 640x360 row
  // Index 2 is still the subscription's; let the capture and subscription allow HD.
  SubscriptionRecord hd{1280, 720};
  controller_->SetSubscription(1, &hd);
  controller_->SetCapabilityClass(3);
  VideoFormat cam{2, 1280, 720, 5.0f, 0};
  cam.set_max_frame_rate(30.0f);
  controller_->SetDeviceClass(3);
  controller_->SetCaptureCameraCapability(1, &cam, 3);
  ASSERT_EQ(controller_->spatial_index_for_testing(), 3);
  ASSERT_EQ(controller_->capped_top_level_for_testing(), 37);
  ASSERT_EQ(Level(), 19);
  Uplink(3000000);
  const int changes = sinks_.level_changes;
  Period(100);  // starts the clocks
  for (int i = 0; i < 10; ++i) Period(100);  // 5 s: not more than the hold
  EXPECT_EQ(Level(), 19);
  Period(100);
  EXPECT_EQ(Level(), 20);  // 630 kbit/s more, and the uplink has it: no probe
  EXPECT_TRUE(sinks_.probes.empty());
  EXPECT_GT(sinks_.level_changes, changes);
}

TEST_F(EncodeControllerTest, ABigStepProbesFirstAndProbesAreTenSecondsApart) {
  Uplink(1200000);  // enough for the 640x360 row only
  controller_->AdjustPerformance(0);
  SubscriptionRecord hd{1280, 720};
  controller_->SetSubscription(1, &hd);
  controller_->SetCapabilityClass(3);
  controller_->SetDeviceClass(3);
  VideoFormat cam{2, 1280, 720, 5.0f, 0};
  cam.set_max_frame_rate(30.0f);
  controller_->SetCaptureCameraCapability(1, &cam, 3);
  ASSERT_EQ(Level(), 19);
  for (int i = 0; i < 11; ++i) Period(100);
  EXPECT_TRUE(sinks_.probes.empty());
  Period(100);  // past 5 s at the end of the row
  ASSERT_EQ(sinks_.probes.size(), 1u);
  EXPECT_EQ(sinks_.probes[0].first, 77);
  // 1,514,000 x 100 / 90 - 1,200,000 bit/s, in kbit/s.
  EXPECT_EQ(sinks_.probes[0].second, (1514000 * 100 / 90 - 1200000) / 1024);
  EXPECT_EQ(Level(), 19);
  // No answer yet: waiting, no second probe.
  for (int i = 0; i < 10; ++i) Period(100);
  EXPECT_EQ(sinks_.probes.size(), 1u);
  // The probe brings 2 Mbit/s: the step is allowed.
  Uplink(2000000);
  Period(100);
  EXPECT_EQ(Level(), 20);
}

TEST_F(EncodeControllerTest, AFailedProbeWaitsTenSecondsBeforeTheNext) {
  Uplink(1200000);
  controller_->AdjustPerformance(0);
  SubscriptionRecord hd{1280, 720};
  controller_->SetSubscription(1, &hd);
  controller_->SetCapabilityClass(3);
  controller_->SetDeviceClass(3);
  VideoFormat cam{2, 1280, 720, 5.0f, 0};
  cam.set_max_frame_rate(30.0f);
  controller_->SetCaptureCameraCapability(1, &cam, 3);
  for (int i = 0; i < 12; ++i) Period(100);
  ASSERT_EQ(sinks_.probes.size(), 1u);
  const uint32_t first = VZSE_::NowMs();
  Uplink(1200000 + 1);  // the probe found nothing more
  Period(100);
  EXPECT_EQ(Level(), 19);
  uint32_t second = 0;
  for (int i = 0; i < 60 && sinks_.probes.size() < 2; ++i) {
    Period(100);
    second = VZSE_::NowMs();
  }
  ASSERT_EQ(sinks_.probes.size(), 2u);
  EXPECT_GT(second - first, 10000u);
}

TEST_F(EncodeControllerTest, HalfThroughputStepsDownAtMostFourLevelsTwoSecondsApart) {
  Uplink(3000000);
  for (int i = 0; i < 5; ++i) Period(100);
  // 70 % at 764,000 bit/s targets 668,500: level 13.
  for (int i = 0; i < 4; ++i) Period(70);
  const int after_first = Level();
  EXPECT_EQ(after_first, 13);
  // Half through: at least 2 s before the next decrease, then at most 4 down.
  Period(50);
  EXPECT_EQ(Level(), 13);
  int steps = 0;
  for (int i = 0; i < 10; ++i) {
    const int before = Level();
    Period(50);
    if (Level() != before) {
      ++steps;
      EXPECT_GE(Level(), before - 4) << "period " << i;
    }
  }
  EXPECT_EQ(steps, 2);  // 5 s of decisions: a decrease each time more than 2 s passed
}

TEST_F(EncodeControllerTest, OverheadLowersTheDownTarget) {
  Uplink(3000000);
  controller_->SetUplinkOverheadRatio(0.1f);
  for (int i = 0; i < 5; ++i) Period(100);
  for (int i = 0; i < 4; ++i) Period(70);
  EXPECT_EQ(Level(), 12);  // 0.9 x 668,500 = 601,650 is level 10: four down at most
  controller_->SetUplinkOverheadRatio(5.0f);  // clamped to 0.7
}

TEST_F(EncodeControllerTest, ADecreaseBeatsAnIncreaseAndNoDataReadsAsZero) {
  Uplink(3000000);
  for (int i = 0; i < 5; ++i) Period(100);
  // Bytes offered and none sent: 0 %, never 100 %.
  Period(0);
  // Four records in 2 s weighted 1, 0.8, 0.64, 0.512: 1.952 / 2.952.
  EXPECT_EQ(controller_->ThroughputRatio(2000), 66);
  for (int i = 0; i < 4; ++i) Period(0);
  EXPECT_EQ(controller_->ThroughputRatio(2000), 0);
  EXPECT_LT(Level(), 16);
}

TEST_F(EncodeControllerTest, BaseLayerDropsForceAStepDownFromTheSecond) {
  Uplink(3000000);
  for (int i = 0; i < 6; ++i) Period(100);  // more than 2 s since the clocks started
  const int start = Level();
  ASSERT_EQ(start, 17);  // one rise after 2 s at 100 %
  const uint32_t t = VZSE_::NowMs();
  EXPECT_EQ(controller_->SendStatistics(t, 1, 3000, 0, false), VSE_S_OK);  // noted only
  EXPECT_EQ(Level(), start);
  EXPECT_EQ(controller_->SendStatistics(t + 100, 1, 3000, 0, false), VSE_S_OK);  // under 400 ms
  EXPECT_EQ(Level(), start);
  EXPECT_EQ(controller_->SendStatistics(t + 450, 1, 3000, 0, false), VSE_S_OK);
  // 65 % of 804,000 / 80 = 653,250 is level 13: four down.
  EXPECT_EQ(Level(), 13);
  EXPECT_EQ(controller_->SendStatistics(t, 2, 3000, 0, false), VSE_E_INVALIDARG);
  EXPECT_EQ(controller_->SendStatistics(t, 0, 0, 3, false), VSE_E_INVALIDARG);
}

TEST_F(EncodeControllerTest, SendStatisticsMakeHalfSecondRecords) {
  Uplink(3000000);
  uint32_t t = VZSE_::NowMs();
  for (int i = 0; i < 60; ++i, t += 33) {
    clock_.AdvanceMs(33);
    controller_->SendStatistics(t, i % 2, 1000, 5, false);   // half the frames dropped
    controller_->SendStatistics(t, 0, 500, 15, false);      // not counted
    controller_->SendStatistics(t, 0, 500, 3, true);        // FEC: not counted
  }
  EXPECT_NEAR(controller_->ThroughputRatio(2000), 50, 2);
}

TEST_F(EncodeControllerTest, CaptureChoiceFollowsTheRequirement) {
  VideoFormat caps[3] = {{3, 640, 480, 5.0f, 0}, {2, 1280, 720, 5.0f, 0}, {2, 320, 240, 5.0f, 0}};
  caps[0].set_max_frame_rate(30.0f);
  caps[1].set_max_frame_rate(15.0f);
  caps[2].set_max_frame_rate(30.0f);
  VideoFormat chosen{};
  ASSERT_EQ(controller_->GetCaptureCapability(3, caps, 2, &chosen), VSE_S_OK);
  EXPECT_EQ(chosen.width, 640);  // requirement 2: 640x360 at 24 fps or more
  // Everything that asks for HD, and the bandwidth for it.
  Uplink(3000000);
  SubscriptionRecord hd{1280, 720};
  controller_->SetSubscription(1, &hd);
  controller_->SetCapabilityClass(3);
  controller_->SetDeviceClass(3);
  controller_->AdjustPerformance(1);
  ASSERT_EQ(controller_->GetCaptureCapability(3, caps, 3, &chosen), VSE_S_OK);
  EXPECT_EQ(chosen.width, 1280);
  // Performance class 1 falls back to 320x180 at 24 fps.
  ASSERT_EQ(controller_->GetCaptureCapability(3, caps, 1, &chosen), VSE_S_OK);
  EXPECT_EQ(chosen.width, 320);
  controller_->SetDeviceClass(0);
  ASSERT_EQ(controller_->GetCaptureCapability(3, caps, 3, &chosen), VSE_S_OK);
  EXPECT_EQ(chosen.width, 640);  // the first format
  // A changed choice reaches the sink.
  controller_->SetDeviceClass(3);
  controller_->SetCaptureCameraCapability(3, caps, 3);
  ASSERT_FALSE(sinks_.captures.empty());
  EXPECT_EQ(sinks_.captures.back().width, 1280);
}

TEST_F(EncodeControllerTest, CameraModeCarriesTheLevelOverByItsBitRate) {
  ASSERT_EQ(Level(), 16);
  const int changes = sinks_.level_changes;
  EXPECT_EQ(controller_->SetCameraMode(1), VSE_S_OK);
  EXPECT_EQ(controller_->source_type_for_testing(), 0);
  EXPECT_EQ(Level(), 15);  // the level of the same bit rate, one below
  EXPECT_EQ(sinks_.level_changes, changes + 1);
  EXPECT_EQ(controller_->SetCameraMode(1), VSE_S_OK);  // already there
  EXPECT_EQ(sinks_.level_changes, changes + 1);
  EncodeParams params;
  controller_->GetEncodeConfiguration(&params);
  EXPECT_EQ(params.level.long_term_reference, 1);  // source type 0
  EXPECT_EQ(controller_->SetCameraMode(0), VSE_S_OK);
  EXPECT_EQ(controller_->source_type_for_testing(), 1);
  EXPECT_EQ(Level(), 14);
  // Never at or below index 0's top when index 1 or more is in use.
  SubscriptionRecord small{320, 180};
  controller_->SetSubscription(1, &small);
  controller_->SetCameraMode(1);
  controller_->SetCameraMode(0);
  EXPECT_GT(Level(), controller_->generator()->GetHighestLevel(0));
  SourceInfo screen{2, 1280, 720, 15};
  controller_->SetSourceInfo(&screen);
  EXPECT_EQ(controller_->SetCameraMode(1), VSE_E_INVALIDARG);
}

TEST_F(EncodeControllerTest, SubscriptionStatusPerSize) {
  SubscriptionRecord small{320, 180};
  controller_->SetSubscription(1, &small);
  EXPECT_EQ(controller_->spatial_index_for_testing(), 1);
  EXPECT_EQ(Level(), 5);  // the default of index 1
  SubscriptionRecord tiny{160, 90};
  controller_->SetSubscription(1, &tiny);
  EXPECT_EQ(controller_->spatial_index_for_testing(), 0);
  SubscriptionRecord mixed[2] = {{160, 90}, {640, 360}};
  controller_->SetSubscription(2, mixed);
  EXPECT_EQ(controller_->spatial_index_for_testing(), 2);
  // A portrait source counts 384x600 as the middle size.
  SourceInfo portrait{3, 384, 600, 24};
  controller_->SetSourceInfo(&portrait);
  SubscriptionRecord tall{384, 600};
  controller_->SetSubscription(1, &tall);
  EXPECT_EQ(controller_->spatial_index_for_testing(), 2);
  SubscriptionRecord wide{640, 360};
  controller_->SetSubscription(1, &wide);
  EXPECT_EQ(controller_->spatial_index_for_testing(), 1);
  EXPECT_EQ(controller_->SetSourceInfo(nullptr), VSE_E_INVALIDARG);
}

}  // namespace

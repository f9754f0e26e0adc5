#include "video/engine/send/encoder_param_builder.h"

#include <gtest/gtest.h>

#include <memory>

#include "video/engine/send/encode_param_generator.h"
#include "video/engine/send/frame_rate_monitor.h"

namespace {

using W = vzh264::EncoderParam;

EncodeLevel SvcLevel(int index) {
  std::unique_ptr<CVseBaseEncodeParamGenerator> g(CVseEncodeParamFactory::Create(1));
  EncodeLevel level;
  g->GetLevel(index, &level);
  return level;
}

EncoderInputFormat Input(int w, int h, float fps = 30.0f) {
  EncoderInputFormat in;
  in.video_type = 2;
  in.width = w;
  in.height = h;
  in.frame_rate = fps;
  return in;
}

float LayerRate(const W& p, int k) { return std::bit_cast<float>(p.Layer(k, W::kLayerFrameRate)); }

TEST(EncoderParamBuilder, LimitToCaptureSingleLayerTakesTheCaptureSize) {
  std::unique_ptr<CVseBaseEncodeParamGenerator> g(CVseEncodeParamFactory::Create(0));
  EncodeLevel level;
  ASSERT_EQ(g->GetLevel(20, &level), VSE_S_OK);  // 640x360, one layer
  ASSERT_EQ(level.widths[0], 640);
  W p;
  float rate = 0;
  ASSERT_EQ(BuildEncoderParam(level, Input(320, 180), EncoderSwitches{}, &p, &rate), VSE_S_OK);
  EXPECT_EQ(p.At(W::kSpatialLayers), 1u);
  EXPECT_EQ(p.Layer(0, W::kLayerWidth), 320u);
  EXPECT_EQ(p.Layer(0, W::kLayerHeight), 180u);
  EXPECT_EQ(p.Layer(0, W::kLayerBitrate), static_cast<uint32_t>(level.bitrates[0]));
  EXPECT_EQ(p.At(W::kTotalBitrate), static_cast<uint32_t>(level.bitrates[0]));
  EXPECT_EQ(p.At(W::kLongTermReference), 1u);
  // Switched off, the level's own size stays.
  EncoderSwitches off;
  off.limit_to_capture = false;
  ASSERT_EQ(BuildEncoderParam(level, Input(320, 180), off, &p, &rate), VSE_S_OK);
  EXPECT_EQ(p.Layer(0, W::kLayerWidth), 640u);
}

TEST(EncoderParamBuilder, LimitToCaptureSvcKeepsLowerLayersAndRaisesTheLastKept) {
  const EncodeLevel level = SvcLevel(19);  // 160/320/640
  ASSERT_EQ(level.layer_count, 3);
  W p;
  float rate = 0;
  ASSERT_EQ(BuildEncoderParam(level, Input(320, 180), EncoderSwitches{}, &p, &rate), VSE_S_OK);
  EXPECT_EQ(p.At(W::kSpatialLayers), 2u);
  EXPECT_EQ(p.Layer(1, W::kLayerWidth), 320u);
  EXPECT_EQ(p.Layer(1, W::kLayerBitrate), 180000u + 60000u);
  EXPECT_EQ(p.At(W::kTotalBitrate), 64000u + 240000u);
  // Within 32 pixels of the capture a layer stays.
  ASSERT_EQ(BuildEncoderParam(level, Input(616, 336), EncoderSwitches{}, &p, &rate), VSE_S_OK);
  EXPECT_EQ(p.At(W::kSpatialLayers), 3u);
  EXPECT_EQ(p.Layer(2, W::kLayerWidth), 640u);
  ASSERT_EQ(BuildEncoderParam(level, Input(606, 360), EncoderSwitches{}, &p, &rate), VSE_S_OK);
  EXPECT_EQ(p.At(W::kSpatialLayers), 2u);
}

TEST(EncoderParamBuilder, LayerFrameRatesHalveTheStreamRate) {
  EncodeLevel level = SvcLevel(19);
  level.frame_rates[0] = 7.5f;
  level.frame_rates[1] = 15.0f;
  level.frame_rates[2] = 30.0f;
  W p;
  float rate = 0;
  ASSERT_EQ(BuildEncoderParam(level, Input(640, 360, 30), EncoderSwitches{}, &p, &rate), VSE_S_OK);
  EXPECT_FLOAT_EQ(rate, 30.0f);
  EXPECT_FLOAT_EQ(p.FloatAt(W::kFrameRate), 30.0f);
  EXPECT_FLOAT_EQ(LayerRate(p, 0), 7.5f);
  EXPECT_FLOAT_EQ(LayerRate(p, 1), 15.0f);
  EXPECT_FLOAT_EQ(LayerRate(p, 2), 30.0f);
  EXPECT_EQ(p.At(W::kTemporalLevels), 3u);

  // The generator's 6/12/24: the top runs at 24, below it halves to 12 and 6.
  const EncodeLevel generated = SvcLevel(16);
  ASSERT_FLOAT_EQ(generated.frame_rates[2], 24.0f);
  ASSERT_EQ(BuildEncoderParam(generated, Input(640, 360, 30), EncoderSwitches{}, &p, &rate), VSE_S_OK);
  EXPECT_FLOAT_EQ(rate, 24.0f);
  EXPECT_FLOAT_EQ(LayerRate(p, 0), 6.0f);
  EXPECT_FLOAT_EQ(LayerRate(p, 1), 12.0f);
  EXPECT_FLOAT_EQ(LayerRate(p, 2), 24.0f);

  // Nearest of the halves, within the temporal levels there are.
  EXPECT_FLOAT_EQ(LayerFrameRate(30, 10, 3), 15.0f);  // 10 - 7.5 is not below (15 - 10) / 2
  EXPECT_FLOAT_EQ(LayerFrameRate(30, 9, 3), 7.5f);
  EXPECT_FLOAT_EQ(LayerFrameRate(30, 7.5f, 2), 15.0f);
  EXPECT_FLOAT_EQ(LayerFrameRate(30, 0.05f, 3), 7.5f);  // 0.1 or less asks 1
  EXPECT_FLOAT_EQ(LayerFrameRate(12, 24, 3), 12.0f);
}

TEST(EncoderParamBuilder, TemporalLevelsIntraPeriodAndSlices) {
  EncodeLevel level = SvcLevel(37);  // four layers
  W p;
  float rate = 0;
  ASSERT_EQ(BuildEncoderParam(level, Input(1280, 720, 17.9f), EncoderSwitches{}, &p, &rate), VSE_S_OK);
  EXPECT_EQ(p.At(W::kTemporalLevels), 2u);
  EXPECT_EQ(p.At(W::kIntraPeriod), 0u);
  EXPECT_EQ(p.Layer(3, W::kLayerSliceCount), 0u);
  level.periodic_intra = 1;
  level.multi_slice = 1;
  ASSERT_EQ(BuildEncoderParam(level, Input(1280, 720, 18), EncoderSwitches{}, &p, &rate), VSE_S_OK);
  EXPECT_EQ(p.At(W::kTemporalLevels), 3u);
  EXPECT_EQ(p.At(W::kIntraPeriod), 640u);
  EXPECT_EQ(p.Layer(3, W::kLayerSliceMode), 1u);
  EXPECT_EQ(p.Layer(3, W::kLayerSliceCount), 4u);
  EXPECT_EQ(p.Layer(2, W::kLayerSliceCount), 0u);
  EncoderSwitches single;
  single.single_temporal_layer = true;
  ASSERT_EQ(BuildEncoderParam(level, Input(1280, 720, 30), single, &p, &rate), VSE_S_OK);
  EXPECT_EQ(p.At(W::kTemporalLevels), 1u);
  EXPECT_EQ(p.At(W::kIntraPeriod), 160u);
  EXPECT_EQ(p.At(W::kColorFormat), W::kColorI420);

  EXPECT_EQ(BuildEncoderParam(level, Input(1280, 720), EncoderSwitches{}, &p, &rate), VSE_S_OK);
  EncoderInputFormat bad = Input(1280, 720);
  bad.video_type = 0;
  EXPECT_EQ(BuildEncoderParam(level, bad, EncoderSwitches{}, &p, &rate), VSE_E_FAIL);
  bad.video_type = 16;
  EXPECT_EQ(BuildEncoderParam(level, bad, EncoderSwitches{}, &p, &rate), VSE_E_FAIL);
}

TEST(FrameRateMonitor, MeasuresEveryFiftyFramesAndResetsAfterAGap) {
  CFrameRateMonitor m(20.0f);
  uint32_t t = 5000;
  int changed = 0;
  for (int i = 0; i < 50; ++i) changed += m.Update(t += 40) ? 1 : 0;  // 25 fps: 50 frames in 49 gaps
  EXPECT_EQ(changed, 1);
  EXPECT_NEAR(m.rate(), 25.5f, 0.05f);
  // 26 fps is within 10 %: no change until 30 s passed since the last.
  int changes = 0;
  for (int i = 0; i < 50 * 25; ++i) {
    t += 38;
    if (m.Update(t)) ++changes;
  }
  EXPECT_EQ(changes, 1);
  EXPECT_GT(m.rate(), 25.5f);
  // A second without frames.
  EXPECT_TRUE(m.Update(t += 1000));
  EXPECT_FLOAT_EQ(m.rate(), 1.0f);
  EXPECT_FALSE(m.Update(t += 2000));  // already 1
  // Fast input is capped at 30.
  for (int i = 0; i < 50; ++i) m.Update(t += 10);
  EXPECT_FLOAT_EQ(m.rate(), 30.0f);
}

TEST(FrameRateFilter, PassesRoundedElapsedTimesTarget) {
  CFrameRateFilter f;
  f.SetTarget(15.0f);
  int passed = 0;
  uint32_t t = 100000;
  for (int i = 0; i < 30; ++i, t += 33) passed += f.Pass(t) ? 1 : 0;
  // The first frame opens the window; then round(957 x 15 / 1000) = 14.
  EXPECT_EQ(passed, 1 + 14);
  f.SetTarget(0.0f);
  EXPECT_FLOAT_EQ(f.target_for_testing(), 1.0f);
  CFrameRateFilter back;
  back.SetTarget(30);
  EXPECT_TRUE(back.Pass(5000));
  EXPECT_TRUE(back.Pass(4000));  // before the window: a new window
  EXPECT_FALSE(back.Pass(4010));
}

}  // namespace

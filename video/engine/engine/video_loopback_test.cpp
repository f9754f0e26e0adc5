#include "video/engine/engine/video_loopback.h"

#include <gtest/gtest.h>

namespace {

TEST(VideoLoopback, WithoutLossEveryFrameArrivesClean) {
  LoopbackOptions options;
  options.frames = 90;
  const LoopbackFigures f = RunVideoLoopback(options);
  ASSERT_TRUE(f.ok);
  EXPECT_EQ(f.frames_sent, 90);
  EXPECT_EQ(f.frames_received, 90);
  EXPECT_EQ(f.packets_dropped, 0);
  EXPECT_EQ(f.packets_recovered, 0);
  EXPECT_EQ(f.lower_layer_pictures, 0);
  EXPECT_EQ(f.key_frame_requests, 0);
  EXPECT_GT(f.psnr_db, 40.0);
}

// Losses FEC cannot repair (at this loss the sender protects the lowest
// temporal layers only, and small units not at all) cost the pictures that
// refer to what was lost, until the requested key frame arrives; a damaged
// picture that nothing refers to costs itself only. What is delivered is
// whole.
TEST(VideoLoopback, FivePercentLossIsRepairedOrRecoveredByKeyFrames) {
  for (uint32_t seed : {1u, 2u, 3u}) {
    LoopbackOptions options;
    options.frames = 150;
    options.loss_percent = 5;
    options.seed = seed;
    const LoopbackFigures f = RunVideoLoopback(options);
    ASSERT_TRUE(f.ok) << "seed " << seed;
    EXPECT_GT(f.packets_dropped, 0) << "seed " << seed;
    EXPECT_GT(f.packets_recovered, 0) << "seed " << seed;
    EXPECT_EQ(f.late_units, 0) << "seed " << seed;
    EXPECT_GT(f.key_frame_requests, 0) << "seed " << seed;
    EXPECT_GT(f.frames_received, f.frames_sent * 2 / 3) << "seed " << seed;
    EXPECT_GT(f.psnr_db, 35.0) << "seed " << seed;
  }
}

TEST(VideoLoopback, TwentyPercentLossStillDeliversPictures) {
  LoopbackOptions options;
  options.frames = 150;
  options.loss_percent = 20;
  const LoopbackFigures f = RunVideoLoopback(options);
  ASSERT_TRUE(f.ok);
  EXPECT_GT(f.packets_recovered, 0);
  EXPECT_GT(f.frames_received, 0);
  EXPECT_LE(f.frames_received, f.frames_sent);
}

}  // namespace

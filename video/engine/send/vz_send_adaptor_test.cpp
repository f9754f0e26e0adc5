#include "video/engine/send/vz_send_adaptor.h"

#include <gtest/gtest.h>

#include <vector>

#include "video/engine/core/engine_clock.h"
#include "video/engine/rtp/rtp_extension_elements.h"
#include "video/engine/rtp/rtp_header_extension.h"
#include "video/engine/rtp/rtp_packet.h"

namespace {

using W = vzh264::EncoderParam;

// An RTP packet with the priority element (the same priority in every
// slot), or without one when priority < 0.
std::vector<uint8_t> Packet(int priority, uint32_t rtp_time = 9000, int payload = 100) {
  CVseRtpPacket packet;
  packet.set_timestamp(rtp_time);
  std::vector<uint8_t> bytes(static_cast<size_t>(payload), 0x42);
  packet.SetPayload(bytes.data(), payload);
  if (priority >= 0) {
    uint8_t element[CRtpOneByteHeaderExtend_Priority::kLength];
    CRtpOneByteHeaderExtend_Priority::Init(element);
    for (int slot = 0; slot < 4; ++slot) CRtpOneByteHeaderExtend_Priority::SetPriority(element, slot, priority);
    const uint8_t* elements[] = {element};
    const int lengths[] = {CRtpOneByteHeaderExtend_Priority::kLength};
    EXPECT_TRUE(vz::rtp::AddOneByteElements(&packet, elements, lengths, 1)) << "priority " << priority;
  }
  return std::vector<uint8_t>(packet.Data(), packet.Data() + packet.TotalLength());
}

class SendAdaptorTest : public ::testing::Test {
 protected:
  void SetUp() override { VZSE_::SetEngineClockForTest(&clock_); }
  void TearDown() override { VZSE_::SetEngineClockForTest(nullptr); }
  int32_t Frame(CVzSendAdaptor& a, int priority, int32_t total, uint32_t ts = 0, uint32_t rtp_time = 9000) {
    const std::vector<uint8_t> p = Packet(priority, rtp_time);
    int32_t out = 15;
    return a.AdaptFrame(p.data(), static_cast<int32_t>(p.size()), total, ts, &out);
  }
  VZSE_::FakeEngineClock clock_;
};

TEST_F(SendAdaptorTest, FlatThresholdsAtConstructionAndAfterResets) {
  CVzSendAdaptor a;
  EXPECT_EQ(a.threshold_for_testing(0), 157286);
  EXPECT_EQ(a.threshold_for_testing(1), 97866);  // the fill truncated before the division
  EXPECT_EQ(a.threshold_for_testing(14), 6990);
  // An empty bucket passes a priority-1 frame right away.
  EXPECT_EQ(Frame(a, 1, 1000), kAdaptSend);
  EXPECT_EQ(a.occupancy_for_testing(), 1000);

  a.ResetLevelThreshold(150000);
  EXPECT_EQ(a.threshold_for_testing(0), 15000);  // 11,250 x 1.333335
  EXPECT_EQ(a.threshold_for_testing(1), 7000);
  a.ResetLevelThreshold(100000);
  EXPECT_EQ(a.threshold_for_testing(0), 12500);
  a.ResetLevelThreshold(300000);
  EXPECT_EQ(a.threshold_for_testing(0), 22500);  // no factor above 200 kbit/s
  EXPECT_EQ(a.rate_for_testing(), CVzSendAdaptor::kInitialRate);
}

TEST_F(SendAdaptorTest, SetBandwidthScalesWithoutTheLowRateFactor) {
  CVzSendAdaptor a;
  a.SetBandwidth(150000);
  EXPECT_EQ(a.threshold_for_testing(0), 11250);
  EXPECT_EQ(a.threshold_for_testing(14), 499);
  for (int k = 1; k < 15; ++k) EXPECT_LE(a.threshold_for_testing(k), a.threshold_for_testing(k - 1)) << "class " << k;
}

TEST_F(SendAdaptorTest, RateZeroDropsAllButBaseFrames) {
  CVzSendAdaptor a;
  a.SetBandwidth(0);
  for (int k = 0; k < 15; ++k) EXPECT_EQ(a.threshold_for_testing(k), 0) << "class " << k;
  EXPECT_EQ(Frame(a, 1, 100), kAdaptDropForRate);
  EXPECT_EQ(Frame(a, 14, 100), kAdaptDropForRate);
  EXPECT_EQ(Frame(a, 0, 100), kAdaptSend);
  a.EnableDropP0(true);
  EXPECT_EQ(Frame(a, 0, 100, 0, 1), kAdaptDropForRate);
  a.EnableDropP0(false);
  ASSERT_TRUE(a.SetMaxMode(0));
  EXPECT_EQ(Frame(a, 0, 100, 0, 2), kAdaptDropForRate);
}

TEST_F(SendAdaptorTest, ADroppedBaseFrameBlocksTheOthersUntilOnePasses) {
  CVzSendAdaptor a;
  a.EnableDropP0(true);
  EXPECT_EQ(Frame(a, 0, 200000), kAdaptDropForRate);  // over threshold 0
  EXPECT_TRUE(a.last_idr_dropped_for_testing());
  EXPECT_EQ(Frame(a, 5, 10), kAdaptDropForRate);
  EXPECT_EQ(Frame(a, 14, 10), kAdaptDropForRate);
  EXPECT_EQ(Frame(a, 0, 1000), kAdaptSend);
  EXPECT_FALSE(a.last_idr_dropped_for_testing());
  EXPECT_EQ(Frame(a, 5, 10), kAdaptSend);
  // A reset with a non-zero fill clears the block too.
  EXPECT_EQ(Frame(a, 0, 200000), kAdaptDropForRate);
  a.ResetLevelThreshold(-1);
  EXPECT_EQ(Frame(a, 5, 10), kAdaptSend);
}

TEST_F(SendAdaptorTest, UnusableFramesOnlyLeak) {
  CVzSendAdaptor a;
  EXPECT_EQ(Frame(a, 2, 50000), kAdaptSend);
  EXPECT_EQ(a.occupancy_for_testing(), 50000);
  EXPECT_EQ(Frame(a, -1, 1000), kAdaptUnusable);  // no priority element
  EXPECT_EQ(Frame(a, 15, 1000), kAdaptUnusable);
  EXPECT_EQ(a.occupancy_for_testing(), 50000);
  // 100 ms at 2,097,152 bit/s leaks 262 x 100 bytes.
  clock_.AdvanceMs(100);
  EXPECT_EQ(Frame(a, -1, 1000), kAdaptUnusable);
  EXPECT_EQ(a.occupancy_for_testing(), 50000 - 26200);
}

TEST_F(SendAdaptorTest, AClockStepBackLeaksNothing) {
  CVzSendAdaptor a;
  clock_.AdvanceMs(50);
  EXPECT_EQ(Frame(a, 2, 40000), kAdaptSend);
  VZSE_::FakeEngineClock earlier(clock_.MonotonicUs() - 20000);
  VZSE_::SetEngineClockForTest(&earlier);
  EXPECT_EQ(Frame(a, -1, 0), kAdaptUnusable);
  EXPECT_EQ(a.occupancy_for_testing(), 40000);
  earlier.AdvanceMs(10);  // leaks from the restarted time
  EXPECT_EQ(Frame(a, -1, 0), kAdaptUnusable);
  EXPECT_EQ(a.occupancy_for_testing(), 40000 - 2620);
  VZSE_::SetEngineClockForTest(&clock_);
}

TEST_F(SendAdaptorTest, PacketsOfOneFrameShareOneDecision) {
  CVzSendAdaptor a;
  a.SetBandwidth(80000);  // small thresholds
  const int32_t t5 = a.threshold_for_testing(5);
  const std::vector<uint8_t> p = Packet(5, 1234);
  int32_t out = 15;
  // Fill just under the threshold with the first packet; the next packets of
  // the same frame repeat its decision although the bucket is now over.
  std::vector<uint8_t> big = Packet(5, 1234, 1000);
  int32_t first = a.AdaptPacket(0, big.data(), t5 - 1, &out);
  EXPECT_EQ(first, kAdaptSend);
  EXPECT_EQ(out, 5);
  EXPECT_EQ(a.AdaptPacket(0, p.data(), static_cast<int32_t>(p.size()), &out), kAdaptSend);
  // Another frame (time stamp) at the same priority is judged anew.
  const std::vector<uint8_t> next = Packet(5, 4321);
  EXPECT_EQ(a.AdaptPacket(0, next.data(), static_cast<int32_t>(next.size()), &out), kAdaptDropForRate);
  const std::vector<uint8_t> none = Packet(-1);
  out = 15;
  EXPECT_EQ(a.AdaptPacket(0, none.data(), static_cast<int32_t>(none.size()), &out), kAdaptUnusable);
  EXPECT_EQ(out, 15);
}

TEST_F(SendAdaptorTest, MaxModeOutsideZeroToThreeIsRefused) {
  CVzSendAdaptor a;
  EXPECT_FALSE(a.SetMaxMode(4));
  EXPECT_FALSE(a.SetMaxMode(-1));  // an output count of 0 would drop everything
  EXPECT_EQ(a.GetMaxMode(), 3);
  EXPECT_EQ(Frame(a, 3, 100), kAdaptSend);
}

TEST_F(SendAdaptorTest, EncoderLayersGiveMonotoneThresholds) {
  CVzSendAdaptor a;
  W p;
  p.At(W::kSpatialLayers) = 3;
  p.At(W::kTemporalLevels) = 3;
  p.SetFloat(W::kFrameRate, 30.0f);
  const float rates[3] = {7.5f, 15.0f, 30.0f};
  const uint32_t bitrates[3] = {64000, 180000, 520000};
  for (int k = 0; k < 3; ++k) {
    p.Layer(k, W::kLayerFrameRate) = std::bit_cast<uint32_t>(rates[k]);
    p.Layer(k, W::kLayerBitrate) = bitrates[k];
  }
  a.SetEncoderParam(p);  // word 23 is 0: thresholds from the layers at once
  const int32_t fill = static_cast<int32_t>(2097152 / 8000.0 * 600);
  EXPECT_EQ(a.threshold_for_testing(0), fill);  // nothing below priority 0
  for (int k = 2; k < 15; ++k) EXPECT_LE(a.threshold_for_testing(k), a.threshold_for_testing(k - 1)) << k;
  // Priorities 0, 4, 5 and 8 carry rate: 64k + 0.6 x 180k + 0.4 x 520k at 0.
  const double b0 = 64000 + 0.6 * 180000 + 0.4 * 520000;
  const int32_t cum0 = static_cast<int32_t>(b0 * 100 / 764000);
  EXPECT_EQ(a.threshold_for_testing(4), (100 - cum0) * fill / 100);
  EXPECT_LT(a.threshold_for_testing(14), a.threshold_for_testing(8));
  // A new rate recomputes from the layers.
  a.SetBandwidth(1000000);
  EXPECT_EQ(a.threshold_for_testing(0), static_cast<int32_t>(1000000 / 8000.0 * 600));
}

}  // namespace

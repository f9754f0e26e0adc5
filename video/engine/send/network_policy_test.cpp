#include "video/engine/send/network_policy.h"

#include <gtest/gtest.h>

#include "video/engine/send/vz_encode_controller.h"
#include "video/engine/send/vz_send_controller.h"

namespace {

UplinkStat Stat(int32_t rtt, int32_t jitter, int32_t loss, int32_t delay = 0) {
  UplinkStat s;
  s.rtt = rtt;
  s.jitter = jitter;
  s.loss_rate = loss;
  s.reserved = delay;
  return s;
}

TEST(SimpleNetworkPolicy, RateFromTheRecordAndDropP0UnderCongestion) {
  CVzSendController controller;
  ASSERT_EQ(controller.Initalize(1000000, 1, false), 0);
  CSimpleNetworkPolicy policy;
  UplinkStat s = Stat(100, 10, 0);
  s.bandwidth = 640000;
  s.status = 4;
  policy.Update(s, 0, false, &controller);
  EXPECT_EQ(policy.rate(), 640000u);
  EXPECT_EQ(controller.max_queue_for_testing(), 40);  // the controller paces at the new rate
  EXPECT_EQ(policy.last_status(), 4);
}

TEST(EstimatorNetworkPolicy, RttBelowFiftyCountsAsFifty) {
  CEstimatorNetworkPolicy policy;
  policy.SetBandwidths(800000, 32000, 1280000);
  policy.Update(Stat(10, 1, 0), 1000, false, nullptr);
  EXPECT_DOUBLE_EQ(policy.min_rtt_for_testing(), 50.0);
  policy.Update(Stat(30, 1, 0), 1200, false, nullptr);
  EXPECT_DOUBLE_EQ(policy.min_rtt_for_testing(), 50.0);
}

TEST(EstimatorNetworkPolicy, IncreasesAtMostOncePerSecondAndClamped) {
  CEstimatorNetworkPolicy policy;
  policy.SetBandwidths(800000, 32000, 600000);
  uint32_t now = 1000;
  uint32_t last = policy.rate();
  int raises = 0;
  for (int i = 0; i < 50; ++i, now += 200) {  // 10 s of clean 200 ms records
    policy.Update(Stat(60, 2, 0), now, false, nullptr);
    EXPECT_EQ(policy.state_for_testing(), CEstimatorNetworkPolicy::kIncrease) << "record " << i;
    if (policy.rate() > last) ++raises;
    last = policy.rate();
  }
  EXPECT_LE(raises, 10);
  EXPECT_EQ(policy.rate(), 600000u);  // the maximum holds
  // With the hold flag nothing rises.
  CEstimatorNetworkPolicy held;
  held.SetBandwidths(800000, 32000, 2000000);
  for (int i = 0; i < 20; ++i) held.Update(Stat(60, 2, 0), 1000 + i * 200, true, nullptr);
  EXPECT_EQ(held.rate(), CEstimatorNetworkPolicy::kStartRate);
}

TEST(EstimatorNetworkPolicy, RisingLossCutsAtMostOnceInFifteenSeconds) {
  CEstimatorNetworkPolicy policy;
  policy.SetBandwidths(800000, 32000, 2000000);
  uint32_t now = 1000;
  // A clean start, then loss climbing record after record.
  for (int i = 0; i < 30; ++i, now += 200) policy.Update(Stat(60, 2, 0, 400000), now, true, nullptr);
  int cuts = 0;
  uint32_t previous = policy.rate();
  uint32_t first_cut = 0, second_cut = 0;
  for (int i = 0; i < 200; ++i, now += 200) {
    policy.Update(Stat(60, 2, 20 + i * 5, 400000), now, true, nullptr);
    if (policy.rate() < previous) {
      ++cuts;
      (cuts == 1 ? first_cut : second_cut) = now;
    }
    previous = policy.rate();
  }
  ASSERT_GE(cuts, 1);
  EXPECT_LE(policy.rate(), 0.9 * 400000 + 1);  // cut to 0.9 x the delay average
  if (cuts >= 2) {
    EXPECT_GT(second_cut - first_cut, 15000u);
  }
}

}  // namespace

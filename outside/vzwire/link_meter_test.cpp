#include "outside/vzwire/link_meter.h"

#include <gtest/gtest.h>

namespace vzwire {
namespace {

TEST(LinkMeterTest, RatesOverTheIntervalAndTheSmoothedRoundTrip) {
  LinkMeter meter;
  meter.Report(1000, 0, false);  // starts the interval
  meter.OnSent(125000);          // 1 Mbit
  meter.OnReceived(125000);
  meter.OnPong(20000, 0, 0);
  meter.OnPong(40000, 0, 0);
  const LinkReport report = meter.Report(2000, 0, false);
  EXPECT_EQ(report.totalbw, 2000000);
  EXPECT_EQ(report.rtt, 23);     // 20 + (40 - 20) / 8
  EXPECT_EQ(report.jitter, 5);   // |40 - 20| / 4
  EXPECT_EQ(report.state, 0);
  const LinkReport idle = meter.Report(4000, 0, false);
  EXPECT_EQ(idle.totalbw, 0);  // counters start again each interval
}

// The uplink estimate: what the link carries, never just what the sender
// chose to send (else a quiet sender is told the link is as small as its
// output, and an encoder that follows it spirals down to nothing).
TEST(LinkMeterTest, BandwidthGrowsWhileTheQueueIsShortAndFallsToWhatWentOutWhenItBacksUp) {
  LinkMeter meter;
  // A quiet sender on a free link: the estimate grows from its start, a
  // quarter each report.
  LinkReport report = meter.Report(1000, 0, false);
  EXPECT_EQ(report.bandwidth, LinkMeter::kStartBandwidth * 5 / 4);
  for (int i = 2; i < 40; ++i) report = meter.Report(i * 1000, 0, false);
  EXPECT_EQ(report.bandwidth, LinkMeter::kMaxBandwidth);  // up to the ceiling, never past it
  // The queue backs up while 40,000 bytes went out in the second.
  meter.OnSent(40000);
  report = meter.Report(40000, LinkMeter::kCongestedBacklog + 1, false);
  EXPECT_EQ(report.bandwidth, 34000);  // 85 % of what went out
  EXPECT_EQ(report.state, 1);
  // Nothing went out while backed up: the floor, not zero.
  report = meter.Report(41000, LinkMeter::kCongestedBacklog + 1, false);
  EXPECT_EQ(report.bandwidth, LinkMeter::kMinBandwidth);
  // Reconnecting measures nothing: the estimate stands.
  EXPECT_EQ(meter.Report(42000, 0, true).bandwidth, LinkMeter::kMinBandwidth);
  // A sender above the estimate on a free link: growth starts from what it sent.
  meter.OnSent(100000);
  EXPECT_EQ(meter.Report(43000, 0, false).bandwidth, 125000);
}

TEST(LinkMeterTest, LossIsWhatTheServerDroppedOfWhatWasMeantForMe) {
  LinkMeter meter;
  meter.Report(0, 0, false);
  meter.OnPong(1000, 10, 100);
  LinkReport report = meter.Report(1000, 0, false);
  EXPECT_FLOAT_EQ(report.lossrate, 0.1f);
  EXPECT_EQ(report.state, 1);  // over 5 %
  meter.OnPong(1000, 10, 200);  // no new drops
  report = meter.Report(2000, 0, false);
  EXPECT_FLOAT_EQ(report.lossrate, 0.0f);
  // A new connection counts from zero again.
  meter.OnPong(1000, 1, 2);
  report = meter.Report(3000, 0, false);
  EXPECT_FLOAT_EQ(report.lossrate, 0.5f);
}

TEST(LinkMeterTest, StateSaysCongestedOrReconnecting) {
  LinkMeter meter;
  EXPECT_EQ(meter.Report(1000, LinkMeter::kCongestedBacklog + 1, false).state, 1);
  EXPECT_EQ(meter.Report(2000, LinkMeter::kCongestedBacklog, false).state, 0);
  EXPECT_EQ(meter.Report(3000, 0, true).state, 2);
}

}  // namespace
}  // namespace vzwire

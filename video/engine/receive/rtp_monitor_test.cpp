#include "video/engine/receive/rtp_monitor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <utility>
#include <vector>

#include "video/engine/core/engine_clock.h"
#include "video/engine/receive/receive_testlib.h"
#include "video/engine/receive/rtp_monitor_manager.h"
#include "video/engine/rtp/rtcp_packet_tool.h"

namespace {

using receive_test::LogCapture;
using receive_test::MakePacket;
using receive_test::PacketSpec;

class RecordingOut : public IRtpPacketOut {
 public:
  VseResult SendPacket(const uint8_t* data, int32_t length, int32_t kind) override {
    std::lock_guard<std::mutex> hold(lock);
    packets.emplace_back(data, data + length);
    kinds.push_back(kind);
    return VSE_S_OK;
  }
  size_t count() {
    std::lock_guard<std::mutex> hold(lock);
    return packets.size();
  }
  std::mutex lock;
  std::vector<std::vector<uint8_t>> packets;
  std::vector<int32_t> kinds;
};

class RecordingSink : public IRtpMonitorSink {
 public:
  void SetReceiveParameter(int32_t kind, uint32_t value) override { calls.emplace_back(kind, value); }
  std::vector<std::pair<int32_t, uint32_t>> calls;
};

class RtpMonitorTest : public ::testing::Test {
 protected:
  void SetUp() override { previous_ = VZSE_::SetEngineClockForTest(&clock_); }
  void TearDown() override { VZSE_::SetEngineClockForTest(previous_); }

  // Feeds a media packet whose transit is constant (send time = t - 5,000).
  VseResult Feed(CVseRtpMonitor* monitor, uint16_t counter, uint32_t t, int payload = 100) {
    PacketSpec spec;
    spec.counter = counter;
    spec.send_ms = t - 5000;
    spec.rtp_ts = (t - 5000) * 90;
    spec.payload_bytes = payload;
    const auto packet = MakePacket(spec);
    return monitor->InputReceivedRtpData(packet.data(), static_cast<int32_t>(packet.size()), t);
  }
  // Drives a monitor to a loss of 333 per mille (class 2) with its first
  // window closing at t0 + 1,000.
  void DriveToBadNetwork(CVseRtpMonitor* monitor, uint32_t t0) {
    Feed(monitor, 0, t0);
    Feed(monitor, 1, t0 + 100);
    Feed(monitor, 2, t0 + 200);
    Feed(monitor, 3, t0 + 1000);
  }

  VZSE_::FakeEngineClock clock_;
  VZSE_::EngineClock* previous_ = nullptr;
  RecordingOut out_;
};

TEST_F(RtpMonitorTest, NetworkClassTableAndLossScale) {
  EXPECT_EQ(CVseRtpMonitor::NetworkClass(600, 50), 2);
  EXPECT_EQ(CVseRtpMonitor::NetworkClass(100, 150), 1);
  EXPECT_EQ(CVseRtpMonitor::NetworkClass(600, 150), 1);
  EXPECT_EQ(CVseRtpMonitor::NetworkClass(0, 250), 2);
  EXPECT_EQ(CVseRtpMonitor::NetworkClass(150, 100), 0);
  EXPECT_EQ(CVseRtpMonitor::NetworkClass(151, 0), 1);
  EXPECT_EQ(CVseRtpMonitor::NetworkClass(500, 0), 1);
  EXPECT_EQ(CVseRtpMonitor::NetworkClass(501, 0), 2);
  EXPECT_EQ(CVseRtpMonitor::NetworkClass(0, 200), 1);
  EXPECT_EQ(CVseRtpMonitor::NetworkClass(0, 201), 2);
  EXPECT_EQ(CVseRtpMonitor::Loss8(1000), 255);
  EXPECT_EQ(CVseRtpMonitor::Loss8(333), 85);
  EXPECT_EQ(CVseRtpMonitor::Loss8(0), 0);
  EXPECT_EQ(CVseRtpMonitor::IsReadyForTesting(1, 1), 0);
  EXPECT_EQ(CVseRtpMonitor::IsReadyForTesting(0, 1), -1);
  EXPECT_EQ(CVseRtpMonitor::IsReadyForTesting(1, 0), -1);
}

TEST_F(RtpMonitorTest, RefusedInputCountsForNothing) {
  CVseRtpMonitor orphan(1, nullptr);
  const auto packet = MakePacket(PacketSpec{});
  EXPECT_EQ(orphan.InputReceivedRtpData(packet.data(), static_cast<int32_t>(packet.size()), 0), VSE_E_POINTER);

  CVseRtpMonitorManager manager(&out_);
  CVseRtpMonitor* monitor = nullptr;
  ASSERT_EQ(manager.CreateMonitor(1, &monitor), VSE_S_OK);
  EXPECT_EQ(monitor->InputReceivedRtpData(nullptr, 100, 0), VSE_E_INVALIDARG);
  EXPECT_EQ(monitor->InputReceivedRtpData(packet.data(), 0, 0), VSE_E_INVALIDARG);
  // Shorter than an RTP header: the time stamp would lie beyond the bytes.
  EXPECT_EQ(monitor->InputReceivedRtpData(packet.data(), 11, 0), VSE_E_INVALIDARG);
  EXPECT_EQ(monitor->GetAnalysedCount(), 0u);
}

TEST_F(RtpMonitorTest, PacketsWithoutTimingElementFeedOnlyTheJitter) {
  LogCapture log;
  CVseRtpMonitorManager manager(&out_);
  CVseRtpMonitor* monitor = nullptr;
  ASSERT_EQ(manager.CreateMonitor(7, &monitor), VSE_S_OK);
  RecordingSink sink;
  monitor->SetSink(&sink);

  PacketSpec plain;
  plain.extension = false;
  plain.rtp_ts = 0;
  auto packet = MakePacket(plain);
  EXPECT_EQ(monitor->InputReceivedRtpData(packet.data(), static_cast<int32_t>(packet.size()), 1000), VSE_S_OK);
  plain.rtp_ts = 100 * 90;
  packet = MakePacket(plain);
  // 160 ms later in transit than the first: jitter 10.
  EXPECT_EQ(monitor->InputReceivedRtpData(packet.data(), static_cast<int32_t>(packet.size()), 1260), VSE_S_OK);
  EXPECT_EQ(monitor->GetJitter(), 10);
  EXPECT_EQ(log.size(), 0u);
  EXPECT_EQ(monitor->GetAnalysedCount(), 0u);

  PacketSpec no_timing;
  no_timing.timing = false;
  no_timing.rtp_ts = 200 * 90;
  packet = MakePacket(no_timing);
  EXPECT_EQ(monitor->InputReceivedRtpData(packet.data(), static_cast<int32_t>(packet.size()), 1520), VSE_S_OK);
  EXPECT_EQ(log.Count("*** ERROR ****** >lret >= 0<"), 1u);
  EXPECT_EQ(log.Count("CVseRtpMonitor::"), 1u);
  EXPECT_EQ(monitor->GetJitter(), 10 + (160 - 10) / 16);
  EXPECT_EQ(monitor->GetAnalysedCount(), 0u);
  EXPECT_TRUE(sink.calls.empty());

  // A timing element that claims 2 data bytes: too short for the counter
  // and send time, so it counts as absent and nothing beyond it is read.
  std::vector<uint8_t> short_element = {0x90, 98, 0, 1, 0, 0, 0x46, 0x50, 0, 0, 0, 0,
                                        0xBE, 0xDE, 0, 1, 0x21, 0xAA, 0xBB, 0x00};
  EXPECT_EQ(monitor->InputReceivedRtpData(short_element.data(), static_cast<int32_t>(short_element.size()), 1400),
            VSE_S_OK);
  EXPECT_EQ(log.Count("lret >= 0"), 2u);
  EXPECT_EQ(monitor->GetAnalysedCount(), 0u);
}

TEST_F(RtpMonitorTest, AnalysisReportsToTheSinkInOrder) {
  CVseRtpMonitorManager manager(&out_);
  CVseRtpMonitor* monitor = nullptr;
  ASSERT_EQ(manager.CreateMonitor(7, &monitor), VSE_S_OK);
  RecordingSink sink;
  monitor->SetSink(&sink);
  // 125,000 bytes over one second.
  for (uint32_t i = 0; i < 10; ++i) Feed(monitor, static_cast<uint16_t>(i), 10000 + 100 * i, 12500 - 28);
  Feed(monitor, 10, 11000, 0);
  ASSERT_EQ(sink.calls.size(), 44u);
  const std::vector<int32_t> order = {1, 2, 0, 3};
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(sink.calls[40 + i].first, order[i]) << "call " << 40 + i;
  EXPECT_EQ(sink.calls[42].second, (1000000u + 28 * 8) >> 10);
  // Counters 7 to 9 came late in the window and belong to the next one;
  // of 0 to 6 the first is expected but not received.
  EXPECT_EQ(sink.calls[43].second, 1000u / 7);
  EXPECT_EQ(monitor->GetAnalysedCount(), 11u);
  monitor->SetSink(nullptr);
  Feed(monitor, 11, 11100);
  EXPECT_EQ(sink.calls.size(), 44u);
}

TEST_F(RtpMonitorTest, FecPacketsAreAnalysedButNeverTriggerFeedback) {
  CVseRtpMonitorManager manager(&out_);
  CVseRtpMonitor* monitor = nullptr;
  ASSERT_EQ(manager.CreateMonitor(7, &monitor), VSE_S_OK);
  DriveToBadNetwork(monitor, 0);
  ASSERT_EQ(monitor->GetNetworkClass(), 2);
  const size_t sent = out_.count();
  const uint32_t jitter = static_cast<uint32_t>(monitor->GetJitter());
  for (uint8_t pt : {uint8_t{110}, uint8_t{111}}) {
    SCOPED_TRACE(testing::Message() << "payload type " << int{pt});
    PacketSpec fec;
    fec.payload_type = pt;
    fec.counter = 4;
    fec.send_ms = 5000;
    fec.rtp_ts = 12345678;  // would disturb the jitter if it were read
    const auto packet = MakePacket(fec);
    const uint32_t analysed = monitor->GetAnalysedCount();
    EXPECT_EQ(monitor->InputReceivedRtpData(packet.data(), static_cast<int32_t>(packet.size()), 10000),
              CVseRtpMonitor::kFecPacket);
    EXPECT_EQ(monitor->GetAnalysedCount(), analysed + 1);
  }
  EXPECT_EQ(out_.count(), sent);
  EXPECT_EQ(static_cast<uint32_t>(monitor->GetJitter()), jitter);
}

TEST_F(RtpMonitorTest, FeedbackPacketByteImage) {
  CVseRtpMonitorManager manager(&out_);
  manager.SetLocalSsrcForTesting(0x01020304);
  CVseRtpMonitor* monitor = nullptr;
  ASSERT_EQ(manager.CreateMonitor(0x11223344, &monitor), VSE_S_OK);
  DriveToBadNetwork(monitor, 0);
  ASSERT_EQ(out_.count(), 1u);
  EXPECT_EQ(out_.kinds[0], 0);
  // Four 128-byte packets in one second: 4,096 bit/s (4 kbit); loss 333
  // per mille (85 / 256); constant transit; sent 6,000 - 5,000 ms.
  const std::vector<uint8_t> expected = {
      0x82, 0xCD, 0x00, 0x07,  // RTPFB, format 2, 7 words
      0x01, 0x02, 0x03, 0x04,  // sender: the local SSRC
      0x11, 0x22, 0x33, 0x44,  // media: the stream
      0xFF, 0xFF, 0xF0, 0x60,  // send time of the last analysed packet (1,000 - 5,000)
      0x00, 0x00, 0x00, 0x00,  // no time since that analysis
      0x00, 0x00, 0x00, 0x00,  // no delay variation
      0x00, 0x00, 0x04, 0x55,  // 4 kbit/s << 8 | 85
  };
  EXPECT_EQ(out_.packets[0], expected);
  EXPECT_EQ(monitor->GetAnalysedCount(), 0u);
}

TEST_F(RtpMonitorTest, FeedbackIntervalAndSeventeenMonitors) {
  CVseRtpMonitorManager manager(&out_);
  std::vector<CVseRtpMonitor*> quiet;
  for (uint32_t ssrc = 100; ssrc < 116; ++ssrc) {
    CVseRtpMonitor* monitor = nullptr;
    ASSERT_EQ(manager.CreateMonitor(ssrc, &monitor), VSE_S_OK) << "ssrc " << ssrc;
    Feed(monitor, 0, 0);
    quiet.push_back(monitor);
  }
  CVseRtpMonitor* bad = nullptr;
  ASSERT_EQ(manager.CreateMonitor(5, &bad), VSE_S_OK);
  DriveToBadNetwork(bad, 0);
  ASSERT_EQ(out_.count(), 2u);
  // SSRC order: 5 first, then 100 .. 115; sixteen items in the first.
  int walked = 0;
  std::vector<uint32_t> media;
  for (const auto& compound : out_.packets) {
    vz::rtcp::WalkCompound(
        [&](const uint8_t* p, int size) {
          SCOPED_TRACE(testing::Message() << "feedback item " << walked);
          int format = 0;
          uint32_t sender = 0, ssrc = 0;
          const uint8_t* fci = nullptr;
          int fci_length = 0;
          ASSERT_TRUE(vz::rtcp::ReadFeedback(p, size, &format, &sender, &ssrc, &fci, &fci_length));
          EXPECT_EQ(format, 2);
          EXPECT_EQ(fci_length, 16);
          media.push_back(ssrc);
          ++walked;
        },
        compound.data(), static_cast<int>(compound.size()));
  }
  EXPECT_EQ(walked, 17);
  EXPECT_EQ(out_.packets[0].size(), 16u * 28u);
  EXPECT_EQ(out_.packets[1].size(), 28u);
  EXPECT_EQ(media.front(), 5u);
  EXPECT_EQ(media.back(), 115u);

  // Within 300 ms nothing more; only monitors with analysed packets after.
  Feed(bad, 4, 1300);
  EXPECT_EQ(out_.count(), 2u);
  Feed(bad, 5, 1301);
  ASSERT_EQ(out_.count(), 3u);
  EXPECT_EQ(out_.packets[2].size(), 28u);
}

TEST_F(RtpMonitorTest, ManagerMapOperations) {
  CVseRtpMonitorManager manager(nullptr);
  EXPECT_EQ(manager.CreateMonitor(1, nullptr), VSE_E_INVALIDARG);
  CVseRtpMonitor* first = nullptr;
  CVseRtpMonitor* second = nullptr;
  ASSERT_EQ(manager.CreateMonitor(1, &first), VSE_S_OK);
  ASSERT_EQ(manager.CreateMonitor(1, &second), VSE_S_OK);
  EXPECT_EQ(manager.size_for_testing(), 1u);
  EXPECT_EQ(manager.FindMonitorForTesting(1), second);
  EXPECT_EQ(manager.RemoveMonitor(2), static_cast<VseResult>(-1));
  EXPECT_EQ(manager.RemoveMonitor(1), VSE_S_OK);
  EXPECT_EQ(manager.size_for_testing(), 0u);
  EXPECT_EQ(manager.OnPacket(nullptr, reinterpret_cast<const uint8_t*>("x"), 1, 0), VSE_E_INVALIDARG);

  // Without a packet-out interface a bad stream sends nothing.
  CVseRtpMonitor* monitor = nullptr;
  ASSERT_EQ(manager.CreateMonitor(3, &monitor), VSE_S_OK);
  DriveToBadNetwork(monitor, 0);
  EXPECT_EQ(monitor->GetAnalysedCount(), 4u);

  std::unique_ptr<CVseRtpMonitorManager> made;
  EXPECT_EQ(CVseRtpMonitorManager::Create(&out_, nullptr), VSE_E_INVALIDARG);
  EXPECT_EQ(CVseRtpMonitorManager::Create(&out_, &made), VSE_S_OK);
  EXPECT_NE(made, nullptr);
}

TEST_F(RtpMonitorTest, FeedbackBlockRecords) {
  CRtpFeedbackBlock block;
  block.send_time_ms = 0xA1B2C3D4;
  block.elapsed_ms = 17;
  block.delay_variation_ms = 600;
  block.bit_rate_kbit = 0x123456;
  block.loss8 = 0xFE;
  const uint8_t* bytes = nullptr;
  int length = 0;
  block.Serialise(&bytes, &length);
  ASSERT_EQ(length, 16);
  CRtpFeedbackBlock parsed;
  ASSERT_EQ(parsed.ParseForTesting(bytes, length), VSE_S_OK);
  EXPECT_EQ(parsed.send_time_ms, block.send_time_ms);
  EXPECT_EQ(parsed.elapsed_ms, 17u);
  EXPECT_EQ(parsed.delay_variation_ms, 600u);
  EXPECT_EQ(parsed.bit_rate_kbit, 0x123456u);
  EXPECT_EQ(parsed.loss8, 0xFE);
  EXPECT_EQ(parsed.ParseForTesting(bytes, 15), VSE_E_INVALIDARG);
  EXPECT_EQ(parsed.ParseForTesting(nullptr, 16), VSE_E_POINTER);

  CRtpReportBlock report;
  report.words = {4, 0x01020304, 9};
  report.Serialise(&bytes, &length);
  ASSERT_EQ(length, 12);
  EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 12),
            (std::vector<uint8_t>{0, 0, 0, 4, 1, 2, 3, 4, 0, 0, 0, 9}));
  CRtpRefreshBlock refresh;
  EXPECT_EQ(refresh.ParseForTesting(bytes, 12), VSE_E_INVALIDARG);
  CRtpReportBlock back;
  EXPECT_EQ(back.ParseForTesting(bytes, 12), VSE_S_OK);
  EXPECT_EQ(back.words[1], 0x01020304u);
}

// Packets of several streams on one thread while another thread makes and
// removes monitors of other streams: the map and the feedback walk are the
// manager's own business.
TEST_F(RtpMonitorTest, CreateAndRemoveWhileFeedbackIsSent) {
  CVseRtpMonitorManager manager(&out_);
  std::vector<CVseRtpMonitor*> fed;
  for (uint32_t ssrc = 1; ssrc <= 3; ++ssrc) {
    CVseRtpMonitor* monitor = nullptr;
    ASSERT_EQ(manager.CreateMonitor(ssrc, &monitor), VSE_S_OK) << "ssrc " << ssrc;
    fed.push_back(monitor);
  }
  std::atomic<bool> stop{false};
  std::thread churn([&] {
    uint32_t ssrc = 1000;
    while (!stop.load()) {
      CVseRtpMonitor* monitor = nullptr;
      manager.CreateMonitor(ssrc, &monitor);
      Feed(monitor, 0, 0);
      manager.RemoveMonitor(ssrc - 1);
      ++ssrc;
    }
  });
  uint32_t t = 0;
  for (uint16_t i = 0; i < 3000; ++i) {
    // Every fourth counter is lost: a bad stream that asks for feedback.
    t += 40;
    if (i % 4 == 3) continue;
    for (CVseRtpMonitor* monitor : fed) Feed(monitor, i, t);
  }
  stop = true;
  churn.join();
  EXPECT_GT(out_.count(), 100u);
}

}  // namespace

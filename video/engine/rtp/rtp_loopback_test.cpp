// Packer -> a lossy, duplicating, reordering channel -> receive session.
// Whenever a NAL unit's losses stay within its FEC (any k of n packets), it
// arrives byte-identical; otherwise the input path does not deliver it and a
// flush hands over what is there, marked incomplete.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <vector>

#include "video/engine/rtp/rtp_extension_elements.h"
#include "video/engine/rtp/rtp_header_extension.h"
#include "video/engine/rtp/svc_nal_generator_testlib.h"
#include "video/engine/rtp/rtp_packer.h"
#include "video/engine/rtp/rtp_packet.h"
#include "video/engine/rtp/rtp_session_svc.h"

using namespace vz::rtp;

namespace {

using Bytes = std::vector<uint8_t>;

class Wire : public IRtpPackerSink {
 public:
  void Deliver(uint32_t, CVseRtpPacket* const* packets, int count) override {
    for (int i = 0; i < count; ++i) {
      const uint8_t* d = packets[i]->Data();
      (packets[i]->payload_type() == 111 ? fec : media)
          .emplace_back(d, d + packets[i]->TotalLength());
    }
  }
  std::vector<Bytes> media;
  std::vector<Bytes> fec;
};

class Received : public IRtpSessionSink {
 public:
  void OnNalUnit(std::unique_ptr<CVseRtpPacket> packet) override {
    Entry& e = by_timestamp[packet->timestamp()];
    e.bytes.assign(packet->Payload(), packet->Payload() + packet->PayloadLength());
    e.incomplete = packet->incomplete();
    ++e.deliveries;
  }
  struct Entry {
    Bytes bytes;
    int incomplete = -1;
    int deliveries = 0;
  };
  std::map<uint32_t, Entry> by_timestamp;
};

// One layer's identity for every NAL unit: base layer, one temporal layer.
class BaseLayer : public ISvcPrioritySource {
 public:
  int InputNal(const uint8_t*, int) override { return 0; }
  int Priorities(int* out, int count) override {
    for (int i = 0; i < count; ++i) out[i] = 0;
    return 0;
  }
  void LayerIdentity(int* d, int* t, int* q) const override { *d = *t = *q = 0; }
  int TemporalLayerCount(int) const override { return 1; }
};

TEST(RtpLoopback, NalUnitsSurviveLossWithinTheirFecPlan) {
  std::mt19937 rng(424242);
  BaseLayer layers;
  int covered = 0, uncovered = 0;
  for (int round = 0; round < 60; ++round) {
    Wire wire;
    CVseRtpPacker packer(0x5151, &wire, DefaultFecPlanning(), &layers);
    packer.SetFecLevel(static_cast<int>(rng() % 8));
    Received received;
    CMMRTPSession4SVC session(&received, 0x5151);
    const double loss = (rng() % 21) / 100.0;  // 0 to 20 %
    uint32_t ts = 1000u + static_cast<uint32_t>(round) * 100u;
    std::map<uint32_t, Bytes> sent;
    std::map<uint32_t, bool> within_plan;
    for (int unit = 0; unit < 6; ++unit, ++ts) {
      const int n = unit == 5 && round % 10 == 0
                        ? 300000
                        : std::uniform_int_distribution<int>(2, 40000)(rng);
      Bytes nal(static_cast<size_t>(n + 4), 0);
      nal[3] = 1;
      nal[4] = static_cast<uint8_t>(unit == 0 ? 0x65 : 0x41);
      for (int i = 1; i < n; ++i) nal[4 + i] = static_cast<uint8_t>(rng());
      wire.media.clear();
      wire.fec.clear();
      ASSERT_EQ(packer.pack(ts, nal.data(), static_cast<int>(nal.size())), 0) << "round " << round << " unit " << unit;
      sent[ts * 90u] = Bytes(nal.begin(), nal.end());

      // Seeded loss over media and FEC, duplicates and a local shuffle.
      std::vector<Bytes> channel;
      int lost_media = 0, lost = 0;
      const int fec_count = static_cast<int>(wire.fec.size());
      for (int pass = 0; pass < 2; ++pass) {
        for (const Bytes& p : pass == 0 ? wire.media : wire.fec) {
          if (std::bernoulli_distribution(loss)(rng)) {
            ++lost;
            if (pass == 0) ++lost_media;
            continue;
          }
          channel.push_back(p);
          if (rng() % 10 == 0) channel.push_back(p);
        }
      }
      for (size_t i = 0; i + 1 < channel.size(); ++i) {
        const size_t j = std::min(channel.size() - 1, i + rng() % 6);
        std::swap(channel[i], channel[j]);
      }
      within_plan[ts * 90u] = lost_media == 0 || lost <= fec_count;
      for (const Bytes& p : channel) {
        session.Input(p.data(), static_cast<int>(p.size()), ts);
      }
    }
    for (const auto& [rtp_ts, nal] : sent) {
      SCOPED_TRACE(testing::Message() << "round " << round << " ts " << rtp_ts);
      auto got = received.by_timestamp.find(rtp_ts);
      if (within_plan[rtp_ts]) {
        ++covered;
        ASSERT_NE(got, received.by_timestamp.end()) << "round " << round << " ts " << rtp_ts;
        EXPECT_EQ(got->second.bytes, nal) << "round " << round;
        EXPECT_EQ(got->second.incomplete, 0);
        EXPECT_EQ(got->second.deliveries, 1);
      } else {
        ++uncovered;
        EXPECT_EQ(got, received.by_timestamp.end()) << "round " << round;
        session.FlushFrameForTesting(rtp_ts);
        got = received.by_timestamp.find(rtp_ts);
        if (got != received.by_timestamp.end()) {
          // What arrived, in order, up to the first gap.
          EXPECT_EQ(got->second.incomplete, 1);
          ASSERT_LE(got->second.bytes.size(), nal.size());
          EXPECT_TRUE(std::equal(got->second.bytes.begin(), got->second.bytes.end(), nal.begin()));
        }
      }
    }
  }
  EXPECT_GT(covered, 100);
  EXPECT_GT(uncovered, 5);
}

// A generated SVC stream (scalability SEI, prefix NAL units, base and SVC
// slices of 3 spatial x 3 temporal layers) through the packer's own priority
// generator: every layer path packs, classes that do not need a layer mark
// it 15, and the NAL units arrive whole through loss within the plan.
TEST(RtpLoopback, SvcLayersCarryTheirPrioritiesEndToEnd) {
  using namespace vz::rtp::test_support;
  std::mt19937 rng(77);
  Wire wire;
  CVseRtpPacker packer(0x77, &wire, DefaultFecPlanning());
  packer.SetFecLevel(5);
  packer.SetHighestPrioritySlot(1);
  const CVseRtpPacker::OutputConfig classes[] = {{1280, 720, 30, 0}, {320, 180, 7.5f, 0}};
  ASSERT_EQ(packer.ConfigureOutputs(2, classes), 0);
  Received received;
  CMMRTPSession4SVC session(&received, 0x77);
  uint32_t ts = 5000;
  auto send = [&](const Bytes& nal, int expected_slot1) {
    SCOPED_TRACE(testing::Message() << "ts " << ts);
    Bytes framed = {0, 0, 0, 1};
    framed.insert(framed.end(), nal.begin(), nal.end());
    wire.media.clear();
    wire.fec.clear();
    ASSERT_EQ(packer.pack(ts, framed.data(), static_cast<int>(framed.size())), 0);
    const uint8_t* e = nullptr;
    ASSERT_TRUE(FindOneByteElementOfLength(wire.media[0].data(), static_cast<int>(wire.media[0].size()),
                                           1, 3, &e));
    if (expected_slot1 >= 0) {
      EXPECT_EQ(CRtpOneByteHeaderExtend_Priority::GetPriority(e, 1), expected_slot1) << ts;
    }
    // Lose at most as many packets as there are FEC packets.
    int budget = static_cast<int>(wire.fec.size());
    std::vector<Bytes> channel;
    for (auto* list : {&wire.media, &wire.fec}) {
      for (const Bytes& p : *list) {
        if (budget > 0 && rng() % 8 == 0) {
          --budget;
          continue;
        }
        channel.push_back(p);
      }
    }
    std::shuffle(channel.begin(), channel.end(), rng);
    for (const Bytes& p : channel) session.Input(p.data(), static_cast<int>(p.size()), ts);
    auto got = received.by_timestamp.find(ts * 90u);
    ASSERT_NE(got, received.by_timestamp.end()) << ts;
    EXPECT_TRUE(std::equal(nal.begin(), nal.end(), got->second.bytes.begin() + 4)) << ts;
    ++ts;
  };
  send(MakeScalabilitySei(ThreeByThreeLayers()), -1);
  for (int frame = 0; frame < 12; ++frame) {
    const int t = frame % 4 == 0 ? 0 : (frame % 2 == 0 ? 1 : 2);
    const int size = 1500 + static_cast<int>(rng() % 9000);
    Bytes prefix = MakeSvcNal(14, 0, 0, t, 4);
    send(prefix, -1);
    send(MakeAvcSlice(frame == 0, t < 2, size), -1);
    // D = 1 and 2: the small class needs neither.
    send(MakeSvcNal(20, 1, 0, t, size * 2), 15);
    send(MakeSvcNal(20, 2, 0, t, size * 4), 15);
  }
}

}  // namespace

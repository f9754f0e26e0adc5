#include "video/engine/rtp/rtp_packer.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/big_endian.h"
#include "video/engine/core/fec_tables.h"
#include "video/engine/rtp/rtp_extension_elements.h"
#include "video/engine/rtp/rtp_header_extension.h"
#include "video/engine/rtp/rtp_packet.h"

using namespace vz::rtp;

namespace {

using Bytes = std::vector<uint8_t>;

class FixedPriorities : public ISvcPrioritySource {
 public:
  int InputNal(const uint8_t*, int) override { return refuse; }
  int Priorities(int* out, int count) override {
    for (int i = 0; i < count; ++i) out[i] = values[i];
    return 0;
  }
  void LayerIdentity(int* d, int* t, int* q) const override {
    *d = 0;
    *t = tid;
    *q = qid;
  }
  int TemporalLayerCount(int) const override { return layers; }
  int refuse = 0, tid = 0, qid = 0, layers = 1;
  int values[4] = {0, 0, 0, 0};
};

class Recorder : public IRtpPackerSink {
 public:
  void Deliver(uint32_t, CVseRtpPacket* const* packets, int count) override {
    std::vector<Bytes> call;
    for (int i = 0; i < count; ++i) {
      call.emplace_back(packets[i]->Data(), packets[i]->Data() + packets[i]->TotalLength());
      first_pointers.push_back(packets[0]);
    }
    calls.push_back(call);
  }
  std::vector<std::vector<Bytes>> calls;
  std::vector<CVseRtpPacket*> first_pointers;
};

Bytes NalWithStartCode(int n, uint8_t header) {
  Bytes b(static_cast<size_t>(n + 4), 0);
  b[3] = 1;
  b[4] = header;
  for (int i = 1; i < n; ++i) b[4 + i] = static_cast<uint8_t>(i * 13);
  return b;
}

struct PackerFixture : ::testing::Test {
  Recorder sink;
  FixedPriorities priorities;
  CVseRtpPacker packer{0x1234, &sink, DefaultFecPlanning(), &priorities};
  int Pack(int n, uint32_t ts = 1000) {
    const Bytes nal = NalWithStartCode(n, 0x65);
    return packer.pack(ts, nal.data(), static_cast<int>(nal.size()));
  }
  size_t MediaCount() const { return sink.calls.empty() ? 0 : sink.calls[0].size(); }
  size_t FecCount() const { return sink.calls.size() < 2 ? 0 : sink.calls[1].size(); }
};

TEST_F(PackerFixture, MediaPacketCountFollowsTheClass) {
  ASSERT_EQ(Pack(2400), 0);  // class 0: max(3, 5), then min(5, 5)
  EXPECT_EQ(MediaCount(), 5u);
  EXPECT_EQ(FecCount(), static_cast<size_t>(fec::RepairEntry(0, 0, 5)));
  sink.calls.clear();
  packer.SetFecLevel(7);  // the repair packets of every level, each marked with its level
  ASSERT_EQ(Pack(2400), 0);
  ASSERT_EQ(FecCount(), static_cast<size_t>(fec::RepairEntry(0, 7, 5)));
  int previous_level = 0;
  for (size_t i = 0; i < sink.calls[1].size(); ++i) {
    SCOPED_TRACE(testing::Message() << "repair packet " << i);
    const Bytes& f = sink.calls[1][i];
    const uint8_t* e = nullptr;
    ASSERT_TRUE(FindOneByteElementOfLength(f.data(), static_cast<int>(f.size()), 4, 2, &e));
    EXPECT_GE(e[1], previous_level);
    previous_level = e[1];
  }
  EXPECT_EQ(previous_level, 7);
  packer.SetFecLevel(0);
  sink.calls.clear();
  priorities.layers = 4;
  priorities.tid = 1;  // class 1: min(max(1, 3), 2)
  ASSERT_EQ(Pack(700), 0);
  EXPECT_EQ(MediaCount(), 2u);
  sink.calls.clear();
  priorities.tid = 3;  // no class: ceil(3,100 / 1,000) and no FEC
  ASSERT_EQ(Pack(3100), 0);
  EXPECT_EQ(MediaCount(), 4u);
  EXPECT_EQ(sink.calls.size(), 1u);
}

TEST_F(PackerFixture, NegativeFecLevelSendsMediaOnlyAndLevelEightSendsNothing) {
  packer.SetFecLevel(-1);
  ASSERT_EQ(Pack(20000), 0);
  EXPECT_EQ(sink.calls.size(), 1u);
  sink.calls.clear();
  packer.SetFecLevel(8);
  EXPECT_EQ(Pack(20000), -1);
  EXPECT_TRUE(sink.calls.empty());
}

TEST_F(PackerFixture, ExtensionElementsOfMediaAndFecPackets) {
  packer.SetHighestPrioritySlot(1);
  priorities.values[0] = 3;
  priorities.values[1] = 15;
  ASSERT_EQ(Pack(2400, 0x01020304), 0);
  ASSERT_EQ(MediaCount(), 5u);
  for (size_t j = 0; j < 5; ++j) {
    SCOPED_TRACE(testing::Message() << "media packet " << j);
    const Bytes& p = sink.calls[0][j];
    const uint8_t* e = nullptr;
    ASSERT_TRUE(FindOneByteElementOfLength(p.data(), static_cast<int>(p.size()), 1, 3, &e));
    EXPECT_EQ(e[1], 0x3F);  // 3, 15
    EXPECT_EQ(e[2], 0xFF);  // 15, 15
    ASSERT_TRUE(FindOneByteElementOfLength(p.data(), static_cast<int>(p.size()), 3, 2, &e));
    EXPECT_TRUE(CRtpOneByteHeaderExtend_FrameFlags::ClassPresentForTesting(e));
    EXPECT_EQ(CRtpOneByteHeaderExtend_FrameFlags::FirstForTesting(e), j == 0);
    EXPECT_EQ(CRtpOneByteHeaderExtend_FrameFlags::LastForTesting(e), j == 4);
    ASSERT_TRUE(FindOneByteElementOfLength(p.data(), static_cast<int>(p.size()), 2, 9, &e));
    EXPECT_EQ(CRtpOneByteHeaderExtend_Timing::GetTimeMsForTesting(e), 0x01020304u);
    EXPECT_EQ(p[1] & 0x7F, 98);
    // RTP time stamp in 90 kHz units.
    EXPECT_EQ(vz::Load32(&p[4]), 0x01020304u * 90u);
    EXPECT_EQ(p[12], 0xBE);
    EXPECT_EQ(p[15], 4);  // L = 4: 14 bytes of elements padded to 16
  }
  ASSERT_GT(FecCount(), 0u);
  const Bytes& f = sink.calls[1][0];
  EXPECT_EQ(f[1] & 0x7F, 111);
  const uint8_t* e = nullptr;
  ASSERT_TRUE(FindOneByteElementOfLength(f.data(), static_cast<int>(f.size()), 4, 2, &e));
  EXPECT_EQ(e[1], 0);
  EXPECT_FALSE(FindOneByteElementOfLength(f.data(), static_cast<int>(f.size()), 3, 2, &e));
}

TEST_F(PackerFixture, RefusedNalUnitsSendNothing) {
  priorities.refuse = 1;
  EXPECT_EQ(Pack(1000), -1);
  EXPECT_TRUE(sink.calls.empty());
  const Bytes tiny = {0, 0, 0, 1};
  EXPECT_EQ(packer.pack(0, tiny.data(), 4), -1);
}

TEST_F(PackerFixture, LargeNalUnitsGrowTheArrayAndAreStillSent) {
  ASSERT_EQ(Pack(60000), 0);  // 60 media packets and their FEC
  EXPECT_EQ(packer.packet_array_size_for_testing(), 128u);
  CVseRtpPacket* first = sink.first_pointers[0];
  sink.calls.clear();
  // 300 KB: 300 media packets, beyond the repair table and the FEC group limit.
  ASSERT_EQ(Pack(300000), 0);
  EXPECT_EQ(MediaCount(), 300u);
  EXPECT_EQ(FecCount(), 0u);
  EXPECT_GE(packer.packet_array_size_for_testing(), 300u);
  EXPECT_EQ(sink.first_pointers.back(), first);  // earlier packets stay usable
  sink.calls.clear();
  // 200 KB: FEC cut to what a group of 256 packets leaves.
  ASSERT_EQ(Pack(200000), 0);
  EXPECT_EQ(MediaCount(), 200u);
  EXPECT_GT(FecCount(), 0u);
  EXPECT_LE(MediaCount() + FecCount(), 256u);
}

TEST(PackerClass, FecClassTable) {
  EXPECT_EQ(CVseRtpPacker::FecClass(0, 0, 1), 0);
  EXPECT_EQ(CVseRtpPacker::FecClass(0, 1, 2), -1);
  EXPECT_EQ(CVseRtpPacker::FecClass(0, 1, 3), 3);
  EXPECT_EQ(CVseRtpPacker::FecClass(1, 0, 3), 2);
  EXPECT_EQ(CVseRtpPacker::FecClass(2, 0, 3), -1);
  EXPECT_EQ(CVseRtpPacker::FecClass(1, 0, 4), 1);
  EXPECT_EQ(CVseRtpPacker::FecClass(2, 0, 4), 2);
  EXPECT_EQ(CVseRtpPacker::FecClass(3, 0, 4), -1);
  EXPECT_EQ(CVseRtpPacker::FecClass(0, 0, 5), -1);
  EXPECT_EQ(CVseRtpPacker::FecClass(0, 0, -1), -1);
}

}  // namespace

#include "outside/vzwire/relay/rtcp_record.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "outside/vzwire/relay/relay_frame.h"
#include "outside/vzwire/relay/relay_records_testlib.h"
#include "platform/big_endian.h"

namespace vzrelay {
namespace {

using Bytes = std::vector<uint8_t>;

// A packet of version 2: its first byte's count, its type, its length field
// `words`, then `body` words.
Bytes Packet(uint8_t type, uint8_t count, uint16_t words, const std::vector<uint32_t>& body = {}) {
  return vzrelay_test::RtcpPacketBytes(type, count, words, body);
}

// An RTCP record holding `packets` one after the other.
Bytes Record(const std::vector<Bytes>& packets) {
  Bytes compound;
  for (const Bytes& packet : packets) compound.insert(compound.end(), packet.begin(), packet.end());
  return vzrelay_test::RtcpRecord(compound);
}

// The sizes of the packets found, in order; empty when it is not whole.
std::vector<size_t> Sizes(const Bytes& record) {
  RtcpCompound compound(record.data(), record.size());
  RtcpPacket packet;
  std::vector<size_t> sizes;
  while (compound.Next(&packet) && sizes.size() < 100) sizes.push_back(packet.bytes);
  EXPECT_EQ(compound.whole(), !sizes.empty());
  return sizes;
}

bool Whole(const Bytes& record) { return RtcpCompound(record.data(), record.size()).whole(); }

// Every stream the record's packets speak for.
std::vector<uint32_t> Sources(const Bytes& record) {
  RtcpCompound compound(record.data(), record.size());
  RtcpPacket packet;
  std::vector<uint32_t> sources;
  while (compound.Next(&packet)) {
    ForEachSource(packet, [&](uint32_t ssrc) {
      sources.push_back(ssrc);
      return true;
    });
  }
  return sources;
}

TEST(RtcpRecordTest, OnlyARecordOfTheRtcpKindWhoseLengthIsItsSizeHoldsPackets) {
  const Bytes bye = Packet(vz::rtcp::kGoodbye, 1, 2, {7});
  EXPECT_EQ(Sizes(Record({bye})), std::vector<size_t>{8});
  Bytes rtp = Record({bye});
  vz::Store16(rtp.data(), vzrelay_test::kRtpRecordKind);
  EXPECT_FALSE(Whole(rtp));
  for (const uint16_t length : {0, 4, 12, 0xFFFF}) {
    Bytes record = Record({bye});
    vz::Store16(&record[2], length);
    EXPECT_FALSE(Whole(record)) << "length " << length;
  }
  Bytes cut = Record({});
  cut.resize(kRtcpRecordHeaderSize - 1);
  EXPECT_FALSE(Whole(cut));
  EXPECT_FALSE(Whole(Record({})));  // no packet at all
  EXPECT_FALSE(RtcpCompound(nullptr, 0).whole());
}

TEST(RtcpRecordTest, PacketsFollowTheirLengthsHeaderIncluded) {
  // SR with a report block, SDES of two chunks (texts of 5 and 0 bytes),
  // BYE of three, APP, PSFB with application feedback.
  const Bytes sr = Packet(vz::rtcp::kSenderReport, 1, 13, {1, 0, 0, 0, 0, 0, 9, 0, 0, 0, 0, 0});
  const Bytes sdes = Packet(vz::rtcp::kSourceDescription, 2, 6, {2, 0x01056162, 0x63646500, 3, 0x01000000});
  const Bytes bye = Packet(vz::rtcp::kGoodbye, 3, 4, {4, 5, 6});
  const Bytes app = Packet(vz::rtcp::kApplication, 0, 3, {7, 0x4E414D45});
  const Bytes feedback = Packet(vz::rtcp::kPayloadFeedback, 15, 6, {8, 9, 1, 2, 3});
  const Bytes record = Record({sr, sdes, bye, app, feedback});
  EXPECT_EQ(Sizes(record), (std::vector<size_t>{52, 24, 16, 12, 24}));
  RtcpCompound compound(record.data(), record.size());
  RtcpPacket packet;
  ASSERT_TRUE(compound.Next(&packet));
  EXPECT_EQ(packet.data, record.data() + kRtcpRecordHeaderSize);
  EXPECT_EQ(packet.Type(), vz::rtcp::kSenderReport);
  EXPECT_EQ(packet.Count(), 1);
  EXPECT_EQ(Sources(record), (std::vector<uint32_t>{1, 2, 3, 4, 5, 6, 7, 8}));
  // A feedback packet without a sender speaks for no stream.
  EXPECT_TRUE(Sources(Record({Packet(vz::rtcp::kTransportFeedback, 1, 3, {0, 9})})).empty());
}

TEST(RtcpRecordTest, APacketShorterThanItsTypeAllowsMakesTheWholeCompoundMalformed) {
  const Bytes pli = Packet(vz::rtcp::kPayloadFeedback, 1, 3, {1, 2});
  const struct {
    const char* what;
    Bytes record;
  } cases[] = {
      // A one-word header of each type, before a packet, after it or alone.
      {"bare RR before", Record({Packet(vz::rtcp::kReceiverReport, 0, 1), pli})},
      {"bare SR after", Record({pli, Packet(vz::rtcp::kSenderReport, 0, 1)})},
      {"bare SDES", Record({Packet(vz::rtcp::kSourceDescription, 0, 1)})},
      {"bare BYE", Record({Packet(vz::rtcp::kGoodbye, 0, 1)})},
      {"bare APP", Record({Packet(vz::rtcp::kApplication, 0, 1)})},
      {"bare RTPFB", Record({Packet(vz::rtcp::kTransportFeedback, 1, 1)})},
      {"bare PSFB", Record({Packet(vz::rtcp::kPayloadFeedback, 1, 1)})},
      // Lengths that do not tile the compound.
      {"length 0", Record({Packet(vz::rtcp::kGoodbye, 1, 0, {1}), pli})},
      {"length past the end", Record({Packet(vz::rtcp::kGoodbye, 1, 3, {1})})},
      {"words less one", Record({Packet(vz::rtcp::kPayloadFeedback, 1, 2, {1, 2})})},
      {"stray bytes", [&] {
         Bytes packet = pli;
         packet.resize(14);
         return Record({packet});
       }()},
      // Shorter than its count.
      {"SR of one report", Record({Packet(vz::rtcp::kSenderReport, 1, 7, {1, 0, 0, 0, 0, 0})})},
      {"RR of one report", Record({Packet(vz::rtcp::kReceiverReport, 1, 2, {1})})},
      {"BYE of two", Record({Packet(vz::rtcp::kGoodbye, 2, 2, {1})})},
      {"SDES text past its end", Record({Packet(vz::rtcp::kSourceDescription, 1, 3, {1, 0x01056162})})},
      {"SDES of two chunks, one there", Record({Packet(vz::rtcp::kSourceDescription, 2, 3, {1, 0x01024142})})},
      // Not RTCP of the members' engines.
      {"version 1", Record({Bytes{0x41, vz::rtcp::kGoodbye, 0, 2, 0, 0, 0, 1}})},
      {"type 199", Record({Packet(199, 0, 2, {1})})},
      {"type 207", Record({Packet(207, 0, 2, {1})})},
  };
  for (const auto& c : cases) {
    RtcpCompound compound(c.record.data(), c.record.size());
    EXPECT_FALSE(compound.whole()) << c.what;
    EXPECT_NE(compound.fault(), nullptr) << c.what;
    RtcpPacket packet;
    EXPECT_FALSE(compound.Next(&packet)) << c.what << ": no packet of it may be relayed";
  }
}

TEST(RtcpRecordTest, SourcesStopAtTheFirstTheCallerRefuses) {
  const Bytes record = Record({Packet(vz::rtcp::kGoodbye, 3, 4, {4, 5, 6})});
  RtcpCompound compound(record.data(), record.size());
  RtcpPacket packet;
  ASSERT_TRUE(compound.Next(&packet));
  std::vector<uint32_t> seen;
  EXPECT_FALSE(ForEachSource(packet, [&](uint32_t ssrc) {
    seen.push_back(ssrc);
    return ssrc != 5;
  }));
  EXPECT_EQ(seen, (std::vector<uint32_t>{4, 5}));
}

}  // namespace
}  // namespace vzrelay

#include "outside/vzwire/relay/rtcp_record.h"

#include <gtest/gtest.h>

#include <vector>

#include "outside/vzwire/relay/relay_frame.h"
#include "outside/vzwire/relay/relay_records_testlib.h"
#include "platform/big_endian.h"

namespace vzrelay {
namespace {

// A packet of `size` bytes whose length field says `words`.
std::vector<uint8_t> Packet(uint8_t type, uint16_t words, size_t size) {
  std::vector<uint8_t> packet = {0x80, type};
  PutU16(&packet, words);
  packet.resize(size, 0xAB);
  return packet;
}

// An RTCP record holding `packets`.
std::vector<uint8_t> Record(const std::vector<std::vector<uint8_t>>& packets) {
  std::vector<uint8_t> compound;
  for (const auto& packet : packets) compound.insert(compound.end(), packet.begin(), packet.end());
  return vzrelay_test::RtcpRecord(compound);
}

// The same, its length field saying `length`.
std::vector<uint8_t> Record(uint16_t length, const std::vector<std::vector<uint8_t>>& packets) {
  std::vector<uint8_t> record = Record(packets);
  vz::Store16(&record[2], length);
  return record;
}

// The sizes of the packets found, in order.
std::vector<size_t> Sizes(const std::vector<uint8_t>& record, size_t smallest) {
  RtcpPackets packets(record.data(), record.size(), smallest);
  RtcpPacket packet;
  std::vector<size_t> sizes;
  while (packets.Next(&packet) && sizes.size() < 100) sizes.push_back(packet.bytes);
  return sizes;
}

TEST(RtcpRecordTest, OnlyAnRtcpRecordHoldsPackets) {
  std::vector<uint8_t> rtp = Record({Packet(200, 2, 8)});
  vz::Store16(rtp.data(), vzrelay_test::kRtpRecordKind);
  EXPECT_TRUE(Sizes(rtp, 4).empty());
  std::vector<uint8_t> cut = Record({});
  cut.resize(kRtcpRecordHeaderSize - 1);
  EXPECT_TRUE(Sizes(cut, 4).empty());
  EXPECT_TRUE(Sizes(Record({}), 4).empty());
}

TEST(RtcpRecordTest, PacketsFollowTheirLengthsWithinTheRecordsLength) {
  const std::vector<uint8_t> record = Record({Packet(200, 7, 28), Packet(203, 2, 8)});
  RtcpPackets packets(record.data(), record.size(), 8);
  RtcpPacket packet;
  ASSERT_TRUE(packets.Next(&packet));
  EXPECT_EQ(packet.data, record.data() + kRtcpRecordHeaderSize);
  EXPECT_EQ(packet.Type(), 200);
  EXPECT_EQ(packet.bytes, 28u);
  EXPECT_EQ(packet.left, 36u);
  ASSERT_TRUE(packets.Next(&packet));
  EXPECT_EQ(packet.Type(), 203);
  EXPECT_EQ(packet.bytes, 8u);
  EXPECT_EQ(packet.left, 8u);
  EXPECT_FALSE(packets.Next(&packet));
  // The record's length bounds the compound, whatever follows it; a length
  // past the record's end is cut to it.
  EXPECT_EQ(Sizes(Record(28, {Packet(200, 7, 28), Packet(203, 2, 8)}), 8), std::vector<size_t>{28});
  EXPECT_EQ(Sizes(Record(500, {Packet(200, 7, 28), Packet(203, 2, 8)}), 8), (std::vector<size_t>{28, 8}));
}

TEST(RtcpRecordTest, ALengthBelowTheSmallestOrPastTheEndIsTheRestOfTheCompound) {
  // A bare header (one word) before a packet: the rest for a reader of 8
  // bytes at the least, stepped over by a reader of headers.
  const std::vector<uint8_t> bare = Record({Packet(204, 1, 4), Packet(206, 3, 12)});
  EXPECT_EQ(Sizes(bare, 8), std::vector<size_t>{16});
  EXPECT_EQ(Sizes(bare, 4), (std::vector<size_t>{4, 12}));
  // No length at all, or one past the end: the rest for either.
  for (const size_t smallest : {4u, 8u}) {
    EXPECT_EQ(Sizes(Record({Packet(200, 0, 8), Packet(206, 3, 12)}), smallest), std::vector<size_t>{20})
        << "smallest " << smallest;
    EXPECT_EQ(Sizes(Record({Packet(200, 2, 8), Packet(206, 9, 12)}), smallest), (std::vector<size_t>{8, 12}))
        << "smallest " << smallest;
  }
  // Below a header is a header: a length of 0 still ends the walk.
  EXPECT_EQ(Sizes(Record({Packet(200, 0, 8), Packet(206, 3, 12)}), 0), std::vector<size_t>{20});
}

TEST(RtcpRecordTest, FewerBytesThanTheSmallestLeftEndTheWalk) {
  const std::vector<uint8_t> record = Record({Packet(200, 2, 8), Packet(200, 1, 4)});
  EXPECT_EQ(Sizes(record, 8), std::vector<size_t>{8});
  EXPECT_EQ(Sizes(record, 4), (std::vector<size_t>{8, 4}));
  EXPECT_TRUE(Sizes(Record({Packet(200, 1, 4)}), 8).empty());
}

}  // namespace
}  // namespace vzrelay

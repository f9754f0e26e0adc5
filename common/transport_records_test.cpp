#include "common/transport_records.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/byte_stream.h"

namespace {

std::vector<uint8_t> Unread(const CByteStream& s) {
  return {s.ReadPointer(), s.ReadPointer() + s.GetDataLength()};
}

TEST(TransportRecordsTest, RtpRecordBytesAndRoundTrip) {
  CByteStream s(nullptr, 1024, false);
  const uint8_t packet[] = {0x80, 0x60, 0xAA};
  ASSERT_TRUE(WriteRtpRecord(&s, 1, packet, 3));
  EXPECT_EQ(Unread(s), (std::vector<uint8_t>{0, 8, 0, 0, 0, 0, 0, 0, 1, 0, 3, 0x80, 0x60, 0xAA}));
  RtpRecord record;
  ASSERT_TRUE(ReadRtpRecord(&s, &record));
  EXPECT_EQ(record.kind, kRtpRecordKind);
  EXPECT_EQ(record.flag, 1);
  EXPECT_EQ(record.length, 3);
  EXPECT_EQ(record.data, (std::vector<uint8_t>{0x80, 0x60, 0xAA}));
  EXPECT_EQ(s.GetDataLength(), 0u);
}

TEST(TransportRecordsTest, RtcpRecordBytesAndRoundTrip) {
  CByteStream s(nullptr, 1024, false);
  const uint8_t packet[] = {0x81, 0xC8};
  ASSERT_TRUE(WriteRtcpRecord(&s, packet, 2));
  EXPECT_EQ(Unread(s), (std::vector<uint8_t>{0, 9, 0, 2, 0x81, 0xC8}));
  RtcpRecord record;
  ASSERT_TRUE(ReadRtcpRecord(&s, &record));
  EXPECT_EQ(record.length, 2);
  EXPECT_EQ(record.data, (std::vector<uint8_t>{0x81, 0xC8}));
}

TEST(TransportRecordsTest, CommandRecordTakesTheRestOfTheStream) {
  CByteStream s(nullptr, 16, false);
  const uint8_t message[] = {0x08, 0x96, 0x01};
  ASSERT_TRUE(WriteCommandRecord(&s, message, 3));
  EXPECT_EQ(Unread(s), (std::vector<uint8_t>{0, 7, 0x08, 0x96, 0x01}));
  uint16_t kind = 0;
  ASSERT_TRUE(PeekRecordKind(s, &kind));
  EXPECT_EQ(kind, kCommandRecordKind);
  std::vector<uint8_t> read;
  ASSERT_TRUE(ReadCommandRecord(&s, &read));
  EXPECT_EQ(read, (std::vector<uint8_t>{0x08, 0x96, 0x01}));
}

TEST(TransportRecordsTest, TruncatedOrForeignRecordsFailWithoutMoving) {
  // An RTP record whose length says 5 but carries 2 bytes.
  const uint8_t short_rtp[] = {0, 8, 0, 0, 0, 0, 0, 0, 1, 0, 5, 0xAA, 0xBB};
  CByteStream rtp(short_rtp, sizeof(short_rtp), false);
  RtpRecord record;
  EXPECT_FALSE(ReadRtpRecord(&rtp, &record));
  EXPECT_EQ(rtp.ReadPosition(), 0u);
  // Header cut inside the reserved fields.
  CByteStream cut(short_rtp, 5, false);
  EXPECT_FALSE(ReadRtpRecord(&cut, &record));
  // An RTCP record read as RTP, and the other way round.
  const uint8_t rtcp_bytes[] = {0, 9, 0, 1, 0x42};
  CByteStream rtcp(rtcp_bytes, sizeof(rtcp_bytes), false);
  EXPECT_FALSE(ReadRtpRecord(&rtcp, &record));
  EXPECT_EQ(rtcp.ReadPosition(), 0u);
  RtcpRecord rtcp_record;
  CByteStream rtp_again(short_rtp, sizeof(short_rtp), false);
  EXPECT_FALSE(ReadRtcpRecord(&rtp_again, &rtcp_record));
  std::vector<uint8_t> message;
  EXPECT_FALSE(ReadCommandRecord(&rtcp, &message));
  EXPECT_EQ(rtcp.ReadPosition(), 0u);
  CByteStream one_byte(rtcp_bytes, 1, false);
  uint16_t kind = 0;
  EXPECT_FALSE(PeekRecordKind(one_byte, &kind));
}

TEST(TransportRecordsTest, PayloadsOverSixteenBitsAreRefusedNotCut) {
  std::vector<uint8_t> big(70000, 0x55);
  CByteStream s(nullptr, 1024, false);
  EXPECT_FALSE(WriteRtcpRecord(&s, big.data(), 70000));
  EXPECT_FALSE(WriteRtpRecord(&s, 1, big.data(), 70000));
  EXPECT_EQ(s.GetDataLength(), 0u);
  ASSERT_TRUE(WriteRtcpRecord(&s, big.data(), 65535));
  RtcpRecord record;
  ASSERT_TRUE(ReadRtcpRecord(&s, &record));
  EXPECT_EQ(record.length, 65535);
  EXPECT_EQ(record.data.size(), 65535u);
}

}  // namespace

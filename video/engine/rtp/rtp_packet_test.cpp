#include "video/engine/rtp/rtp_packet.h"

#include <gtest/gtest.h>

#include <vector>

#include "video/engine/rtp/rtp_fec_packet.h"

namespace {

std::vector<uint8_t> Bytes(const CVseRtpPacket& p) {
  return std::vector<uint8_t>(p.Data(), p.Data() + p.TotalLength());
}

TEST(RtpPacket, BuildsTheFixedHeaderInNetworkOrder) {
  CVseRtpPacket p;
  p.set_marker(true);
  ASSERT_TRUE(p.set_payload_type(98));
  p.set_sequence(0x1234);
  p.set_timestamp(0x89ABCDEF);
  p.set_ssrc(0x01020304);
  const uint8_t payload[] = {0x65, 0xAA};
  ASSERT_TRUE(p.SetPayload(payload, 2));
  const std::vector<uint8_t> golden = {0x80, 0xE2, 0x12, 0x34, 0x89, 0xAB, 0xCD,
                                       0xEF, 0x01, 0x02, 0x03, 0x04, 0x65, 0xAA};
  EXPECT_EQ(Bytes(p), golden);
  EXPECT_EQ(p.HeaderLength(), 12);
  EXPECT_EQ(p.PayloadLength(), 2);
}

TEST(RtpPacket, SettersKeepTheNeighbouringBitsAndRefuseOutOfRangeValues) {
  CVseRtpPacket p;
  p.set_marker(true);
  EXPECT_TRUE(p.set_payload_type(98));
  EXPECT_TRUE(p.marker_for_testing());
  EXPECT_FALSE(p.set_payload_type(128));  // would spill into the marker
  EXPECT_EQ(p.payload_type(), 98);
  EXPECT_TRUE(p.marker_for_testing());
  p.set_padding_for_testing(true);
  p.set_extension_bit(true);
  p.set_extension_bit(false);
  EXPECT_FALSE(p.set_contrib_src_count_for_testing(16));  // would spill into X and P
  EXPECT_EQ(p.Data()[0], 0xA0);
  EXPECT_EQ(p.version(), 2);
}

TEST(RtpPacket, CsrcListAndExtensionGiveTheHeaderLength) {
  CVseRtpPacket p;
  const uint8_t payload[] = {1, 2, 3};
  ASSERT_TRUE(p.SetPayload(payload, 3));
  ASSERT_TRUE(p.set_contrib_source_for_testing(1, 0xCAFEBABE));  // CC becomes 2, payload moves back
  EXPECT_EQ(p.get_contrib_src_count(), 2);
  EXPECT_EQ(p.get_contrib_source_for_testing(0), 0u);
  EXPECT_EQ(p.get_contrib_source_for_testing(1), 0xCAFEBABEu);
  EXPECT_EQ(p.get_contrib_source_for_testing(2), 0u);  // past the list: logged, 0
  EXPECT_EQ(p.Payload()[0], 1);
  std::vector<uint8_t> ext(20, 0x5A);
  ASSERT_TRUE(p.SetExtensionForTesting(0x1000, ext.data(), 20));
  EXPECT_EQ(p.HeaderLength(), 12 + 8 + 24);
  EXPECT_EQ(p.TotalLength(), 44 + 3);
  EXPECT_EQ(p.Payload()[2], 3);
  // A CSRC cannot be added in front of an extension, nor past 15.
  EXPECT_FALSE(p.set_contrib_source_for_testing(2, 7));
  EXPECT_FALSE(p.set_contrib_source_for_testing(16, 7));
  EXPECT_EQ(p.get_contrib_src_count(), 2);
  uint8_t out[64];
  int length = 64;
  ASSERT_TRUE(p.GetExtensionForTesting(0x1000, out, &length));
  EXPECT_EQ(length, 20);
  EXPECT_EQ(out[19], 0x5A);
  length = 64;
  EXPECT_FALSE(p.GetExtensionForTesting(0xBEDE, out, &length));
  EXPECT_FALSE(p.SetExtensionForTesting(0x1000, ext.data(), 4));  // only one extension
}

TEST(RtpPacket, SetExtensionPadsToWholeWords) {
  CVseRtpPacket p;
  const uint8_t ext[] = {9, 8, 7, 6, 5};
  ASSERT_TRUE(p.SetExtensionForTesting(0xABCD, ext, 5));
  const std::vector<uint8_t> golden = {0x90, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                       0xAB, 0xCD, 0x00, 0x02, 9, 8, 7, 6, 5, 0, 0, 0};
  EXPECT_EQ(Bytes(p), golden);
}

TEST(RtpPacket, FromBufferRefusesBytesShorterThanTheirHeader) {
  CVseRtpPacket p;
  const uint8_t five[5] = {0x80, 98, 0, 1, 0};
  EXPECT_EQ(p.from_buffer(five, 5), -1);
  EXPECT_EQ(p.TotalLength(), 0);
  // 13 bytes claiming 15 CSRCs.
  std::vector<uint8_t> cc15(13, 0);
  cc15[0] = 0x8F;
  EXPECT_EQ(p.from_buffer(cc15.data(), 13), -1);
  // An extension of 1,000 words in 16 bytes.
  std::vector<uint8_t> x(16, 0);
  x[0] = 0x90;
  x[14] = 0x03;
  x[15] = 0xE8;
  EXPECT_EQ(p.from_buffer(x.data(), 16), -1);
  EXPECT_EQ(p.PayloadLength(), 0);
  // An extension word count past a large buffer's end.
  std::vector<uint8_t> big(2000, 0);
  big[0] = 0x9F;
  big[74] = 0xFF;
  big[75] = 0xFF;
  EXPECT_EQ(p.from_buffer(big.data(), 2000), -1);
  big[74] = 0;
  big[75] = 2;
  EXPECT_EQ(p.from_buffer(big.data(), 2000), 12 + 60 + 4 + 8);
  EXPECT_EQ(p.PayloadLength(), 2000 - 84);
  EXPECT_GE(p.CapacityForTesting(), 2000);
}

TEST(RtpPacket, ValidityCheck) {
  CVseRtpPacket p;
  std::vector<uint8_t> bytes = {0x80, 98, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0xAA, 0xBB, 0xCC, 0x02};
  ASSERT_EQ(p.from_buffer(bytes.data(), static_cast<int>(bytes.size())), 12);
  EXPECT_TRUE(p.IsValid());
  for (int rtcp_type = 200; rtcp_type <= 204; ++rtcp_type) {
    bytes[1] = static_cast<uint8_t>(rtcp_type);
    p.from_buffer(bytes.data(), static_cast<int>(bytes.size()));
    EXPECT_FALSE(p.IsValid()) << rtcp_type;
  }
  bytes[1] = 98;
  bytes[0] = 0xA0;  // padding of 2 bytes: fine
  p.from_buffer(bytes.data(), static_cast<int>(bytes.size()));
  EXPECT_TRUE(p.IsValid());
  bytes.back() = 0;  // a padding count of 0
  p.from_buffer(bytes.data(), static_cast<int>(bytes.size()));
  EXPECT_FALSE(p.IsValid());
  bytes.back() = 5;  // more padding than payload
  p.from_buffer(bytes.data(), static_cast<int>(bytes.size()));
  EXPECT_FALSE(p.IsValid());
  bytes[0] = 0x40;  // version 1
  bytes.back() = 1;
  p.from_buffer(bytes.data(), static_cast<int>(bytes.size()));
  EXPECT_FALSE(p.IsValid());
}

TEST(RtpPacket, PayloadGrowsTheBufferAndKeepsTheTotal) {
  CVseRtpPacket p(100);
  ASSERT_TRUE(p.SetPayloadLength(5000));
  EXPECT_EQ(p.TotalLength(), 5012);
  EXPECT_GE(p.CapacityForTesting(), 5012);
  EXPECT_FALSE(p.SetPayloadLength(-1));
  p.Reset();
  EXPECT_EQ(p.TotalLength(), 0);
  EXPECT_EQ(p.Data()[0], 0x80);
  EXPECT_EQ(p.incomplete(), 1);
}

TEST(RtpFecPacket, HeaderIsAlwaysTheFixedHeader) {
  CRTPFECPacket p;
  std::vector<uint8_t> bytes(40, 0);
  bytes[0] = 0x93;  // CC = 3 and X = 1 carry recovery bits here
  ASSERT_EQ(p.from_buffer(bytes.data(), 40), 12);
  EXPECT_EQ(p.HeaderLength(), 12);
  EXPECT_EQ(p.PayloadLength(), 28);
  EXPECT_EQ(p.get_contrib_source_for_testing(0), 0u);
  EXPECT_FALSE(p.set_contrib_source_for_testing(0, 1));
}

}  // namespace

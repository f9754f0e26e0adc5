#include "common/byte_stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

std::vector<uint8_t> Unread(const CByteStream& s) {
  return {s.ReadPointer(), s.ReadPointer() + s.GetDataLength()};
}

TEST(ByteStreamTest, ByteOrderOfTypedReadsAndWrites) {
  const uint8_t bytes[] = {0x00, 0x2A};
  CByteStream network(bytes, 2, false);
  uint16_t value = 0;
  ASSERT_TRUE(network.ReadUInt16(&value));
  EXPECT_EQ(value, 42);
  CByteStream host(bytes, 2, true);
  ASSERT_TRUE(host.ReadUInt16(&value));
  EXPECT_EQ(value, 10752);

  CByteStream out(nullptr, 0, false);
  ASSERT_TRUE(out.WriteUInt32(0x01020304));
  ASSERT_TRUE(out.WriteUInt16(0x0506));
  ASSERT_TRUE(out.WriteUInt8(0x07));
  EXPECT_EQ(Unread(out), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7}));
  CByteStream host_out(nullptr, 0, true);
  ASSERT_TRUE(host_out.WriteUInt32(0x01020304));
  EXPECT_EQ(Unread(host_out), (std::vector<uint8_t>{4, 3, 2, 1}));
}

TEST(ByteStreamTest, ConstructionCopiesOrOnlyAllocates) {
  const uint8_t bytes[] = {9, 8, 7};
  CByteStream filled(bytes, 3, false);
  EXPECT_EQ(filled.CapacityForTesting(), 3u);
  EXPECT_EQ(filled.GetDataLength(), 3u);
  CByteStream empty(nullptr, 1024, false);
  EXPECT_EQ(empty.CapacityForTesting(), 1024u);
  EXPECT_EQ(empty.GetDataLength(), 0u);
  CByteStream none(nullptr, 0, false);
  EXPECT_EQ(none.CapacityForTesting(), 0u);
}

TEST(ByteStreamTest, ShortReadsFailAndKeepThePosition) {
  const uint8_t bytes[] = {1, 2, 3};
  CByteStream s(bytes, 3, false);
  uint32_t value32 = 0xDEADBEEF;
  EXPECT_FALSE(s.ReadUInt32(&value32));
  EXPECT_EQ(value32, 0xDEADBEEFu);
  EXPECT_EQ(s.ReadPosition(), 0u);
  uint8_t buffer[4];
  EXPECT_FALSE(s.Read(buffer, 4));
  EXPECT_FALSE(s.Skip(4));
  EXPECT_FALSE(s.ReadUInt16(nullptr));
  EXPECT_EQ(s.ReadPosition(), 0u);
  EXPECT_TRUE(s.Skip(3));
  uint8_t value8 = 0;
  EXPECT_FALSE(s.ReadUInt8(&value8));
}

TEST(ByteStreamTest, GrowsByHalfOrToTheRequest) {
  CByteStream s(nullptr, 4, false);
  const uint8_t five[] = {1, 2, 3, 4, 5};
  ASSERT_TRUE(s.Write(five, 5));
  EXPECT_EQ(s.CapacityForTesting(), 6u);
  EXPECT_EQ(Unread(s), (std::vector<uint8_t>{1, 2, 3, 4, 5}));
  std::vector<uint8_t> big(100, 0xAB);
  ASSERT_TRUE(s.Write(big.data(), 100));
  EXPECT_EQ(s.CapacityForTesting(), 105u);
  EXPECT_EQ(s.GetDataLength(), 105u);
}

TEST(ByteStreamTest, CompactionKeepsTheUnreadBytes) {
  const uint8_t eight[] = {1, 2, 3, 4, 5, 6, 7, 8};
  CByteStream s(eight, 8, false);
  ASSERT_TRUE(s.Skip(3));
  ASSERT_TRUE(s.WriteUInt16(0x090A));
  EXPECT_EQ(s.CapacityForTesting(), 8u);  // compacted in place, not grown
  EXPECT_EQ(s.ReadPosition(), 0u);
  EXPECT_EQ(Unread(s), (std::vector<uint8_t>{4, 5, 6, 7, 8, 9, 10}));
}

TEST(ByteStreamTest, BorrowedBytesAreCopiedBeforeAWrite) {
  uint8_t bytes[] = {1, 2};
  CByteStream s = CByteStream::Borrow(bytes, 2, false);
  EXPECT_FALSE(s.IsOwnedForTesting());
  EXPECT_EQ(s.ReadPointer(), bytes);
  ASSERT_TRUE(s.WriteUInt8(3));
  EXPECT_TRUE(s.IsOwnedForTesting());
  EXPECT_EQ(Unread(s), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(bytes[0], 1);  // the caller's bytes are untouched
}

TEST(ByteStreamTest, MovedStreamOwnsTheBuffer) {
  const uint8_t bytes[] = {1, 2};
  CByteStream a(bytes, 2, false);
  CByteStream b(std::move(a));
  EXPECT_EQ(a.GetDataLength(), 0u);
  EXPECT_EQ(Unread(b), (std::vector<uint8_t>{1, 2}));
  CByteStream c(nullptr, 8, true);
  c = std::move(b);
  EXPECT_EQ(Unread(c), (std::vector<uint8_t>{1, 2}));
}

}  // namespace

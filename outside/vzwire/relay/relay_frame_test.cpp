#include "outside/vzwire/relay/relay_frame.h"

#include <gtest/gtest.h>

#include <vector>

namespace vzrelay {
namespace {

TEST(RelayFrameTest, FrameBytesAreKindLengthPayloadBigEndian) {
  const uint8_t payload[] = {0xAA, 0xBB, 0xCC};
  EXPECT_EQ(MakeFrame(FrameKind::kDataBinary, payload, 3),
            (std::vector<uint8_t>{0x00, 0x09, 0x00, 0x00, 0x00, 0x03, 0xAA, 0xBB, 0xCC}));
  EXPECT_EQ(MakeFrame(FrameKind::kLeave, nullptr, 0), (std::vector<uint8_t>{0x00, 0x04, 0, 0, 0, 0}));
  std::vector<uint8_t> out;
  std::vector<uint8_t> too_big(kMaxRecordFramePayload + 1);
  EXPECT_FALSE(AppendFrame(&out, FrameKind::kRtp, too_big.data(), too_big.size()));
  EXPECT_TRUE(out.empty());
}

TEST(RelayFrameTest, FramesArrivingByteByByteAreCutWhole) {
  std::vector<uint8_t> stream;
  const uint8_t one[] = {1};
  std::vector<uint8_t> big(100000, 0x5A);
  AppendFrame(&stream, FrameKind::kDataUtf8, one, 1);
  AppendFrame(&stream, FrameKind::kLeave, nullptr, 0);
  AppendFrame(&stream, FrameKind::kDataBinary, big.data(), big.size());
  FrameReader reader;
  std::vector<Frame> frames;
  Frame frame;
  for (uint8_t byte : stream) {
    reader.Append(&byte, 1);
    while (reader.Next(&frame) == FrameReader::Result::kFrame) frames.push_back(frame);
  }
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[0].kind, FrameKind::kDataUtf8);
  EXPECT_EQ(frames[0].payload, (std::vector<uint8_t>{1}));
  EXPECT_EQ(frames[1].kind, FrameKind::kLeave);
  EXPECT_TRUE(frames[1].payload.empty());
  EXPECT_EQ(frames[2].payload, big);
  EXPECT_EQ(reader.Buffered(), 0u);
}

TEST(RelayFrameTest, HostileHeadersAreRefusedBeforeAnyAllocation) {
  struct Case {
    std::vector<uint8_t> bytes;
    const char* why;
  };
  const Case cases[] = {
      {{0x00, 0x09, 0xFF, 0xFF, 0xFF, 0xFF}, "a length of 0xFFFFFFFF"},
      {{0x00, 0x06, 0x00, 0x01, 0x00, 0x11}, "an RTP frame over a record's size"},
      {{0x00, 0x04, 0x00, 0x00, 0x00, 0x01}, "a leave with a payload"},
      {{0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, "kind 0"},
      {{0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00}, "an unknown kind"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    FrameReader reader;
    reader.Append(c.bytes.data(), c.bytes.size());
    Frame frame;
    EXPECT_EQ(reader.Next(&frame), FrameReader::Result::kBad);
    EXPECT_FALSE(reader.Error().empty());
    EXPECT_EQ(reader.Next(&frame), FrameReader::Result::kBad);  // stays bad
  }
  // A truncated frame is never delivered.
  FrameReader reader;
  const uint8_t truncated[] = {0x00, 0x09, 0x00, 0x00, 0x00, 0x64, 1, 2, 3};
  reader.Append(truncated, sizeof(truncated));
  Frame frame;
  EXPECT_EQ(reader.Next(&frame), FrameReader::Result::kNeedMore);
}

TEST(RelayFrameTest, PayloadReaderStopsAtTheEnd) {
  std::vector<uint8_t> bytes;
  PutU32(&bytes, 0x01020304);
  PutText(&bytes, "abc");
  PayloadReader reader(bytes.data(), bytes.size());
  uint32_t value = 0;
  std::string text;
  ASSERT_TRUE(reader.GetU32(&value));
  EXPECT_EQ(value, 0x01020304u);
  EXPECT_FALSE(reader.GetText(&text, 2));  // longer than allowed: refused, not moved
  ASSERT_TRUE(reader.GetText(&text, 3));
  EXPECT_EQ(text, "abc");
  uint8_t byte = 0;
  EXPECT_FALSE(reader.GetU8(&byte));
  const uint8_t lying[] = {0x00, 0x10, 'a'};  // says 16 bytes, holds 1
  PayloadReader short_text(lying, sizeof(lying));
  EXPECT_FALSE(short_text.GetText(&text, 100));
}

}  // namespace
}  // namespace vzrelay

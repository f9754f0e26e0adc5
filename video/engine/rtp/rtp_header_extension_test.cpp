#include "video/engine/rtp/rtp_header_extension.h"

#include <gtest/gtest.h>

#include <vector>

#include "video/engine/rtp/rtp_extension_elements.h"
#include "video/engine/rtp/rtp_packet.h"
#include "video/engine/rtp/wall_clock.h"

using namespace vz::rtp;

namespace {

std::vector<uint8_t> Bytes(const CVseRtpPacket& p) {
  return std::vector<uint8_t>(p.Data(), p.Data() + p.TotalLength());
}

TEST(ExtensionElements, GoldenBytesOfEachKind) {
  uint8_t priority[3];
  CRtpOneByteHeaderExtend_Priority::Init(priority);
  CRtpOneByteHeaderExtend_Priority::SetPriority(priority, 0, 3);
  CRtpOneByteHeaderExtend_Priority::SetPriority(priority, 1, 15);
  CRtpOneByteHeaderExtend_Priority::SetPriority(priority, 2, 0x1A);  // low 4 bits only
  CRtpOneByteHeaderExtend_Priority::SetPriority(priority, 3, 1);
  EXPECT_EQ(std::vector<uint8_t>(priority, priority + 3), (std::vector<uint8_t>{0x11, 0x3F, 0xA1}));

  uint8_t timing[9];
  CRtpOneByteHeaderExtend_Timing::Init(timing);
  CRtpOneByteHeaderExtend_Timing::SetCounter(timing, 0x0102);
  CRtpOneByteHeaderExtend_Timing::SetTimeMs(timing, 0xA0B0C0D0);
  CRtpOneByteHeaderExtend_Timing::SetRoundTripMs(timing, 0x00FA);
  EXPECT_EQ(std::vector<uint8_t>(timing, timing + 9),
            (std::vector<uint8_t>{0x27, 0x01, 0x02, 0xA0, 0xB0, 0xC0, 0xD0, 0x00, 0xFA}));
  EXPECT_EQ(CRtpOneByteHeaderExtend_Timing::GetTimeMsForTesting(timing), 0xA0B0C0D0u);

  uint8_t flags[2];
  CRtpOneByteHeaderExtend_FrameFlags::Init(flags);
  CRtpOneByteHeaderExtend_FrameFlags::SetClassPresent(flags, true);
  CRtpOneByteHeaderExtend_FrameFlags::SetClass(flags, 3);
  CRtpOneByteHeaderExtend_FrameFlags::SetFirst(flags, true);
  CRtpOneByteHeaderExtend_FrameFlags::SetLast(flags, true);
  EXPECT_EQ(std::vector<uint8_t>(flags, flags + 2), (std::vector<uint8_t>{0x30, 0x37}));
  CRtpOneByteHeaderExtend_FrameFlags::SetFirst(flags, false);
  CRtpOneByteHeaderExtend_FrameFlags::SetClass(flags, 1);
  EXPECT_EQ(flags[1], 0x23);

  uint8_t level[2];
  CRtpOneByteHeaderExtend_FecLevel::Init(level);
  CRtpOneByteHeaderExtend_FecLevel::SetLevel(level, 5);
  EXPECT_EQ(std::vector<uint8_t>(level, level + 2), (std::vector<uint8_t>{0x40, 0x05}));
}

TEST(ExtensionElements, PrioritySlots) {
  uint8_t e[3] = {0x11, 0xFF, 0xFF};
  CRtpOneByteHeaderExtend_Priority::SetPriority(e, 2, 7);
  EXPECT_EQ(e[1], 0xFF);
  EXPECT_EQ(e[2], 0x7F);
  CRtpOneByteHeaderExtend_Priority::SetPriority(e, 4, 0);  // refused, unchanged
  EXPECT_EQ(e[2], 0x7F);
  EXPECT_EQ(CRtpOneByteHeaderExtend_Priority::GetPriority(e, 2), 7);
  EXPECT_EQ(CRtpOneByteHeaderExtend_Priority::GetPriority(e, -1), 15);
}

TEST(OneByteExtension, MediaElementsMakeFourWordsWithTwoPaddingBytes) {
  CVseRtpPacket p;
  p.set_sequence(1);
  const uint8_t payload[] = {0x41, 0x42};
  p.SetPayload(payload, 2);
  const uint8_t pri[3] = {0x11, 0x00, 0x00};
  const uint8_t flags[2] = {0x30, 0x11};
  const uint8_t timing[9] = {0x27, 0, 0, 0, 0, 0x03, 0xE8, 0, 0};
  const uint8_t* elements[] = {pri, flags, timing};
  const int lengths[] = {3, 2, 9};
  ASSERT_TRUE(AddOneByteElements(&p, elements, lengths, 3));
  const std::vector<uint8_t> golden = {
      0x90, 0x00, 0x00, 0x01, 0, 0, 0, 0, 0, 0, 0, 0,                 // fixed header, X set
      0xBE, 0xDE, 0x00, 0x04,                                         // profile, L = 4
      0x11, 0x00, 0x00, 0x30, 0x11, 0x27, 0, 0, 0, 0, 0x03, 0xE8, 0, 0, 0x00, 0x00,  // + pad
      0x41, 0x42};
  EXPECT_EQ(Bytes(p), golden);
  EXPECT_EQ(p.HeaderLength(), 32);
  const uint8_t* found = nullptr;
  int length = 0;
  ASSERT_TRUE(FindOneByteElement(p.Data(), p.TotalLength(), 2, &found, &length));
  EXPECT_EQ(length, 9);
  EXPECT_EQ(found, p.Data() + 21);
  EXPECT_TRUE(FindOneByteElementOfLength(p.Data(), p.TotalLength(), 3, 2, &found));
  EXPECT_FALSE(FindOneByteElementOfLength(p.Data(), p.TotalLength(), 3, 3, &found));
  EXPECT_FALSE(FindOneByteElement(p.Data(), p.TotalLength(), 4, &found, &length));
}

TEST(OneByteExtension, AppendingMergesWithTheExistingBlock) {
  CVseRtpPacket p;
  const uint8_t payload[] = {1, 2, 3, 4, 5};
  p.SetPayload(payload, 5);
  const uint8_t first[3] = {0x11, 0xAA, 0xBB};
  const uint8_t* e1[] = {first};
  const int l1[] = {3};
  ASSERT_TRUE(AddOneByteElements(&p, e1, l1, 1));  // 3 bytes and one padding byte
  EXPECT_EQ(p.HeaderLength(), 20);
  const uint8_t second[2] = {0x40, 0x07};
  const uint8_t* e2[] = {second};
  const int l2[] = {2};
  ASSERT_TRUE(AddOneByteElements(&p, e2, l2, 1));
  const std::vector<uint8_t> golden = {0x90, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                       0xBE, 0xDE, 0x00, 0x02,
                                       0x11, 0xAA, 0xBB, 0x40, 0x07, 0, 0, 0,
                                       1, 2, 3, 4, 5};
  EXPECT_EQ(Bytes(p), golden);
}

TEST(OneByteExtension, RefusesBadElementsAndForeignProfiles) {
  CVseRtpPacket p;
  const uint8_t payload[] = {9};
  p.SetPayload(payload, 1);
  const std::vector<uint8_t> before = Bytes(p);
  uint8_t long_element[18] = {0x1F};
  const uint8_t* e[] = {long_element};
  int lengths[] = {18};
  EXPECT_FALSE(AddOneByteElements(&p, e, lengths, 1));
  lengths[0] = 1;  // a header byte without data
  EXPECT_FALSE(AddOneByteElements(&p, e, lengths, 1));
  const uint8_t* missing[] = {nullptr};
  lengths[0] = 2;
  EXPECT_FALSE(AddOneByteElements(&p, missing, lengths, 1));
  EXPECT_EQ(Bytes(p), before);

  const uint8_t other[4] = {1, 2, 3, 4};
  ASSERT_TRUE(p.SetExtensionForTesting(0x1000, other, 4));
  const uint8_t ok[2] = {0x40, 1};
  const uint8_t* e2[] = {ok};
  EXPECT_FALSE(AddOneByteElements(&p, e2, lengths, 1));
  const uint8_t* found = nullptr;
  int length = 0;
  EXPECT_FALSE(FindOneByteElement(p.Data(), p.TotalLength(), 1, &found, &length));
}

TEST(OneByteExtension, FindSkipsPaddingAndRefusesOverrunningElements) {
  // Block of 2 words: pad, pad, element id 4 (2 bytes), pad, element id 1 claiming 16 bytes.
  std::vector<uint8_t> bytes = {0x90, 98, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0,
                                0xBE, 0xDE, 0x00, 0x02, 0x00, 0x00, 0x40, 0x03, 0x00, 0x1F, 0xEE, 0xEE};
  const uint8_t* found = nullptr;
  int length = 0;
  ASSERT_TRUE(FindOneByteElement(bytes.data(), static_cast<int>(bytes.size()), 4, &found, &length));
  EXPECT_EQ(found, bytes.data() + 18);
  EXPECT_EQ(length, 2);
  EXPECT_FALSE(FindOneByteElement(bytes.data(), static_cast<int>(bytes.size()), 1, &found, &length));
  // The block's length word past the datagram.
  bytes[15] = 0x40;
  EXPECT_FALSE(FindOneByteElement(bytes.data(), static_cast<int>(bytes.size()), 4, &found, &length));
  // No extension bit, or too short for the fixed header.
  bytes[15] = 0x02;
  bytes[0] = 0x80;
  EXPECT_FALSE(FindOneByteElement(bytes.data(), static_cast<int>(bytes.size()), 4, &found, &length));
  EXPECT_FALSE(FindOneByteElement(bytes.data(), 11, 4, &found, &length));
}

// Contributing sources lie between the fixed header and the extension: the
// block starts 4 bytes later for each one the CSRC count names.
TEST(OneByteExtension, FindLooksBehindTheContributingSources) {
  for (int csrcs : {1, 2, 15}) {
    SCOPED_TRACE(csrcs);
    std::vector<uint8_t> bytes = {static_cast<uint8_t>(0x90 | csrcs), 98, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0};
    // Sources that read as a 0xBEDE block would be found if they were skipped
    // wrongly: an element of id 4 right behind a profile-like word.
    for (int i = 0; i < csrcs; ++i) bytes.insert(bytes.end(), {0xBE, 0xDE, 0x00, 0x01});
    const size_t block = bytes.size();
    bytes.insert(bytes.end(), {0xBE, 0xDE, 0x00, 0x01, 0x10, 0xAB, 0x40, 0x07, 0x55});  // + payload
    const uint8_t* found = nullptr;
    int length = 0;
    ASSERT_TRUE(FindOneByteElement(bytes.data(), static_cast<int>(bytes.size()), 4, &found, &length));
    EXPECT_EQ(found, bytes.data() + block + 6);
    EXPECT_EQ(length, 2);
    ASSERT_TRUE(FindOneByteElementOfLength(bytes.data(), static_cast<int>(bytes.size()), 1, 2, &found));
    EXPECT_EQ(found, bytes.data() + block + 4);
    // The block's header cut off by the end of the datagram.
    EXPECT_FALSE(FindOneByteElement(bytes.data(), static_cast<int>(block) + 3, 4, &found, &length));
  }
  // The same with a packet built with sources: what is added is found.
  CVseRtpPacket p;
  const uint8_t payload[] = {7, 7};
  p.SetPayload(payload, 2);
  ASSERT_TRUE(p.set_contrib_source_for_testing(0, 0x01020304u));
  ASSERT_TRUE(p.set_contrib_source_for_testing(1, 0x05060708u));
  const uint8_t level[2] = {0x40, 0x03};
  const uint8_t* e[] = {level};
  const int l[] = {2};
  ASSERT_TRUE(AddOneByteElements(&p, e, l, 1));
  const uint8_t* found = nullptr;
  ASSERT_TRUE(FindOneByteElementOfLength(p.Data(), p.TotalLength(), 4, 2, &found));
  EXPECT_EQ(found, p.Data() + 12 + 8 + 4);
  EXPECT_EQ(found[1], 0x03);
}

int64_t g_unix_us = 0;
uint64_t g_tick_ms = 0;
int64_t FakeUnixMicros() { return g_unix_us; }
uint64_t FakeTickMs() { return g_tick_ms; }

TEST(WallClock, FollowsTheTickFromTheFirstReading) {
  g_unix_us = 1'700'000'000'999'500;  // .999500 s
  g_tick_ms = 0xFFFFFFF0ull;          // near a 32-bit wrap
  CWallClock clock(FakeUnixMicros, FakeTickMs);
  int64_t s = 0;
  int32_t us = 0;
  clock.Now(&s, &us);
  EXPECT_EQ(s, 1'700'000'000);
  EXPECT_EQ(us, 999'500);
  g_unix_us = 0;  // a later change of the system time is not followed
  g_tick_ms += 20;  // past 2^32: no jump back
  clock.Now(&s, &us);
  EXPECT_EQ(s, 1'700'000'001);
  EXPECT_EQ(us, 19'500);
}

TEST(WallClock, NtpFraction) {
  EXPECT_EQ(NtpFraction(0), 0u);
  EXPECT_EQ(NtpFraction(500000), 0x80000000u);
  EXPECT_EQ(NtpFraction(999999), 4294963001u);  // below 2^32
}

}  // namespace

#include "sharing/protocol/ds_message_builder.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "sharing/protocol/ds_bytes_testlib.h"

namespace {

using ds_test::Header;
using ds_test::Hex;

std::string HexOf(const std::string& bytes) {
  std::string text;
  char two[4];
  for (unsigned char c : bytes) {
    std::snprintf(two, sizeof(two), "%02X ", c);
    text += two;
  }
  return text;
}

// Compares as hex text, so a failure shows where the bytes part.
#define EXPECT_BYTES(expected, actual) EXPECT_EQ(HexOf(expected), HexOf(actual))

class DsMessageBuilderTest : public ::testing::Test {
 protected:
  DsMessageBuilderTest() : builder_(&ds_test::FixedGuid) { EXPECT_TRUE(builder_.SetDsId(ds_test::kDsId)); }

  CDsMessageBuilder builder_;
  std::string out_;
};

TEST_F(DsMessageBuilderTest, HeaderOnlyMessagesCarryTypeSequenceAndDsId) {
  const std::pair<DsDataType, unsigned char> types[] = {{DS_DATA_START, 10},        {DS_DATA_STOP, 20},
                                                        {DS_DATA_JOIN, 30},         {DS_DATA_LEAVE, 40},
                                                        {DS_DATA_GET_KEYFRAME, 90}, {DS_DATA_KEEPALIVE, 5}};
  for (const auto& [type, value] : types) {
    ASSERT_TRUE(builder_.BuildHeader(type, &out_)) << "type " << int(value);
    EXPECT_BYTES(Header(value), out_) << "type " << int(value);
  }
}

TEST_F(DsMessageBuilderTest, SharingInfoWithTwoMonitors) {
  SharingInfo info{};
  info.CaptureMode = 1;
  info.BlockWidth = info.BlockHeight = 128;  // not carried
  info.IsDesktopSharing = 1;
  info.SharedRect = {-1920, 0, 1920, 1080};
  info.MonitorCount = 2;
  info.Monitors[0] = MonitorInfo{};
  info.Monitors[0].MonitorId = 1;
  std::char_traits<char16_t>::copy(info.Monitors[0].Name, u"Left", 5);
  info.Monitors[0].Rect = {-1920, 0, 0, 1080};
  info.Monitors[0].BitsPerPixel = 32;
  info.Monitors[0].BackgroundColor = 0xFFFFFFFF;
  info.Monitors[1].MonitorId = 2;
  std::char_traits<char16_t>::copy(info.Monitors[1].Name, u"\u00C9cran", 6);
  info.Monitors[1].Rect = {0, 0, 1920, 1080};
  info.Monitors[1].BitsPerPixel = 32;
  info.ApplicationCount = 1;  // not carried
  ASSERT_TRUE(builder_.BuildSharingInfo(info, &out_));
  EXPECT_BYTES(Header(70) + ds_test::kSharingInfoField, out_);
}

TEST_F(DsMessageBuilderTest, SharingInfoNeverReadsPastTheRecordsMonitorSlots) {
  auto info = std::make_unique<SharingInfo>();
  *info = SharingInfo{};
  info->MonitorCount = 1000;
  ASSERT_TRUE(builder_.BuildSharingInfo(*info, &out_));
  DsData parsed;
  ASSERT_TRUE(parsed.ParseFromString(out_));
  EXPECT_EQ(parsed.sharing_info().monitors_size(), kMonitorListCapacity);
  info->MonitorCount = -3;
  ASSERT_TRUE(builder_.BuildSharingInfo(*info, &out_));
  ASSERT_TRUE(parsed.ParseFromString(out_));
  EXPECT_EQ(parsed.sharing_info().monitors_size(), 0);
}

TEST_F(DsMessageBuilderTest, CachesWithTheirSlotsInOrder) {
  auto jpeg = std::make_unique<CCacheEntry>(21);
  jpeg->PduId = 7;
  ASSERT_TRUE(jpeg->SetSlot(0, DS_CACHE_JPEG, "\xFF\xD8\xFF\xD9", 4));
  auto two = std::make_unique<CCacheEntry>(3);
  two->PduId = 0xFFFFFFFF;
  ASSERT_TRUE(two->SetSlot(0, DS_CACHE_PNG, "\x89PNG", 4));
  ASSERT_TRUE(two->SetSlot(1, DS_CACHE_DATA, "ab", 2));
  CCacheEntry* list[] = {jpeg.get(), nullptr, two.get()};
  ASSERT_TRUE(builder_.BuildCaches(list, 3, &out_));
  EXPECT_BYTES(Header(50) + ds_test::kCachesFields, out_);
}

TEST_F(DsMessageBuilderTest, CacheSlotsThatAreEmptyOrOfNoKnownTypeAreLeftOut) {
  auto cache = std::make_unique<CCacheEntry>(21);
  cache->PduId = 7;
  ASSERT_TRUE(cache->SetSlot(1, 77, "xy", 2));
  CCacheEntry* list[] = {cache.get()};
  ASSERT_TRUE(builder_.BuildCaches(list, 1, &out_));
  EXPECT_BYTES(Header(50) + Hex("92 03 05 50 15 A0 01 07"), out_);
}

TEST_F(DsMessageBuilderTest, MouseInfoWithNegativePosition) {
  CMouseEntry mouse;
  mouse.MonitorId = 1;
  mouse.X = -5;
  mouse.Y = 10;
  mouse.Width = mouse.Height = 32;
  mouse.HotspotX = 3;
  mouse.HotspotY = 4;
  mouse.CacheIndex = 2;
  mouse.CachePduId = 11;
  ASSERT_TRUE(builder_.BuildMouseInfo(mouse, &out_));
  EXPECT_BYTES(Header(80) + ds_test::kMouseInfoField, out_);
}

TEST_F(DsMessageBuilderTest, BlocksAndCacheRequests) {
  auto block = std::make_unique<CKeyframeEntry>(0);
  block->PduId = 9;
  block->MonitorId = 2;
  block->Position = 20304;
  block->CacheIndex = 21;
  block->CachePduId = 7;
  block->Rect = {384, 256, 512, 384};
  CKeyframeEntry* blocks[] = {block.get()};
  ASSERT_TRUE(builder_.BuildBlocks(DS_DATA_CREATE_BLOCKS, blocks, 1, &out_));
  EXPECT_BYTES(Header(60) + ds_test::kBlockField, out_);

  auto cursor = std::make_unique<CKeyframeEntry>(0);
  cursor->CacheIndex = 2;
  cursor->CachePduId = 11;
  cursor->Rect = {-5, 10, 27, 42};
  CKeyframeEntry* request[] = {cursor.get()};
  ASSERT_TRUE(builder_.BuildBlocks(DS_DATA_GET_CACHES, request, 1, &out_));
  EXPECT_BYTES(Header(100) + ds_test::kCursorRequestField, out_);
}

TEST_F(DsMessageBuilderTest, CommandWithMouseKeyboardAndAnnotation) {
  DSCommandRecord command{};
  std::char_traits<char16_t>::copy(command.SrcRosterId, u"alice", 6);
  std::char_traits<char16_t>::copy(command.DstRosterId, u"bob", 4);
  command.Type = 100;
  command.MouseType = 0x201;
  command.MouseMonitorId = 1;
  command.MouseX = -3;  // sign-extended: ten bytes
  command.MouseY = 7;
  command.MouseWParam = 120;
  command.KeyType = 0x100;
  command.KeyMonitorId = 1;
  command.KeyWParam = 0x41;
  command.KeyLParam = 0x001E0001;
  command.AnnotationType = 1;
  command.AnnotationMonitorId = 1;
  command.AnnotationColor = 0xFF0000FF;
  command.AnnotationWeight = 3;
  VzPoint points[] = {{-1, 2}, {3, -4}};
  command.PointCount = 2;
  command.Points = points;
  ASSERT_TRUE(builder_.BuildCommand(command, &out_));
  EXPECT_BYTES(Header(110) + ds_test::kCommandField, out_);
}

TEST_F(DsMessageBuilderTest, CommandEventGroupsOnlyWhenTheirTypeIsSet) {
  DSCommandRecord command{};
  command.Type = DSCommandGiveControl;
  command.MouseX = 5;              // no mouse type: not sent
  command.KeyWParam = 9;           // no key type: not sent
  command.AnnotationType = 30;     // sent, without points:
  command.PointCount = 4;          // a count without an array
  ASSERT_TRUE(builder_.BuildCommand(command, &out_));
  EXPECT_BYTES(Header(110) + Hex("D2 05 16 50 01 A2 01 00 F2 01 00 B2 04 0B 50 1E A0 01 00 F0 01 00 C0 02 00"),
               out_);
}

TEST_F(DsMessageBuilderTest, RosterIdsAreCutAtACharacterBoundaryWithin127Bytes) {
  DSCommandRecord command{};
  for (int i = 0; i < 100; ++i) command.SrcRosterId[i] = u'\u00E9';  // two bytes each in UTF-8
  ASSERT_TRUE(builder_.BuildCommand(command, &out_));
  DsData parsed;
  ASSERT_TRUE(parsed.ParseFromString(out_));
  EXPECT_EQ(parsed.command().src_roster_id().size(), 126u);
  EXPECT_EQ(parsed.command().src_roster_id().substr(124), "\xC3\xA9");
}

TEST_F(DsMessageBuilderTest, DsIdUpTo255BytesFitsALongerOneLeavesItEmpty) {
  std::u16string id(255, u'a');
  EXPECT_TRUE(builder_.SetDsId(id.c_str()));
  EXPECT_EQ(builder_.ds_id().size(), 255u);
  id.push_back(u'a');
  EXPECT_FALSE(builder_.SetDsId(id.c_str()));
  ASSERT_TRUE(builder_.BuildHeader(DS_DATA_START, &out_));
  DsData parsed;
  ASSERT_TRUE(parsed.ParseFromString(out_));
  EXPECT_TRUE(parsed.has_ds_id());
  EXPECT_EQ(parsed.ds_id(), "");
}

TEST(DsSequenceTest, FormatIsVznAndTheGuidWithItsThirdPartInLowerCase) {
  EXPECT_EQ(MakeDsSequence(&ds_test::FixedGuid), ds_test::kFixedSequence);
  EXPECT_EQ(MakeDsSequence([](DsGuid*) { return false; }), "");
  EXPECT_EQ(MakeDsSequence(DsGuidSource()), "");
}

TEST(DsSequenceTest, RandomSequencesMatchTheFormatAndDiffer) {
  CDsMessageBuilder builder;  // the kernel's random GUIDs
  const std::regex format("^VZN[0-9A-F]{8}[0-9A-F]{4}[0-9a-f]{4}[0-9A-F]{16}$");
  std::set<std::string> seen;
  for (int i = 0; i < 50; ++i) {
    SCOPED_TRACE(testing::Message() << "header " << i);
    std::string bytes;
    ASSERT_TRUE(builder.BuildHeader(DS_DATA_KEEPALIVE, &bytes));
    DsData parsed;
    ASSERT_TRUE(parsed.ParseFromString(bytes));
    EXPECT_TRUE(std::regex_match(parsed.sequence(), format)) << parsed.sequence();
    seen.insert(parsed.sequence());
  }
  EXPECT_EQ(seen.size(), 50u);
}

}  // namespace

#include "sharing/protocol/ds_reception.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>

#include "dsdef.pb.h"
#include "sharing/protocol/ds_bytes_testlib.h"

namespace {

using ds_test::Header;
using ds_test::Hex;
using Kind = DsReceivedEvent::Kind;

std::vector<DsReceivedEvent> Receive(const std::string& bytes, bool web = false) {
  return ReadDsReception(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), web);
}

std::vector<Kind> Kinds(const std::vector<DsReceivedEvent>& events) {
  std::vector<Kind> kinds;
  for (const auto& event : events) kinds.push_back(event.kind);
  return kinds;
}

std::string Serialize(const DsData& message) {
  std::string bytes;
  EXPECT_TRUE(message.SerializeToString(&bytes));
  return bytes;
}

// code (field 10) ahead of a header.
std::string WithCode(unsigned char code, unsigned char type) { return Hex("50") + char(code) + Header(type); }

TEST(DsReceptionTest, SessionAnswersBecomeStatusOrError) {
  struct Case {
    std::string bytes;
    Kind kind;
    int32_t value;
  };
  const Case cases[] = {
      {Header(10), Kind::kStatus, 2},       // START, code 0
      {Header(30), Kind::kStatus, 2},       // JOIN, code 0
      {WithCode(20, 10), Kind::kError, 20}, // START refused: invalid token
      {WithCode(40, 30), Kind::kError, 40},
      {WithCode(80, 120), Kind::kStatus, 4},  // the meeting ended
      {WithCode(30, 120), Kind::kError, 30},
      {WithCode(0, 120), Kind::kError, 0},   // a disconnect that is no meeting end
      {Header(20), Kind::kStatus, 4},       // STOP
      {WithCode(10, 40), Kind::kStatus, 4}, // LEAVE, whatever the code
      {WithCode(10, 50), Kind::kError, 10}, // any other type with a code
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(testing::Message() << "case " << i);
    const Case& c = cases[i];
    const auto events = Receive(c.bytes);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, c.kind);
    EXPECT_EQ(events[0].value, c.value);
    if (c.kind == Kind::kError) {
      EXPECT_EQ(events[0].code_type, 50);
    }
  }
}

TEST(DsReceptionTest, WebAttendeesGetSessionAnswersParsedToo) {
  const auto events = Receive(WithCode(30, 120), true);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, Kind::kError);
}

TEST(DsReceptionTest, CommandWithACodeIsDroppedSilently) {
  EXPECT_TRUE(Receive(WithCode(60, 110) + ds_test::kCommandField).empty());
}

TEST(DsReceptionTest, MessagesWithoutPayloadGiveNothing) {
  EXPECT_TRUE(Receive(Header(5)).empty());    // keep-alive
  EXPECT_TRUE(Receive(Header(90)).empty());   // keyframe request
  EXPECT_TRUE(Receive(std::string()).empty());
}

TEST(DsReceptionTest, SharingInfoFromGoldenBytes) {
  const auto events = Receive(Header(70) + ds_test::kSharingInfoField);
  ASSERT_EQ(Kinds(events), std::vector<Kind>{Kind::kSharingInfo});
  const SharingInfo& info = *events[0].sharing_info;
  EXPECT_EQ(info.CaptureMode, 1);
  EXPECT_EQ(info.IsDesktopSharing, 1);
  EXPECT_EQ(info.BlockWidth, 0);
  EXPECT_EQ(info.ApplicationCount, 0);
  EXPECT_EQ(info.SharedRect.left, -1920);
  EXPECT_EQ(info.SharedRect.right, 1920);
  EXPECT_EQ(info.SharedRect.bottom, 1080);
  ASSERT_EQ(info.MonitorCount, 2);
  EXPECT_EQ(info.Monitors[0].MonitorId, 1);
  EXPECT_EQ(std::u16string(info.Monitors[0].Name), u"Left");
  EXPECT_EQ(info.Monitors[0].Rect.left, -1920);
  EXPECT_EQ(info.Monitors[0].Rect.right, 0);
  EXPECT_EQ(info.Monitors[0].BitsPerPixel, 32);
  EXPECT_EQ(info.Monitors[0].BackgroundColor, 0xFFFFFFFFu);
  EXPECT_EQ(std::u16string(info.Monitors[1].Name), u"\u00C9cran");  // UTF-8 decoded
  EXPECT_EQ(info.Monitors[1].Rect.right, 1920);
  EXPECT_EQ(info.Monitors[2].MonitorId, 0);
}

TEST(DsReceptionTest, CachesFromGoldenBytes) {
  const auto events = Receive(Header(50) + ds_test::kCachesFields);
  ASSERT_EQ(Kinds(events), std::vector<Kind>{Kind::kCaches});
  ASSERT_EQ(events[0].caches.size(), 2u);
  const CCacheEntry& jpeg = *events[0].caches[0];
  EXPECT_EQ(jpeg.Index, 21u);
  EXPECT_EQ(jpeg.PduId, 7u);
  EXPECT_EQ(jpeg.Slots[0].Type, DS_CACHE_JPEG);
  ASSERT_EQ(jpeg.Slots[0].Size, 4u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(jpeg.Slots[0].Data), 4), "\xFF\xD8\xFF\xD9");
  EXPECT_EQ(jpeg.Slots[1].Type, 0);
  EXPECT_EQ(jpeg.Slots[1].Data, nullptr);
  const CCacheEntry& two = *events[0].caches[1];
  EXPECT_EQ(two.PduId, 0xFFFFFFFFu);
  EXPECT_EQ(two.Slots[0].Type, DS_CACHE_PNG);
  EXPECT_EQ(two.Slots[1].Type, DS_CACHE_DATA);
  ASSERT_EQ(two.Slots[1].Size, 2u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(two.Slots[1].Data), 2), "ab");
}

TEST(DsReceptionTest, MouseInfoFromGoldenBytes) {
  const auto events = Receive(Header(80) + ds_test::kMouseInfoField);
  ASSERT_EQ(Kinds(events), std::vector<Kind>{Kind::kMouseInfo});
  const CMouseEntry& mouse = *events[0].mouse;
  EXPECT_EQ(mouse.MonitorId, 1);
  EXPECT_EQ(mouse.X, -5);
  EXPECT_EQ(mouse.Y, 10);
  EXPECT_EQ(mouse.Width, 32);
  EXPECT_EQ(mouse.Height, 32);
  EXPECT_EQ(mouse.HotspotX, 3);
  EXPECT_EQ(mouse.HotspotY, 4);
  EXPECT_EQ(mouse.CacheIndex, 2u);
  EXPECT_EQ(mouse.CachePduId, 11u);
}

TEST(DsReceptionTest, BlocksFromGoldenBytesAndCacheRequestsByType) {
  auto events = Receive(Header(60) + ds_test::kBlockField);
  ASSERT_EQ(Kinds(events), std::vector<Kind>{Kind::kBlocks});
  const CKeyframeEntry& block = *events[0].blocks[0];
  EXPECT_EQ(block.Index, 0u);
  EXPECT_EQ(block.PduId, 9u);
  EXPECT_EQ(block.MonitorId, 2u);
  EXPECT_EQ(block.Position, 20304u);
  EXPECT_EQ(block.CacheIndex, 21u);
  EXPECT_EQ(block.CachePduId, 7u);
  EXPECT_EQ(block.Rect.left, 384);
  EXPECT_EQ(block.Rect.top, 256);
  EXPECT_EQ(block.Rect.right, 512);
  EXPECT_EQ(block.Rect.bottom, 384);

  events = Receive(Header(100) + ds_test::kCursorRequestField);
  ASSERT_EQ(Kinds(events), std::vector<Kind>{Kind::kRequestCaches});
  EXPECT_EQ(events[0].blocks[0]->Position, 0u);
  EXPECT_EQ(events[0].blocks[0]->Rect.left, -5);
  EXPECT_EQ(events[0].blocks[0]->Rect.right, 27);
}

TEST(DsReceptionTest, CommandFromGoldenBytesKeepsNegativeCoordinates) {
  const auto events = Receive(Header(110) + ds_test::kCommandField);
  ASSERT_EQ(Kinds(events), std::vector<Kind>{Kind::kCommand});
  const DSCommandRecord& command = *events[0].command;
  EXPECT_EQ(command.Type, 100);
  EXPECT_EQ(std::u16string(command.SrcRosterId), u"alice");
  EXPECT_EQ(std::u16string(command.DstRosterId), u"bob");
  EXPECT_EQ(command.MouseType, 0x201);
  EXPECT_EQ(command.MouseMonitorId, 1);
  EXPECT_EQ(command.MouseX, -3);
  EXPECT_EQ(command.MouseY, 7);
  EXPECT_EQ(command.MouseWParam, 120);
  EXPECT_EQ(command.KeyType, 0x100);
  EXPECT_EQ(command.KeyWParam, 0x41);
  EXPECT_EQ(command.KeyLParam, 0x001E0001);
  EXPECT_EQ(command.AnnotationColor, 0xFF0000FFu);
  EXPECT_EQ(command.AnnotationWeight, 3);
  ASSERT_EQ(command.PointCount, 2u);
  EXPECT_EQ(command.Points[0].x, -1);
  EXPECT_EQ(command.Points[1].y, -4);
}

TEST(DsReceptionTest, PartsReachTheEngineInFixedOrderWhateverTheWireOrder) {
  // Fields in reverse order on the wire; a parser keeps them all.
  const std::string bytes = Header(60) + ds_test::kCommandField + ds_test::kBlockField +
                            ds_test::kMouseInfoField + ds_test::kCachesFields + ds_test::kSharingInfoField;
  EXPECT_EQ(Kinds(Receive(bytes)), (std::vector<Kind>{Kind::kSharingInfo, Kind::kCaches, Kind::kMouseInfo,
                                                      Kind::kBlocks, Kind::kCommand}));
  // A cache request's answer: the caches first, then the request path.
  EXPECT_EQ(Kinds(Receive(Header(100) + ds_test::kCursorRequestField + ds_test::kCachesFields)),
            (std::vector<Kind>{Kind::kCaches, Kind::kRequestCaches}));
}

TEST(DsReceptionTest, WebAttendeeGetsTheWholeMessageUnparsed) {
  const std::string bytes = Header(110) + ds_test::kCommandField;
  const auto events = Receive(bytes, true);
  ASSERT_EQ(Kinds(events), std::vector<Kind>{Kind::kWebBinary});
  ASSERT_EQ(events[0].web_binary->length(), bytes.size());
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(events[0].web_binary->data()), bytes.size()), bytes);
}

TEST(DsReceptionTest, ValuesAreReadAsTheirLow32Bits) {
  DsData message;
  message.set_type(DS_DATA_CREATE_BLOCKS);
  DsBlock* block = message.add_blocks();
  block->set_monitor_id(0x100000005ull);
  block->set_pdu_id(0xFFFFFFFFull);
  block->mutable_rect()->set_x(-1);
  block->mutable_rect()->set_width(0xFFFFFFFFull);  // x + width wraps as the record's int32 does
  const auto events = Receive(Serialize(message));
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].blocks[0]->MonitorId, 5u);
  EXPECT_EQ(events[0].blocks[0]->PduId, 0xFFFFFFFFu);
  EXPECT_EQ(events[0].blocks[0]->Rect.left, -1);
  EXPECT_EQ(events[0].blocks[0]->Rect.right, -2);
}

// Hostile or broken senders.

TEST(DsReceptionTest, BytesThatAreNoMessageAreDropped) {
  EXPECT_TRUE(Receive(Hex("FF FF FF FF")).empty());
  EXPECT_TRUE(Receive("not a message at all").empty());
  const std::string whole = Header(50) + ds_test::kCachesFields;
  EXPECT_TRUE(Receive(whole.substr(0, whole.size() - 3)).empty());  // cut short
  EXPECT_TRUE(ReadDsReception(nullptr, 12, false).empty());
}

TEST(DsReceptionTest, MessagesOfTooManyTinyPartsAreRefusedBeforeParsing) {
  // 100,000 embedded parts are taken (a block with its rectangle counts
  // two); one more and the message is refused whole.
  std::string blocks;
  for (int i = 0; i < 50000; ++i) blocks += Hex("82 05 03 B2 04 00");  // block { rect {} }
  auto events = Receive(Header(60) + blocks);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].blocks.size(), 50000u);
  EXPECT_TRUE(Receive(Header(60) + blocks + Hex("82 05 00")).empty());

  // Points deep inside a command count as well: command, annotation and
  // 99,998 points are 100,000 parts.
  DsData message;
  message.set_type(DS_DATA_COMMAND);
  DsAnnotationEvent* annotation = message.mutable_command()->mutable_annotation_event();
  for (int i = 0; i < 99998; ++i) annotation->add_points();
  events = Receive(Serialize(message));
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].command->PointCount, 10000u);
  annotation->add_points();
  EXPECT_TRUE(Receive(Serialize(message)).empty());
}

TEST(DsReceptionTest, TwentyMonitorsAreCappedAtSixteen) {
  DsData message;
  message.set_type(DS_DATA_CREATE_SHARINGINFO);
  for (int i = 0; i < 20; ++i) message.mutable_sharing_info()->add_monitors()->set_monitor_id(i + 1);
  const auto events = Receive(Serialize(message));
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].sharing_info->MonitorCount, 16);
  EXPECT_EQ(events[0].sharing_info->Monitors[15].MonitorId, 16);
  EXPECT_EQ(events[0].sharing_info->Monitors[16].MonitorId, 0);
  EXPECT_EQ(events[0].sharing_info->ApplicationCount, 0);
}

TEST(DsReceptionTest, CacheSizeNeverExceedsTheBytesCarried) {
  DsData message;
  message.set_type(DS_DATA_CREATE_CACHES);
  DsCache* cache = message.add_caches();
  cache->set_index(21);
  DsCacheData* longer = cache->add_cache_data();
  longer->set_type(DS_CACHE_JPEG);
  longer->set_data_size(1ull << 40);
  longer->set_data("abc");
  DsCacheData* none = cache->add_cache_data();
  none->set_type(DS_CACHE_PNG);
  none->set_data_size(5000);
  cache->add_cache_data()->set_data("third slot ignored");
  DsCache* untyped = message.add_caches();
  untyped->set_index(22);
  untyped->add_cache_data()->set_data("xy");
  untyped->mutable_cache_data(0)->set_data_size(2);
  const auto events = Receive(Serialize(message));
  ASSERT_EQ(events.size(), 1u);
  const CCacheEntry& entry = *events[0].caches[0];
  ASSERT_EQ(entry.Slots[0].Size, 3u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(entry.Slots[0].Data), 3), "abc");
  EXPECT_EQ(entry.Slots[1].Type, DS_CACHE_PNG);
  EXPECT_EQ(entry.Slots[1].Size, 0u);
  EXPECT_EQ(entry.Slots[1].Data, nullptr);
  // No type on the wire: an untyped slot, not the schema's first type.
  EXPECT_EQ(events[0].caches[1]->Slots[0].Type, 0);
  EXPECT_EQ(events[0].caches[1]->Slots[0].Size, 2u);
}

TEST(DsReceptionTest, CachesAndBlocksBeyondTheTablesAreDropped) {
  DsData message;
  message.set_type(DS_DATA_CREATE_BLOCKS);
  message.add_caches()->set_index(4999);
  message.add_caches()->set_index(5000);
  message.add_caches()->set_index(0xFFFFFFFFull);
  message.add_blocks()->set_index(160000);
  message.add_blocks()->set_index(159999);
  const auto events = Receive(Serialize(message));
  ASSERT_EQ(Kinds(events), (std::vector<Kind>{Kind::kCaches, Kind::kBlocks}));
  ASSERT_EQ(events[0].caches.size(), 1u);
  EXPECT_EQ(events[0].caches[0]->Index, 4999u);
  ASSERT_EQ(events[1].blocks.size(), 1u);
  EXPECT_EQ(events[1].blocks[0]->Index, 159999u);

  DsData only_bad;
  only_bad.set_type(DS_DATA_CREATE_CACHES);
  only_bad.add_caches()->set_index(7000);
  EXPECT_TRUE(Receive(Serialize(only_bad)).empty());
}

TEST(DsReceptionTest, AnnotationPointsAreCapped) {
  DsData message;
  message.set_type(DS_DATA_COMMAND);
  DsAnnotationEvent* annotation = message.mutable_command()->mutable_annotation_event();
  annotation->set_type(1);
  for (int i = 0; i < 10001; ++i) {
    DsPoint* point = annotation->add_points();
    point->set_x(i);
    point->set_y(-i);
  }
  const auto events = Receive(Serialize(message));
  ASSERT_EQ(events.size(), 1u);
  ASSERT_EQ(events[0].command->PointCount, 10000u);
  EXPECT_EQ(events[0].command->Points[9999].x, 9999);
  EXPECT_EQ(events[0].command->Points[9999].y, -9999);
}

TEST(DsReceptionTest, ReceivedTextIsDecodedAndBounded) {
  DsData message;
  message.set_type(DS_DATA_COMMAND);
  message.mutable_command()->set_src_roster_id("a\xFF" "b");             // malformed UTF-8
  message.mutable_command()->set_dst_roster_id(std::string(300, 'x'));  // longer than the field
  const auto events = Receive(Serialize(message));
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(std::u16string(events[0].command->SrcRosterId), u"a\uFFFDb");
  EXPECT_EQ(std::u16string(events[0].command->DstRosterId), std::u16string(127, u'x'));
  EXPECT_EQ(events[0].command->Points, nullptr);
  EXPECT_EQ(events[0].command->MouseType, 0);
}

}  // namespace

// What else crosses between engines through the transport stand-in: the
// cursor (its shape as a PNG that libpng reads back, then position-only
// moves, then no cursor), and malformed messages from the server side,
// which an attendee refuses with a log line and survives.
#include <gtest/gtest.h>
#include <png.h>

#include <cstring>
#include <vector>

#include "dsdef.pb.h"
#include "sharing/controller/engine_loopback_rig_testlib.h"
#include "sharing/controller/screen_picture_testlib.h"

namespace {

using engine_test::FakeGrab;
using engine_test::LogCapture;
using engine_test::Loopback;
using engine_test::LoopbackClient;
using engine_test::Desktop;
using engine_test::LoopbackConfig;

constexpr int kCursorSide = 32;

// The capture's cursor record: the header, and the shape's A, R, G, B
// pixels at their offset in the record.
std::vector<uint8_t> CursorRecord(int32_t x, int32_t y, bool with_shape) {
  std::vector<uint8_t> record(kCaptureMousePixelsOffset + kCursorSide * kCursorSide * 4);
  auto* info = reinterpret_cast<CaptureMouseInfo*>(record.data());
  info->MonitorId = 1;
  info->X = x;
  info->Y = y;
  if (!with_shape) return record;
  info->Width = info->Height = kCursorSide;
  info->HotspotX = 3;
  info->HotspotY = 4;
  info->Format = kCaptureMouseFormatArgb;
  info->DataSize = kCursorSide * kCursorSide * 4;
  info->Data = kCaptureMousePixelsOffset;
  uint8_t* pixels = CaptureMousePixels(info);
  for (int i = 0; i < kCursorSide * kCursorSide; ++i) {
    pixels[i * 4 + 0] = (i % 5 == 0) ? 0 : 0xff;  // A, some transparent
    pixels[i * 4 + 1] = static_cast<uint8_t>(i);  // R
    pixels[i * 4 + 2] = static_cast<uint8_t>(i * 3);
    pixels[i * 4 + 3] = 0x40;
  }
  return record;
}

// The PNG as R, G, B, A rows, through libpng's reader.
bool DecodePng(const std::string& png, std::vector<uint8_t>* rgba, uint32_t* width, uint32_t* height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) return false;
  image.format = PNG_FORMAT_RGBA;
  rgba->resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgba->data(), 0, nullptr)) return false;
  *width = image.width;
  *height = image.height;
  return true;
}

using EngineInputTest = engine_test::EngineLoopbackRig;

TEST_F(EngineInputTest, TheCursorShapeCrossesAsAPngAndMovesCostNoImage) {
  LoopbackClient& presenter = NewClient();
  LoopbackClient& attendee = NewClient();
  engine_test::CountingTp sent;
  Start(presenter, LoopbackConfig(u"ds-cursor", u"alice", true), "jpeg9b", &sent);
  Start(attendee, LoopbackConfig(u"ds-cursor", u"bob", false), "jpeg9b");
  ASSERT_TRUE(RunUntil([&] { return presenter.Has("status 2") && attendee.Has("status 2"); }));
  ASSERT_EQ(presenter.engine->StartCapture(nullptr, 3), 1);
  SharingInfo info = Desktop(800, 600);
  ASSERT_EQ(FakeGrab()->Sink()->OnDSKeSharingInfo(&info), 1);

  std::vector<uint8_t> shape = CursorRecord(10, 20, true);
  ASSERT_EQ(FakeGrab()->Sink()->OnDSKeMouseInfo(reinterpret_cast<CaptureMouseInfo*>(shape.data())), 1);
  EXPECT_EQ(sent.cache_messages, 1);
  ASSERT_TRUE(RunUntil([&] { return attendee.Has("mouse 10,20"); }));
  EXPECT_EQ(attendee.cursor_format, 30);
  std::vector<uint8_t> rgba;
  uint32_t width = 0, height = 0;
  ASSERT_TRUE(DecodePng(attendee.cursor_image, &rgba, &width, &height));
  ASSERT_EQ(width, static_cast<uint32_t>(kCursorSide));
  ASSERT_EQ(height, static_cast<uint32_t>(kCursorSide));
  const uint8_t* argb = CaptureMousePixels(reinterpret_cast<CaptureMouseInfo*>(shape.data()));
  for (int i = 0; i < kCursorSide * kCursorSide; ++i) {
    ASSERT_EQ(rgba[i * 4 + 0], argb[i * 4 + 1]) << i;
    ASSERT_EQ(rgba[i * 4 + 1], argb[i * 4 + 2]) << i;
    ASSERT_EQ(rgba[i * 4 + 2], argb[i * 4 + 3]) << i;
    ASSERT_EQ(rgba[i * 4 + 3], argb[i * 4 + 0]) << i;
  }

  // The same shape moved: the record only, and the client hears a position.
  std::vector<uint8_t> moved = CursorRecord(30, 40, true);
  ASSERT_EQ(FakeGrab()->Sink()->OnDSKeMouseInfo(reinterpret_cast<CaptureMouseInfo*>(moved.data())), 1);
  std::vector<uint8_t> position = CursorRecord(50, 60, false);
  ASSERT_EQ(FakeGrab()->Sink()->OnDSKeMouseInfo(reinterpret_cast<CaptureMouseInfo*>(position.data())), 1);
  EXPECT_EQ(sent.cache_messages, 1);
  EXPECT_EQ(sent.mouse_messages, 3);
  ASSERT_TRUE(RunUntil([&] { return attendee.Has("mouse 50,60"); }));
  EXPECT_TRUE(attendee.Has("mouse 30,40"));

  // No cursor at all.
  ASSERT_EQ(FakeGrab()->Sink()->OnDSKeMouseInfo(nullptr), 1);
  ASSERT_TRUE(RunUntil([&] { return attendee.Has("mouse null"); }));
  EXPECT_FALSE(presenter.wrong_thread || attendee.wrong_thread);
}

// One server message to the attendee-only session.
void ServerSends(const char* ds_id, const DsData& message) {
  const std::string bytes = message.SerializeAsString();
  Loopback()->SendToSession(kTransportSessionSharing, ds_id, reinterpret_cast<const uint8_t*>(bytes.data()),
                            static_cast<uint32_t>(bytes.size()));
}

void AddCache(DsData* message, uint64_t index, uint64_t pdu, const std::string& image) {
  DsCache* cache = message->add_caches();
  cache->set_index(index);
  cache->set_pdu_id(pdu);
  DsCacheData* data = cache->add_cache_data();
  data->set_type(DS_CACHE_JPEG);
  data->set_data_size(image.size());
  data->set_data(image);
}

void AddBlock(DsData* message, uint64_t index, uint64_t pdu, uint64_t cache_index, uint64_t cache_pdu, int64_t x,
              int64_t y, uint64_t w, uint64_t h) {
  DsBlock* block = message->add_blocks();
  block->set_index(index);
  block->set_pdu_id(pdu);
  block->set_monitor_id(1);
  block->set_position(10101);
  block->set_cache_index(cache_index);
  block->set_cache_pdu_id(cache_pdu);
  block->mutable_rect()->set_x(x);
  block->mutable_rect()->set_y(y);
  block->mutable_rect()->set_width(w);
  block->mutable_rect()->set_height(h);
}

// A tile of the lossless test codec: its size, then its rows.
std::string RawTile(uint32_t width, uint32_t height, uint8_t value) {
  std::string tile(8 + static_cast<size_t>(width) * height * 4, static_cast<char>(value));
  std::memcpy(tile.data(), &width, 4);
  std::memcpy(tile.data() + 4, &height, 4);
  return tile;
}

TEST_F(EngineInputTest, MalformedMessagesAreRefusedWithALogLine) {
  LogCapture log;
  LoopbackClient& attendee = NewClient();
  Start(attendee, LoopbackConfig(u"ds-bad", u"bob", false), "vzrawcodec");
  ASSERT_TRUE(RunUntil([&] { return attendee.Has("status 2"); }));

  DsData info;
  info.set_type(DS_DATA_CREATE_SHARINGINFO);
  DsSharingInfo* sharing = info.mutable_sharing_info();
  sharing->mutable_rect()->set_width(800);
  sharing->mutable_rect()->set_height(600);
  for (int i = 0; i < 20; ++i) {
    DsMonitor* monitor = sharing->add_monitors();
    monitor->set_monitor_id(i + 1);
    monitor->mutable_rect()->set_x(i * 800);
    monitor->mutable_rect()->set_width(i == 1 ? 1u << 20 : 800);  // monitor 2: absurd width
    monitor->mutable_rect()->set_height(600);
    monitor->set_bits_pixel(32);
  }
  ServerSends("ds-bad", info);
  ASSERT_TRUE(RunUntil([&] { return attendee.Has("sharing_info 16"); }));
  EXPECT_EQ(log.Count("only the first [16] are kept"), 1u);
  EXPECT_EQ(attendee.frames.count(2), 0u);  // no frame for the absurd one
  ASSERT_EQ(attendee.frames.count(1), 1u);

  DsData bad;
  bad.set_type(DS_DATA_CREATE_BLOCKS);
  AddCache(&bad, 0xFFFFFFFFu, 5, RawTile(128, 128, 1));
  AddCache(&bad, 25, 6, "garbage, not an image");
  AddCache(&bad, 26, 7, RawTile(64, 64, 2));  // decodes to the wrong size
  AddCache(&bad, 27, 8, RawTile(128, 128, 3));
  AddBlock(&bad, 1, 10, 25, 6, 0, 0, 128, 128);
  AddBlock(&bad, 2, 11, 26, 7, 128, 0, 128, 128);
  AddBlock(&bad, 3, 12, 27, 8, 700, 0, 200, 128);    // right edge beyond the width
  AddBlock(&bad, 4, 13, 27, 8, 0, -5, 128, 100);     // negative top
  AddBlock(&bad, 0xFFFFFFFFu, 14, 27, 8, 0, 0, 128, 128);
  AddBlock(&bad, 5, 15, 27, 8, 256, 0, 128, 128);    // the one good block
  // Bytes that are no message at all come first; the connection handles
  // each payload in order, so they were refused before the blocks are drawn.
  const std::string garbage = "\xff\xff\xff\xff not a message";
  Loopback()->SendToSession(kTransportSessionSharing, "ds-bad", reinterpret_cast<const uint8_t*>(garbage.data()),
                            static_cast<uint32_t>(garbage.size()));
  // A cursor whose image is no PNG, and one that names a tile's cache.
  DsData cursor;
  cursor.set_type(DS_DATA_CREATE_MOUSEINFO);
  DsCache* png = cursor.add_caches();
  png->set_index(3);
  png->set_pdu_id(20);
  DsCacheData* png_data = png->add_cache_data();
  png_data->set_type(DS_CACHE_PNG);
  png_data->set_data_size(7);
  png_data->set_data("garbage");
  DsMouseInfo* mouse = cursor.mutable_mouse_info();
  mouse->set_monitor_id(1);
  mouse->set_cache_index(3);
  mouse->set_cache_pdu_id(20);
  mouse->mutable_rect()->set_x(10);
  mouse->mutable_rect()->set_y(10);
  mouse->mutable_rect()->set_width(32);
  mouse->mutable_rect()->set_height(32);
  ServerSends("ds-bad", cursor);
  mouse->set_cache_index(4000);
  mouse->set_cache_pdu_id(21);
  cursor.clear_caches();
  ServerSends("ds-bad", cursor);
  ServerSends("ds-bad", bad);
  ASSERT_TRUE(RunUntil([&] { return attendee.updates > 0; }));  // the blocks drawn, one update for monitor 1

  EXPECT_EQ(log.Count("cache index [4294967295] out of range"), 1u);
  EXPECT_EQ(log.Count("block index [4294967295] out of range"), 1u);
  EXPECT_EQ(log.Count("does not decode"), 1u);
  EXPECT_EQ(log.Count("decoded bytes for a block of"), 1u);
  EXPECT_EQ(log.Count("outside monitor [1]"), 2u);
  EXPECT_EQ(log.Count("message of ["), 1u);
  EXPECT_EQ(log.Count("holds no usable PNG"), 1u);
  EXPECT_EQ(log.Count("outside the cursor caches"), 1u);
  EXPECT_TRUE(attendee.cursor_image.empty());
  // Only the good block was painted; the rest of the frame is still grey.
  const uint8_t* frame = attendee.frames[1];
  uint32_t pixel = 0;
  std::memcpy(&pixel, frame + (0 * 800 + 300) * 4, 4);
  EXPECT_EQ(pixel, 0x03030303u);
  std::memcpy(&pixel, frame + (0 * 800 + 10) * 4, 4);
  EXPECT_EQ(pixel, 0xff606060u);
  std::memcpy(&pixel, frame + (0 * 800 + 130) * 4, 4);
  EXPECT_EQ(pixel, 0xff606060u);
  std::memcpy(&pixel, frame + (10 * 800 + 750) * 4, 4);
  EXPECT_EQ(pixel, 0xff606060u);
  EXPECT_FALSE(attendee.wrong_thread);
}

}  // namespace

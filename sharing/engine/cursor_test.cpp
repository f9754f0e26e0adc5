#include "sharing/engine/cursor_channel.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include "platform/big_endian.h"
#include "sharing/engine/cursor_png.h"
#include "sharing/engine/engine_rig_testlib.h"

namespace {

using ds_test::RecordingClient;
using ds_test::RecordingTransport;

// Reads a PNG with libpng's own simplified interface, independently of the
// engine's decoder.
std::vector<uint8_t> ReadWithLibpng(const std::string& png, int* width, int* height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_memory(&image, png.data(), png.size()) == 0) return {};
  image.format = PNG_FORMAT_RGBA;
  std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(image));
  if (png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr) == 0) return {};
  *width = static_cast<int>(image.width);
  *height = static_cast<int>(image.height);
  return rgba;
}

// A shape record as the capture hands it over: the header, then the pixels
// at offset 1,600 of the same block.
std::vector<uint8_t> Shape(const std::vector<uint8_t>& pixels, int w, int h, int32_t format, int x = 10,
                           int y = 20) {
  std::vector<uint8_t> block(kCaptureMousePixelsOffset + pixels.size(), 0);
  CaptureMouseInfo info{};
  info.MonitorId = 1;
  info.X = x;
  info.Y = y;
  info.Width = w;
  info.Height = h;
  info.HotspotX = 3;
  info.HotspotY = 4;
  info.Format = format;
  info.DataSize = static_cast<int32_t>(pixels.size());
  info.Data = kCaptureMousePixelsOffset;
  std::memcpy(block.data(), &info, sizeof info);
  std::memcpy(block.data() + kCaptureMousePixelsOffset, pixels.data(), pixels.size());
  return block;
}
CaptureMouseInfo* Info(std::vector<uint8_t>& block) { return reinterpret_cast<CaptureMouseInfo*>(block.data()); }

std::vector<uint8_t> ArgbPixels(int w, int h, uint8_t seed) {
  std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 4);
  for (size_t i = 0; i < pixels.size(); i += 4) {
    pixels[i] = (i / 4) % 3 == 0 ? 0 : 0xFF;  // alpha, some transparent
    pixels[i + 1] = static_cast<uint8_t>(i + seed);
    pixels[i + 2] = static_cast<uint8_t>(i / 7);
    pixels[i + 3] = seed;
  }
  return pixels;
}

class CursorTest : public ::testing::Test {
 protected:
  CCacheController presenter_caches_;
  CCursorChannel presenter_{presenter_caches_};
  CCacheController attendee_caches_;
  CCursorChannel attendee_{attendee_caches_};
  RecordingTransport tp_;
  RecordingTransport requests_;
  RecordingClient client_;
};

TEST(CursorPngTest, AlphaFirstPixelsComeBackAsRgbaAndRgbaAsTheyAre) {
  auto argb = ArgbPixels(32, 32, 9);
  uint8_t* png = nullptr;
  uint32_t size = 0;
  ASSERT_TRUE(EncodeCursorPng(argb.data(), 32, 32, kCursorPngArgb, &png, &size));
  const std::string bytes(reinterpret_cast<char*>(png), size);
  std::free(png);
  int w = 0, h = 0;
  const auto rgba = ReadWithLibpng(bytes, &w, &h);
  ASSERT_EQ(32, w);
  ASSERT_EQ(32, h);
  ASSERT_EQ(argb.size(), rgba.size());
  for (size_t i = 0; i < rgba.size(); i += 4) {
    ASSERT_EQ(argb[i + 1], rgba[i]) << i;
    ASSERT_EQ(argb[i + 2], rgba[i + 1]) << i;
    ASSERT_EQ(argb[i + 3], rgba[i + 2]) << i;
    ASSERT_EQ(argb[i], rgba[i + 3]) << i;
  }

  ASSERT_TRUE(EncodeCursorPng(argb.data(), 32, 16, kCursorPngRgba, &png, &size));
  std::vector<uint8_t> decoded;
  ASSERT_TRUE(DecodeCursorPng(png, size, &w, &h, &decoded));
  std::free(png);
  EXPECT_EQ(16, h);
  EXPECT_TRUE(std::equal(decoded.begin(), decoded.end(), argb.begin()));
}

TEST(CursorPngTest, OnlyTheTwoPixelCodesAndCursorSizesAreEncoded) {
  auto pixels = ArgbPixels(129, 1, 1);
  uint8_t* png = nullptr;
  uint32_t size = 7;
  EXPECT_FALSE(EncodeCursorPng(pixels.data(), 8, 8, 4, &png, &size));
  EXPECT_FALSE(EncodeCursorPng(pixels.data(), 129, 1, kCursorPngRgba, &png, &size));
  EXPECT_FALSE(EncodeCursorPng(pixels.data(), 0, 1, kCursorPngRgba, &png, &size));
  EXPECT_EQ(nullptr, png);
  EXPECT_EQ(0u, size);
}

TEST(CursorPngTest, GarbageTruncatedAndOversizedImagesAreRefused) {
  int w = 1, h = 1;
  const uint8_t garbage[] = "definitely not a PNG file at all";
  EXPECT_FALSE(DecodeCursorPng(garbage, sizeof garbage, &w, &h, nullptr));
  EXPECT_FALSE(DecodeCursorPng(nullptr, 0, &w, &h, nullptr));
  EXPECT_EQ(0, w);

  auto pixels = ArgbPixels(64, 64, 3);
  uint8_t* png = nullptr;
  uint32_t size = 0;
  ASSERT_TRUE(EncodeCursorPng(pixels.data(), 64, 64, kCursorPngRgba, &png, &size));
  EXPECT_FALSE(DecodeCursorPng(png, size / 2, &w, &h, nullptr));
  std::vector<uint8_t> damaged(png, png + size);
  damaged[size / 2] ^= 0x55;  // inside the image data: its CRC no longer holds
  EXPECT_FALSE(DecodeCursorPng(damaged.data(), damaged.size(), &w, &h, nullptr));
  // The header says 20000 x 64: refused before the pixels are allocated.
  std::vector<uint8_t> huge(png, png + size);
  vz::Store32(&huge[16], 20000);  // the width
  const uLong crc = crc32(crc32(0, nullptr, 0), huge.data() + 12, 17);
  vz::Store32(&huge[29], static_cast<uint32_t>(crc));
  EXPECT_FALSE(DecodeCursorPng(huge.data(), huge.size(), &w, &h, nullptr));
  std::free(png);
}

TEST_F(CursorTest, AShapeIsSentOnceAndAMoveSendsOnlyTheRecord) {
  auto pixels = ArgbPixels(16, 16, 1);
  auto info_block = Shape(pixels, 16, 16, CCursorChannel::kFormatArgb);
  CaptureMouseInfo& info = *Info(info_block);
  ASSERT_EQ(1, presenter_.OnCaptureMouse(&info, &tp_));
  ASSERT_EQ(2u, tp_.sent.size());
  EXPECT_EQ(DS_DATA_CREATE_CACHES, tp_.sent[0].type);
  EXPECT_EQ(2u, tp_.sent[0].caches[0].index);  // the first cursor cache
  EXPECT_EQ(30, tp_.sent[0].caches[0].type);
  EXPECT_EQ(DS_DATA_CREATE_MOUSEINFO, tp_.sent[1].type);
  EXPECT_EQ(tp_.sent[0].caches[0].pdu_id, tp_.sent[1].mouse.CachePduId);
  EXPECT_EQ(nullptr, presenter_caches_.GetAt(2)->Slots[0].Data);  // freed once sent

  CaptureMouseInfo moved{};
  moved.MonitorId = 1;
  moved.X = 50;
  ASSERT_EQ(1, presenter_.OnCaptureMouse(&moved, &tp_));
  ASSERT_EQ(3u, tp_.sent.size());
  EXPECT_EQ(DS_DATA_CREATE_MOUSEINFO, tp_.sent[2].type);
  EXPECT_EQ(50, tp_.sent[2].mouse.X);
  EXPECT_EQ(16, tp_.sent[2].mouse.Width);
  EXPECT_EQ(tp_.sent[1].mouse.CachePduId, tp_.sent[2].mouse.CachePduId);

  // The same shape again costs no cache.
  ASSERT_EQ(1, presenter_.OnCaptureMouse(&info, &tp_));
  EXPECT_EQ(1, tp_.Count(DS_DATA_CREATE_CACHES));
}

TEST_F(CursorTest, TheTwentiethShapeEvictsTheLeastRecentlyUsedCursorCache) {
  std::vector<std::vector<uint8_t>> shapes;
  for (int i = 0; i < 20; ++i) shapes.push_back(ArgbPixels(8, 8, static_cast<uint8_t>(i)));
  for (int i = 0; i < 19; ++i) {
    auto info_block = Shape(shapes[i], 8, 8, CCursorChannel::kFormatArgb);
    CaptureMouseInfo& info = *Info(info_block);
    ASSERT_EQ(1, presenter_.OnCaptureMouse(&info, &tp_)) << "shape " << i;
  }
  // Shape 0 is used again, so shape 1's cache is the oldest.
  auto again_block = Shape(shapes[0], 8, 8, CCursorChannel::kFormatArgb);
  CaptureMouseInfo& again = *Info(again_block);
  presenter_.OnCaptureMouse(&again, &tp_);
  tp_.Clear();
  auto twentieth_block = Shape(shapes[19], 8, 8, CCursorChannel::kFormatArgb);
  CaptureMouseInfo& twentieth = *Info(twentieth_block);
  ASSERT_EQ(1, presenter_.OnCaptureMouse(&twentieth, &tp_));
  ASSERT_EQ(1, tp_.Count(DS_DATA_CREATE_CACHES));
  EXPECT_EQ(3u, tp_.sent[0].caches[0].index);  // shape 1 lived at 3
  EXPECT_LE(presenter_caches_.GetCountForTesting(), 20);
}

TEST_F(CursorTest, TheSameBytesAsAnotherShapeSizeAreAnotherImage) {
  const std::vector<uint8_t> clear(8 * 16 * 4, 0);
  auto tall = Shape(clear, 8, 16, CCursorChannel::kFormatArgb);
  auto wide = Shape(clear, 16, 8, CCursorChannel::kFormatArgb);
  ASSERT_EQ(1, presenter_.OnCaptureMouse(Info(tall), &tp_));
  ASSERT_EQ(1, presenter_.OnCaptureMouse(Info(wide), &tp_));
  ASSERT_EQ(2, tp_.Count(DS_DATA_CREATE_CACHES));
  EXPECT_NE(tp_.sent[0].caches[0].index, tp_.sent[2].caches[0].index);
}

TEST_F(CursorTest, ShapesThatClaimMorePixelsThanTheyHoldAreRefused) {
  auto pixels = ArgbPixels(16, 16, 1);
  auto taller = Shape(pixels, 16, 16, CCursorChannel::kFormatArgb);
  Info(taller)->Height = 17;
  EXPECT_EQ(0, presenter_.OnCaptureMouse(Info(taller), &tp_));
  auto wider = Shape(pixels, 16, 16, CCursorChannel::kFormatRgba);
  Info(wider)->Width = 200;
  Info(wider)->Height = 1;
  EXPECT_EQ(0, presenter_.OnCaptureMouse(Info(wider), &tp_));
  EXPECT_TRUE(tp_.sent.empty());
  // Format 30 is taken as it is.
  auto png = Shape(std::vector<uint8_t>{1, 2, 3}, 16, 16, CCursorChannel::kFormatPng);
  EXPECT_EQ(1, presenter_.OnCaptureMouse(Info(png), &tp_));
  EXPECT_EQ("\x01\x02\x03", tp_.sent[0].caches[0].bytes);
}

TEST_F(CursorTest, AFailedCacheSendMakesTheShapeAgainNextTime) {
  auto pixels = ArgbPixels(8, 8, 1);
  auto info_block = Shape(pixels, 8, 8, CCursorChannel::kFormatArgb);
  CaptureMouseInfo& info = *Info(info_block);
  tp_.result = 0;
  EXPECT_EQ(0, presenter_.OnCaptureMouse(&info, &tp_));
  EXPECT_EQ(0, tp_.Count(DS_DATA_CREATE_MOUSEINFO));
  tp_.result = 1;
  EXPECT_EQ(1, presenter_.OnCaptureMouse(&info, &tp_));
  EXPECT_EQ(2, tp_.Count(DS_DATA_CREATE_CACHES));
}

TEST_F(CursorTest, AttendeeAsksForAnUnknownShapeThenDeliversItsPng) {
  auto pixels = ArgbPixels(16, 16, 5);
  auto info_block = Shape(pixels, 16, 16, CCursorChannel::kFormatArgb);
  CaptureMouseInfo& info = *Info(info_block);
  ASSERT_EQ(1, presenter_.OnCaptureMouse(&info, &tp_));
  ds_test::Side side(nullptr);
  // The record arrives first (a late attendee): one request, nobody told.
  side.Receive(tp_.wire[1], &requests_, &client_);
  ASSERT_EQ(1u, requests_.sent.size());
  EXPECT_EQ(DS_DATA_GET_CACHES, requests_.sent[0].type);
  ASSERT_EQ(1u, requests_.sent[0].blocks.size());
  EXPECT_EQ(0u, requests_.sent[0].blocks[0].position);
  EXPECT_EQ(2u, requests_.sent[0].blocks[0].cache_index);
  EXPECT_TRUE(client_.cursors.empty());

  // The server's answer: the cache, then the request's blocks.
  side.Receive(tp_.wire[0], &requests_, &client_);
  std::string answer;
  CDsMessageBuilder builder(ds_test::ZeroGuid);
  VzObjectPtr<CKeyframeEntry> asked(new CKeyframeEntry(0));
  asked->CacheIndex = requests_.sent[0].blocks[0].cache_index;
  asked->CachePduId = requests_.sent[0].blocks[0].cache_pdu_id;
  CKeyframeEntry* list[1] = {asked.get()};
  builder.BuildBlocks(DS_DATA_GET_CACHES, list, 1, &answer);
  side.Receive(answer, &requests_, &client_);
  ASSERT_EQ(1u, client_.cursors.size());
  EXPECT_EQ(30, client_.cursors[0].Format);
  EXPECT_EQ(16, client_.cursors[0].Width);
  EXPECT_EQ(3, client_.cursors[0].HotspotX);
  int w = 0, h = 0;
  const auto rgba = ReadWithLibpng(client_.cursor_images[0], &w, &h);
  ASSERT_EQ(16u * 16u * 4u, rgba.size());
  EXPECT_EQ(pixels[1], rgba[0]);
  EXPECT_EQ(pixels[0], rgba[3]);

  // A move of the same shape: position only.
  CMouseEntry moved;
  ds_test::RecordingTransport::CopyMouse(side.cursor.state_for_testing(), &moved);
  moved.X = 77;
  EXPECT_EQ(1, side.cursor.OnReceivedMouse(&moved, &requests_, &client_));
  ASSERT_EQ(2u, client_.cursors.size());
  EXPECT_EQ(77, client_.cursors[1].X);
  EXPECT_EQ(0, client_.cursors[1].Width);
  EXPECT_EQ(0, client_.cursors[1].DataSize);
}

TEST_F(CursorTest, NoCursorCrossesAsAnAllZeroRecordAndGarbageImagesNeverReachTheClient) {
  ASSERT_EQ(1, presenter_.OnCaptureMouse(nullptr, &tp_));
  ASSERT_EQ(1u, tp_.sent.size());
  EXPECT_EQ(0, tp_.sent[0].mouse.MonitorId);
  EXPECT_EQ(0u, tp_.sent[0].mouse.CachePduId);
  ds_test::Side side(nullptr);
  side.Receive(tp_.wire[0], &requests_, &client_);
  EXPECT_EQ(1, client_.null_cursors);

  // A cursor cache whose PNG is garbage is dropped, and not asked for again.
  VzObjectPtr<CCacheEntry> garbage(new CCacheEntry(5));
  garbage->PduId = 70;
  garbage->SetSlot(0, 30, "garbage!", 8);
  side.caches.Store(garbage.get());
  CMouseEntry record;
  record.MonitorId = 1;
  record.CacheIndex = 5;
  record.CachePduId = 70;
  EXPECT_EQ(1, side.cursor.OnReceivedMouse(&record, &requests_, &client_));
  EXPECT_TRUE(client_.cursors.empty());
  EXPECT_TRUE(requests_.sent.empty());
  // A cursor cache that came without data (the presenter's encoding failed)
  // gives the client the cursor with its position and data size 0.
  VzObjectPtr<CCacheEntry> bare(new CCacheEntry(6));
  bare->PduId = 72;
  side.caches.Store(bare.get());
  record.CacheIndex = 6;
  record.CachePduId = 72;
  record.X = 33;
  record.Width = 16;
  EXPECT_EQ(1, side.cursor.OnReceivedMouse(&record, &requests_, &client_));
  ASSERT_EQ(1u, client_.cursors.size());
  EXPECT_EQ(33, client_.cursors[0].X);
  EXPECT_EQ(16, client_.cursors[0].Width);
  EXPECT_EQ(0, client_.cursors[0].DataSize);
  EXPECT_TRUE(requests_.sent.empty());
  client_.cursors.clear();
  // A record naming a tile cache or an index the table cannot hold is dropped.
  record.CacheIndex = 21;
  record.CachePduId = 71;
  EXPECT_EQ(0, side.cursor.OnReceivedMouse(&record, &requests_, &client_));
  record.CacheIndex = 0xFFFFFFFFu;
  EXPECT_EQ(0, side.cursor.OnReceivedMouse(&record, &requests_, &client_));
  EXPECT_TRUE(requests_.sent.empty());
  EXPECT_TRUE(client_.cursors.empty());
}

}  // namespace

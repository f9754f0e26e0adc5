// The bytes of the records the capture hands over: headers, row order and
// the checks that keep a bad box from being copied or sent.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <vector>

#include "capture/controller/capture_messages.h"
#include "capture/controller/ds_helper_window.h"
#include "capture/controller/sharing_base_controller.h"
#include "platform/clock.h"
#include "platform/run_loop.h"

namespace {

struct Delivery {
  uint32_t message = 0;
  intptr_t lparam = 0;
  CaptureScreenData header{};
  std::vector<uint8_t> bytes;  // the rows behind the header
  int32_t block_width = 0;
  int32_t block_height = 0;
};

class CaptureRecordsTest : public ::testing::Test {
 protected:
  CaptureRecordsTest() : loop_(vz::SystemClock()) {
    window_.Create([this](uint32_t message, uintptr_t wparam, intptr_t lparam) -> intptr_t {
      Delivery d;
      d.message = message;
      d.lparam = lparam;
      if (message == WMDS_SCREEN_DATA) {
        auto* record = reinterpret_cast<CaptureScreenData*>(wparam);
        d.header = *record;
        d.bytes.assign(CaptureScreenPixels(record), CaptureScreenPixels(record) + record->DataSize);
      }
      if (message == WMDS_SHARING_INFO) {
        d.block_width = reinterpret_cast<SharingInfo*>(wparam)->BlockWidth;
        d.block_height = reinterpret_cast<SharingInfo*>(wparam)->BlockHeight;
      }
      deliveries_.push_back(std::move(d));
      return 1;
    });
    controller_ = std::make_unique<CSharingBaseController>(&sink_, &window_, CaptureEnvironment{});
  }

  // A 1920 x 1080 image whose every pixel holds its row number, bottom-up as
  // a screen bitmap is kept, or top-down.
  static std::vector<uint8_t> RowNumbered(int width, int height, bool bottom_up) {
    std::vector<uint8_t> image(static_cast<size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y) {
      const int stored = bottom_up ? height - y - 1 : y;
      auto* row = reinterpret_cast<uint32_t*>(&image[static_cast<size_t>(stored) * width * 4]);
      for (int x = 0; x < width; ++x) row[x] = static_cast<uint32_t>(y << 12 | x);
    }
    return image;
  }

  struct NoSink : IVzGrabProviderSink {
    int32_t OnDSKeSharingInfo(SharingInfo*) override { return 1; }
    int32_t OnDSKeMouseInfo(CaptureMouseInfo*) override { return 1; }
    int32_t OnDSKeScreenData(CaptureScreenData*) override { return 1; }
    int32_t OnDSKeSharingStatus(int32_t) override { return 1; }
  } sink_;
  vz::RunLoop loop_;
  CDsHelperWindow window_;
  std::unique_ptr<CSharingBaseController> controller_;
  std::vector<Delivery> deliveries_;
};

TEST(CaptureRecordLayout, PixelsStandBehindTheHeadersAtFixedOffsets) {
  EXPECT_EQ(offsetof(SharingInfo, Monitors), 36u);
  EXPECT_EQ(offsetof(MonitorList, Monitors), 4u);
  EXPECT_EQ(offsetof(ApplicationList, Applications), 4u);
  std::vector<uint8_t> block(4096, 0);
  auto* screen = reinterpret_cast<CaptureScreenData*>(block.data());
  EXPECT_EQ(CaptureScreenPixels(screen) - block.data(), 48);
  auto* mouse = reinterpret_cast<CaptureMouseInfo*>(block.data());
  EXPECT_EQ(CaptureMousePixels(mouse), nullptr);  // no shape in the record
  mouse->Data = kCaptureMousePixelsOffset;
  EXPECT_EQ(CaptureMousePixels(mouse) - block.data(), 1600);
}

TEST_F(CaptureRecordsTest, BoxRowsAreSentTopRowFirstFromABottomUpImage) {
  ASSERT_TRUE(controller_->AllocateSendBuffer(1920, 1080));
  const std::vector<uint8_t> image = RowNumbered(1920, 1080, true);
  const VzRect monitor{0, 0, 1920, 1080};
  const VzRect box{10, 20, 30, 25};
  ASSERT_TRUE(controller_->SendScreenData(3, &monitor, 32, &box, {image.data(), 1920, 1080, 1920 * 4, true}));
  ASSERT_EQ(deliveries_.size(), 1u);
  const Delivery& d = deliveries_[0];
  EXPECT_EQ(d.message, WMDS_SCREEN_DATA);
  EXPECT_EQ(d.lparam, 448);
  EXPECT_EQ(d.header.DataSize, 400);
  EXPECT_EQ(d.header.MonitorId, 3);
  EXPECT_EQ(d.header.BitsPerPixel, 32);
  EXPECT_EQ(d.header.Data, 48u);
  EXPECT_EQ(d.header.DirtyRect.top, 20);
  const auto* first = reinterpret_cast<const uint32_t*>(d.bytes.data());
  EXPECT_EQ(first[0], static_cast<uint32_t>(20 << 12 | 10));   // screen row 20, column 10
  EXPECT_EQ(first[19], static_cast<uint32_t>(20 << 12 | 29));
  const auto* last = reinterpret_cast<const uint32_t*>(d.bytes.data() + 4 * 80);
  EXPECT_EQ(last[0], static_cast<uint32_t>(24 << 12 | 10));
}

TEST_F(CaptureRecordsTest, TopDownImagesKeepTheirRowOrderWithAPaddedStride) {
  ASSERT_TRUE(controller_->AllocateSendBuffer(64, 32));
  const int stride = 64 * 4 + 12;
  std::vector<uint8_t> image(static_cast<size_t>(stride) * 32, 0);
  for (int y = 0; y < 32; ++y) reinterpret_cast<uint32_t*>(&image[y * stride])[63] = static_cast<uint32_t>(y);
  const VzRect monitor{100, 0, 164, 32};
  const VzRect box{63, 5, 64, 7};
  ASSERT_TRUE(controller_->SendScreenData(1, &monitor, 32, &box, {image.data(), 64, 32, stride, false}));
  ASSERT_EQ(deliveries_.size(), 1u);
  const auto* rows = reinterpret_cast<const uint32_t*>(deliveries_[0].bytes.data());
  EXPECT_EQ(rows[0], 5u);
  EXPECT_EQ(rows[1], 6u);
}

TEST_F(CaptureRecordsTest, ABoxReachingOutsideTheMonitorIsNeitherCopiedNorSent) {
  ASSERT_TRUE(controller_->AllocateSendBuffer(64, 64));
  const std::vector<uint8_t> image = RowNumbered(64, 64, true);
  const CaptureMonitorImage source{image.data(), 64, 64, 256, true};
  const VzRect monitor{0, 0, 64, 64};
  const VzRect bad_boxes[] = {
      {60, 0, 65, 4},    // past the right edge
      {0, -1, 4, 4},     // above the top
      {0, 60, 4, 65},    // past the bottom
      {10, 10, 10, 20},  // no width
      {10, 12, 20, 11},  // upside down
  };
  for (const VzRect& box : bad_boxes) {
    EXPECT_FALSE(controller_->SendScreenData(1, &monitor, 32, &box, source))
        << "box " << box.left << "," << box.top << " to " << box.right << "," << box.bottom;
  }
  const VzRect fine{0, 0, 64, 64};
  EXPECT_FALSE(controller_->SendScreenData(1, &monitor, 24, &fine, source));  // not 32 bits a pixel
  EXPECT_FALSE(controller_->SendScreenData(1, &monitor, 32, nullptr, source));
  const VzRect larger_monitor{0, 0, 128, 64};  // the image is narrower than the monitor it claims
  EXPECT_FALSE(controller_->SendScreenData(1, &larger_monitor, 32, &fine, source));
  EXPECT_TRUE(deliveries_.empty());
}

TEST_F(CaptureRecordsTest, NothingIsSentWithoutASendBuffer) {
  const std::vector<uint8_t> image = RowNumbered(8, 8, true);
  const VzRect monitor{0, 0, 8, 8};
  const VzRect box{0, 0, 8, 8};
  EXPECT_FALSE(controller_->SendScreenData(1, &monitor, 32, &box, {image.data(), 8, 8, 32, true}));
  EXPECT_TRUE(deliveries_.empty());
}

TEST_F(CaptureRecordsTest, ASmallMonitorsBufferStillHoldsTheLargestCursor) {
  ASSERT_TRUE(controller_->AllocateSendBuffer(16, 16));
  EXPECT_GE(controller_->send_buffer_size_for_testing(), 1600u + 128u * 128u * 4u);
  EXPECT_FALSE(controller_->AllocateSendBuffer(0, 16));
  EXPECT_FALSE(controller_->AllocateSendBuffer(16, 1 << 20));
}

TEST_F(CaptureRecordsTest, SharingInfoGoesWholeWithTheBlockSize) {
  controller_->SendSharingInfo();
  ASSERT_EQ(deliveries_.size(), 1u);
  EXPECT_EQ(deliveries_[0].message, WMDS_SHARING_INFO);
  EXPECT_EQ(deliveries_[0].lparam, 28156);
  EXPECT_EQ(deliveries_[0].block_width, 128);
  EXPECT_EQ(deliveries_[0].block_height, 128);
}

// Cursor shapes.
std::vector<uint8_t> ShapeBytes(const CaptureMouseInfo* record) {
  return std::vector<uint8_t>(CaptureMousePixels(record), CaptureMousePixels(record) + record->DataSize);
}

TEST(CursorShape, AColourCursorBecomesArgbBytesWithItsHotSpot) {
  std::vector<uint8_t> block(1600 + 128 * 128 * 4, 0);
  auto* record = reinterpret_cast<CaptureMouseInfo*>(block.data());
  vz::ScreenCursor cursor;
  cursor.width = 32;
  cursor.height = 32;
  cursor.hot_x = 5;
  cursor.hot_y = 7;
  cursor.argb.assign(32 * 32, 0);
  cursor.argb[0] = 0xFF112233u;  // opaque
  cursor.argb[1] = 0x80402010u;  // half alpha, premultiplied
  ASSERT_TRUE(CSharingBaseController::GetCursorBmpInfo(record, &cursor));
  EXPECT_EQ(record->Width, 32);
  EXPECT_EQ(record->Height, 32);
  EXPECT_EQ(record->HotspotX, 5);
  EXPECT_EQ(record->HotspotY, 7);
  EXPECT_EQ(record->Format, 12);
  EXPECT_EQ(record->DataSize, 4096);
  EXPECT_EQ(record->DataSize + kCaptureMouseHeaderSize, 4136);
  const std::vector<uint8_t> bytes = ShapeBytes(record);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 4), (std::vector<uint8_t>{0xFF, 0x11, 0x22, 0x33}));
  // 0x40 at alpha 0x80 is 0x80 in plain alpha.
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 4, bytes.begin() + 8),
            (std::vector<uint8_t>{0x80, 0x80, 0x40, 0x20}));
  EXPECT_EQ(bytes[8], 0);  // transparent stays transparent
}

TEST(CursorShape, OversizeAndBrokenShapesAreRefusedAndAHiddenOneIsEmpty) {
  std::vector<uint8_t> block(1600 + 128 * 128 * 4, 0);
  auto* record = reinterpret_cast<CaptureMouseInfo*>(block.data());
  vz::ScreenCursor big;
  big.width = 256;
  big.height = 256;
  big.argb.assign(256 * 256, 0xFFFFFFFFu);
  EXPECT_FALSE(CSharingBaseController::GetCursorBmpInfo(record, &big));
  EXPECT_EQ(record->Width, 0);
  vz::ScreenCursor short_image;
  short_image.width = 16;
  short_image.height = 16;
  short_image.argb.assign(10, 0);  // fewer pixels than the size says
  EXPECT_FALSE(CSharingBaseController::GetCursorBmpInfo(record, &short_image));
  EXPECT_TRUE(CSharingBaseController::GetCursorBmpInfo(record, nullptr));
  EXPECT_EQ(record->Width, 0);
  EXPECT_EQ(record->DataSize, 0);
  EXPECT_EQ(CaptureMousePixels(record), nullptr);
  EXPECT_FALSE(CSharingBaseController::GetCursorBmpInfo(nullptr, nullptr));
}

TEST(CursorShape, AMonochromeShapeTakesHalfTheMaskHeightAndKeepsItsTwoColours) {
  std::vector<uint8_t> block(1600 + 128 * 128 * 4, 0);
  auto* record = reinterpret_cast<CaptureMouseInfo*>(block.data());
  vz::ScreenCursor cursor;
  cursor.width = 32;
  cursor.height = 64;  // AND half over XOR half
  cursor.hot_x = 1;
  cursor.hot_y = 2;
  cursor.mono_mask.assign(4 * 64, 0);
  uint8_t* and_mask = cursor.mono_mask.data();
  uint8_t* xor_mask = and_mask + 4 * 32;
  and_mask[0] = 0x80 | 0x20;  // pixel 0: AND 1 XOR 0 -> see-through; pixel 2: AND 1 XOR 1 -> inverting
  xor_mask[0] = 0x20 | 0x40;  // pixel 1: AND 0 XOR 1 -> white
  for (int y = 1; y < 32; ++y) std::fill_n(and_mask + y * 4, 4, 0xFF);  // the other rows see-through
  ASSERT_TRUE(CSharingBaseController::GetCursorBmpInfo(record, &cursor));
  EXPECT_EQ(record->Width, 32);
  EXPECT_EQ(record->Height, 32);
  EXPECT_EQ(record->DataSize, 4096);
  EXPECT_EQ(record->Format, 12);
  const std::vector<uint8_t> bytes = ShapeBytes(record);
  auto pixel = [&](int x, int y) {
    const auto at = bytes.begin() + (y * 32 + x) * 4;
    return std::vector<uint8_t>(at, at + 4);
  };
  EXPECT_EQ(pixel(0, 0), (std::vector<uint8_t>{0, 0, 0, 0}));
  EXPECT_EQ(pixel(1, 0), (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(pixel(2, 0), (std::vector<uint8_t>{0xFF, 0, 0, 0}));
  EXPECT_EQ(pixel(3, 0), (std::vector<uint8_t>{0xFF, 0, 0, 0}));  // AND 0 XOR 0: black
  EXPECT_EQ(pixel(5, 9), (std::vector<uint8_t>{0, 0, 0, 0}));
}

TEST(CursorShape, AMonochromeMaskTallerThanTheLimitOrShortOfBytesIsRefused) {
  std::vector<uint8_t> block(1600 + 128 * 128 * 4, 0);
  auto* record = reinterpret_cast<CaptureMouseInfo*>(block.data());
  vz::ScreenCursor tall;
  tall.width = 32;
  tall.height = 130;  // a 65-row shape: the whole mask exceeds 128
  tall.mono_mask.assign(4 * 130, 0);
  EXPECT_FALSE(CSharingBaseController::GetCursorBmpInfo(record, &tall));
  vz::ScreenCursor short_mask;
  short_mask.width = 32;
  short_mask.height = 64;
  short_mask.mono_mask.assign(100, 0);
  EXPECT_FALSE(CSharingBaseController::GetCursorBmpInfo(record, &short_mask));
  EXPECT_EQ(record->Width, 0);
}

}  // namespace

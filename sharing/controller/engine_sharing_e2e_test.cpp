// A presenter's screen rebuilt on attendees, from end to end: the stand-in
// capture feeds screen updates into the presenter's engine, which sends
// tiles through the real transport stand-in and its in-process server to
// attendee engines, which rebuild each monitor's frame. With the lossless
// test codec the attendee's frame equals the presenter's pixels; with the
// JPEG codec it stays above 35 dB PSNR. A late joiner rebuilds the same
// frame from what the server kept.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "sharing/controller/testing/engine_loopback_rig_testlib.h"

namespace {

using engine_test::CountingTp;
using engine_test::FakeGrab;
using engine_test::LoopbackClient;
using engine_test::LoopbackConfig;

// The presenter's monitor: top-down B, G, R, X rows.
struct Screen {
  Screen(int32_t w, int32_t h) : width(w), height(h), pixels(static_cast<size_t>(w) * h * 4) {
    // Smooth gradients with a few hard-edged boxes: what a desktop holds.
    for (int32_t y = 0; y < h; ++y) {
      for (int32_t x = 0; x < w; ++x) {
        uint8_t* p = At(x, y);
        p[0] = static_cast<uint8_t>(x * 255 / w);
        p[1] = static_cast<uint8_t>(y * 255 / h);
        p[2] = static_cast<uint8_t>(((x + y) / 4) & 0xff);
        p[3] = 0xff;
      }
    }
    Fill({100, 100, 400, 300}, 0x20, 0x80, 0xe0);
    Fill({w - 90, h - 70, w, h}, 0xf0, 0xf0, 0x10);
  }
  uint8_t* At(int32_t x, int32_t y) { return &pixels[(static_cast<size_t>(y) * width + x) * 4]; }
  void Fill(VzRect box, uint8_t b, uint8_t g, uint8_t r) {
    for (int32_t y = box.top; y < box.bottom; ++y) {
      for (int32_t x = box.left; x < box.right; ++x) {
        uint8_t* p = At(x, y);
        p[0] = b;
        p[1] = g;
        p[2] = r;
      }
    }
  }
  // Copies the pixels of `from` (a box) to the box of the same size at (x, y).
  void Copy(VzRect from, int32_t x, int32_t y) {
    std::vector<uint8_t> saved;
    for (int32_t row = from.top; row < from.bottom; ++row) {
      saved.insert(saved.end(), At(from.left, row), At(from.left, row) + (from.right - from.left) * 4);
    }
    const size_t row_bytes = static_cast<size_t>(from.right - from.left) * 4;
    for (int32_t row = 0; row < from.bottom - from.top; ++row) {
      std::memcpy(At(x, y + row), &saved[row * row_bytes], row_bytes);
    }
  }
  // The capture's record of one changed box: header, then its rows.
  std::vector<uint8_t> Update(VzRect box) {
    const size_t row_bytes = static_cast<size_t>(box.right - box.left) * 4;
    std::vector<uint8_t> record(sizeof(CaptureScreenData) + row_bytes * (box.bottom - box.top));
    auto* data = reinterpret_cast<CaptureScreenData*>(record.data());
    data->MonitorId = 1;
    data->MonitorRect = {0, 0, width, height};
    data->DirtyRect = box;
    data->BitsPerPixel = 32;
    data->DataSize = static_cast<int32_t>(row_bytes * (box.bottom - box.top));
    data->Data = kCaptureScreenHeaderSize;
    for (int32_t row = box.top; row < box.bottom; ++row) {
      std::memcpy(CaptureScreenPixels(data) + (row - box.top) * row_bytes, At(box.left, row), row_bytes);
    }
    return record;
  }

  int32_t width;
  int32_t height;
  std::vector<uint8_t> pixels;
};

SharingInfo Desktop(int32_t width, int32_t height) {
  SharingInfo info{};
  info.BlockWidth = info.BlockHeight = 128;
  info.IsDesktopSharing = 1;
  info.SharedRect = {0, 0, width, height};
  info.MonitorCount = 1;
  info.Monitors[0].MonitorId = 1;
  info.Monitors[0].Rect = {0, 0, width, height};
  info.Monitors[0].BitsPerPixel = 32;
  return info;
}

// B, G and R of every pixel equal.
bool SameColours(const Screen& screen, const uint8_t* frame) {
  if (frame == nullptr) return false;
  for (size_t i = 0; i < screen.pixels.size(); i += 4) {
    if (std::memcmp(&screen.pixels[i], frame + i, 3) != 0) return false;
  }
  return true;
}

double Psnr(const Screen& screen, const uint8_t* frame) {
  if (frame == nullptr) return 0;
  double squares = 0;
  size_t samples = 0;
  for (size_t i = 0; i < screen.pixels.size(); i += 4) {
    for (int c = 0; c < 3; ++c) {
      const double d = static_cast<double>(screen.pixels[i + c]) - frame[i + c];
      squares += d * d;
      ++samples;
    }
  }
  if (squares == 0) return 99;
  return 10 * std::log10(255.0 * 255.0 / (squares / static_cast<double>(samples)));
}

class EngineSharingTest : public engine_test::EngineLoopbackRig {
 protected:
  // Presenter and attendee joined, the capture started and its sharing info
  // given to both.
  void Share(const char16_t* ds_id, const char* codec, const Screen& screen) {
    Start(presenter_, LoopbackConfig(ds_id, u"alice", true), codec, &sent_);
    Start(attendee_, LoopbackConfig(ds_id, u"bob", false), codec);
    ASSERT_TRUE(RunUntil([&] { return presenter_.Has("status 2") && attendee_.Has("status 2"); }));
    ASSERT_EQ(presenter_.engine->StartCapture(nullptr, 3), 1);
    SharingInfo info = Desktop(screen.width, screen.height);
    ASSERT_EQ(FakeGrab()->Sink()->OnDSKeSharingInfo(&info), 1);
    ASSERT_TRUE(RunUntil([&] { return attendee_.frames.count(1) == 1 && attendee_.Has("sharing_info 1"); }));
  }
  // Hands the presenter one changed box and, when it sent blocks, waits
  // until the attendee drew them.
  void Capture(Screen& screen, VzRect box) {
    std::vector<uint8_t> record = screen.Update(box);
    const int blocks_before = sent_.block_messages;
    const int updates_before = attendee_.updates;
    ASSERT_EQ(FakeGrab()->Sink()->OnDSKeScreenData(reinterpret_cast<CaptureScreenData*>(record.data())), 1);
    if (sent_.block_messages > blocks_before) {
      ASSERT_TRUE(RunUntil([&] { return attendee_.updates > updates_before; }));
    }
  }

  LoopbackClient presenter_, attendee_, late_;
  CountingTp sent_;
};

TEST_F(EngineSharingTest, A1600x900MonitorIsRebuiltPixelForPixel) {
  Screen screen(1600, 900);
  ASSERT_NO_FATAL_FAILURE(Share(u"ds-raw", "vzrawcodec", screen));

  // A full frame: 13 x 8 blocks, the last column 64 wide and the last row 4
  // high. The two uniform corner blocks of the yellow box are not alike
  // (different sizes), every other block differs anyway.
  ASSERT_NO_FATAL_FAILURE(Capture(screen, {0, 0, 1600, 900}));
  EXPECT_EQ(sent_.cache_messages, 1);
  EXPECT_EQ(sent_.block_messages, 1);
  EXPECT_EQ(sent_.blocks, 13 * 8);
  EXPECT_TRUE(SameColours(screen, attendee_.frames[1]));

  // A partial change inside one block.
  screen.Fill({300, 300, 340, 330}, 1, 2, 3);
  ASSERT_NO_FATAL_FAILURE(Capture(screen, {300, 300, 340, 330}));
  EXPECT_EQ(sent_.cache_messages, 2);
  EXPECT_EQ(sent_.blocks, 13 * 8 + 1);
  EXPECT_TRUE(SameColours(screen, attendee_.frames[1]));

  // An unchanged frame sends nothing.
  ASSERT_NO_FATAL_FAILURE(Capture(screen, {0, 0, 1600, 900}));
  EXPECT_EQ(sent_.cache_messages, 2);
  EXPECT_EQ(sent_.block_messages, 2);

  // The same image moved to another block: a block record, no image.
  screen.Copy({0, 0, 128, 128}, 640, 384);
  ASSERT_NO_FATAL_FAILURE(Capture(screen, {640, 384, 768, 512}));
  EXPECT_EQ(sent_.cache_messages, 2);
  EXPECT_EQ(sent_.block_messages, 3);
  EXPECT_EQ(sent_.blocks, 13 * 8 + 2);
  EXPECT_TRUE(SameColours(screen, attendee_.frames[1]));

  // A change at the bottom-right corner, whose blocks are cut at the edge.
  screen.Fill({1500, 850, 1600, 900}, 9, 99, 199);
  ASSERT_NO_FATAL_FAILURE(Capture(screen, {1500, 850, 1600, 900}));
  EXPECT_TRUE(SameColours(screen, attendee_.frames[1]));

  // A late attendee is given what the server kept and draws the same frame.
  Start(late_, LoopbackConfig(u"ds-raw", u"carol", false), "vzrawcodec");
  ASSERT_TRUE(RunUntil([&] { return SameColours(screen, late_.frames.count(1) ? late_.frames[1] : nullptr); }));
  EXPECT_FALSE(presenter_.wrong_thread || attendee_.wrong_thread || late_.wrong_thread);
}

TEST_F(EngineSharingTest, A1920x1080MonitorOverJpegStaysAbove35Decibels) {
  Screen screen(1920, 1080);
  ASSERT_NO_FATAL_FAILURE(Share(u"ds-jpeg", "jpeg9b", screen));
  ASSERT_NO_FATAL_FAILURE(Capture(screen, {0, 0, 1920, 1080}));
  EXPECT_EQ(sent_.blocks, 15 * 9);  // 1080 = 8 x 128 + 56
  EXPECT_GT(Psnr(screen, attendee_.frames[1]), 35.0);

  screen.Fill({1000, 500, 1300, 700}, 200, 30, 30);
  ASSERT_NO_FATAL_FAILURE(Capture(screen, {1000, 500, 1300, 700}));
  EXPECT_GT(Psnr(screen, attendee_.frames[1]), 35.0);

  Start(late_, LoopbackConfig(u"ds-jpeg", u"carol", false), "jpeg9b");
  ASSERT_TRUE(RunUntil([&] { return late_.frames.count(1) == 1 && Psnr(screen, late_.frames[1]) > 35.0; }));
}

}  // namespace

// A presenter's screen rebuilt on attendees, from end to end: the stand-in
// capture feeds screen updates into the presenter's engine, which sends
// tiles through the real transport stand-in and its in-process server to
// attendee engines, which rebuild each monitor's frame. With the lossless
// test codec the attendee's frame equals the presenter's pixels; with the
// JPEG codec it stays above 35 dB PSNR. A late joiner rebuilds the same
// frame from what the server kept.
#include <gtest/gtest.h>

#include "sharing/controller/engine_loopback_rig_testlib.h"
#include "sharing/controller/screen_picture_testlib.h"

namespace {

using engine_test::CountingTp;
using engine_test::FakeGrab;
using engine_test::LoopbackClient;
using engine_test::LoopbackConfig;
using engine_test::Psnr;
using engine_test::SameColours;
using engine_test::Screen;

class EngineSharingTest : public engine_test::EngineLoopbackRig {
 protected:
  // Presenter and attendee joined, the capture started and its sharing info
  // given to both.
  void Share(const char16_t* ds_id, const char* codec, const Screen& screen) {
    Start(presenter_, LoopbackConfig(ds_id, u"alice", true), codec, &sent_);
    Start(attendee_, LoopbackConfig(ds_id, u"bob", false), codec);
    ASSERT_TRUE(RunUntil([&] { return presenter_.Has("status 2") && attendee_.Has("status 2"); }));
    ASSERT_EQ(presenter_.engine->StartCapture(nullptr, 3), 1);
    SharingInfo info = engine_test::Desktop(screen.width, screen.height);
    ASSERT_EQ(FakeGrab()->Sink()->OnDSKeSharingInfo(&info), 1);
    ASSERT_TRUE(RunUntil([&] { return attendee_.frames.count(1) == 1 && attendee_.Has("sharing_info 1"); }));
  }
  // Hands the presenter one changed box and, when it sent blocks, waits
  // until the attendee drew something. An attendee the server found behind
  // (a loaded machine) gets the screen anew in several messages, so the
  // checks after wait for the whole frame.
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
  EXPECT_TRUE(RunUntil([&] { return SameColours(screen, attendee_.frames[1]); }));

  // A partial change inside one block.
  screen.Fill({300, 300, 340, 330}, 1, 2, 3);
  ASSERT_NO_FATAL_FAILURE(Capture(screen, {300, 300, 340, 330}));
  EXPECT_EQ(sent_.cache_messages, 2);
  EXPECT_EQ(sent_.blocks, 13 * 8 + 1);
  EXPECT_TRUE(RunUntil([&] { return SameColours(screen, attendee_.frames[1]); }));

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
  EXPECT_TRUE(RunUntil([&] { return SameColours(screen, attendee_.frames[1]); }));

  // A change at the bottom-right corner, whose blocks are cut at the edge.
  screen.Fill({1500, 850, 1600, 900}, 9, 99, 199);
  ASSERT_NO_FATAL_FAILURE(Capture(screen, {1500, 850, 1600, 900}));
  EXPECT_TRUE(RunUntil([&] { return SameColours(screen, attendee_.frames[1]); }));

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
  EXPECT_TRUE(RunUntil([&] { return Psnr(screen, attendee_.frames[1]) > 35.0; }));

  screen.Fill({1000, 500, 1300, 700}, 200, 30, 30);
  ASSERT_NO_FATAL_FAILURE(Capture(screen, {1000, 500, 1300, 700}));
  EXPECT_TRUE(RunUntil([&] { return Psnr(screen, attendee_.frames[1]) > 35.0; }));

  Start(late_, LoopbackConfig(u"ds-jpeg", u"carol", false), "jpeg9b");
  ASSERT_TRUE(RunUntil([&] { return late_.frames.count(1) == 1 && Psnr(screen, late_.frames[1]) > 35.0; }));
}

}  // namespace

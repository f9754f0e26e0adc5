#include "sharing/engine/monitor_frames.h"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>

#include "sharing/engine/engine_rig_testlib.h"

namespace {

using ds_test::Monitor;
using ds_test::RecordingClient;
using ds_test::Sharing;

uint32_t Pixel(const CMonitorData& frame, int x, int y) {
  uint32_t pixel = 0;
  std::memcpy(&pixel, frame.pixels() + frame.Stride() * y + x * 4, 4);
  return pixel;
}

TEST(MonitorDataTest, SizesFromOutsideAreCheckedBeforeAllocation) {
  EXPECT_EQ(nullptr, CMonitorData::Create(Monitor(1, VzRect{0, 0, 0, 100})));
  EXPECT_EQ(nullptr, CMonitorData::Create(Monitor(1, VzRect{100, 0, 0, 100})));  // inverted
  EXPECT_EQ(nullptr, CMonitorData::Create(Monitor(1, VzRect{0, 0, 16385, 1})));
  EXPECT_EQ(nullptr, CMonitorData::Create(Monitor(1, VzRect{INT32_MIN, 0, INT32_MAX, 10})));  // width overflows int32
  EXPECT_EQ(nullptr, CMonitorData::Create(Monitor(1, VzRect{0, 0, 16384, 16384})));          // above kMaxPixels
  MonitorInfo deep = Monitor(1, VzRect{0, 0, 8, 8});
  deep.BitsPerPixel = 24;
  EXPECT_EQ(nullptr, CMonitorData::Create(deep));

  std::unique_ptr<CMonitorData> frame(CMonitorData::Create(Monitor(3, VzRect{-1366, 0, 0, 7})));
  ASSERT_NE(nullptr, frame);
  EXPECT_EQ(1366 * 4u, frame->Stride());
  EXPECT_EQ(1366 * 4u * 7u, frame->Size());
  EXPECT_EQ(0xFF606060u, Pixel(*frame, 0, 0));
  EXPECT_EQ(0xFF606060u, Pixel(*frame, 1365, 6));
}

TEST(MonitorDataTest, BlocksArePaintedOnlyInsideTheFrameAndAtTheirExactSize) {
  std::unique_ptr<CMonitorData> frame(CMonitorData::Create(Monitor(1, VzRect{0, 0, 100, 50})));
  std::vector<uint32_t> tile(10 * 10, 0xFF112233u);
  const auto* bytes = reinterpret_cast<const uint8_t*>(tile.data());
  EXPECT_TRUE(frame->PaintBlockForTesting(bytes, 400, VzRect{90, 40, 100, 50}));
  EXPECT_EQ(0xFF112233u, Pixel(*frame, 99, 49));
  EXPECT_FALSE(frame->PaintBlockForTesting(bytes, 400, VzRect{91, 40, 101, 50}));
  EXPECT_FALSE(frame->PaintBlockForTesting(bytes, 400, VzRect{0, -1, 10, 9}));
  EXPECT_FALSE(frame->PaintBlockForTesting(bytes, 400, VzRect{10, 10, 0, 0}));
  EXPECT_FALSE(frame->PaintBlockForTesting(bytes, 396, VzRect{0, 0, 10, 10}));
  EXPECT_FALSE(frame->PaintBlockForTesting(bytes, 404, VzRect{0, 0, 10, 10}));
  EXPECT_EQ(0xFF606060u, Pixel(*frame, 0, 0));
}

// Copying a changed box band by band, from any band edges, leaves the frame
// as one copy of the whole box does: each band's rows come from their own
// place in the data, and nothing outside the box is written.
TEST(MonitorDataTest, ScreenRowsCopiedInBandsMatchOneCopy) {
  const VzRect monitor{0, 0, 40, 300};
  ds_test::Screen screen(1, monitor);
  const VzRect box{3, 5, 17, 290};
  screen.Pattern(box, 9);
  CaptureScreenData* data = screen.Capture(box);
  std::unique_ptr<CMonitorData> whole(CMonitorData::Create(Monitor(1, monitor)));
  std::unique_ptr<CMonitorData> banded(CMonitorData::Create(Monitor(1, monitor)));
  ASSERT_TRUE(whole->ApplyScreenDataForTesting(*data));
  ASSERT_TRUE(banded->CheckScreenData(*data));
  EXPECT_EQ(0xFF606060u, Pixel(*banded, 3, 5));  // checking copies nothing
  banded->CopyScreenRows(*data, INT32_MIN, 0);    // above the box: nothing
  banded->CopyScreenRows(*data, 0, 128);
  banded->CopyScreenRows(*data, 128, 200);
  banded->CopyScreenRows(*data, 200, 200);        // an empty band
  banded->CopyScreenRows(*data, 200, INT32_MAX);
  EXPECT_EQ(0, std::memcmp(whole->pixels(), banded->pixels(), whole->Size()));
  EXPECT_EQ(screen.At(16, 289), Pixel(*banded, 16, 289));
  EXPECT_EQ(0xFF606060u, Pixel(*banded, 17, 289));
  EXPECT_EQ(0xFF606060u, Pixel(*banded, 3, 290));

  // What ApplyScreenDataForTesting refuses, CheckScreenData refuses.
  CaptureScreenData* outside = screen.Capture(VzRect{30, 0, 40, 10});
  outside->DirtyRect.right = 41;
  EXPECT_FALSE(banded->CheckScreenData(*outside));
  EXPECT_FALSE(banded->ApplyScreenDataForTesting(*outside));
}

TEST(MonitorDataTest, GreyOutsideKeepsOnlyTheSharedPart) {
  std::unique_ptr<CMonitorData> frame(CMonitorData::Create(Monitor(1, VzRect{100, 100, 200, 150})));
  std::vector<uint32_t> black(100 * 50, 0xFF000000u);
  ASSERT_TRUE(frame->PaintBlockForTesting(reinterpret_cast<const uint8_t*>(black.data()), black.size() * 4,
                                          VzRect{0, 0, 100, 50}));
  frame->GreyOutside(VzRect{150, 0, INT32_MAX, 120});  // screen coordinates
  EXPECT_EQ(0xFF606060u, Pixel(*frame, 49, 0));
  EXPECT_EQ(0xFF000000u, Pixel(*frame, 50, 0));
  EXPECT_EQ(0xFF000000u, Pixel(*frame, 99, 19));
  EXPECT_EQ(0xFF606060u, Pixel(*frame, 99, 20));
  frame->GreyOutside(VzRect{0, 0, 0, 0});
  EXPECT_EQ(0xFF606060u, Pixel(*frame, 60, 10));
}

TEST(MonitorFramesTest, SameMonitorsKeepTheirPixelsAndAreReportedUpdatedWhole) {
  CMonitorFrames frames;
  RecordingClient client;
  auto info = Sharing({Monitor(1, VzRect{0, 0, 300, 200}), Monitor(2, VzRect{300, 0, 500, 100})},
                      VzRect{0, 0, 500, 200});
  frames.Apply(*info, &client);
  EXPECT_EQ((std::vector<int32_t>{1, 2}), client.shared);
  std::vector<uint32_t> black(4, 0xFF000000u);
  frames.Find(1)->PaintBlockForTesting(reinterpret_cast<const uint8_t*>(black.data()), 16, VzRect{0, 0, 2, 2});
  uint8_t* pixels_before = frames.Find(1)->Pixels();

  frames.Apply(*info, &client);
  EXPECT_EQ(2u, client.shared.size());
  EXPECT_TRUE(client.unshared.empty());
  ASSERT_EQ(2u, client.updates.size());
  EXPECT_EQ(300, client.updates[0].rect.right);
  EXPECT_EQ(200, client.updates[0].rect.bottom);
  EXPECT_EQ(pixels_before, frames.Find(1)->Pixels());
  EXPECT_EQ(0xFF000000u, Pixel(*frames.Find(1), 1, 1));
}

TEST(MonitorFramesTest, AMovedMonitorIsUnsharedThenSharedGreyAndAGoneOneIsDropped) {
  CMonitorFrames frames;
  RecordingClient client;
  frames.Apply(*Sharing({Monitor(1, VzRect{0, 0, 300, 200}), Monitor(2, VzRect{300, 0, 500, 100})},
                        VzRect{0, 0, 500, 200}),
               &client);
  std::vector<uint32_t> black(4, 0xFF000000u);
  frames.Find(2)->PaintBlockForTesting(reinterpret_cast<const uint8_t*>(black.data()), 16, VzRect{0, 0, 2, 2});
  client = RecordingClient();
  frames.Apply(*Sharing({Monitor(2, VzRect{0, 0, 200, 100})}, VzRect{0, 0, 200, 100}), &client);
  EXPECT_EQ((std::vector<int32_t>{2, 1}), client.unshared);  // last to first
  EXPECT_EQ((std::vector<int32_t>{2}), client.shared);
  ASSERT_EQ(1, frames.GetCount());
  EXPECT_EQ(0xFF606060u, Pixel(*frames.Find(2), 0, 0));

  client = RecordingClient();
  frames.RemoveAll(&client);
  EXPECT_EQ((std::vector<int32_t>{2}), client.unshared);
  EXPECT_EQ(0, frames.GetCount());
}

// Stops the engine (empties the frames) from its first unshared callback.
struct StoppingClient : RecordingClient {
  CMonitorFrames* stop = nullptr;
  int32_t OnMonitorUnshared(MonitorInfo* monitor) override {
    RecordingClient::OnMonitorUnshared(monitor);
    if (CMonitorFrames* frames = std::exchange(stop, nullptr)) frames->RemoveAll(this);
    return 1;
  }
};

TEST(MonitorFramesTest, AClientThatStopsFromAnUnsharedCallbackFreesNothingTwice) {
  CMonitorFrames frames;
  StoppingClient client;
  auto two = Sharing({Monitor(1, VzRect{0, 0, 64, 64}), Monitor(2, VzRect{64, 0, 128, 64})}, VzRect{0, 0, 128, 64});
  frames.Apply(*two, &client);
  client.stop = &frames;
  frames.Apply(*Sharing({}, VzRect{0, 0, 0, 0}), &client);
  EXPECT_EQ(0, frames.GetCount());
  EXPECT_EQ((std::vector<int32_t>{2, 1}), client.unshared);

  frames.Apply(*two, &client);
  client.stop = &frames;
  client.unshared.clear();
  frames.RemoveAll(&client);
  EXPECT_EQ((std::vector<int32_t>{1, 2}), client.unshared);
}

TEST(MonitorFramesTest, MonitorsBeyondTheBudgetOrMalformedGetNoFrame) {
  CMonitorFrames frames(1000 * 1000 * 4);
  RecordingClient client;
  auto info = Sharing({Monitor(1, VzRect{0, 0, 800, 800}), Monitor(2, VzRect{0, 0, 800, 800}),
                       Monitor(3, VzRect{0, 0, -5, 10}), Monitor(4, VzRect{0, 0, 10, 10})},
                      VzRect{0, 0, 800, 800});
  info->MonitorCount = 1000;  // bounded by the record's slots
  frames.Apply(*info, &client);
  EXPECT_EQ((std::vector<int32_t>{1, 4}), client.shared);
  EXPECT_EQ(nullptr, frames.Find(2));
}

TEST(SharingInfoHandlerTest, ANewSharingInfoResetsBlocksAndCursorAndReachesTheClient) {
  ds_test::LosslessCodec codec;
  ds_test::Side side(&codec);
  RecordingClient client;
  ds_test::RecordingTransport tp;
  side.keyframes.Update(1, 5, 10101, VzRect{0, 0, 128, 128}, 21, 4);
  auto info = Sharing({Monitor(1, VzRect{0, 0, 256, 256})}, VzRect{0, 0, 256, 256});
  info->Monitors[0].BackgroundColor = 0x123456;
  ASSERT_EQ(1, HandleCapturedSharingInfo(info.get(), side.State(), &client, &tp));
  EXPECT_EQ(0, side.keyframes.GetCount());
  EXPECT_EQ(1, client.sharing_infos);
  EXPECT_EQ(CMonitorData::kGreyPixel, side.stored->Monitors[0].BackgroundColor);
  ASSERT_EQ(1, tp.Count(DS_DATA_CREATE_SHARINGINFO));
  EXPECT_EQ(0, HandleSharingInfo(nullptr, side.State(), &client));
}

}  // namespace

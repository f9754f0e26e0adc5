#include "capture/monitors/multi_monitor_screen_set.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "capture/monitors/capture_test_support.h"

namespace {

using capture_test::Monitor;
using capture_test::Window;

// Keeps what the controller would copy into its records.
class RecordingHandOver : public IScreenDataHandOver {
 public:
  struct Sent {
    int32_t monitor_id;
    VzRect box;
    CaptureMonitorImage image;
    uint32_t At(int x, int y) const {  // monitor coordinates
      uint32_t pixel;
      std::memcpy(&pixel, image.bits + static_cast<size_t>(y) * image.stride + x * 4, 4);
      return pixel;
    }
  };
  bool SendScreenData(int32_t monitor_id, const VzRect*, int32_t, const VzRect* box,
                      const CaptureMonitorImage& source) override {
    sent_.push_back({monitor_id, *box, source});
    return true;
  }
  bool IsStopping() const override { return stopping_; }
  std::vector<Sent> sent_;
  bool stopping_ = false;
};

class MultiMonitorScreenSetTest : public ::testing::Test {
 protected:
  MultiMonitorScreenSetTest() : screen_(2000, 1000), set_(4242) {
    screen_.SetMonitors({Monitor({0, 0, 1000, 1000}, "A", true), Monitor({1000, 0, 1000, 1000}, "B")});
    screen_.Fill({0, 0, 2000, 1000}, 0xFF303030);
    windows_ = {Window(0x10, {1100, 100, 400, 300}, 5), Window(0x20, {1300, 300, 400, 400}, 6),
                Window(0x30, {1150, 150, 50, 50}, 7)};
    screen_.SetWindows(windows_);
    set_.SetCaptureContext(2, 128, 128, 0xff00ff00, [](VzWindowHandle w) { return w == 0x30; });
    set_.Reset(&screen_);
    set_.RefreshWindows(&screen_);
  }

  vz::ScreenDouble screen_;
  std::vector<vz::ScreenWindow> windows_;
  CMultiMonitorScreenSet set_;
  RecordingHandOver hand_over_;
};

TEST_F(MultiMonitorScreenSetTest, AWindowShareCapturesItsMonitorWithTheCoveredPartPainted) {
  ASSERT_EQ(set_.ShareWindow(0x10, 1), 1);
  int32_t width = 0, height = 0;
  ASSERT_TRUE(set_.InitScreen(&screen_, &width, &height));
  EXPECT_EQ(width, 1000);
  EXPECT_FALSE(set_.UpdateRegions(&screen_));

  auto info = std::make_unique<SharingInfo>();
  std::memset(info.get(), 0, sizeof(SharingInfo));
  set_.FillSharingInfo(info.get());
  EXPECT_EQ(info->IsDesktopSharing, 0);
  EXPECT_EQ(info->MonitorCount, 1);
  EXPECT_EQ(info->Monitors[0].MonitorId, 2);
  EXPECT_EQ(info->ApplicationCount, 1);
  EXPECT_EQ(info->Applications[0].Window, 0x10u);
  EXPECT_EQ(info->SharedRect.left, 1100);
  EXPECT_EQ(info->SharedRect.right, 1500);

  ASSERT_TRUE(set_.DumpAll(&screen_, &hand_over_));
  ASSERT_EQ(hand_over_.sent_.size(), 1u);
  const auto& sent = hand_over_.sent_[0];
  EXPECT_EQ(sent.monitor_id, 2);
  EXPECT_EQ(sent.image.width, 1000);
  EXPECT_EQ(sent.box.left, 100);
  EXPECT_EQ(sent.box.bottom, 400);
  EXPECT_EQ(sent.At(299, 299), 0xFF303030u);
  EXPECT_EQ(sent.At(300, 300), 0x0000FF00u);  // HeaderBgColor 0xff00ff00: green
  // The capture's own window does not cover.
  EXPECT_EQ(sent.At(150, 150), 0xFF303030u);

  // Cursor records go where the shared and uncovered area is.
  VzRect rect{};
  EXPECT_EQ(set_.SharedMonitorAtPoint(1200, 200, &rect), 2);
  EXPECT_EQ(rect.left, 1000);
  EXPECT_EQ(set_.SharedMonitorAtPoint(1600, 200, &rect), 0);
  MonitorInfo monitor{};
  ASSERT_TRUE(set_.MonitorAtLogicalPoint(1600, 200, &monitor));
  EXPECT_EQ(monitor.MonitorId, 2);
}

TEST_F(MultiMonitorScreenSetTest, RoundsSendChangesUntilTheCaptureStops) {
  ASSERT_EQ(set_.ShareMonitor(1, 1), 1);
  int32_t width = 0, height = 0;
  ASSERT_TRUE(set_.InitScreen(&screen_, &width, &height));
  EXPECT_FALSE(set_.UpdateRegions(&screen_));
  set_.DumpAll(&screen_, &hand_over_);
  hand_over_.sent_.clear();

  screen_.SetPixel(500, 300, 0xFFFFFFFF);
  EXPECT_TRUE(set_.ScanAndSend(&screen_, &hand_over_));
  ASSERT_EQ(hand_over_.sent_.size(), 1u);
  // The whole-monitor compare: the changed pixel and one column beyond.
  EXPECT_EQ(hand_over_.sent_[0].box.left, 500);
  EXPECT_EQ(hand_over_.sent_[0].box.right, 502);
  EXPECT_EQ(hand_over_.sent_[0].At(500, 300), 0xFFFFFFFFu);

  windows_[0].bounds.x = 200;  // a window moves on the shared monitor: no visual change
  screen_.SetWindows(windows_);
  EXPECT_FALSE(set_.UpdateRegions(&screen_));

  hand_over_.stopping_ = true;
  screen_.SetPixel(10, 10, 0xFFFFFFFF);
  EXPECT_FALSE(set_.ScanAndSend(&screen_, &hand_over_));
  EXPECT_EQ(hand_over_.sent_.size(), 1u);
  set_.EndScreen();
  EXPECT_FALSE(set_.DumpAll(&screen_, &hand_over_));
}

TEST_F(MultiMonitorScreenSetTest, WithoutAScreenTheListsStandAndNothingIsBuilt) {
  EXPECT_EQ(set_.RefreshMonitors(nullptr)->Count, 2);
  EXPECT_EQ(set_.RefreshWindows(nullptr)->Count, 3);
  int32_t width = 7, height = 7;
  EXPECT_FALSE(set_.InitScreen(nullptr, &width, &height));
  EXPECT_EQ(width, 0);
  set_.Reset(nullptr);
  EXPECT_EQ(set_.RefreshMonitors(nullptr)->Count, 0);
}

}  // namespace

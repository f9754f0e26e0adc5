#include "capture/monitors/capture_screens.h"

#include <gtest/gtest.h>

#include "capture/monitors/capture_testlib.h"
#include "common/log_capture_testlib.h"

namespace {

using capture_test::Monitor;
using capture_test::RecordingSender;
using capture_test::Window;

constexpr int32_t kOwnPid = 4242;

class CaptureScreensTest : public ::testing::Test {
 protected:
  CaptureScreensTest() : screen_(2000, 1000), monitors_(kOwnPid), regions_(kOwnPid), screens_(monitors_, regions_) {
    screen_.SetMonitors({Monitor({0, 0, 1000, 1000}, "A", true), Monitor({1000, 0, 1000, 1000}, "B")});
    screen_.Fill({0, 0, 2000, 1000}, 0xFF202020);
    monitors_.Reset(&screen_);
  }
  void ShareWindow(std::vector<vz::ScreenWindow> windows, VzWindowHandle window) {
    windows_ = std::move(windows);
    screen_.SetWindows(windows_);
    monitors_.RefreshWindows(screen_);
    ASSERT_EQ(monitors_.ShareWindow(window, 1, &screen_), 1);
  }
  CaptureRoundSettings Settings() {
    CaptureRoundSettings settings;
    settings.full_compare = true;
    settings.capture_mode = 2;
    return settings;
  }

  vz::ScreenDouble screen_;
  CMultiMonitor monitors_;
  CSharingRgnController regions_;
  CCaptureScreens screens_;
  std::vector<vz::ScreenWindow> windows_;
  RecordingSender sender_;
  IsOwnWindowFn is_own_ = [](VzWindowHandle) { return false; };
};

TEST_F(CaptureScreensTest, ASharedWindowGetsAGrabberOnTheMonitorsItMeetsOnly) {
  ShareWindow({Window(0x10, {1100, 100, 400, 300}, 5)}, 0x10);
  int width = 0, height = 0;
  ASSERT_TRUE(screens_.InitScreen(screen_, is_own_, &width, &height));
  EXPECT_EQ(width, 1000);
  EXPECT_EQ(height, 1000);
  MonitorInfo captured[17];
  ASSERT_EQ(monitors_.CapturedMonitors(captured, 17), 1);
  EXPECT_EQ(captured[0].MonitorId, 2);
  const VzRect box = monitors_.SharedBox();
  EXPECT_EQ(box.left, 1100);
  EXPECT_EQ(box.bottom, 400);

  // The full refresh sends the window's area only.
  EXPECT_TRUE(screens_.DumpAllScreens(0xff0084ff, sender_));
  ASSERT_EQ(sender_.sent_.size(), 1u);
  EXPECT_EQ(sender_.sent_[0].box.left, 100);
  EXPECT_EQ(sender_.sent_[0].box.right, 500);
  screens_.EndScreen();
  EXPECT_EQ(monitors_.CapturedMonitors(captured, 17), 0);
}

TEST_F(CaptureScreensTest, NothingSharedOnAnyMonitorBuildsNoGrabberAndSendsNothing) {
  std::vector<vz::ScreenWindow> windows{Window(0x10, {100, 100, 400, 300}, 5)};
  windows[0].minimized = true;
  ShareWindow(windows, 0x10);
  vz::LogLineCapture log;
  EXPECT_FALSE(screens_.InitScreen(screen_, is_own_, nullptr, nullptr));
  EXPECT_TRUE(log.Has("nMaxScreenCX: 0 nMaxScreenCY=0"));
  EXPECT_TRUE(monitors_.grabbers().empty());
  EXPECT_EQ(screens_.CheckSharedScreenData(screen_, is_own_, Settings(), sender_), CaptureRoundResult::kNoChange);
  EXPECT_FALSE(screens_.DumpAllScreens(0xff0084ff, sender_));
  EXPECT_TRUE(sender_.sent_.empty());
}

TEST_F(CaptureScreensTest, ARoundSendsTheCoveredPartInTheHeaderColour) {
  ShareWindow({Window(0x10, {100, 100, 400, 300}, 5), Window(0x20, {300, 300, 400, 400}, 6)}, 0x10);
  ASSERT_TRUE(screens_.InitScreen(screen_, is_own_, nullptr, nullptr));
  screens_.DumpAllScreens(0xff0084ff, sender_);
  sender_.sent_.clear();

  screen_.Fill({250, 250, 200, 100}, 0xFF00C000);  // half visible, half under the other window
  ASSERT_EQ(screens_.CheckSharedScreenData(screen_, is_own_, Settings(), sender_), CaptureRoundResult::kChanged);
  ASSERT_EQ(sender_.sent_.size(), 1u);
  const RecordingSender::Sent& sent = sender_.sent_[0];
  auto at = [&](int x, int y) { return sent.At(x - sent.box.left, y - sent.box.top); };
  EXPECT_EQ(at(299, 299), 0xFF00C000u);
  EXPECT_EQ(at(300, 299), 0xFF00C000u);
  EXPECT_EQ(at(299, 300), 0xFF00C000u);
  EXPECT_EQ(at(300, 300), 0x00FF8400u);
  EXPECT_EQ(at(449, 349), 0x00FF8400u);
  EXPECT_EQ(screens_.CheckSharedScreenData(screen_, is_own_, Settings(), sender_), CaptureRoundResult::kNoChange);

  windows_[1].bounds.x = 600;  // the other window moves away
  screen_.SetWindows(windows_);
  EXPECT_EQ(screens_.CheckSharedScreenData(screen_, is_own_, Settings(), sender_), CaptureRoundResult::kVisualChange);
  EXPECT_EQ(sender_.sent_.size(), 1u);
}

}  // namespace

#include "capture/monitors/sharing_rgn_controller.h"

#include <gtest/gtest.h>

#include "capture/monitors/capture_testlib.h"

namespace {

using capture_test::Monitor;
using capture_test::Window;

constexpr int32_t kOwnPid = 4242;

class SharingRgnControllerTest : public ::testing::Test {
 protected:
  SharingRgnControllerTest() : screen_(2000, 1000), monitors_(kOwnPid), regions_(kOwnPid) {
    screen_.SetMonitors({Monitor({0, 0, 1000, 1000}, "A", true), Monitor({1000, 0, 1000, 1000}, "B")});
  }
  void SetWindows(std::vector<vz::ScreenWindow> windows) {
    screen_.SetWindows(std::move(windows));
    monitors_.RefreshWindows(screen_);
  }
  void ShareWindow(VzWindowHandle window) {
    monitors_.Reset(&screen_);
    monitors_.RefreshWindows(screen_);
    ASSERT_EQ(monitors_.ShareWindow(window, 1, &screen_), 1);
  }
  bool Update() { return regions_.Update(monitors_.MonitorRegion(), monitors_, screen_, is_own_); }

  vz::ScreenDouble screen_;
  CMultiMonitor monitors_;
  CSharingRgnController regions_;
  IsOwnWindowFn is_own_ = [](VzWindowHandle) { return false; };
};

TEST_F(SharingRgnControllerTest, AWindowOnTopCoversExactlyTheOverlap) {
  std::vector<vz::ScreenWindow> windows{Window(0x10, {100, 100, 400, 300}, 5),  // shared, below
                                        Window(0x20, {300, 200, 400, 400}, 6)};  // on top
  SetWindows(windows);
  ShareWindow(0x10);
  Update();
  EXPECT_EQ(regions_.full_shared(), CScreenRegion(VzRect{100, 100, 500, 400}));
  EXPECT_EQ(regions_.covered(), CScreenRegion(VzRect{300, 200, 500, 400}));
  EXPECT_TRUE(Update());  // nothing moved

  windows[1].bounds.x = 900;  // the other window moves off the shared one
  SetWindows(windows);
  EXPECT_FALSE(Update());
  EXPECT_TRUE(regions_.covered().IsEmpty());
  EXPECT_EQ(regions_.visible_shared_for_testing(), CScreenRegion(VzRect{100, 100, 500, 400}));
}

TEST_F(SharingRgnControllerTest, WindowsBelowOrOfTheCaptureItselfNeverCover) {
  std::vector<vz::ScreenWindow> windows{Window(0x30, {0, 0, 800, 800}, 7),     // below the shared window
                                        Window(0x10, {100, 100, 400, 300}, 5),  // shared
                                        Window(0x40, {100, 100, 50, 50}, 8),    // one of our indicators
                                        Window(0x50, {150, 150, 50, 50}, 9),    // an indicator frame by class
                                        Window(0x60, {200, 200, 50, 50}, kOwnPid)};  // our own menu
  windows[3].class_name = "VELZAR_INDICATORFRAME";
  windows[4].kind = vz::ScreenWindowKind::kPopup;
  SetWindows(windows);
  ShareWindow(0x10);
  is_own_ = [](VzWindowHandle w) { return w == 0x40; };
  Update();
  EXPECT_TRUE(regions_.covered().IsEmpty());
  EXPECT_EQ(regions_.full_shared(), CScreenRegion(VzRect{100, 100, 500, 400}));
}

TEST_F(SharingRgnControllerTest, OtherWindowsOfTheSharedProcessNeitherCountNorCover) {
  std::vector<vz::ScreenWindow> windows{Window(0x10, {100, 100, 400, 300}, 5),  // shared
                                        Window(0x11, {450, 150, 300, 300}, 5),  // same program, on top
                                        Window(0x12, {0, 0, 120, 120}, 0)};     // a window that names no process
  SetWindows(windows);
  ShareWindow(0x10);
  Update();
  EXPECT_EQ(regions_.full_shared(), CScreenRegion(VzRect{100, 100, 500, 400}));
  // The window without a process id covers what it overlaps; it is never
  // taken for a part of the shared window.
  EXPECT_EQ(regions_.covered(), CScreenRegion(VzRect{100, 100, 120, 120}));
}

// A window that names no process (no _NET_WM_PID) can still be the one the
// presenter chose: it is captured, and another such window covers it.
TEST_F(SharingRgnControllerTest, AChosenWindowWithoutAProcessIdIsShared) {
  std::vector<vz::ScreenWindow> windows{Window(0x10, {100, 100, 400, 300}, 0),   // shared, no process id
                                        Window(0x12, {400, 300, 200, 200}, 0)};  // another one, on top
  SetWindows(windows);
  ShareWindow(0x10);
  Update();
  EXPECT_EQ(regions_.full_shared(), CScreenRegion(VzRect{100, 100, 500, 400}));
  EXPECT_EQ(regions_.covered(), CScreenRegion(VzRect{400, 300, 500, 400}));
}

TEST_F(SharingRgnControllerTest, ASlideShowWindowOfTheSharedPresentationCounts) {
  std::vector<vz::ScreenWindow> windows{Window(0x10, {100, 100, 400, 300}, 5),
                                        Window(0x11, {600, 100, 300, 300}, 5)};
  windows[0].class_name = "PPTFrameClass";
  windows[1].class_name = "screenClass";
  SetWindows(windows);
  ShareWindow(0x10);
  Update();
  CScreenRegion expected(VzRect{100, 100, 500, 400});
  expected.Union(CScreenRegion(VzRect{600, 100, 900, 400}));
  EXPECT_EQ(regions_.full_shared(), expected);
}

TEST_F(SharingRgnControllerTest, AMinimisedSharedWindowGivesNoSharedArea) {
  std::vector<vz::ScreenWindow> windows{Window(0x10, {100, 100, 400, 300}, 5)};
  windows[0].minimized = true;
  windows[0].visible = false;
  SetWindows(windows);
  ShareWindow(0x10);
  Update();
  EXPECT_TRUE(regions_.full_shared().IsEmpty());
  EXPECT_TRUE(regions_.covered().IsEmpty());
}

TEST_F(SharingRgnControllerTest, OnASharedMonitorMovingAWindowIsNoVisualChange) {
  std::vector<vz::ScreenWindow> windows{Window(0x10, {100, 100, 400, 300}, 5), Window(0x20, {900, 100, 400, 300}, 0)};
  SetWindows(windows);
  monitors_.Reset(&screen_);
  ASSERT_EQ(monitors_.ShareMonitor(2, 1), 1);
  Update();
  // The whole second monitor, also where no window is and under the window
  // that names no process.
  EXPECT_EQ(regions_.full_shared(), CScreenRegion(VzRect{1000, 0, 2000, 1000}));
  EXPECT_TRUE(regions_.covered().IsEmpty());
  windows[0].bounds.x = 1300;  // dragged across onto the shared monitor
  SetWindows(windows);
  EXPECT_TRUE(Update());
  windows.pop_back();  // and a window closes
  SetWindows(windows);
  EXPECT_TRUE(Update());
}

TEST_F(SharingRgnControllerTest, ASharedWindowAcrossMonitorsIsCutToTheMonitorsInPlay) {
  screen_.SetMonitors({Monitor({0, 0, 1000, 1000}, "A", true)});  // the right half has no monitor now
  std::vector<vz::ScreenWindow> windows{Window(0x10, {800, 100, 400, 300}, 5)};
  SetWindows(windows);
  ShareWindow(0x10);
  Update();
  EXPECT_EQ(regions_.full_shared(), CScreenRegion(VzRect{800, 100, 1000, 400}));
}

}  // namespace

#include "capture/monitors/multi_monitor.h"

#include <gtest/gtest.h>

#include "capture/monitors/capture_testlib.h"
#include "common/log_capture_testlib.h"
#include "platform/text.h"

namespace {

using capture_test::Monitor;
using capture_test::Window;

constexpr int32_t kOwnPid = 4242;

std::string DeviceName(const MonitorInfo& info) { return vz::Utf16ToUtf8(info.DeviceName); }
std::string Title(const ApplicationInfo& info) { return vz::Utf16ToUtf8(info.Title); }

TEST(MultiMonitorTest, MonitorsAreNumberedFromOneAndCappedAtSixteen) {
  vz::ScreenDouble screen(4000, 1000);
  std::vector<vz::ScreenMonitor> monitors;
  for (int i = 0; i < 18; ++i) monitors.push_back(Monitor({i * 200, 0, 200, 100}, "OUT-" + std::to_string(i), i == 1));
  screen.SetMonitors(monitors);
  CMultiMonitor set(kOwnPid);
  vz::LogLineCapture log;
  const MonitorList* list = set.RefreshMonitors(screen);
  ASSERT_EQ(list->Count, 16);
  EXPECT_TRUE(log.Has("The monitor numbers in the system is out of MAX caps"));
  const MonitorInfo& second = list->Monitors[1];
  EXPECT_EQ(second.MonitorId, 2);
  EXPECT_EQ(DeviceName(second), "OUT-1");
  EXPECT_EQ(second.StateFlags, kMonitorStateAttached | kMonitorStatePrimary);
  EXPECT_EQ(second.Rect.left, 200);
  EXPECT_EQ(second.Rect.right, 400);
  EXPECT_EQ(second.Rect.bottom, 100);
  EXPECT_EQ(second.LogicalRect.left, 200);
  EXPECT_FLOAT_EQ(second.DpiScale, 1.0f);
  EXPECT_EQ(second.BitsPerPixel, 32);
  EXPECT_EQ(list->Monitors[16].MonitorId, 0);  // the seventeenth slot stays zero
}

TEST(MultiMonitorTest, AShareMarkFollowsTheDeviceNameAcrossARefresh) {
  vz::ScreenDouble screen(3000, 1000);
  screen.SetMonitors({Monitor({0, 0, 1000, 1000}, "HDMI-1"), Monitor({1000, 0, 1000, 1000}, "DP-2")});
  CMultiMonitor set(kOwnPid);
  set.Reset(&screen);
  ASSERT_EQ(set.ShareMonitor(2, 1), 1);
  // The second monitor alone makes up the monitor region.
  EXPECT_EQ(set.MonitorRegion(), CScreenRegion(VzRect{1000, 0, 2000, 1000}));

  // The same output comes back first, spelt in other case, and a new one is added.
  screen.SetMonitors({Monitor({0, 0, 1000, 1000}, "dp-2"), Monitor({1000, 0, 1000, 1000}, "HDMI-1"),
                      Monitor({2000, 0, 1000, 1000}, "DP-3")});
  const MonitorList* list = set.RefreshMonitors(screen);
  ASSERT_EQ(list->Count, 3);
  EXPECT_TRUE(list->Monitors[0].StateFlags & kMonitorStateShared);
  EXPECT_FALSE(list->Monitors[1].StateFlags & kMonitorStateShared);
  EXPECT_FALSE(list->Monitors[2].StateFlags & kMonitorStateShared);
  EXPECT_EQ(set.MonitorRegion(), CScreenRegion(VzRect{0, 0, 1000, 1000}));
}

TEST(MultiMonitorTest, SharingAnUnknownMonitorOrWindowClearsEveryMark) {
  vz::ScreenDouble screen(2000, 1000);
  screen.SetMonitors({Monitor({0, 0, 1000, 1000}, "A"), Monitor({1000, 0, 1000, 1000}, "B")});
  screen.SetWindows({Window(0x500, {10, 10, 300, 200}, 77)});
  CMultiMonitor set(kOwnPid);
  set.Reset(&screen);
  set.RefreshWindows(screen);
  vz::LogLineCapture log;

  ASSERT_EQ(set.ShareWindow(0x500, 1, &screen), 1);
  EXPECT_EQ(set.sharing_kind_for_testing(), kSharingWindow);
  EXPECT_EQ(set.SharedApplications().size(), 1u);
  EXPECT_EQ(set.ShareMonitor(7, 1), 0);
  EXPECT_TRUE(log.Has("monitor [7] not found [1]"));
  EXPECT_TRUE(set.SharedApplications().empty());
  EXPECT_FALSE(set.SharesMonitors());

  ASSERT_EQ(set.ShareMonitor(1, 1), 1);
  EXPECT_EQ(set.ShareWindow(0x999, 1, &screen), 0);
  EXPECT_TRUE(log.Has("window handle [0x00000999] not found [1]"));
  EXPECT_FALSE(set.SharesMonitors());
  EXPECT_EQ(set.sharing_kind_for_testing(), kSharingWindow);
  // Window sharing captures on every monitor.
  EXPECT_EQ(set.MonitorRegion(), CScreenRegion(VzRect{0, 0, 2000, 1000}));

  EXPECT_EQ(set.ShareMonitor(1, 0), 0);
  EXPECT_TRUE(log.Has("monitor [1] status no changed"));
  EXPECT_FALSE(set.SharesMonitors());
}

TEST(MultiMonitorTest, TheWindowListKeepsOnlyShareableWindowsGroupedByOwner) {
  vz::ScreenDouble screen(2000, 1000);
  std::vector<vz::ScreenWindow> windows;  // bottom first
  windows.push_back(Window(0x100, {0, 0, 2000, 1000}, 10, "desktop"));
  windows.back().kind = vz::ScreenWindowKind::kDesktop;
  windows.push_back(Window(0x101, {0, 970, 2000, 30}, 11, "panel"));
  windows.back().kind = vz::ScreenWindowKind::kDock;
  windows.push_back(Window(0x102, {100, 100, 400, 300}, 20, "Editor"));
  windows.push_back(Window(0x103, {450, 350, 200, 200}, 20, "Find", /*owner=*/0x102));  // a dialog of it
  windows.push_back(Window(0x104, {50, 50, 27, 27}, 30, "tiny"));
  windows.push_back(Window(0x105, {50, 50, 28, 27}, 31, "small but wide enough"));
  windows.push_back(Window(0x106, {-5, -5, 10, 10}, 32, "minimised"));
  windows.back().visible = false;
  windows.back().minimized = true;
  windows.push_back(Window(0x107, {300, 300, 300, 300}, 33, "unmapped"));
  windows.back().visible = false;
  windows.push_back(Window(0x108, {300, 300, 300, 300}, kOwnPid, "our own panel"));
  windows.push_back(Window(0x109, {600, 600, 100, 100}, 34, "tooltip"));
  windows.back().kind = vz::ScreenWindowKind::kPopup;
  windows.push_back(Window(0x10A, {600, 600, 300, 100}, 35, "Notes"));  // top
  windows.push_back(Window(0x10B, {600, 600, 300, 100}, 36, "bubble"));
  windows.back().kind = vz::ScreenWindowKind::kNotification;
  screen.SetWindows(windows);

  CMultiMonitor set(kOwnPid);
  const ApplicationList* list = set.RefreshWindows(screen);
  ASSERT_EQ(list->Count, 4);
  // Top first.
  EXPECT_EQ(Title(list->Applications[0]), "Notes");
  EXPECT_EQ(list->Applications[0].ProcessId, 35);
  EXPECT_EQ(Title(list->Applications[1]), "minimised");
  EXPECT_EQ(Title(list->Applications[2]), "small but wide enough");
  // The dialog joins its owner's record: the owner's title, the union of both.
  const ApplicationInfo& editor = list->Applications[3];
  EXPECT_EQ(editor.Window, 0x102u);
  EXPECT_EQ(Title(editor), "Editor");
  EXPECT_EQ(editor.Rect.left, 100);
  EXPECT_EQ(editor.Rect.top, 100);
  EXPECT_EQ(editor.Rect.right, 650);
  EXPECT_EQ(editor.Rect.bottom, 550);
  EXPECT_EQ(editor.Shared, 0);
}

TEST(MultiMonitorTest, TheWindowListHoldsTheTopSixtyFourOwnersAndCarriesTheShareMark) {
  vz::ScreenDouble screen(2000, 1000);
  std::vector<vz::ScreenWindow> windows;
  for (int i = 0; i < 65; ++i) windows.push_back(Window(0x1000 + i, {i, i, 100, 100}, 100 + i, "w" + std::to_string(i)));
  screen.SetWindows(windows);
  CMultiMonitor set(kOwnPid);
  const ApplicationList* list = set.RefreshWindows(screen);
  ASSERT_EQ(list->Count, 64);
  EXPECT_EQ(list->Applications[0].Window, 0x1000u + 64);  // the top one
  EXPECT_EQ(list->Applications[63].Window, 0x1000u + 1);  // the bottom one is left out
  EXPECT_EQ(list->Applications[64].Window, 0u);

  ASSERT_EQ(set.ShareWindow(0x1000 + 10, 1, &screen), 1);
  windows.erase(windows.begin() + 64);  // the top window closes
  screen.SetWindows(windows);
  list = set.RefreshWindows(screen);
  ASSERT_EQ(list->Count, 64);
  for (int i = 0; i < list->Count; ++i)
    EXPECT_EQ(list->Applications[i].Shared, list->Applications[i].Window == 0x1000u + 10 ? 1 : 0);
}

TEST(MultiMonitorTest, LongTitlesAreCutToTheRecordWithoutSplittingACharacter) {
  vz::ScreenDouble screen(2000, 1000);
  std::string title(126, 'a');
  title += "\xF0\x9F\x98\x80";  // one character of two UTF-16 units, at units 126 and 127
  screen.SetWindows({Window(0x10, {0, 0, 100, 100}, 5, title)});
  CMultiMonitor set(kOwnPid);
  const ApplicationList* list = set.RefreshWindows(screen);
  ASSERT_EQ(list->Count, 1);
  EXPECT_EQ(vz::Utf16Length(list->Applications[0].Title), 126u);
}

TEST(MultiMonitorTest, ASharedWindowThatMovesIsNoticedOnce) {
  vz::ScreenDouble screen(2000, 1000);
  std::vector<vz::ScreenWindow> windows{Window(0x10, {0, 0, 100, 100}, 5)};
  screen.SetWindows(windows);
  CMultiMonitor set(kOwnPid);
  set.Reset(&screen);
  set.RefreshWindows(screen);
  EXPECT_FALSE(set.SharedWindowMoved(screen));  // nothing shared
  ASSERT_EQ(set.ShareWindow(0x10, 1, &screen), 1);
  EXPECT_FALSE(set.SharedWindowMoved(screen));
  windows[0].bounds.x = 40;
  screen.SetWindows(windows);
  EXPECT_TRUE(set.SharedWindowMoved(screen));
  EXPECT_FALSE(set.SharedWindowMoved(screen));
  EXPECT_EQ(set.SharedApplications()[0].Rect.left, 40);
}

}  // namespace

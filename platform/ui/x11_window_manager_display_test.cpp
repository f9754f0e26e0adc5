// The window managers the end-to-end runs work under, on servers of the
// test's own: started, they manage the screen and take new windows; gone,
// they leave it unmanaged and nothing of them runs.
#include <gtest/gtest.h>
#include <signal.h>

#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/screen/x11_picture_windows_testlib.h"
#include "platform/test_requirement_testlib.h"
#include "platform/ui/display_probe.h"
#include "platform/ui/x11_window_manager_testlib.h"
#include "platform/ui/xvfb_testlib.h"

#include <X11/Xlib.h>

namespace vz {
namespace {

TEST(X11WindowManagerDisplayTest, ManagesTheScreenWhileItLivesAndEndsWithTheObject) {
  for (const std::string name : {"twm", "openbox", "metacity"}) {
    SCOPED_TRACE(name);
    XvfbServer server;
    std::string why;
    if (!server.Start(&why, 800, 600)) VZ_SKIP_TEST_WITHOUT(vz::kNeedsXvfb) << why;
    EXPECT_FALSE(DisplayHasWindowManager(server.display()));
    auto manager = X11WindowManager::Start(name, server.display(), 30000, &why);
    if (!manager && why.find("not installed") != std::string::npos) VZ_SKIP_TEST_WITHOUT(NeedsPackage(name)) << why;
    ASSERT_NE(manager, nullptr) << why;
    EXPECT_TRUE(DisplayHasWindowManager(server.display()));
    const int pid = manager->pid();
    ASSERT_GT(pid, 0);
    manager.reset();
    // The server lets the manager's selections go once it sees the connection closed.
    const uint64_t deadline = MonotonicMs() + 30000;
    while (DisplayHasWindowManager(server.display()) && MonotonicMs() < deadline) SleepMs(20);
    EXPECT_FALSE(DisplayHasWindowManager(server.display()));
    // Reaped: no process of that id is left (not even a zombie to signal).
    EXPECT_NE(::kill(pid, 0), 0);
  }
}

// Another program's move of a window is answered by every manager, whether
// it moves the window, keeps it or puts it elsewhere (metacity keeps title
// bars on the screen), and without a manager by the move itself; a manager
// that never answers is waited for no longer than asked.
TEST(X11WindowManagerDisplayTest, AMoveIsAnsweredWhereverTheManagerPutsTheWindow) {
  for (const std::string name : {"none", "twm", "openbox", "metacity"}) {
    SCOPED_TRACE(name);
    XvfbServer server;
    std::string why;
    if (!server.Start(&why, 800, 600)) VZ_SKIP_TEST_WITHOUT(vz::kNeedsXvfb) << why;
    std::unique_ptr<X11WindowManager> manager;
    if (name != "none") {
      manager = X11WindowManager::Start(name, server.display(), 30000, &why);
      if (!manager && why.find("not installed") != std::string::npos) continue;
      ASSERT_NE(manager, nullptr) << why;
    }
    auto windows = X11PictureWindows::Open(server.display());
    ASSERT_NE(windows, nullptr);
    const uint64_t window = windows->CreateWindow(200, 150, 300, 200, "moved");
    ASSERT_NE(window, 0u);
    // Placed and framed first, as a program's window is before it is moved.
    int x = 0, y = 0, w = 0, h = 0;
    const uint64_t deadline = MonotonicMs() + 30000;
    while (!(windows->ClientArea(window, &x, &y, &w, &h) && x >= 200 && y >= 150) && MonotonicMs() < deadline) {
      SleepMs(20);
    }
    for (const Point to : {Point{0, 0}, Point{320, 0}}) {
      EXPECT_EQ(MoveDisplayWindow(server.display().c_str(), window, to, 30000), DisplayMoveResult::kAnswered)
          << to.x << "," << to.y;
      ASSERT_TRUE(windows->ClientArea(window, &x, &y, &w, &h));
      EXPECT_GE(y, 0);
    }
    // Where it is now: nothing to ask, and answered at once (neither the
    // server nor twm answers a move that changes nothing). A manager may
    // still be settling the window after its answer (on a loaded machine),
    // so the place is read again until the window stays where it was read.
    DisplayMoveResult in_place = DisplayMoveResult::kFailed;
    const uint64_t settled = MonotonicMs() + 30000;
    do {
      ASSERT_TRUE(windows->ClientArea(window, &x, &y, &w, &h));
      in_place = MoveDisplayWindow(server.display().c_str(), window, {x, y}, 0);
    } while (in_place != DisplayMoveResult::kAnswered && MonotonicMs() < settled);
    EXPECT_EQ(in_place, DisplayMoveResult::kAnswered) << "at " << x << "," << y;
  }
  XvfbServer server;
  std::string why;
  if (!server.Start(&why, 800, 600)) VZ_SKIP_TEST_WITHOUT(vz::kNeedsXvfb) << why;
  auto windows = X11PictureWindows::Open(server.display());
  ASSERT_NE(windows, nullptr);
  const uint64_t window = windows->CreateWindow(100, 100, 300, 200, "unanswered");
  Display* silent = XOpenDisplay(server.display().c_str());
  ASSERT_NE(silent, nullptr);
  XSelectInput(silent, DefaultRootWindow(silent), SubstructureRedirectMask);
  XSync(silent, False);
  const uint64_t asked = MonotonicMs();
  EXPECT_EQ(MoveDisplayWindow(server.display().c_str(), window, {0, 0}, 300), DisplayMoveResult::kUnanswered);
  EXPECT_GE(MonotonicMs() - asked, 300u);
  XCloseDisplay(silent);
  EXPECT_EQ(MoveDisplayWindow(server.display().c_str(), 0x3FFFFF, {0, 0}, 300), DisplayMoveResult::kFailed);
  EXPECT_EQ(MoveDisplayWindow(":the-display-that-is-not", window, {0, 0}, 300), DisplayMoveResult::kFailed);
}

TEST(X11WindowManagerDisplayTest, UnknownManagersAndMissingDisplaysAreRefused) {
  std::string why;
  EXPECT_EQ(X11WindowManager::Start("no-such-manager", ":0", 1000, &why), nullptr);
  EXPECT_NE(why.find("unknown window manager"), std::string::npos) << why;
  EXPECT_FALSE(DisplayHasWindowManager(":the-display-that-is-not"));
}

}  // namespace
}  // namespace vz

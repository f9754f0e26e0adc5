// The window managers the end-to-end runs work under, on servers of the
// test's own: started, they manage the screen and take new windows; gone,
// they leave it unmanaged and nothing of them runs.
#include <gtest/gtest.h>
#include <signal.h>

#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/ui/x11_window_manager_testlib.h"
#include "platform/ui/xvfb_testlib.h"

namespace vz {
namespace {

TEST(X11WindowManagerDisplayTest, ManagesTheScreenWhileItLivesAndEndsWithTheObject) {
  for (const std::string name : {"twm", "openbox", "metacity"}) {
    SCOPED_TRACE(name);
    XvfbServer server;
    std::string why;
    if (!server.Start(&why, 800, 600)) GTEST_SKIP() << why;
    EXPECT_FALSE(DisplayHasWindowManager(server.display()));
    auto manager = X11WindowManager::Start(name, server.display(), 30000, &why);
    if (!manager && why.find("not installed") != std::string::npos) GTEST_SKIP() << why;
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

TEST(X11WindowManagerDisplayTest, UnknownManagersAndMissingDisplaysAreRefused) {
  std::string why;
  EXPECT_EQ(X11WindowManager::Start("no-such-manager", ":0", 1000, &why), nullptr);
  EXPECT_NE(why.find("unknown window manager"), std::string::npos) << why;
  EXPECT_FALSE(DisplayHasWindowManager(":the-display-that-is-not"));
}

}  // namespace
}  // namespace vz

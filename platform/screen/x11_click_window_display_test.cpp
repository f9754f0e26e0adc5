// The click-recording window against the test program's private X server,
// driven by injected input as a remote-control session drives it.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/screen/x11_click_window_testlib.h"
#include "platform/screen/x11_picture_windows_testlib.h"
#include "platform/screen/x11_top_windows_testlib.h"
#include "platform/test_requirement_testlib.h"
#include "platform/ui/display_test_env_testlib.h"
#include "platform/ui/input_injector.h"
#include "platform/ui/x11_window_manager_testlib.h"
#include "platform/ui/xvfb_testlib.h"

namespace vz {
namespace {

TEST(X11ClickWindowDisplayTest, RecordsPressesOnItselfOnlyInWindowAndScreenCoordinates) {
  DisplayTestEnv& env = DisplayTestEnv::Get();
  if (!env.available()) VZ_SKIP_TEST_WITHOUT(vz::kNeedsXvfb) << env.why();
  auto window = X11ClickWindow::Open(env.display(), 120, 90, 60, 40, 0x2060C0);
  ASSERT_NE(window, nullptr);
  auto injector = InputInjector::Open(env.display().c_str());
  ASSERT_NE(injector, nullptr);

  // Beside the window (one pixel past its right edge): nothing recorded.
  injector->Click({180, 100});
  injector->Sync();
  X11ClickWindow::Click click;
  EXPECT_FALSE(window->WaitClick(200, &click));

  injector->Click({121, 129});
  injector->MoveTo({179, 90});
  injector->Button(MouseButton::kRight, true);
  injector->Button(MouseButton::kRight, false);
  injector->Sync();
  ASSERT_TRUE(window->WaitClick(30000, &click));
  EXPECT_EQ(click.x, 1);
  EXPECT_EQ(click.y, 39);
  EXPECT_EQ(click.root_x, 121);
  EXPECT_EQ(click.root_y, 129);
  EXPECT_EQ(click.button, 1);
  ASSERT_TRUE(window->WaitClick(30000, &click));
  EXPECT_EQ(click.x, 59);
  EXPECT_EQ(click.y, 0);
  EXPECT_EQ(click.button, 3);
  EXPECT_FALSE(window->WaitClick(0, &click));
}

TEST(X11ClickWindowDisplayTest, TheTopWindowListShowsItWhereItIsByTitleUntilItGoes) {
  DisplayTestEnv& env = DisplayTestEnv::Get();
  if (!env.available()) VZ_SKIP_TEST_WITHOUT(vz::kNeedsXvfb) << env.why();
  auto window = X11ClickWindow::Open(env.display(), 33, 44, 55, 66, 0xFF0000);
  ASSERT_NE(window, nullptr);
  const uint64_t id = window->id();
  int found = 0;
  for (const X11TopWindow& top : ListX11TopWindows(env.display())) {
    if (top.id != id) continue;
    ++found;
    EXPECT_EQ(top.title, kX11ClickWindowTitle);
    EXPECT_TRUE(top.viewable);
    EXPECT_EQ(top.x, 33);
    EXPECT_EQ(top.y, 44);
    EXPECT_EQ(top.width, 55);
    EXPECT_EQ(top.height, 66);
  }
  EXPECT_EQ(found, 1);
  window.reset();
  for (const X11TopWindow& top : ListX11TopWindows(env.display())) EXPECT_NE(top.id, id);
  EXPECT_TRUE(ListX11TopWindows(":the-display-that-is-not").empty());
}

TEST(X11ClickWindowDisplayTest, AnEmptyWindowIsRefused) {
  DisplayTestEnv& env = DisplayTestEnv::Get();
  if (!env.available()) VZ_SKIP_TEST_WITHOUT(vz::kNeedsXvfb) << env.why();
  EXPECT_EQ(X11ClickWindow::Open(env.display(), 0, 0, 0, 10, 0), nullptr);
}

// The window with this id in the list, once it is viewable and its place
// has held for a few reads (a manager maps, frames and places it in steps).
bool WaitListed(const std::string& display, uint64_t id, X11TopWindow* out) {
  const uint64_t deadline = MonotonicMs() + 30000;
  int same = 0;
  X11TopWindow last;
  while (MonotonicMs() < deadline) {
    for (const X11TopWindow& top : ListX11TopWindows(display)) {
      if (top.id != id || !top.viewable) continue;
      same = top.x == last.x && top.y == last.y && top.frame_x == last.frame_x && top.frame_y == last.frame_y
                 ? same + 1
                 : 0;
      last = top;
    }
    if (same >= 5) {
      *out = last;
      return true;
    }
    SleepMs(50);
  }
  return false;
}

// On a server of the test's own, bare and under managers that reparent and
// decorate: the list finds each window by its name and class inside the
// manager's frame, at the client area's real place on the screen (a click
// there lands in it where expected), and follows a move the manager makes.
TEST(X11ClickWindowDisplayTest, TheTopWindowListFindsClientAreasInsideWindowManagerFrames) {
  for (const std::string manager_name : {"bare", "twm", "openbox"}) {
    SCOPED_TRACE(manager_name);
    XvfbServer server;
    std::string why;
    if (!server.Start(&why, 1024, 768)) VZ_SKIP_TEST_WITHOUT(vz::kNeedsXvfb) << why;
    std::unique_ptr<X11WindowManager> manager;
    if (manager_name != "bare") {
      manager = X11WindowManager::Start(manager_name, server.display(), 30000, &why);
      if (!manager) VZ_SKIP_TEST_WITHOUT(NeedsPackage(manager_name)) << why;
    }
    auto target = X11ClickWindow::Open(server.display(), 300, 200, 120, 80, 0x2060C0);
    ASSERT_NE(target, nullptr);
    auto pictures = X11PictureWindows::Open(server.display());
    ASSERT_NE(pictures, nullptr);
    const uint64_t picture = pictures->CreateWindow(40, 500, 200, 100, "Picture window");
    ASSERT_NE(picture, 0u);

    X11TopWindow listed;
    ASSERT_TRUE(WaitListed(server.display(), target->id(), &listed));
    EXPECT_EQ(listed.title, kX11ClickWindowTitle);
    EXPECT_EQ(listed.res_class, "VelzarDemo");
    EXPECT_EQ(listed.width, 120);
    EXPECT_EQ(listed.height, 80);
    int x = 0, y = 0, width = 0, height = 0;
    ASSERT_TRUE(target->ClientArea(&x, &y, &width, &height));
    EXPECT_EQ(x, listed.x);
    EXPECT_EQ(y, listed.y);
    if (manager) {
      // Framed: the frame holds the client area and covers more of the screen.
      EXPECT_NE(listed.frame, listed.id);
      EXPECT_LE(listed.frame_x, listed.x);
      EXPECT_LT(listed.frame_y, listed.y);  // a title bar above it
      EXPECT_GE(listed.frame_x + listed.frame_width, listed.x + listed.width);
    } else {
      EXPECT_EQ(listed.frame, listed.id);
      EXPECT_EQ(listed.x, 300);
      EXPECT_EQ(listed.y, 200);
    }
    auto injector = InputInjector::Open(server.display().c_str());
    ASSERT_NE(injector, nullptr);
    target->Raise();
    injector->Click({listed.x + 10, listed.y + 20});
    injector->Sync();
    X11ClickWindow::Click click;
    ASSERT_TRUE(target->WaitClick(30000, &click));
    EXPECT_EQ(click.x, 10);
    EXPECT_EQ(click.y, 20);

    ASSERT_TRUE(WaitListed(server.display(), picture, &listed));
    EXPECT_EQ(listed.title, "Picture window");
    EXPECT_EQ(listed.res_name, "Picture window");
    EXPECT_EQ(listed.res_class, X11PictureWindows::kWindowClass);
    ASSERT_TRUE(pictures->ClientArea(picture, &x, &y, &width, &height));
    EXPECT_EQ(x, listed.x);
    EXPECT_EQ(y, listed.y);
    EXPECT_EQ(width, 200);
    // Asked elsewhere: the manager moves it, the list and ClientArea follow.
    const int before_x = listed.x;
    pictures->Move(picture, 440, 520);
    const uint64_t deadline = MonotonicMs() + 30000;
    while (MonotonicMs() < deadline && listed.x == before_x) {
      ASSERT_TRUE(WaitListed(server.display(), picture, &listed));
    }
    // (A manager may keep a pixel or two of its border out of the way.)
    EXPECT_NEAR(listed.x - before_x, 400, 4);
    ASSERT_TRUE(pictures->ClientArea(picture, &x, &y, &width, &height));
    EXPECT_EQ(x, listed.x);
    EXPECT_EQ(y, listed.y);
  }
}

}  // namespace
}  // namespace vz

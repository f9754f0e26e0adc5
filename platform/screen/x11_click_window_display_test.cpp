// The click-recording window against the test program's private X server,
// driven by injected input as a remote-control session drives it.
#include <gtest/gtest.h>

#include "platform/screen/x11_click_window_testlib.h"
#include "platform/screen/x11_top_windows_testlib.h"
#include "platform/ui/display_test_env.h"
#include "platform/ui/input_injector.h"

namespace vz {
namespace {

TEST(X11ClickWindowDisplayTest, RecordsPressesOnItselfOnlyInWindowAndScreenCoordinates) {
  DisplayTestEnv& env = DisplayTestEnv::Get();
  if (!env.available()) GTEST_SKIP() << env.why();
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
  if (!env.available()) GTEST_SKIP() << env.why();
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
  if (!env.available()) GTEST_SKIP() << env.why();
  EXPECT_EQ(X11ClickWindow::Open(env.display(), 0, 0, 0, 10, 0), nullptr);
}

}  // namespace
}  // namespace vz

// The local meeting demonstration's desktop picture on a private X server,
// read back through the capture side's own screen source: the pixels the
// presenter shares must be the ones drawn, byte order included.
#include <gtest/gtest.h>

#include "client/app/demo/desktop_picture.h"
#include "client/app/demo/frame_measures.h"
#include "platform/clock.h"
#include "platform/screen/screen_source.h"
#include "platform/screen/x11_picture_windows_testlib.h"
#include "platform/screen/x11_top_windows_testlib.h"
#include "platform/test_requirement_testlib.h"
#include "platform/ui/display_test_env_testlib.h"
#include "platform/ui/ui_types.h"
#include "platform/ui/x11_window_manager_testlib.h"
#include "platform/ui/xvfb_testlib.h"

#include <X11/Xlib.h>

namespace {

// The colour of one screen pixel as 0xRRGGBB.
uint32_t ScreenColour(vz::ScreenSource& screen, int x, int y) {
  vz::ScreenPixels pixel;
  if (!screen.ReadPixels(vz::ScreenRect{x, y, 1, 1}, &pixel)) return 0xDEADBEEF;
  const uint8_t* p = pixel.Row(0);
  return (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
}

TEST(DesktopPictureDisplayTest, TheScreenShowsTheGradientTheClockStampAndTheMovingWindow) {
  vz::DisplayTestEnv& env = vz::DisplayTestEnv::Get();
  if (!env.available()) VZ_SKIP_TEST_WITHOUT(vz::kNeedsXvfb) << env.why();
  std::string why;
  auto desktop = DesktopPicture::Open(env.display(), &why);
  ASSERT_NE(desktop, nullptr) << why;
  auto screen = vz::OpenX11ScreenSource(vz::X11ScreenOptions{env.display(), false});
  ASSERT_NE(screen, nullptr);
  const int w = desktop->width(), h = desktop->height();

  // The root picture's gradient row 5, exactly, in R, G, B order.
  const int t = 5 * 255 / h;
  const uint32_t gradient = (static_cast<uint32_t>(30 + t / 3) << 16) | (static_cast<uint32_t>(70 + t / 2) << 8) |
                            static_cast<uint32_t>(140 + t / 3);
  EXPECT_EQ(ScreenColour(*screen, 3, 5), gradient);

  // The stamp holds the clock's low 32 bits and reads back from the screen.
  ASSERT_TRUE(desktop->ShowTime(0x123456789ULL));
  vz::ScreenPixels cells;
  int stamp_x = 0, stamp_y = 0;
  ASSERT_TRUE(desktop->StampPlace(&stamp_x, &stamp_y));
  ASSERT_TRUE(
      screen->ReadPixels(vz::ScreenRect{stamp_x, stamp_y, StampLayout::kWidth, StampLayout::kHeight}, &cells));
  ASSERT_EQ(cells.stride, StampLayout::kWidth * 4);
  uint32_t stamp = 0;
  ASSERT_TRUE(ReadStamp(cells.bytes.data(), StampLayout::kWidth, StampLayout::kHeight, 0, 0, &stamp));
  EXPECT_EQ(stamp, 0x23456789u);

  // The moving window's title bar leaves its first place for the path's start.
  const uint32_t bar = 0xB0502A;
  EXPECT_EQ(ScreenColour(*screen, w / 3 + 5, h / 2 + 5), bar);
  desktop->Step();
  EXPECT_EQ(ScreenColour(*screen, 8 + 5, h / 2 + 5), bar);
  EXPECT_NE(ScreenColour(*screen, w / 3 + 200, h / 2 + 5), bar);

  // Gone with the object: windows destroyed, the root plain again.
  desktop.reset();
  EXPECT_EQ(ScreenColour(*screen, 3, 5), 0u);
  EXPECT_EQ(ScreenColour(*screen, 8 + 5, h / 2 + 5), 0u);
}

// Under a window manager that frames the windows and puts the clock's
// client area below a title bar: the stamp is read where the clock really
// is.
TEST(DesktopPictureDisplayTest, TheStampIsFoundInsideTheWindowManagersFrame) {
  vz::XvfbServer server;
  std::string why;
  if (!server.Start(&why, 1280, 720)) VZ_SKIP_TEST_WITHOUT(vz::kNeedsXvfb) << why;
  auto manager = vz::X11WindowManager::Start("openbox", server.display(), 30000, &why);
  if (!manager) VZ_SKIP_TEST_WITHOUT(vz::NeedsPackage("openbox")) << why;
  auto desktop = DesktopPicture::Open(server.display(), &why);
  ASSERT_NE(desktop, nullptr) << why;
  auto screen = vz::OpenX11ScreenSource(vz::X11ScreenOptions{server.display(), false});
  ASSERT_NE(screen, nullptr);

  // Framed and titled: the list finds the clock inside its frame.
  bool framed = false;
  const uint64_t deadline = vz::MonotonicMs() + 30000;
  while (!framed && vz::MonotonicMs() < deadline) {
    for (const vz::X11TopWindow& top : vz::ListX11TopWindows(server.display())) {
      if (top.title == "Presenter clock" && top.viewable && top.frame != top.id) framed = true;
    }
    if (!framed) vz::SleepMs(50);
  }
  ASSERT_TRUE(framed);

  // The stamp reads back where StampPlace says, which is not where the
  // clock was asked to be (the title bar pushes it down).
  uint32_t stamp = 0;
  int x = 0, y = 0;
  for (uint32_t shown = 0x5EED0001; vz::MonotonicMs() < deadline && stamp != shown; vz::SleepMs(50)) {
    ASSERT_TRUE(desktop->ShowTime(shown));
    ASSERT_TRUE(desktop->StampPlace(&x, &y));
    vz::ScreenPixels cells;
    if (screen->ReadPixels(vz::ScreenRect{x, y, StampLayout::kWidth, StampLayout::kHeight}, &cells)) {
      ReadStamp(cells.bytes.data(), StampLayout::kWidth, StampLayout::kHeight, 0, 0, &stamp);
    }
  }
  EXPECT_EQ(stamp, 0x5EED0001u);
  // Asked, the stamp would lie the clock's height (76) less its inset (10)
  // and its own height below the clock's top.
  EXPECT_GT(y - desktop->clock_asked_y(), 76 - 10 - StampLayout::kHeight);
}

// A compositing manager draws the desktop itself, from the picture the
// root publishes: the demonstration's gradient is published as that, as
// desktop-picture setters publish theirs, so the composed screen shows it
// rather than a flat colour. When the demonstration ends, the desktop's
// own picture from before is published again.
TEST(DesktopPictureDisplayTest, ACompositingManagerDrawsTheGradientItIsPublishedAs) {
  vz::XvfbServer server;
  std::string why;
  if (!server.Start(&why, 1280, 720)) VZ_SKIP_TEST_WITHOUT(vz::kNeedsXvfb) << why;
  Display* d = XOpenDisplay(server.display().c_str());
  ASSERT_NE(d, nullptr);
  // The desktop's own picture, as a user's desktop has one.
  const Pixmap own = XCreatePixmap(d, DefaultRootWindow(d), 8, 8, DefaultDepth(d, DefaultScreen(d)));
  for (const char* name : {"_XROOTPMAP_ID", "ESETROOT_PMAP_ID"}) vz::WriteRootPictureProperty(d, name, own);
  XSync(d, False);
  auto compositor = vz::X11CompositingManager::Start(server.display(), 30000, &why);
  if (!compositor) {
    XCloseDisplay(d);
    VZ_SKIP_TEST_WITHOUT(vz::kNeedsXcompmgr) << why;
  }
  auto desktop = DesktopPicture::Open(server.display(), &why);
  ASSERT_NE(desktop, nullptr) << why;

  const unsigned long published = vz::ReadRootPictureProperty(d, "_XROOTPMAP_ID");
  EXPECT_NE(published, 0u);
  EXPECT_NE(published, own);
  EXPECT_EQ(vz::ReadRootPictureProperty(d, "ESETROOT_PMAP_ID"), published);
  ::Window root = 0;
  int x = 0, y = 0;
  unsigned int width = 0, height = 0, border = 0, depth = 0;
  ASSERT_TRUE(XGetGeometry(d, published, &root, &x, &y, &width, &height, &border, &depth));
  EXPECT_EQ(width, 1280u);
  EXPECT_EQ(height, 720u);

  auto screen = vz::OpenX11ScreenSource(vz::X11ScreenOptions{server.display(), false});
  ASSERT_NE(screen, nullptr);
  ASSERT_TRUE(screen->CompositionEnabled());
  const int t = 5 * 255 / 720;
  const uint32_t gradient = (static_cast<uint32_t>(30 + t / 3) << 16) | (static_cast<uint32_t>(70 + t / 2) << 8) |
                            static_cast<uint32_t>(140 + t / 3);
  uint32_t shown = 0;
  for (const uint64_t deadline = vz::MonotonicMs() + 30000; vz::MonotonicMs() < deadline; vz::SleepMs(50)) {
    if ((shown = ScreenColour(*screen, 3, 5)) == gradient) break;
  }
  EXPECT_EQ(shown, gradient) << std::hex << "the composed desktop shows 0x" << shown;

  desktop.reset();
  EXPECT_EQ(vz::ReadRootPictureProperty(d, "_XROOTPMAP_ID"), own);
  EXPECT_EQ(vz::ReadRootPictureProperty(d, "ESETROOT_PMAP_ID"), own);
  compositor.reset();
  XFreePixmap(d, own);
  XCloseDisplay(d);
}

}  // namespace

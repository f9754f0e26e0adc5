// The X11 screen source against the test program's private X server.
// gtest comes before Xlib, whose macros (None, Bool) would break it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/screen/screen_source.h"
#include "platform/clock.h"
#include "platform/test_requirement_testlib.h"
#include "platform/ui/display_probe.h"
#include "platform/ui/display_test_env_testlib.h"
#include "platform/ui/x11_client_identity.h"
#include "platform/ui/x11_foreign_window_testlib.h"
#include "platform/ui/x11_root_paint_testlib.h"
#include "platform/ui/x11_window_manager_testlib.h"
#include "platform/ui/xvfb_testlib.h"
#include "platform/screen/x11_user_placed_window_testlib.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>

namespace vz {
namespace {

// Each test on the program's shared display (skipped when there is none),
// with a connection of the test's own (`d`, its root `root`) standing in for
// other clients and for the window manager, which Xvfb does not have.
class X11ScreenSourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!env_.available()) VZ_SKIP_TEST_WITHOUT(vz::kNeedsXvfb) << env_.why();
    d = XOpenDisplay(env_.display().c_str());
    ASSERT_NE(d, nullptr);
    root = DefaultRootWindow(d);
  }
  void TearDown() override {
    if (d != nullptr) XCloseDisplay(d);
  }

  // The stacking list a window manager publishes (bottom first), and its end.
  void PublishStacking(std::vector<Window> bottom_first) {
    XChangeProperty(d, root, XInternAtom(d, "_NET_CLIENT_LIST_STACKING", False), XA_WINDOW, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(bottom_first.data()), static_cast<int>(bottom_first.size()));
    XSync(d, False);
  }
  void ForgetStacking() { XDeleteProperty(d, root, XInternAtom(d, "_NET_CLIENT_LIST_STACKING", False)); }

  DisplayTestEnv& env_ = DisplayTestEnv::Get();
  Display* d = nullptr;
  Window root = 0;
};

void ExpectRectangleReadBack(const std::string& display, bool use_shm, uint32_t rgb) {
  SCOPED_TRACE(use_shm ? "through shared memory" : "through the plain read");
  ASSERT_TRUE(FillRootRectangle(display, 0, 0, 300, 200, 0x000000));
  ASSERT_TRUE(FillRootRectangle(display, 40, 30, 50, 20, rgb));

  auto source = OpenX11ScreenSource({display, use_shm});
  ASSERT_NE(source, nullptr);
  ScreenPixels pixels;
  // One pixel of margin on every side, and an odd origin.
  ASSERT_TRUE(source->ReadPixels({39, 29, 52, 22}, &pixels));
  EXPECT_EQ(X11ScreenUsedShm(source.get()), use_shm);
  ASSERT_EQ(pixels.width, 52);
  ASSERT_EQ(pixels.height, 22);
  ASSERT_GE(pixels.stride, 52 * 4);
  int wrong = 0;
  for (int y = 0; y < 22; ++y) {
    for (int x = 0; x < 52; ++x) {
      const bool inside = x >= 1 && x <= 50 && y >= 1 && y <= 20;
      const unsigned long want = inside ? rgb : 0;
      const uint8_t* p = pixels.Row(y) + x * 4;
      const unsigned long got = (static_cast<unsigned long>(p[2]) << 16) | (static_cast<unsigned long>(p[1]) << 8) | p[0];
      if (got != want || p[3] != 0xFF) ++wrong;
    }
  }
  EXPECT_EQ(wrong, 0);
  // A second, smaller read reuses the buffers and still matches.
  ASSERT_TRUE(source->ReadPixels({88, 35, 3, 2}, &pixels));
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) {
      const uint8_t* p = pixels.Row(y) + x * 4;
      EXPECT_EQ(p[2], x < 2 ? static_cast<uint8_t>(rgb >> 16) : 0) << x << "," << y;
      EXPECT_EQ(p[0], x < 2 ? static_cast<uint8_t>(rgb) : 0) << x << "," << y;
    }
  }
  EXPECT_FALSE(source->ReadPixels({1270, 0, 20, 20}, &pixels));
}

// The screen counts as composed exactly while a compositing manager owns the
// screen's selection, which the source asks anew every time.
TEST_F(X11ScreenSourceTest, CompositionFollowsTheCompositingManagersSelection) {
  auto source = OpenX11ScreenSource({env_.display(), true});
  ASSERT_NE(source, nullptr);
  EXPECT_FALSE(source->CompositionEnabled());
  {
    FakeCompositor compositor(env_.display().c_str());
    ASSERT_TRUE(compositor.ok());
    EXPECT_TRUE(source->CompositionEnabled());
  }
  // The selection goes with the compositor's connection, once the server
  // has seen it close.
  const uint64_t deadline = MonotonicMs() + 10000;
  while (source->CompositionEnabled() && MonotonicMs() < deadline) {
    ScreenPixels pixels;
    source->ReadPixels({0, 0, 1, 1}, &pixels);
  }
  EXPECT_FALSE(source->CompositionEnabled());
}

TEST_F(X11ScreenSourceTest, ARectangleOnTheRootReadsBackThroughSharedMemory) {
  ExpectRectangleReadBack(env_.display(), true, 0xC08040);
}

TEST_F(X11ScreenSourceTest, ARectangleOnTheRootReadsBackThroughThePlainRead) {
  ExpectRectangleReadBack(env_.display(), false, 0x2060A0);
}

// Colour of a B,G,R,X pixel, the X byte left out (the server's own).
unsigned long Rgb(uint32_t pixel) { return pixel & 0xFFFFFFu; }

void ExpectReadsIntoAnImage(const std::string& display, bool use_shm) {
  auto source = OpenX11ScreenSource({display, use_shm});
  ASSERT_NE(source, nullptr);
  const ScreenRect bounds = source->Bounds();
  ASSERT_TRUE(FillRootRectangle(display, 0, 0, bounds.width, 120, 0x000000));
  ASSERT_TRUE(FillRootRectangle(display, 40, 30, 50, 20, 0x3070B0));
  std::unique_ptr<ScreenImage> image = source->NewImage(bounds.width, 100);
  ASSERT_NE(image, nullptr);
  ASSERT_EQ(image->width(), bounds.width);
  // Whole rows, placed lower in the image: screen row 25 lands in image row 10.
  ASSERT_EQ(source->ReadInto({0, 25, bounds.width, 40}, image.get(), 0, 10), ScreenReadResult::kOk);
  EXPECT_EQ(X11ScreenUsedShm(source.get()), use_shm);
  int wrong = 0;
  for (int y = 10; y < 50; ++y) {
    for (int x = 0; x < 120; ++x) {
      const int sy = y - 10 + 25;
      const bool inside = x >= 40 && x < 90 && sy >= 30 && sy < 50;
      if (Rgb(image->Row(y)[x]) != (inside ? 0x3070B0u : 0u)) ++wrong;
    }
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(image->Row(9)[45], 0u) << "rows above the placement stay untouched";
  // A part of rows goes through the copy, at its place in the image.
  ASSERT_EQ(source->ReadInto({85, 45, 10, 10}, image.get(), 7, 80), ScreenReadResult::kOk);
  EXPECT_EQ(Rgb(image->Row(80)[7]), 0x3070B0u);
  EXPECT_EQ(Rgb(image->Row(80)[12]), 0u);
  EXPECT_EQ(Rgb(image->Row(85)[7]), 0u);
  // A placement beyond the image writes nothing and fails.
  EXPECT_EQ(source->ReadInto({0, 0, bounds.width, 10}, image.get(), 0, 95), ScreenReadResult::kReadFailed);
  EXPECT_EQ(source->ReadInto({0, 0, 10, 10}, image.get(), bounds.width - 5, 0), ScreenReadResult::kReadFailed);
  EXPECT_EQ(source->ReadInto({bounds.width - 5, 0, 10, 10}, image.get(), 0, 0), ScreenReadResult::kReadFailed);
  // The image may outlive its source: its segment goes with it.
  source.reset();
  EXPECT_EQ(Rgb(image->Row(20)[45]), 0x3070B0u);
  image.reset();
}

TEST_F(X11ScreenSourceTest, ReadsLandInAnImageThroughSharedMemory) {
  ExpectReadsIntoAnImage(env_.display(), true);
}

TEST_F(X11ScreenSourceTest, ReadsLandInAnImageThroughThePlainRead) {
  ExpectReadsIntoAnImage(env_.display(), false);
}

TEST_F(X11ScreenSourceTest, MonitorsAndCursorComeFromTheServer) {
  auto source = OpenX11ScreenSource({env_.display(), true});
  ASSERT_NE(source, nullptr);
  EXPECT_EQ(source->Bounds(), (ScreenRect{0, 0, 1280, 1024}));
  auto monitors = source->Monitors();
  ASSERT_FALSE(monitors.empty());
  EXPECT_EQ(monitors[0].bounds, (ScreenRect{0, 0, 1280, 1024}));
  EXPECT_FALSE(monitors[0].name.empty());
  ScreenCursor cursor;
  ASSERT_TRUE(source->ReadCursor(&cursor));
  EXPECT_GT(cursor.width, 0);
  EXPECT_EQ(cursor.argb.size(), static_cast<size_t>(cursor.width) * cursor.height);
}

TEST_F(X11ScreenSourceTest, ANewCursorShapeGetsANewSerial) {
  // A window of our own under the pointer, so no other client's cursor shows.
  Window window = XCreateSimpleWindow(d, root, 1000, 800, 100, 100, 0, 0, 0);
  XMapRaised(d, window);
  XWarpPointer(d, None, root, 0, 0, 0, 0, 1050, 850);
  Cursor arrow = XCreateFontCursor(d, XC_left_ptr);
  Cursor watch = XCreateFontCursor(d, XC_watch);
  XDefineCursor(d, window, arrow);
  XSync(d, False);

  auto source = OpenX11ScreenSource({env_.display(), true});
  ASSERT_NE(source, nullptr);
  ScreenCursor first, again, changed;
  ASSERT_TRUE(source->ReadCursor(&first));
  ASSERT_TRUE(source->ReadCursor(&again));
  EXPECT_EQ(first.serial, again.serial);
  XDefineCursor(d, window, watch);
  XSync(d, False);
  ASSERT_TRUE(source->ReadCursor(&changed));
  EXPECT_NE(changed.serial, first.serial);
  EXPECT_NE(changed.argb, first.argb);

  XDestroyWindow(d, window);
  XFreeCursor(d, arrow);
  XFreeCursor(d, watch);
  XSync(d, False);
}

TEST_F(X11ScreenSourceTest, WindowsComeInStackingOrderWithTitleAndPid) {
  Window lower = XCreateSimpleWindow(d, root, 100, 120, 200, 150, 0, 0, 0);
  Window upper = XCreateSimpleWindow(d, root, 150, 160, 80, 60, 0, 0, 0);
  const std::string title = "Grüße — notes";
  Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
  XChangeProperty(d, upper, XInternAtom(d, "_NET_WM_NAME", False), utf8, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(title.data()), static_cast<int>(title.size()));
  XStoreName(d, lower, "plain name");
  long pid = getpid();
  XChangeProperty(d, upper, XInternAtom(d, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&pid), 1);
  XMapWindow(d, lower);
  XMapWindow(d, upper);
  // What a window manager publishes; one id of a window that no longer exists.
  Window gone = XCreateSimpleWindow(d, root, 0, 0, 10, 10, 0, 0, 0);
  XDestroyWindow(d, gone);
  PublishStacking({lower, gone, upper});

  auto source = OpenX11ScreenSource({env_.display(), true});
  ASSERT_NE(source, nullptr);
  auto windows = source->Windows();
  ASSERT_EQ(windows.size(), 2u);
  EXPECT_EQ(windows[0].id, lower);
  EXPECT_EQ(windows[0].title, "plain name");
  EXPECT_EQ(windows[0].pid, 0);
  EXPECT_EQ(windows[0].bounds, (ScreenRect{100, 120, 200, 150}));
  EXPECT_EQ(windows[1].id, upper);
  EXPECT_EQ(windows[1].title, title);
  EXPECT_EQ(windows[1].pid, getpid());
  EXPECT_TRUE(windows[1].visible);

  ForgetStacking();
  XDestroyWindow(d, lower);
  XDestroyWindow(d, upper);
  XSync(d, False);
}

// Other programs' names as they write them: _NET_WM_NAME first; else
// WM_NAME by its type, Latin-1 (STRING), compound text, or UTF-8 (as some
// programs write it).
TEST_F(X11ScreenSourceTest, NamesAreReadByTheirType) {
  const Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
  auto named = [&](int x, Atom type, const std::string& bytes) {
    Window w = XCreateSimpleWindow(d, root, x, 40, 60, 40, 0, 0, 0);
    XChangeProperty(d, w, XA_WM_NAME, type, 8, PropModeReplace, reinterpret_cast<const unsigned char*>(bytes.data()),
                    static_cast<int>(bytes.size()));
    XMapWindow(d, w);
    return w;
  };
  const Window latin1 = named(0, XA_STRING, "Caf\xE9 cr\xE8me");
  // Compound text, made by Xlib from UTF-8 (Cyrillic and Han: no Latin-1).
  const std::string mixed = "Réunion Встреча 会议";
  char* list[] = {const_cast<char*>(mixed.c_str())};
  XTextProperty compound{};
  ASSERT_EQ(Xutf8TextListToTextProperty(d, list, 1, XCompoundTextStyle, &compound), Success);
  const Window compound_window = XCreateSimpleWindow(d, root, 80, 40, 60, 40, 0, 0, 0);
  XSetWMName(d, compound_window, &compound);
  XFree(compound.value);
  XMapWindow(d, compound_window);
  const Window utf8_window = named(160, utf8, "Grüße");
  const Window both = named(240, XA_STRING, "old");
  const std::string net = "Neu — ново";
  XChangeProperty(d, both, XInternAtom(d, "_NET_WM_NAME", False), utf8, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(net.data()), static_cast<int>(net.size()));
  // Of a type no name has: no name.
  const Window odd = XCreateSimpleWindow(d, root, 320, 40, 60, 40, 0, 0, 0);
  const long number = 7;
  XChangeProperty(d, odd, XA_WM_NAME, XA_CARDINAL, 32, PropModeReplace, reinterpret_cast<const unsigned char*>(&number),
                  1);
  XMapWindow(d, odd);
  PublishStacking({latin1, compound_window, utf8_window, both, odd});

  auto source = OpenX11ScreenSource({env_.display(), true});
  ASSERT_NE(source, nullptr);
  const auto windows = source->Windows();
  ASSERT_EQ(windows.size(), 5u);
  EXPECT_EQ(windows[0].title, "Café crème");
  EXPECT_EQ(windows[1].title, mixed);
  EXPECT_EQ(windows[2].title, "Grüße");
  EXPECT_EQ(windows[3].title, net);
  EXPECT_EQ(windows[4].title, "");

  ForgetStacking();
  for (Window w : {latin1, compound_window, utf8_window, both, odd}) XDestroyWindow(d, w);
  XSync(d, False);
}

// A process id counts only with the machine it is of: a window of another
// host (WM_CLIENT_MACHINE) names no process here.
TEST_F(X11ScreenSourceTest, AProcessIdCountsOnlyForAWindowOfThisMachine) {
  auto make = [&](const char* machine) {
    Window w = XCreateSimpleWindow(d, root, 10, 10, 100, 80, 0, 0, 0);
    long pid = 4321;
    XChangeProperty(d, w, XInternAtom(d, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&pid), 1);
    if (machine != nullptr) {
      XTextProperty text{};
      char* names[] = {const_cast<char*>(machine)};
      XStringListToTextProperty(names, 1, &text);
      XSetWMClientMachine(d, w, &text);
      XFree(text.value);
    }
    XMapWindow(d, w);
    return w;
  };
  const std::string host = LocalHostName();
  ASSERT_FALSE(host.empty());
  Window here = make(host.c_str()), unnamed = make(nullptr), elsewhere = make("elsewhere.example");
  PublishStacking({here, unnamed, elsewhere});

  auto source = OpenX11ScreenSource({env_.display(), true});
  ASSERT_NE(source, nullptr);
  auto windows = source->Windows();
  ASSERT_EQ(windows.size(), 3u);
  EXPECT_EQ(windows[0].pid, 4321);
  EXPECT_EQ(windows[1].pid, 4321);
  EXPECT_EQ(windows[2].pid, 0);

  ForgetStacking();
  for (Window w : {here, unnamed, elsewhere}) XDestroyWindow(d, w);
  XSync(d, False);
}

// The positions of `ids` in `windows` (-1 for one not there).
std::vector<int> PlacesOf(const std::vector<ScreenWindow>& windows, const std::vector<Window>& ids) {
  std::vector<int> places;
  for (Window id : ids) {
    int place = -1;
    for (size_t i = 0; i < windows.size(); ++i)
      if (windows[i].id == id) place = static_cast<int>(i);
    places.push_back(place);
  }
  return places;
}

// No window manager, so no stacking list: the windows are the root's own
// mapped children, bottom first. Menus and tooltips (override-redirect) and
// windows never shown are none of them.
TEST_F(X11ScreenSourceTest, WithoutAManagerTheWindowsAreTheRootsMappedChildren) {
  ForgetStacking();
  Window lower = XCreateSimpleWindow(d, root, 100, 120, 200, 150, 0, 0, 0);
  // A border: the place is the inside's, as for a client in a frame.
  Window upper = XCreateSimpleWindow(d, root, 150, 160, 80, 60, 3, 0, 0);
  XStoreName(d, upper, "upper");
  XSetWindowAttributes popup_attributes{};
  popup_attributes.override_redirect = True;
  Window menu = XCreateWindow(d, root, 20, 20, 90, 90, 0, CopyFromParent, InputOutput, CopyFromParent,
                              CWOverrideRedirect, &popup_attributes);
  Window hidden = XCreateSimpleWindow(d, root, 30, 30, 90, 90, 0, 0, 0);
  for (Window w : {lower, upper, menu}) XMapWindow(d, w);
  XRaiseWindow(d, upper);
  XSync(d, False);

  auto source = OpenX11ScreenSource({env_.display(), true});
  ASSERT_NE(source, nullptr);
  const auto windows = source->Windows();
  const std::vector<int> places = PlacesOf(windows, {lower, upper, menu, hidden});
  ASSERT_GE(places[0], 0);
  EXPECT_GT(places[1], places[0]);
  EXPECT_EQ(places[2], -1);
  EXPECT_EQ(places[3], -1);
  ASSERT_GE(places[1], 0);
  EXPECT_EQ(windows[places[1]].title, "upper");
  EXPECT_EQ(windows[places[1]].bounds, (ScreenRect{153, 163, 80, 60}));
  EXPECT_TRUE(windows[places[1]].visible);

  for (Window w : {lower, upper, menu, hidden}) XDestroyWindow(d, w);
  XSync(d, False);
}

// Without a manager the windows are the root's children: a watching source
// is told of their moves, maps and new ones instead of reading each again.
TEST_F(X11ScreenSourceTest, WithoutAManagerAWatchingSourceIsToldOfMovesMapsAndNewWindows) {
  ForgetStacking();
  Window moved = XCreateSimpleWindow(d, root, 100, 120, 200, 150, 0, 0, 0);
  Window later_mapped = XCreateSimpleWindow(d, root, 300, 120, 50, 40, 0, 0, 0);
  XMapWindow(d, moved);
  XSync(d, False);
  auto source = OpenX11ScreenSource({env_.display(), true, true});
  ASSERT_NE(source, nullptr);
  auto windows = source->Windows();
  std::vector<int> places = PlacesOf(windows, {moved, later_mapped});
  ASSERT_GE(places[0], 0);
  EXPECT_EQ(places[1], -1);
  const size_t read = X11RootChildReadsForTesting(source.get());

  XMoveResizeWindow(d, moved, 60, 70, 210, 160);
  XMapWindow(d, later_mapped);
  Window created = XCreateSimpleWindow(d, root, 400, 300, 30, 20, 2, 0, 0);
  XMapWindow(d, created);
  XSync(d, False);
  windows = source->Windows();
  places = PlacesOf(windows, {moved, later_mapped, created});
  ASSERT_GE(places[0], 0);
  ASSERT_GE(places[1], 0);
  ASSERT_GE(places[2], 0);
  EXPECT_EQ(windows[places[0]].bounds, (ScreenRect{60, 70, 210, 160}));
  EXPECT_EQ(windows[places[2]].bounds, (ScreenRect{402, 302, 30, 20}));
  EXPECT_EQ(X11RootChildReadsForTesting(source.get()), read);

  XUnmapWindow(d, moved);
  XSync(d, False);
  EXPECT_EQ(PlacesOf(source->Windows(), {moved})[0], -1);

  for (Window w : {moved, later_mapped, created}) XDestroyWindow(d, w);
  XSync(d, False);
}

// twm frames the windows and publishes no stacking list: each is found
// inside its frame (the client's own window, where its client area is),
// bottom first; a minimised one is still listed, as minimised; no window
// of twm's own shows.
TEST(X11ScreenSourceTwmTest, UnderAManagerWithoutEwmhTheClientsAreFoundInsideTheirFrames) {
  XvfbServer server;
  std::string why;
  if (!server.Start(&why, 1024, 768)) VZ_SKIP_TEST_WITHOUT(vz::kNeedsXvfb) << why;
  auto twm = X11WindowManager::Start("twm", server.display(), 30000, &why);
  if (!twm) VZ_SKIP_TEST_WITHOUT(NeedsPackage("twm")) << why;
  Display* d = XOpenDisplay(server.display().c_str());
  ASSERT_NE(d, nullptr);
  std::vector<Window> clients;
  for (int i = 0; i < 3; ++i) {
    const int x = 50 + i * 300, y = 100;
    Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), x, y, 200, 150, 0, 0, 0);
    SetUserPlacedWindowHints(d, w, x, y, 200, 150, "client " + std::to_string(i), "client", "Client");
    XMapRaised(d, w);
    clients.push_back(w);
  }
  XSync(d, False);
  auto source = OpenX11ScreenSource({server.display(), true});
  ASSERT_NE(source, nullptr);
  auto framed = [&](const std::vector<ScreenWindow>& windows) {
    const std::vector<int> places = PlacesOf(windows, clients);
    if (places[0] < 0 || places[1] <= places[0] || places[2] <= places[1]) return false;
    for (int place : places) {
      Window root = 0, parent = 0, *children = nullptr;
      unsigned int count = 0;
      XQueryTree(d, windows[place].id, &root, &parent, &children, &count);
      if (children) XFree(children);
      if (parent == root || !windows[place].visible) return false;
    }
    return true;
  };
  std::vector<ScreenWindow> windows = source->Windows();
  const uint64_t deadline = MonotonicMs() + 30000;
  while (!framed(windows) && MonotonicMs() < deadline) {
    SleepMs(20);
    windows = source->Windows();
  }
  ASSERT_TRUE(framed(windows));
  // twm's icon manager is a client of twm's own, never shown here.
  EXPECT_EQ(std::count_if(windows.begin(), windows.end(),
                          [](const ScreenWindow& w) { return w.visible || w.minimized; }),
            3);
  const std::vector<int> places = PlacesOf(windows, clients);
  const ScreenWindow& middle = windows[places[1]];
  EXPECT_EQ(middle.title, "client 1");
  int x = 0, y = 0;
  Window child = 0;
  XTranslateCoordinates(d, clients[1], DefaultRootWindow(d), 0, 0, &x, &y, &child);
  EXPECT_EQ(middle.bounds, (ScreenRect{x, y, 200, 150}));
  EXPECT_FALSE(middle.minimized);

  // Minimised: unmapped in its frame, its WM_STATE iconic.
  ASSERT_TRUE(IconifyDisplayWindow(server.display(), clients[1]));
  bool minimized = false;
  while (!minimized && MonotonicMs() < deadline) {
    for (const ScreenWindow& w : source->Windows())
      if (w.id == clients[1] && w.minimized && !w.visible) minimized = true;
    if (!minimized) SleepMs(20);
  }
  EXPECT_TRUE(minimized);

  for (Window w : clients) XDestroyWindow(d, w);
  XCloseDisplay(d);
}

TEST_F(X11ScreenSourceTest, WindowsCarryOwnerClassTypeAndHiddenState) {
  Window main_window = XCreateSimpleWindow(d, root, 10, 10, 300, 200, 0, 0, 0);
  Window dialog = XCreateSimpleWindow(d, root, 50, 50, 100, 80, 0, 0, 0);
  Window panel = XCreateSimpleWindow(d, root, 0, 1000, 1280, 24, 0, 0, 0);
  Window menu = XCreateSimpleWindow(d, root, 60, 60, 90, 200, 0, 0, 0);
  XSetTransientForHint(d, dialog, main_window);
  char name[] = "editor", class_name[] = "Editor";
  XClassHint hint{name, class_name};
  XSetClassHint(d, main_window, &hint);
  auto set_atoms = [&](Window w, const char* property, const char* value) {
    Atom atom = XInternAtom(d, value, False);
    XChangeProperty(d, w, XInternAtom(d, property, False), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&atom), 1);
  };
  set_atoms(panel, "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_DOCK");
  set_atoms(menu, "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_POPUP_MENU");
  set_atoms(dialog, "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_DIALOG");
  set_atoms(main_window, "_NET_WM_STATE", "_NET_WM_STATE_HIDDEN");  // minimised, still listed
  for (Window w : {main_window, dialog, panel, menu}) XMapWindow(d, w);
  PublishStacking({main_window, dialog, panel, menu});

  auto source = OpenX11ScreenSource({env_.display(), true});
  ASSERT_NE(source, nullptr);
  auto windows = source->Windows();
  ASSERT_EQ(windows.size(), 4u);
  EXPECT_EQ(windows[0].class_name, "Editor");
  EXPECT_TRUE(windows[0].minimized);
  EXPECT_EQ(windows[0].owner, 0u);
  EXPECT_EQ(windows[0].kind, ScreenWindowKind::kNormal);
  EXPECT_EQ(windows[1].owner, main_window);
  EXPECT_FALSE(windows[1].minimized);
  EXPECT_EQ(windows[1].kind, ScreenWindowKind::kNormal);
  EXPECT_EQ(windows[2].kind, ScreenWindowKind::kDock);
  EXPECT_EQ(windows[3].kind, ScreenWindowKind::kPopup);
  EXPECT_TRUE(windows[3].class_name.empty());

  ForgetStacking();
  for (Window w : {main_window, dialog, panel, menu}) XDestroyWindow(d, w);
  XSync(d, False);
}

// The list is asked for on every capture round: what a window's properties
// say is read once, and again only after the window changed one; its place
// is read every time.
TEST_F(X11ScreenSourceTest, APropertyChangedSinceTheLastListIsReadAgainAndNothingElse) {
  Window named = XCreateSimpleWindow(d, root, 10, 10, 300, 200, 0, 0, 0);
  Window other = XCreateSimpleWindow(d, root, 400, 10, 100, 80, 0, 0, 0);
  XStoreName(d, named, "before");
  for (Window w : {named, other}) XMapWindow(d, w);
  PublishStacking({named, other});
  auto source = OpenX11ScreenSource({env_.display(), true, true});
  ASSERT_NE(source, nullptr);
  auto windows = source->Windows();
  ASSERT_EQ(windows.size(), 2u);
  EXPECT_EQ(windows[0].title, "before");
  EXPECT_FALSE(windows[1].minimized);
  EXPECT_EQ(X11WindowFactsReadsForTesting(source.get()), 2u);

  XStoreName(d, named, "after");
  Atom hidden = XInternAtom(d, "_NET_WM_STATE_HIDDEN", False);
  XChangeProperty(d, other, XInternAtom(d, "_NET_WM_STATE", False), XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&hidden), 1);
  XSync(d, False);
  windows = source->Windows();
  ASSERT_EQ(windows.size(), 2u);
  EXPECT_EQ(windows[0].title, "after");
  EXPECT_TRUE(windows[1].minimized);
  EXPECT_EQ(X11WindowFactsReadsForTesting(source.get()), 4u);

  XMoveWindow(d, named, 30, 40);
  XSync(d, False);
  windows = source->Windows();
  ASSERT_EQ(windows.size(), 2u);
  EXPECT_EQ(windows[0].bounds, (ScreenRect{30, 40, 300, 200}));
  EXPECT_EQ(X11WindowFactsReadsForTesting(source.get()), 4u);

  ForgetStacking();
  for (Window w : {named, other}) XDestroyWindow(d, w);
  XSync(d, False);
}

TEST_F(X11ScreenSourceTest, WindowIconsAreTheWindowsOwnSizesAndNoneWhenItSetsNone) {
  Window with_icons = XCreateSimpleWindow(d, root, 10, 10, 100, 80, 0, 0, 0);
  Window without = XCreateSimpleWindow(d, root, 20, 20, 100, 80, 0, 0, 0);
  Window damaged = XCreateSimpleWindow(d, root, 30, 30, 100, 80, 0, 0, 0);
  const Atom icon_atom = XInternAtom(d, "_NET_WM_ICON", False);
  // Format-32 data goes to Xlib as longs: a 2x2 then a 3x1 icon.
  std::vector<long> icons{2, 2, static_cast<long>(0xFF102030), static_cast<long>(0x80FFFFFF), 0, 1,
                          3, 1, static_cast<long>(0xFFFF0000), static_cast<long>(0xFF00FF00),
                          static_cast<long>(0xFF0000FF)};
  XChangeProperty(d, with_icons, icon_atom, XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(icons.data()), static_cast<int>(icons.size()));
  // A 1x1 icon, then a size that claims far more pixels than follow.
  std::vector<long> lying{1, 1, static_cast<long>(0xFFABCDEF), 64, 64, 1, 2, 3};
  XChangeProperty(d, damaged, icon_atom, XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(lying.data()), static_cast<int>(lying.size()));
  Window gone = XCreateSimpleWindow(d, root, 0, 0, 10, 10, 0, 0, 0);
  XDestroyWindow(d, gone);
  XSync(d, False);

  auto source = OpenX11ScreenSource({env_.display(), true});
  ASSERT_NE(source, nullptr);
  const std::vector<ScreenIcon> read = source->WindowIcons(with_icons);
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[0].width, 2);
  EXPECT_EQ(read[0].height, 2);
  EXPECT_EQ(read[0].argb, (std::vector<uint32_t>{0xFF102030, 0x80FFFFFF, 0, 1}));
  EXPECT_EQ(read[1].width, 3);
  EXPECT_EQ(read[1].argb, (std::vector<uint32_t>{0xFFFF0000, 0xFF00FF00, 0xFF0000FF}));
  EXPECT_TRUE(source->WindowIcons(without).empty());
  const std::vector<ScreenIcon> kept = source->WindowIcons(damaged);
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(kept[0].argb, (std::vector<uint32_t>{0xFFABCDEF}));
  EXPECT_TRUE(source->WindowIcons(gone).empty());  // no error escapes either

  for (Window w : {with_icons, without, damaged}) XDestroyWindow(d, w);
  XSync(d, False);
}

// A program that publishes a 1024 pixel icon first and its smaller sizes
// after it: the whole property is read, every size seen. One whose
// property runs past the most that is read keeps the icons before the cut.
TEST_F(X11ScreenSourceTest, ALargeFirstIconLeavesTheSmallerSizesAfterItReadable) {
  auto icon = [](long side, uint32_t argb) {
    std::vector<long> items{side, side};
    items.insert(items.end(), static_cast<size_t>(side * side), static_cast<long>(argb));
    return items;
  };
  auto publish = [&](Window w, const std::vector<std::vector<long>>& icons) {
    std::vector<long> items;
    for (const auto& one : icons) items.insert(items.end(), one.begin(), one.end());
    XChangeProperty(d, w, XInternAtom(d, "_NET_WM_ICON", False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(items.data()), static_cast<int>(items.size()));
  };
  Window sizes = XCreateSimpleWindow(d, root, 10, 10, 100, 80, 0, 0, 0);
  publish(sizes, {icon(1024, 0xFF101010), icon(48, 0xFF484848), icon(32, 0xFF323232), icon(16, 0xFF161616)});
  Window too_long = XCreateSimpleWindow(d, root, 10, 10, 100, 80, 0, 0, 0);
  publish(too_long, {icon(1024, 0xFF101010), icon(1024, 0xFF202020), icon(32, 0xFF323232)});
  XSync(d, False);

  auto source = OpenX11ScreenSource({env_.display(), true});
  ASSERT_NE(source, nullptr);
  const std::vector<ScreenIcon> read = source->WindowIcons(sizes);
  ASSERT_EQ(read.size(), 4u);
  EXPECT_EQ(read[0].width, 1024);
  EXPECT_EQ(read[0].argb.back(), 0xFF101010u);
  EXPECT_EQ(read[2].width, 32);
  EXPECT_EQ(read[2].argb, std::vector<uint32_t>(32 * 32, 0xFF323232u));
  EXPECT_EQ(read[3].width, 16);
  const std::vector<ScreenIcon> cut = source->WindowIcons(too_long);
  ASSERT_EQ(cut.size(), 1u);
  EXPECT_EQ(cut[0].argb.back(), 0xFF101010u);

  for (Window w : {sizes, too_long}) XDestroyWindow(d, w);
  XSync(d, False);
}

}  // namespace
}  // namespace vz

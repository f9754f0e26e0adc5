// The X11 backend on a private Xvfb: real windows, real events.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/run_loop.h"
#include "platform/ui/display_probe.h"
#include "platform/ui/display_window_test_testlib.h"
#include "platform/ui/input_injector.h"
#include "platform/ui/window.h"
#include "platform/screen/screen_source.h"
#include "platform/ui/x11_client_identity.h"
#include "platform/ui/x11_desk_testlib.h"
#include "platform/ui/x11_error_trap.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <unistd.h>

namespace vz {
namespace {

using X11WindowTest = DisplayWindowTest;
using X11WindowManagerTest = TwmDisplayWindowTest;

class Probe : public WindowDelegate {
 public:
  explicit Probe(Color color) : color_(color) {}
  void OnPaint(Canvas& canvas) override {
    ++paints;
    painted_size = canvas.size();
    canvas.FillRect({0, 0, canvas.size().width, canvas.size().height}, color_);
  }
  void OnMouse(const MouseEvent& e) override {
    if (e.action == MouseAction::kPress) presses.push_back(e.position);
  }
  bool OnKey(const KeyEvent& e) override {
    if (e.pressed) {
      text += e.text;
      keysyms.push_back(e.keysym);
    }
    return true;
  }
  void OnFocus(bool f) override { focused = f; }
  int paints = 0;
  Size painted_size;
  std::vector<Point> presses;
  std::string text;
  std::vector<uint32_t> keysyms;
  bool focused = false;

 private:
  Color color_;
};

TEST_F(X11WindowTest, ARealWindowPaintsTakesClicksAndTypedText) {
  EXPECT_EQ(system_->ScreenBounds(), (Rect{0, 0, 1280, 1024}));
  EXPECT_FALSE(system_->HasCompositor());
  ASSERT_FALSE(system_->Monitors().empty());

  Probe top_d(0xFF202020), child_d(0xFFFF0000);
  WindowParams params;
  params.bounds = Rect::FromXYWH(100, 100, 200, 100);
  params.title = "probe";
  params.flags = kWindowOverrideRedirect;
  auto top = system_->CreateWindow(params, &top_d);
  ASSERT_TRUE(top);
  EXPECT_NE(top->NativeId(), 0u);
  WindowParams child_params;
  child_params.parent = top.get();
  child_params.bounds = Rect::FromXYWH(10, 10, 50, 30);
  auto child = system_->CreateWindow(child_params, &child_d);
  child->Show();
  top->Show();
  const bool shown = RunUntil([&] { return top_d.paints > 0 && top_d.focused; });
  ASSERT_TRUE(shown) << "paints " << top_d.paints << " focused " << top_d.focused;
  child->Focus();

  std::unique_ptr<InputInjector> injector = OpenInjector();
  ASSERT_TRUE(injector);
  injector->Click({115, 115});
  injector->Click({250, 150});
  ASSERT_TRUE(RunUntil([&] { return !top_d.presses.empty() && !child_d.presses.empty(); }));
  EXPECT_EQ(child_d.presses[0], (Point{5, 5}));
  EXPECT_EQ(top_d.presses[0], (Point{150, 50}));

  injector->TypeAscii("Ab1");
  injector->Tap(keys::kReturn);
  ASSERT_TRUE(RunUntil([&] { return child_d.keysyms.size() >= 4; }));
  EXPECT_EQ(child_d.text, "Ab1");
  EXPECT_EQ(child_d.keysyms.back(), keys::kReturn);

  // An empty input shape: the click goes to what is below (nothing of ours).
  top->SetInputShape({});
  injector->Click({250, 150});
  injector->Sync();
  system_->Sync();
  loop_.RunUntilIdle();
  EXPECT_EQ(top_d.presses.size(), 1u);
  child.reset();
  top.reset();
}

// Moves that queue up are given as one, the latest; a run that went away
// and came back to where the window last saw the pointer still tells it
// that the pointer moved.
TEST_F(X11WindowTest, AQueuedRunOfMovesThatComesBackStillReportsAMove) {
  struct Moves : Probe {
    Moves() : Probe(0xFF202020) {}
    void OnMouse(const MouseEvent& e) override {
      if (e.action == MouseAction::kMove) seen.push_back(e.position);
    }
    std::vector<Point> seen;
  } probe;
  WindowParams params;
  params.bounds = Rect::FromXYWH(100, 100, 200, 100);
  params.flags = kWindowOverrideRedirect;
  auto top = system_->CreateWindow(params, &probe);
  ASSERT_TRUE(top);
  top->Show();
  ASSERT_TRUE(RunUntil([&] { return probe.paints > 0; }));
  std::unique_ptr<InputInjector> injector = OpenInjector();
  ASSERT_TRUE(injector);
  injector->MoveTo({150, 150});
  injector->Sync();
  ASSERT_TRUE(RunUntil([&] { return !probe.seen.empty() && probe.seen.back() == Point{50, 50}; }));
  probe.seen.clear();
  // Away and back before the window reads its queue.
  injector->MoveTo({170, 150});
  injector->MoveTo({150, 150});
  injector->Sync();
  system_->Sync();
  ASSERT_TRUE(RunUntil([&] { return !probe.seen.empty() && probe.seen.back() == Point{50, 50}; }));
  EXPECT_NE(std::find(probe.seen.begin(), probe.seen.end(), Point{70, 50}), probe.seen.end());
  top.reset();
}

TEST_F(X11WindowTest, ClipboardTextComesBackToItsOwnRequest) {
  system_->SetClipboardText("pasted ü");
  std::string got = "none";
  bool done = false;
  system_->RequestClipboardText([&](std::string text) {
    got = std::move(text);
    done = true;
  });
  ASSERT_TRUE(RunUntil([&] { return done; }));
  EXPECT_EQ(got, "pasted ü");
}

}  // namespace
}  // namespace vz

namespace vz {
namespace {

const DisplayWindowInfo* FindById(const std::vector<DisplayWindowInfo>& list, uint64_t id) {
  for (const DisplayWindowInfo& w : list) {
    if (w.id == id) return &w;
  }
  return nullptr;
}

// A window's place in the stacking order (bottom first); -1 when not listed.
int IndexOf(const std::vector<DisplayWindowInfo>& list, uint64_t id) {
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i].id == id) return static_cast<int>(i);
  }
  return -1;
}

TEST_F(X11WindowTest, PlacementStackingTitleAndVisibilityReachTheDisplay) {
  Probe a_d(0xFF000000), b_d(0xFFFFFFFF);
  WindowParams params;
  params.flags = kWindowOverrideRedirect;
  params.bounds = Rect::FromXYWH(10, 20, 30, 40);
  params.title = "first";
  auto a = system_->CreateWindow(params, &a_d);
  params.title = "second";
  auto b = system_->CreateWindow(params, &b_d);
  ASSERT_TRUE(a && b);
  a->Show(false);
  b->Show(false);
  system_->Sync();
  std::vector<DisplayWindowInfo> list = ListDisplayWindows(display().c_str());
  const DisplayWindowInfo* first = FindById(list, a->NativeId());
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(first->viewable);
  EXPECT_EQ(first->title, "first");
  EXPECT_EQ(first->bounds, Rect::FromXYWH(10, 20, 30, 40));
  EXPECT_LT(IndexOf(list, a->NativeId()), IndexOf(list, b->NativeId()));  // shown later: above

  a->Raise();
  a->SetBounds(Rect::FromXYWH(100, 110, 50, 60));
  a->SetTitle("renamed ü");
  b->Hide();
  system_->Sync();
  list = ListDisplayWindows(display().c_str());
  EXPECT_GT(IndexOf(list, a->NativeId()), IndexOf(list, b->NativeId()));
  first = FindById(list, a->NativeId());
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->bounds, Rect::FromXYWH(100, 110, 50, 60));
  EXPECT_EQ(first->title, "renamed ü");
  EXPECT_FALSE(FindById(list, b->NativeId())->viewable);
  // The back buffer follows the new size.
  ASSERT_TRUE(RunUntil([&] { return a_d.paints > 0; }));
  EXPECT_EQ(a_d.painted_size, (Size{50, 60}));

  const uint64_t gone = a->NativeId();
  a.reset();
  system_->Sync();
  const std::vector<DisplayWindowInfo> after = ListDisplayWindows(display().c_str());
  EXPECT_EQ(FindById(after, gone), nullptr);
}

// Every top-level window says which process of which machine made it, as
// toolkits do: what lists of windows (the capture side's among them) leave
// the program's own windows out by.
TEST_F(X11WindowTest, EveryTopLevelWindowNamesItsProcessAndMachine) {
  Display* d = XOpenDisplay(display().c_str());
  ASSERT_NE(d, nullptr);
  Probe probe(0xFF336699);
  std::vector<std::unique_ptr<Window>> windows;
  for (uint32_t flags : {0u, static_cast<uint32_t>(kWindowDialog), static_cast<uint32_t>(kWindowTool | kWindowTopmost),
                         static_cast<uint32_t>(kWindowOverrideRedirect | kWindowTopmost | kWindowNoActivate),
                         static_cast<uint32_t>(kWindowOverrideRedirect | kWindowTranslucent)}) {
    WindowParams params;
    params.bounds = Rect::FromXYWH(10, 10, 60, 40);
    params.flags = flags;
    windows.push_back(system_->CreateWindow(params, &probe));
    ASSERT_NE(windows.back(), nullptr) << flags;
  }
  system_->Sync();
  const std::string host = LocalHostName();
  ASSERT_FALSE(host.empty());
  for (const auto& window : windows) {
    const auto id = static_cast<::Window>(window->NativeId());
    SCOPED_TRACE("window " + std::to_string(id));
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    ASSERT_EQ(XGetWindowProperty(d, id, XInternAtom(d, "_NET_WM_PID", False), 0, 1, False, XA_CARDINAL, &type,
                                 &format, &count, &after, &data),
              Success);
    ASSERT_NE(data, nullptr) << "window 0x" << std::hex << id << " names no process";
    EXPECT_EQ(format, 32);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(*reinterpret_cast<const long*>(data), static_cast<long>(getpid()));
    XFree(data);
    XTextProperty machine{};
    ASSERT_TRUE(XGetWMClientMachine(d, id, &machine)) << "window 0x" << std::hex << id << " names no machine";
    EXPECT_EQ(machine.encoding, XA_STRING);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(machine.value), machine.nitems), host);
    XFree(machine.value);
  }
  windows.clear();
  XCloseDisplay(d);
}

// The window layer traps errors of its requests while the capture side's
// screen source traps its own on another connection, as in the program: an
// error that no trap waits for is logged and the program goes on (the
// process has one chain of error handlers, not two that call each other).
TEST_F(X11WindowTest, AnErrorOutsideEveryTrapIsLoggedWhileTheScreenSourceTrapsItsOwn) {
  Display* d = XOpenDisplay(display().c_str());
  ASSERT_NE(d, nullptr);
  { X11ErrorTrap before(d); }
  auto source = OpenX11ScreenSource({display(), true});
  ASSERT_NE(source, nullptr);
  source->Windows();  // its own traps
  { X11ErrorTrap after(d); }
  XMapWindow(d, 0x1FFFFFF);  // no such window, and no trap
  XSync(d, False);
  {
    X11ErrorTrap trap(d);
    XMapWindow(d, 0x1FFFFFF);
    EXPECT_TRUE(trap.Failed());
  }
  XCloseDisplay(d);
}

TEST_F(X11WindowTest, AWindowStacksRightBelowAnotherProgramsWindow) {
  // Two connections: this program's and "another program's".
  WindowSystem* ours = system_.get();
  std::unique_ptr<WindowSystem> theirs = OpenDisplayWindowSystem(display().c_str());
  ASSERT_TRUE(theirs);
  Probe mine_d(0xFF000000), target_d(0xFFFFFFFF), top_d(0xFF808080);
  WindowParams params;
  params.bounds = Rect::FromXYWH(0, 0, 20, 20);
  params.flags = kWindowOverrideRedirect;
  auto target = theirs->CreateWindow(params, &target_d);
  auto top = theirs->CreateWindow(params, &top_d);
  auto mine = ours->CreateWindow(params, &mine_d);
  target->Show(false);
  top->Show(false);
  mine->Show(false);
  theirs->Sync();
  ASSERT_TRUE(mine->StackBelowNative(target->NativeId()));
  ours->Sync();
  const std::vector<DisplayWindowInfo> list = ListDisplayWindows(display().c_str());
  EXPECT_EQ(IndexOf(list, mine->NativeId()) + 1, IndexOf(list, target->NativeId()));
  EXPECT_LT(IndexOf(list, target->NativeId()), IndexOf(list, top->NativeId()));
  // A window that is not there: refused, nothing moves.
  const uint64_t gone = target->NativeId();
  target.reset();
  theirs->Sync();
  EXPECT_FALSE(mine->StackBelowNative(gone));
  EXPECT_FALSE(mine->StackBelowNative(mine->NativeId()));
}

TEST_F(X11WindowTest, ImageCursorsAreMadeAndBadHotSpotsRefused) {
  Probe d(0xFF000000);
  WindowParams params;
  params.bounds = Rect::FromXYWH(0, 0, 20, 20);
  auto window = system_->CreateWindow(params, &d);
  Image pen(32, 32);
  pen.FillForTesting(0x80FF0000);
  EXPECT_TRUE(window->SetCursorImage(pen, {5, 28}));
  EXPECT_FALSE(window->SetCursorImage(pen, {32, 0}));
  EXPECT_FALSE(window->SetCursorImage(Image(), {0, 0}));
  window->SetCursor(CursorKind::kArrow);  // back to a standard one, the image cursor freed
  system_->Sync();
}

// Paints its left half opaque and its right half fully transparent.
class HalfPainter : public WindowDelegate {
 public:
  void OnPaint(Canvas& canvas) override {
    ++paints;
    canvas.FillRect({0, 0, canvas.size().width / 2, canvas.size().height}, 0xFF00FF00);
  }
  int paints = 0;
};

TEST_F(X11WindowTest, TranslucentWindowsGetAlphaWithACompositorElseAShapeCutFromIt) {
  WindowParams params;
  params.flags = kWindowOverrideRedirect | kWindowTranslucent;
  params.bounds = Rect::FromXYWH(300, 300, 40, 20);

  HalfPainter plain_d;
  auto plain = system_->CreateWindow(params, &plain_d);
  plain->Show(false);
  ASSERT_TRUE(RunUntil([&] { return plain_d.paints > 0; }));
  system_->Sync();
  const std::vector<DisplayWindowInfo> before = ListDisplayWindows(display().c_str());
  const DisplayWindowInfo* shaped = FindById(before, plain->NativeId());
  ASSERT_NE(shaped, nullptr);
  EXPECT_NE(shaped->depth, 32);
  EXPECT_EQ(shaped->shape_extents, (Rect{0, 0, 20, 20}));  // the transparent half is cut away

  FakeCompositor compositor(display().c_str());
  ASSERT_TRUE(compositor.ok());
  EXPECT_TRUE(system_->HasCompositor());
  HalfPainter alpha_d;
  auto alpha = system_->CreateWindow(params, &alpha_d);
  alpha->Show(false);
  ASSERT_TRUE(RunUntil([&] { return alpha_d.paints > 0; }));
  system_->Sync();
  const std::vector<DisplayWindowInfo> list = ListDisplayWindows(display().c_str());
  const DisplayWindowInfo* argb = FindById(list, alpha->NativeId());
  ASSERT_NE(argb, nullptr);
  EXPECT_EQ(argb->depth, 32);
  EXPECT_EQ(argb->shape_extents, (Rect{0, 0, 40, 20}));  // whole: the alpha does the rest
}

TEST_F(X11WindowTest, TheWorkAreaIsTheDesktopsAndMonitorsKeepInsideIt) {
  EXPECT_EQ(system_->WorkArea(), (Rect{0, 0, 1280, 1024}));  // no desktop: the screen
  ASSERT_TRUE(SetDisplayWorkArea(display().c_str(), Rect::FromXYWH(0, 32, 1280, 960)));
  EXPECT_EQ(system_->WorkArea(), (Rect{0, 32, 1280, 992}));
  const std::vector<MonitorArea> monitors = system_->Monitors();
  ASSERT_FALSE(monitors.empty());
  EXPECT_EQ(monitors[0].bounds, (Rect{0, 0, 1280, 1024}));
  EXPECT_EQ(monitors[0].work_area, (Rect{0, 32, 1280, 992}));
  SetDisplayWorkArea(display().c_str(), Rect{});
}

TEST_F(X11WindowTest, AGrabbingWindowGetsClicksMadeOutsideIt) {
  Probe menu_d(0xFF202020);
  WindowParams params;
  params.flags = kWindowOverrideRedirect | kWindowNoActivate;
  params.bounds = Rect::FromXYWH(400, 400, 50, 50);
  auto menu = system_->CreateWindow(params, &menu_d);
  menu->Show(false);
  system_->Sync();
  ASSERT_TRUE(menu->Grab());
  std::unique_ptr<InputInjector> injector = OpenInjector();
  injector->Click({10, 10});
  injector->Sync();
  ASSERT_TRUE(RunUntil([&] { return !menu_d.presses.empty(); }));
  EXPECT_EQ(menu_d.presses[0], (Point{-390, -390}));  // in the menu's own coordinates
  injector->Tap(keys::kEscape);
  injector->Sync();
  ASSERT_TRUE(RunUntil([&] { return !menu_d.keysyms.empty(); }));
  EXPECT_EQ(menu_d.keysyms[0], keys::kEscape);
  menu->Ungrab();
}

}  // namespace
}  // namespace vz

namespace vz {
namespace {

// Under a window manager that decorates windows (twm, started here on a
// server of the test's own), a window the program moves itself (a dialog
// dragged by its body) lands where it was asked: the position read back is
// the client area's, and moving to it must not slide the window down by the
// title bar's height.
TEST_F(X11WindowManagerTest, AMovedWindowLandsWhereAskedUnderADecoratingManager) {
  WindowParams params;
  params.flags = kWindowDialog;
  params.title = "drag me";
  params.bounds = Rect::FromXYWH(200, 150, 300, 200);
  Probe probe(0xFF3366CC);
  auto window = system_->CreateWindow(params, &probe);
  window->Show(true);
  // Decorated: the manager took the window into a frame of its own.
  ASSERT_TRUE(RunUntil([&] { return probe.paints > 0 && Framed(window->NativeId()); }, 60000))
      << "twm did not decorate the window";
  system_->Sync();
  RunUntil([] { return false; }, 300);  // the manager's configure notices
  const Rect placed = window->bounds();
  EXPECT_EQ(placed, Rect::FromXYWH(200, 150, 300, 200)) << "placed where created";

  // Moving to where it is, as each motion of a drag does when nothing moved.
  for (int i = 0; i < 5; ++i) {
    window->Move(placed.left, placed.top);
    system_->Sync();
    RunUntil([] { return false; }, 100);
  }
  EXPECT_EQ(window->bounds(), placed);
  const std::optional<Image> first = CaptureDisplayArea(display().c_str(), placed);
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->GetPixel(1, 1) & 0xFFFFFF, 0x3366CCu) << "the client area is where it is said to be";

  // A drag by (40, 30) moves the client area by exactly that.
  window->Move(placed.left + 40, placed.top + 30);
  ASSERT_TRUE(RunUntil([&] { return window->bounds().left != placed.left; }, 30000));
  system_->Sync();
  RunUntil([] { return false; }, 300);
  EXPECT_EQ(window->bounds(), placed.Offset(40, 30));
}

}  // namespace
}  // namespace vz

namespace vz {
namespace {

// A window shown again (as the video panel is, back from full screen) is
// asked to be where the program had it; once it is there, it is another
// program's to move: such a move is not undone, though asking for a place
// the window already had brought no notice (neither the server nor twm
// answers a move that changes nothing), and though it comes before the
// program has served its window's map (it is moved here before the program
// reads any of its events, as a busy program's window is).
void ShownAgainItIsLeftWhereAnotherProgramMovesIt(WindowSystem& system, const std::string& display,
                                                 const std::function<bool(const std::function<bool()>&)>& run_until) {
  Probe probe(0xFF336699);
  WindowParams params;
  params.bounds = Rect::FromXYWH(300, 200, 320, 240);
  params.title = "moved by another program";
  auto window = system.CreateWindow(params, &probe);
  ASSERT_TRUE(window);
  X11Cover cover;
  auto at = [&](Point p) {
    system.Sync();
    cover = ReadX11Cover(display, window->NativeId());
    return cover.viewable && cover.client.left == p.x && cover.client.top == p.y;
  };
  window->Show(true);
  ASSERT_TRUE(run_until([&] { return at({300, 200}); }));
  window->Hide();
  ASSERT_TRUE(run_until([&] { return !ReadX11Cover(display, window->NativeId()).viewable; }));
  window->Show(true);
  // Shown where the program has it, as another program sees it, while this
  // one serves nothing.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  for (;;) {
    cover = ReadX11Cover(display, window->NativeId());
    if (cover.viewable && cover.client.left == 300 && cover.client.top == 200) break;
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the window was not shown again";
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }

  const Point to{520, 330};
  ASSERT_EQ(MoveDisplayWindow(display.c_str(), window->NativeId(), to, 30000), DisplayMoveResult::kAnswered);
  // The program hears of the move; whatever it asked in answer, the server
  // has done once the connection is synced.
  EXPECT_TRUE(run_until([&] { return window->bounds().left == to.x && window->bounds().top == to.y; }))
      << "the program has the window at " << window->bounds().left << "," << window->bounds().top;
  EXPECT_TRUE(at(to)) << "the window went back to " << cover.client.left << "," << cover.client.top;
}

TEST_F(X11WindowTest, ShownAgainItIsLeftWhereAnotherProgramMovesIt) {
  ShownAgainItIsLeftWhereAnotherProgramMovesIt(*system_, display(), [&](const std::function<bool()>& done) {
    return RunUntil(done, 30000);
  });
}

TEST_F(X11WindowManagerTest, ShownAgainItIsLeftWhereAnotherProgramMovesIt) {
  ShownAgainItIsLeftWhereAnotherProgramMovesIt(*system_, display(), [&](const std::function<bool()>& done) {
    return RunUntil(done, 30000);
  });
}

}  // namespace
}  // namespace vz

namespace vz {
namespace {

// A window manager of the test's own, on a server of the test's own: it
// frames each window mapped at `frame_at` and tells the window nothing of
// its frame's moves, as a manager may (the window's place inside the frame
// does not change).
class SilentFramerTest : public DisplayWindowTest {
 protected:
  void SetUp() override {
    std::string why;
    if (!server_.Start(&why, 1024, 768)) VZ_SKIP_TEST_WITHOUT(vz::kNeedsXvfb) << why;
    manager_ = XOpenDisplay(server_.display().c_str());
    ASSERT_NE(manager_, nullptr);
    XSelectInput(manager_, DefaultRootWindow(manager_), SubstructureRedirectMask);
    XSync(manager_, False);
    OpenWindowSystem(server_.display());
  }
  void TearDown() override {
    DisplayWindowTest::TearDown();
    if (manager_ != nullptr) XCloseDisplay(manager_);
  }
  // Frames the windows whose maps were asked; the frame made last, or 0.
  ::Window ServeMaps(const Rect& frame_at) {
    while (XPending(manager_) > 0) {
      XEvent event;
      XNextEvent(manager_, &event);
      if (event.type != MapRequest) continue;
      const ::Window client = event.xmaprequest.window;
      frame_ = XCreateSimpleWindow(manager_, DefaultRootWindow(manager_), frame_at.left, frame_at.top,
                                   static_cast<unsigned>(frame_at.Width()),
                                   static_cast<unsigned>(frame_at.Height()), 0, 0, 0);
      XReparentWindow(manager_, client, frame_, 0, 0);
      XMapWindow(manager_, client);
      XMapWindow(manager_, frame_);
      XSync(manager_, False);
    }
    return frame_;
  }

  Display* manager_ = nullptr;
  ::Window frame_ = 0;

 private:
  XvfbServer server_;
};

TEST_F(SilentFramerTest, TheWindowIsWhereItsFrameIsThoughTheManagerNeverSaysSo) {
  Probe probe(0xFF669933);
  WindowParams params;
  params.bounds = Rect::FromXYWH(50, 40, 320, 240);
  params.title = "framed in silence";
  auto window = system_->CreateWindow(params, &probe);
  ASSERT_TRUE(window);
  window->Show(true);
  const Rect framed = Rect::FromXYWH(400, 300, 320, 240);
  EXPECT_TRUE(RunUntil([&] {
    ServeMaps(framed);
    system_->Sync();
    return window->bounds() == framed;
  }, 30000)) << "framed, the program has it at " << window->bounds().left << "," << window->bounds().top;
  ASSERT_NE(frame_, 0u);

  const Rect moved = framed.Offset(-200, -150);
  XMoveWindow(manager_, frame_, moved.left, moved.top);
  XSync(manager_, False);
  EXPECT_TRUE(RunUntil([&] {
    system_->Sync();
    return window->bounds() == moved;
  }, 30000)) << "its frame moved, the program has it at " << window->bounds().left << "," << window->bounds().top;
}

}  // namespace
}  // namespace vz

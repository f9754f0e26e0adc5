// The X11 backend on a private Xvfb: real windows, real events.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>

#include "platform/run_loop.h"
#include "platform/ui/display_probe.h"
#include "platform/ui/display_test_env.h"
#include "platform/ui/input_injector.h"
#include "platform/ui/window.h"
#include "platform/ui/x11_foreign_window_testlib.h"
#include "platform/ui/xvfb_testlib.h"

namespace vz {
namespace {

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

TEST(X11WindowTest, ARealWindowPaintsTakesClicksAndTypedText) {
  DisplayTestEnv& env = DisplayTestEnv::Get();
  if (!env.available()) GTEST_SKIP() << env.why();
  RunLoop& loop = RunLoop::ForCurrentThread();
  std::unique_ptr<WindowSystem> system = OpenDisplayWindowSystem(env.display().c_str());
  ASSERT_TRUE(system);
  EXPECT_EQ(system->ScreenBounds(), (Rect{0, 0, 1280, 1024}));
  EXPECT_FALSE(system->HasCompositor());
  ASSERT_FALSE(system->Monitors().empty());

  Probe top_d(0xFF202020), child_d(0xFFFF0000);
  WindowParams params;
  params.bounds = Rect::FromXYWH(100, 100, 200, 100);
  params.title = "probe";
  params.flags = kWindowOverrideRedirect;
  auto top = system->CreateWindow(params, &top_d);
  ASSERT_TRUE(top);
  EXPECT_NE(top->NativeId(), 0u);
  WindowParams child_params;
  child_params.parent = top.get();
  child_params.bounds = Rect::FromXYWH(10, 10, 50, 30);
  auto child = system->CreateWindow(child_params, &child_d);
  child->Show();
  top->Show();
  const bool shown = env.RunUntil(loop, [&] { return top_d.paints > 0 && top_d.focused; });
  ASSERT_TRUE(shown) << "paints " << top_d.paints << " focused " << top_d.focused;
  child->Focus();

  std::unique_ptr<InputInjector> injector = InputInjector::Open(env.display().c_str());
  ASSERT_TRUE(injector);
  injector->Click({115, 115});
  injector->Click({250, 150});
  ASSERT_TRUE(env.RunUntil(loop, [&] { return !top_d.presses.empty() && !child_d.presses.empty(); }));
  EXPECT_EQ(child_d.presses[0], (Point{5, 5}));
  EXPECT_EQ(top_d.presses[0], (Point{150, 50}));

  injector->TypeAscii("Ab1");
  injector->Tap(keys::kReturn);
  ASSERT_TRUE(env.RunUntil(loop, [&] { return child_d.keysyms.size() >= 4; }));
  EXPECT_EQ(child_d.text, "Ab1");
  EXPECT_EQ(child_d.keysyms.back(), keys::kReturn);

  // An empty input shape: the click goes to what is below (nothing of ours).
  top->SetInputShape({});
  injector->Click({250, 150});
  injector->Sync();
  system->Sync();
  loop.RunUntilIdle();
  EXPECT_EQ(top_d.presses.size(), 1u);
  child.reset();
  top.reset();
}

// Moves that queue up are given as one, the latest; a run that went away
// and came back to where the window last saw the pointer still tells it
// that the pointer moved.
TEST(X11WindowTest, AQueuedRunOfMovesThatComesBackStillReportsAMove) {
  DisplayTestEnv& env = DisplayTestEnv::Get();
  if (!env.available()) GTEST_SKIP() << env.why();
  RunLoop& loop = RunLoop::ForCurrentThread();
  std::unique_ptr<WindowSystem> system = OpenDisplayWindowSystem(env.display().c_str());
  ASSERT_TRUE(system);
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
  auto top = system->CreateWindow(params, &probe);
  ASSERT_TRUE(top);
  top->Show();
  ASSERT_TRUE(env.RunUntil(loop, [&] { return probe.paints > 0; }));
  std::unique_ptr<InputInjector> injector = InputInjector::Open(env.display().c_str());
  ASSERT_TRUE(injector);
  injector->MoveTo({150, 150});
  injector->Sync();
  ASSERT_TRUE(env.RunUntil(loop, [&] { return !probe.seen.empty() && probe.seen.back() == Point{50, 50}; }));
  probe.seen.clear();
  // Away and back before the window reads its queue.
  injector->MoveTo({170, 150});
  injector->MoveTo({150, 150});
  injector->Sync();
  system->Sync();
  ASSERT_TRUE(env.RunUntil(loop, [&] { return !probe.seen.empty() && probe.seen.back() == Point{50, 50}; }));
  EXPECT_NE(std::find(probe.seen.begin(), probe.seen.end(), Point{70, 50}), probe.seen.end());
  top.reset();
}

TEST(X11WindowTest, ClipboardTextComesBackToItsOwnRequest) {
  DisplayTestEnv& env = DisplayTestEnv::Get();
  if (!env.available()) GTEST_SKIP() << env.why();
  RunLoop& loop = RunLoop::ForCurrentThread();
  std::unique_ptr<WindowSystem> owner = OpenDisplayWindowSystem(env.display().c_str());
  ASSERT_TRUE(owner);
  owner->SetClipboardText("pasted ü");
  std::string got = "none";
  bool done = false;
  owner->RequestClipboardText([&](std::string text) {
    got = std::move(text);
    done = true;
  });
  ASSERT_TRUE(env.RunUntil(loop, [&] { return done; }));
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

TEST(X11WindowTest, PlacementStackingTitleAndVisibilityReachTheDisplay) {
  DisplayTestEnv& env = DisplayTestEnv::Get();
  if (!env.available()) GTEST_SKIP() << env.why();
  RunLoop& loop = RunLoop::ForCurrentThread();
  std::unique_ptr<WindowSystem> system = OpenDisplayWindowSystem(env.display().c_str());
  ASSERT_TRUE(system);
  Probe a_d(0xFF000000), b_d(0xFFFFFFFF);
  WindowParams params;
  params.flags = kWindowOverrideRedirect;
  params.bounds = Rect::FromXYWH(10, 20, 30, 40);
  params.title = "first";
  auto a = system->CreateWindow(params, &a_d);
  params.title = "second";
  auto b = system->CreateWindow(params, &b_d);
  ASSERT_TRUE(a && b);
  a->Show(false);
  b->Show(false);
  system->Sync();
  std::vector<DisplayWindowInfo> list = ListDisplayWindows(env.display().c_str());
  const DisplayWindowInfo* first = FindById(list, a->NativeId());
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(first->viewable);
  EXPECT_EQ(first->title, "first");
  EXPECT_EQ(first->bounds, Rect::FromXYWH(10, 20, 30, 40));
  auto index_of = [&](uint64_t id) {
    for (size_t i = 0; i < list.size(); ++i) {
      if (list[i].id == id) return static_cast<int>(i);
    }
    return -1;
  };
  EXPECT_LT(index_of(a->NativeId()), index_of(b->NativeId()));  // shown later: above

  a->Raise();
  a->SetBounds(Rect::FromXYWH(100, 110, 50, 60));
  a->SetTitle("renamed ü");
  b->Hide();
  system->Sync();
  list = ListDisplayWindows(env.display().c_str());
  EXPECT_GT(index_of(a->NativeId()), index_of(b->NativeId()));
  first = FindById(list, a->NativeId());
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->bounds, Rect::FromXYWH(100, 110, 50, 60));
  EXPECT_EQ(first->title, "renamed ü");
  EXPECT_FALSE(FindById(list, b->NativeId())->viewable);
  // The back buffer follows the new size.
  ASSERT_TRUE(env.RunUntil(loop, [&] { return a_d.paints > 0; }));
  EXPECT_EQ(a_d.painted_size, (Size{50, 60}));

  const uint64_t gone = a->NativeId();
  a.reset();
  system->Sync();
  const std::vector<DisplayWindowInfo> after = ListDisplayWindows(env.display().c_str());
  EXPECT_EQ(FindById(after, gone), nullptr);
}

TEST(X11WindowTest, AWindowStacksRightBelowAnotherProgramsWindow) {
  DisplayTestEnv& env = DisplayTestEnv::Get();
  if (!env.available()) GTEST_SKIP() << env.why();
  // Two connections: this program's and "another program's".
  std::unique_ptr<WindowSystem> ours = OpenDisplayWindowSystem(env.display().c_str());
  std::unique_ptr<WindowSystem> theirs = OpenDisplayWindowSystem(env.display().c_str());
  ASSERT_TRUE(ours && theirs);
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
  const std::vector<DisplayWindowInfo> list = ListDisplayWindows(env.display().c_str());
  auto index_of = [&](uint64_t id) {
    for (size_t i = 0; i < list.size(); ++i) {
      if (list[i].id == id) return static_cast<int>(i);
    }
    return -1;
  };
  EXPECT_EQ(index_of(mine->NativeId()) + 1, index_of(target->NativeId()));
  EXPECT_LT(index_of(target->NativeId()), index_of(top->NativeId()));
  // A window that is not there: refused, nothing moves.
  const uint64_t gone = target->NativeId();
  target.reset();
  theirs->Sync();
  EXPECT_FALSE(mine->StackBelowNative(gone));
  EXPECT_FALSE(mine->StackBelowNative(mine->NativeId()));
}

TEST(X11WindowTest, ImageCursorsAreMadeAndBadHotSpotsRefused) {
  DisplayTestEnv& env = DisplayTestEnv::Get();
  if (!env.available()) GTEST_SKIP() << env.why();
  std::unique_ptr<WindowSystem> system = OpenDisplayWindowSystem(env.display().c_str());
  ASSERT_TRUE(system);
  Probe d(0xFF000000);
  WindowParams params;
  params.bounds = Rect::FromXYWH(0, 0, 20, 20);
  auto window = system->CreateWindow(params, &d);
  Image pen(32, 32);
  pen.Fill(0x80FF0000);
  EXPECT_TRUE(window->SetCursorImage(pen, {5, 28}));
  EXPECT_FALSE(window->SetCursorImage(pen, {32, 0}));
  EXPECT_FALSE(window->SetCursorImage(Image(), {0, 0}));
  window->SetCursor(CursorKind::kArrow);  // back to a standard one, the image cursor freed
  system->Sync();
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

TEST(X11WindowTest, TranslucentWindowsGetAlphaWithACompositorElseAShapeCutFromIt) {
  DisplayTestEnv& env = DisplayTestEnv::Get();
  if (!env.available()) GTEST_SKIP() << env.why();
  RunLoop& loop = RunLoop::ForCurrentThread();
  std::unique_ptr<WindowSystem> system = OpenDisplayWindowSystem(env.display().c_str());
  ASSERT_TRUE(system);
  WindowParams params;
  params.flags = kWindowOverrideRedirect | kWindowTranslucent;
  params.bounds = Rect::FromXYWH(300, 300, 40, 20);

  HalfPainter plain_d;
  auto plain = system->CreateWindow(params, &plain_d);
  plain->Show(false);
  ASSERT_TRUE(env.RunUntil(loop, [&] { return plain_d.paints > 0; }));
  system->Sync();
  const std::vector<DisplayWindowInfo> before = ListDisplayWindows(env.display().c_str());
  const DisplayWindowInfo* shaped = FindById(before, plain->NativeId());
  ASSERT_NE(shaped, nullptr);
  EXPECT_NE(shaped->depth, 32);
  EXPECT_EQ(shaped->shape_extents, (Rect{0, 0, 20, 20}));  // the transparent half is cut away

  FakeCompositor compositor(env.display().c_str());
  ASSERT_TRUE(compositor.ok());
  EXPECT_TRUE(system->HasCompositor());
  HalfPainter alpha_d;
  auto alpha = system->CreateWindow(params, &alpha_d);
  alpha->Show(false);
  ASSERT_TRUE(env.RunUntil(loop, [&] { return alpha_d.paints > 0; }));
  system->Sync();
  const std::vector<DisplayWindowInfo> list = ListDisplayWindows(env.display().c_str());
  const DisplayWindowInfo* argb = FindById(list, alpha->NativeId());
  ASSERT_NE(argb, nullptr);
  EXPECT_EQ(argb->depth, 32);
  EXPECT_EQ(argb->shape_extents, (Rect{0, 0, 40, 20}));  // whole: the alpha does the rest
}

TEST(X11WindowTest, TheWorkAreaIsTheDesktopsAndMonitorsKeepInsideIt) {
  DisplayTestEnv& env = DisplayTestEnv::Get();
  if (!env.available()) GTEST_SKIP() << env.why();
  std::unique_ptr<WindowSystem> system = OpenDisplayWindowSystem(env.display().c_str());
  ASSERT_TRUE(system);
  EXPECT_EQ(system->WorkArea(), (Rect{0, 0, 1280, 1024}));  // no desktop: the screen
  ASSERT_TRUE(SetDisplayWorkArea(env.display().c_str(), Rect::FromXYWH(0, 32, 1280, 960)));
  EXPECT_EQ(system->WorkArea(), (Rect{0, 32, 1280, 992}));
  const std::vector<MonitorArea> monitors = system->Monitors();
  ASSERT_FALSE(monitors.empty());
  EXPECT_EQ(monitors[0].bounds, (Rect{0, 0, 1280, 1024}));
  EXPECT_EQ(monitors[0].work_area, (Rect{0, 32, 1280, 992}));
  SetDisplayWorkArea(env.display().c_str(), Rect{});
}

TEST(X11WindowTest, AGrabbingWindowGetsClicksMadeOutsideIt) {
  DisplayTestEnv& env = DisplayTestEnv::Get();
  if (!env.available()) GTEST_SKIP() << env.why();
  RunLoop& loop = RunLoop::ForCurrentThread();
  std::unique_ptr<WindowSystem> system = OpenDisplayWindowSystem(env.display().c_str());
  ASSERT_TRUE(system);
  Probe menu_d(0xFF202020);
  WindowParams params;
  params.flags = kWindowOverrideRedirect | kWindowNoActivate;
  params.bounds = Rect::FromXYWH(400, 400, 50, 50);
  auto menu = system->CreateWindow(params, &menu_d);
  menu->Show(false);
  system->Sync();
  ASSERT_TRUE(menu->Grab());
  std::unique_ptr<InputInjector> injector = InputInjector::Open(env.display().c_str());
  injector->Click({10, 10});
  injector->Sync();
  ASSERT_TRUE(env.RunUntil(loop, [&] { return !menu_d.presses.empty(); }));
  EXPECT_EQ(menu_d.presses[0], (Point{-390, -390}));  // in the menu's own coordinates
  injector->Tap(keys::kEscape);
  injector->Sync();
  ASSERT_TRUE(env.RunUntil(loop, [&] { return !menu_d.keysyms.empty(); }));
  EXPECT_EQ(menu_d.keysyms[0], keys::kEscape);
  menu->Ungrab();
}

}  // namespace
}  // namespace vz

namespace vz {
namespace {

bool IsRootChild(const std::string& display, uint64_t id) {
  for (const DisplayWindowInfo& info : ListDisplayWindows(display.c_str())) {
    if (info.id == id) return true;
  }
  return false;
}

// Under a window manager that decorates windows (twm, started here on a
// server of the test's own), a window the program moves itself (a dialog
// dragged by its body) lands where it was asked: the position read back is
// the client area's, and moving to it must not slide the window down by the
// title bar's height.
TEST(X11WindowManagerTest, AMovedWindowLandsWhereAskedUnderADecoratingManager) {
  XvfbServer server;
  std::string why;
  if (!server.Start(&why, 1024, 768)) GTEST_SKIP() << why;
  std::unique_ptr<TwmWindowManager> twm = TwmWindowManager::Start(server.display(), &why);
  if (!twm) GTEST_SKIP() << why;

  RunLoop& loop = RunLoop::ForCurrentThread();
  std::unique_ptr<WindowSystem> system = OpenDisplayWindowSystem(server.display().c_str());
  ASSERT_TRUE(system);
  WindowParams params;
  params.flags = kWindowDialog;
  params.title = "drag me";
  params.bounds = Rect::FromXYWH(200, 150, 300, 200);
  Probe probe(0xFF3366CC);
  auto window = system->CreateWindow(params, &probe);
  window->Show(true);
  DisplayTestEnv& env = DisplayTestEnv::Get();
  // Decorated: the manager took the window into a frame of its own.
  ASSERT_TRUE(env.RunUntil(loop, [&] { return probe.paints > 0 && !IsRootChild(server.display(), window->NativeId()); },
                           60000))
      << "twm did not decorate the window";
  system->Sync();
  env.RunUntil(loop, [] { return false; }, 300);  // the manager's configure notices
  const Rect placed = window->bounds();
  EXPECT_EQ(placed, Rect::FromXYWH(200, 150, 300, 200)) << "placed where created";

  // Moving to where it is, as each motion of a drag does when nothing moved.
  for (int i = 0; i < 5; ++i) {
    window->Move(placed.left, placed.top);
    system->Sync();
    env.RunUntil(loop, [] { return false; }, 100);
  }
  EXPECT_EQ(window->bounds(), placed);
  const std::optional<Image> first = CaptureDisplayArea(server.display().c_str(), placed);
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->GetPixel(1, 1) & 0xFFFFFF, 0x3366CCu) << "the client area is where it is said to be";

  // A drag by (40, 30) moves the client area by exactly that.
  window->Move(placed.left + 40, placed.top + 30);
  ASSERT_TRUE(env.RunUntil(loop, [&] { return window->bounds().left != placed.left; }, 30000));
  system->Sync();
  env.RunUntil(loop, [] { return false; }, 300);
  EXPECT_EQ(window->bounds(), placed.Offset(40, 30));
}

}  // namespace
}  // namespace vz

// The X11 backend on a private Xvfb: real windows, real events.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "platform/run_loop.h"
#include "platform/ui/display_test_env.h"
#include "platform/ui/input_injector.h"
#include "platform/ui/window.h"

namespace vz {
namespace {

class Probe : public WindowDelegate {
 public:
  explicit Probe(Color color) : color_(color) {}
  void OnPaint(Canvas& canvas) override {
    ++paints;
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

// The overlay on a private X server, driven through XTest like a real
// mouse: with no tool a click reaches the program below, with the pen a
// drag leaves a stroke in the model and on the screen.
#include <gtest/gtest.h>

#include "client/annotation/annotation_frame.h"
#include "uikit/test_bundle_testlib.h"
#include "outside/vzres/vzres_ids.h"
#include "platform/run_loop.h"
#include "platform/test_requirement_testlib.h"
#include "platform/ui/display_probe.h"
#include "platform/ui/display_test_env_testlib.h"
#include "platform/ui/input_injector.h"
#include "platform/ui/window.h"

namespace {

// A program window below the overlay: one colour, counts its presses.
class Program : public vz::WindowDelegate {
 public:
  void OnPaint(vz::Canvas& canvas) override {
    ++paints;
    canvas.FillRect({0, 0, canvas.size().width, canvas.size().height}, 0xFF00FF00);
  }
  void OnMouse(const vz::MouseEvent& e) override {
    if (e.action == vz::MouseAction::kPress) presses.push_back(e.screen_position);
  }
  int paints = 0;
  std::vector<vz::Point> presses;
};

class Owner : public IDSAnnotationFrameOwner {
 public:
  void onMoveArrowIndicator(int, int) override {}
};

class AnnotationDisplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!env_.available()) VZ_SKIP_TEST_WITHOUT(vz::kNeedsXvfb) << env_.why();
    bundle_.Png(vzres::IDB_CURSOR_PEN, 32, 32, 0xFF000000).Install();
    system_ = vz::OpenDisplayWindowSystem(env_.display().c_str());
    ASSERT_TRUE(system_);
  }
  bool Settle(const std::function<bool()>& done) {
    return env_.RunUntil(loop_, [&] {
      system_->Sync();
      return done();
    });
  }
  bool Viewable(vz::Window* window) {
    for (const vz::DisplayWindowInfo& info : vz::ListDisplayWindows(env_.display().c_str())) {
      if (info.id == window->NativeId()) return info.viewable;
    }
    return false;
  }

  vz::DisplayTestEnv& env_ = vz::DisplayTestEnv::Get();
  vz::RunLoop& loop_ = vz::RunLoop::ForCurrentThread();
  TestBundle bundle_;
  std::unique_ptr<vz::WindowSystem> system_;
};

TEST_F(AnnotationDisplayTest, ClickThroughWithoutAToolAndAStrokeWithThePen) {
  // A compositor is announced, so the overlay gets per-pixel alpha (without
  // one its painted pixels alone would take input).
  vz::FakeCompositor compositor(env_.display().c_str());
  ASSERT_TRUE(compositor.ok());
  Program program;
  vz::WindowParams params;
  params.bounds = {0, 0, 600, 400};
  params.flags = vz::kWindowOverrideRedirect;
  params.title = "program";
  auto below = system_->CreateWindow(params, &program);
  below->Show(false);

  Owner owner;
  CDSAnnotationFrame frame;
  frame.setOwner(&owner);
  frame.setMyRosterId("me");
  vz::Window* overlay = frame.Create({50, 50, 450, 350}, system_.get());
  ASSERT_NE(overlay, nullptr);
  ASSERT_TRUE(Settle([&] { return program.paints > 0 && Viewable(below.get()) && Viewable(overlay); }));

  std::unique_ptr<vz::InputInjector> injector = vz::InputInjector::Open(env_.display().c_str());
  ASSERT_TRUE(injector);
  injector->Click({200, 200});
  injector->Sync();
  ASSERT_TRUE(Settle([&] { return program.presses.size() == 1; })) << program.presses.size();
  EXPECT_EQ(program.presses[0], (vz::Point{200, 200}));

  frame.setPen(0, 0x000000FF);  // red
  frame.setDrawTool(4);
  system_->Sync();
  injector->MoveTo({100, 150});
  injector->Button(vz::MouseButton::kLeft, true);
  for (int x = 110; x <= 300; x += 10) injector->MoveTo({x, 150});
  injector->Button(vz::MouseButton::kLeft, false);
  injector->Sync();
  ASSERT_TRUE(Settle([&] {
    return frame.drawing().count() == 1 && frame.drawing().current() == nullptr &&
           frame.drawing().at(0)->points.back() == vz::Point{250, 100};
  })) << "elements " << frame.drawing().count() << ", presses below " << program.presses.size()
      << (frame.drawing().count() > 0 ? ", last x " + std::to_string(frame.drawing().at(0)->points.back().x) : "");
  EXPECT_EQ(frame.drawing().at(0)->points.front(), (vz::Point{50, 100}));
  EXPECT_EQ(program.presses.size(), 1u);

  std::optional<vz::Image> screen;
  ASSERT_TRUE(Settle([&] {
    screen = vz::CaptureDisplayArea(env_.display().c_str(), {50, 50, 450, 350});
    return screen && screen->GetPixel(150, 100) == 0xFFFF0000u;
  }));
  EXPECT_EQ(screen->GetPixel(150, 100), 0xFFFF0000u);
  EXPECT_NE(screen->GetPixel(150, 120), 0xFFFF0000u);

  // Back to no tool: clicks pass through again.
  frame.setDrawTool(0);
  system_->Sync();
  injector->Click({300, 300});
  injector->Sync();
  ASSERT_TRUE(Settle([&] { return program.presses.size() == 2; })) << program.presses.size();
  EXPECT_EQ(frame.drawing().count(), 1);
}

}  // namespace

// The indicator windows on a private X server: the ring's shape, clicks
// passing through the frames, stacking below another program's window,
// the shadow's alpha with and without a compositor, and the arrow label
// taking clicks.
#include <gtest/gtest.h>

#include <algorithm>

#include "capture/indicators/indicator_controller.h"
#include "capture/indicators/indicator_testlib.h"
#include "capture/indicators/spotlight_indicators.h"
#include "platform/run_loop.h"
#include "platform/test_requirement_testlib.h"
#include "platform/ui/canvas.h"
#include "platform/ui/display_probe.h"
#include "platform/ui/display_test_env_testlib.h"
#include "platform/ui/input_injector.h"
#include "platform/ui/window.h"

namespace vzgrab {
namespace {

using testing::FakeHost;
using testing::FixedImages;
using testing::MakeApp;
using testing::MakeMonitor;

constexpr uint32_t kHeader = 0xff0084ff;

// A program window: one colour, counts its presses.
class Painted : public vz::WindowDelegate {
 public:
  explicit Painted(vz::Color color) : color_(color) {}
  void OnPaint(vz::Canvas& canvas) override {
    ++paints;
    canvas.FillRect({0, 0, canvas.size().width, canvas.size().height}, color_);
  }
  void OnMouse(const vz::MouseEvent& e) override {
    if (e.action == vz::MouseAction::kPress) presses.push_back(e.screen_position);
  }
  int paints = 0;
  std::vector<vz::Point> presses;

 private:
  vz::Color color_;
};

class IndicatorDisplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!env_.available()) VZ_SKIP_TEST_WITHOUT(vz::kNeedsXvfb) << env_.why();
    system_ = vz::OpenDisplayWindowSystem(env_.display().c_str());
    ASSERT_TRUE(system_);
    vz::WindowSystem::SetCurrent(system_.get());
  }
  void TearDown() override { vz::WindowSystem::SetCurrent(nullptr); }

  std::unique_ptr<vz::Window> ProgramWindow(Painted& delegate, const vz::Rect& bounds) {
    vz::WindowParams params;
    params.bounds = bounds;
    params.flags = vz::kWindowOverrideRedirect;
    params.title = "program";
    auto window = system_->CreateWindow(params, &delegate);
    window->Show(false);
    return window;
  }
  bool Settle(const std::function<bool()>& done) {
    return env_.RunUntil(loop_, [&] {
      system_->Sync();
      return done();
    });
  }
  std::optional<vz::DisplayWindowInfo> Find(uint64_t id) {
    for (const vz::DisplayWindowInfo& info : vz::ListDisplayWindows(env_.display().c_str())) {
      if (info.id == id) return info;
    }
    return std::nullopt;
  }
  // The position of a window in the stacking order, bottom first.
  int StackIndex(uint64_t id) {
    const auto list = vz::ListDisplayWindows(env_.display().c_str());
    for (size_t i = 0; i < list.size(); ++i) {
      if (list[i].id == id) return static_cast<int>(i);
    }
    return -1;
  }

  vz::DisplayTestEnv& env_ = vz::DisplayTestEnv::Get();
  vz::RunLoop& loop_ = vz::RunLoop::ForCurrentThread();
  std::unique_ptr<vz::WindowSystem> system_;
  FakeHost host_;
};

TEST_F(IndicatorDisplayTest, RingLeavesTheInsideToTheWindowBelowAndLetsClicksThrough) {
  Painted green(0xFF00FF00);
  auto below = ProgramWindow(green, {100, 100, 500, 400});
  CIndicatorController frames(host_);
  const MonitorInfo monitor = MakeMonitor(1, {100, 100, 500, 400}, {100, 100, 500, 400}, 1.0f);
  frames.ShowMonitorFrames({monitor}, kHeader);
  frames.OnRefreshDone({});
  vz::Window* ring = frames.monitor_frames()[0]->window();
  ASSERT_NE(ring, nullptr);
  ASSERT_TRUE(Settle([&] {
    auto info = Find(ring->NativeId());
    return green.paints > 0 && info && info->viewable;
  }));
  const auto info = Find(ring->NativeId());
  EXPECT_EQ(info->bounds, (vz::Rect{100, 100, 500, 400}));
  EXPECT_EQ(info->shape_rectangles, 4);
  EXPECT_EQ(info->shape_extents, (vz::Rect{0, 0, 400, 300}));
  EXPECT_GT(StackIndex(ring->NativeId()), StackIndex(below->NativeId()));

  std::optional<vz::Image> screen;
  ASSERT_TRUE(Settle([&] {
    screen = vz::CaptureDisplayArea(env_.display().c_str(), {100, 100, 500, 400});
    return screen && screen->GetPixel(0, 0) == 0xFFFF8400u && screen->GetPixel(200, 150) == 0xFF00FF00u;
  }));
  EXPECT_EQ(screen->GetPixel(4, 150), 0xFFFF8400u);   // ring
  EXPECT_EQ(screen->GetPixel(5, 150), 0xFF00FF00u);   // inside: the window below
  EXPECT_EQ(screen->GetPixel(395, 299), 0xFFFF8400u);
  EXPECT_EQ(screen->GetPixel(394, 294), 0xFF00FF00u);

  std::unique_ptr<vz::InputInjector> injector = vz::InputInjector::Open(env_.display().c_str());
  ASSERT_TRUE(injector);
  injector->Click({102, 102});  // on the ring
  injector->Click({300, 250});  // inside
  injector->Sync();
  ASSERT_TRUE(Settle([&] { return green.presses.size() == 2; })) << green.presses.size();
  EXPECT_EQ(green.presses[0], (vz::Point{102, 102}));
  EXPECT_EQ(green.presses[1], (vz::Point{300, 250}));
}

TEST_F(IndicatorDisplayTest, WindowFrameStaysRightBelowTheSharedWindow) {
  Painted shared_d(0xFF0000FF), other_d(0xFF808080);
  auto shared = ProgramWindow(shared_d, {200, 200, 600, 500});
  auto other = ProgramWindow(other_d, {700, 100, 900, 300});  // mapped after: on top
  const VzWindowHandle handle = static_cast<VzWindowHandle>(shared->NativeId());
  host_.windows[handle] = {200, 200, 600, 500};
  CIndicatorController frames(host_);
  const MonitorInfo monitor = MakeMonitor(1, {0, 0, 1280, 1024}, {0, 0, 1280, 1024}, 1.0f);
  frames.ShowWindowFrames({SharedWindowFrame{MakeApp(handle), monitor}}, kHeader);
  vz::Window* ring = frames.window_frames()[0]->window();
  ASSERT_NE(ring, nullptr);
  frames.window_frames()[0]->KeepStacking();
  ASSERT_TRUE(Settle([&] { return StackIndex(ring->NativeId()) >= 0; }));
  const int at = StackIndex(ring->NativeId());
  EXPECT_EQ(StackIndex(shared->NativeId()), at + 1);  // right below the shared window
  EXPECT_GT(StackIndex(other->NativeId()), StackIndex(shared->NativeId()));
  EXPECT_EQ(Find(ring->NativeId())->bounds, (vz::Rect{195, 195, 605, 505}));

  // The shared window gone: the step raises the frame instead.
  shared.reset();
  system_->Sync();
  frames.window_frames()[0]->KeepStacking();
  ASSERT_TRUE(Settle([&] {
    const auto list = vz::ListDisplayWindows(env_.display().c_str());
    return !list.empty() && list.back().id == ring->NativeId();
  }));
}

TEST_F(IndicatorDisplayTest, ShadowIsShapedClickThroughAndOpaqueWithoutACompositor) {
  Painted shared_d(0xFFFFFFFF);
  auto shared = ProgramWindow(shared_d, {100, 100, 500, 400});
  const VzWindowHandle handle = static_cast<VzWindowHandle>(shared->NativeId());
  host_.windows[handle] = {100, 100, 500, 400};
  CIndicatorController frames(host_);
  const MonitorInfo monitor = MakeMonitor(1, {0, 0, 1280, 1024}, {0, 0, 1280, 1024}, 1.0f);
  frames.ShowWindowFrames({SharedWindowFrame{MakeApp(handle), monitor}}, kHeader);
  frames.OnRefreshDone({VzRect{300, 250, 700, 600}});
  CIndicatorShadow* shadow = frames.window_frames()[0]->shadow();
  ASSERT_NE(shadow, nullptr);
  ASSERT_TRUE(Settle([&] {
    auto info = Find(shadow->window()->NativeId());
    return info && info->viewable;
  }));
  const auto info = Find(shadow->window()->NativeId());
  EXPECT_EQ(info->bounds, (vz::Rect{100, 100, 500, 400}));
  EXPECT_EQ(info->shape_extents, (vz::Rect{200, 150, 400, 300}));
  // Without a compositor the shadow shows in its colour, opaque.
  std::optional<vz::Image> screen;
  ASSERT_TRUE(Settle([&] {
    screen = vz::CaptureDisplayArea(env_.display().c_str(), {100, 100, 500, 400});
    return screen && screen->GetPixel(250, 200) == 0xFF7F4200u;
  }));
  EXPECT_EQ(screen->GetPixel(150, 200), 0xFFFFFFFFu);  // uncovered part untouched
  // Clicks reach the shared window through the shadow and the ring.
  std::unique_ptr<vz::InputInjector> injector = vz::InputInjector::Open(env_.display().c_str());
  ASSERT_TRUE(injector);
  injector->Click({350, 300});
  injector->Sync();
  ASSERT_TRUE(Settle([&] { return shared_d.presses.size() == 1; }));
}

TEST_F(IndicatorDisplayTest, ArrowLabelTakesClicksAndPointerWindowDoesNot) {
  Painted desk(0xFF404040);
  auto desktop = ProgramWindow(desk, {0, 0, 1280, 1024});
  FixedImages images;
  CSpotlightIndicators spots(host_, images);
  int clicked = 0;
  spots.SetArrowClickedHandler([&] { ++clicked; });
  const VzPoint at{640, 300};
  spots.ShowArrowIndicator(u"Ada", 0x00FF0000, &at);
  ASSERT_NE(spots.arrow(), nullptr);
  vz::Window* arrow = spots.arrow()->window();
  ASSERT_TRUE(Settle([&] {
    auto info = Find(arrow->NativeId());
    return info && info->viewable;
  }));
  std::unique_ptr<vz::InputInjector> injector = vz::InputInjector::Open(env_.display().c_str());
  ASSERT_TRUE(injector);
  injector->MoveTo({600, 300});
  injector->Click({590 + 8, 290 + 10});  // the close box
  injector->Sync();
  ASSERT_TRUE(Settle([&] { return clicked == 1; }));
  EXPECT_TRUE(desk.presses.empty());

  // The pointer window over the same place lets the click through.
  spots.DestroyArrow();
  injector->MoveTo({300, 300});
  injector->Sync();
  system_->Sync();
  spots.ShowPointerWindow(1);
  ASSERT_NE(spots.pointer(), nullptr);
  spots.PointerTick();
  ASSERT_TRUE(Settle([&] {
    auto info = Find(spots.pointer()->window()->NativeId());
    return info && info->viewable;
  }));
  injector->Click({300, 300});
  injector->Sync();
  ASSERT_TRUE(Settle([&] { return desk.presses.size() == 1; }));
  spots.ShowPointerWindow(0);
}

TEST_F(IndicatorDisplayTest, PointerWindowHasPerPixelAlphaOnlyWithACompositor) {
  FixedImages images;
  host_.shared_area = {0, 0, 1280, 1024};
  {
    CSpotlightIndicators spots(host_, images);
    spots.ShowPointerWindow(1);
    ASSERT_NE(spots.pointer(), nullptr);
    auto info = Find(spots.pointer()->window()->NativeId());
    ASSERT_TRUE(info);
    EXPECT_NE(info->depth, 32);  // opaque, its transparent parts cut away
  }
  vz::FakeCompositor compositor(env_.display().c_str());
  ASSERT_TRUE(compositor.ok());
  CSpotlightIndicators spots(host_, images);
  spots.ShowPointerWindow(1);
  ASSERT_NE(spots.pointer(), nullptr);
  auto info = Find(spots.pointer()->window()->NativeId());
  ASSERT_TRUE(info);
  EXPECT_EQ(info->depth, 32);
}

}  // namespace
}  // namespace vzgrab

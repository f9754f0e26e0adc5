// The frames and shadows on the headless window system: their windows'
// places, shapes, pixels and stacking, and their reconciliation.
#include <gtest/gtest.h>

#include <algorithm>

#include "capture/indicators/indicator_controller.h"
#include "capture/indicators/indicator_testlib.h"
#include "common/log_capture_testlib.h"
#include "platform/run_loop.h"
#include "platform/ui/canvas.h"
#include "platform/ui/headless.h"

namespace vzgrab {
namespace {

using testing::FakeHost;
using testing::MakeApp;
using testing::MakeMonitor;

constexpr uint32_t kHeader = 0xff0084ff;
constexpr vz::Color kNormal = 0xFFFF8400;  // COLORREF 0x0084FF as a colour
constexpr vz::Color kDim = 0xFF7F4200;     // COLORREF 0x00427F

// A plain window that counts the clicks it gets.
class ClickCounter : public vz::WindowDelegate {
 public:
  void OnPaint(vz::Canvas& canvas) override { canvas.FillRect({0, 0, 4000, 4000}, 0xFF00FF00); }
  void OnMouse(const vz::MouseEvent& event) override {
    if (event.action == vz::MouseAction::kPress) ++presses;
  }
  int presses = 0;
};

class IndicatorControllerTest : public ::testing::Test {
 protected:
  IndicatorControllerTest() : system_(vz::HeadlessWindowSystem::Create({1920, 1080})), frames_(host_, system_.get()) {}

  std::unique_ptr<vz::HeadlessWindowSystem> system_;
  FakeHost host_;
  CIndicatorController frames_;
  const MonitorInfo monitor_ = MakeMonitor(1, {0, 0, 1920, 1080}, {0, 0, 1920, 1080}, 1.0f);
};

TEST_F(IndicatorControllerTest, MonitorFrameIsADimRingAlongTheMonitorEdge) {
  vz::LogLineCapture log;
  frames_.ShowMonitorFrames({monitor_}, kHeader);
  ASSERT_EQ(frames_.monitor_frames().size(), 1u);
  vz::Window* w = frames_.monitor_frames()[0]->window();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->bounds(), (vz::Rect{0, 0, 1920, 1080}));
  EXPECT_TRUE(w->IsVisible());
  EXPECT_TRUE(w->flags() & vz::kWindowTopmost);
  const vz::Image seen = system_->RenderVisible(w);
  EXPECT_EQ(seen.GetPixel(0, 0), kDim);
  EXPECT_EQ(seen.GetPixel(4, 540), kDim);
  EXPECT_EQ(seen.GetPixel(5, 540), 0u);  // the inside is not the window's
  EXPECT_EQ(seen.GetPixel(960, 540), 0u);
  EXPECT_EQ(seen.GetPixel(1915, 540), kDim);
  EXPECT_EQ(seen.GetPixel(1914, 540), 0u);
  EXPECT_EQ(seen.GetPixel(960, 1079), kDim);
  EXPECT_EQ(seen.GetPixel(960, 1074), 0u);
  EXPECT_TRUE(log.Has("rect [{0, 0, 1920, 1080}(1920, 1080)]"));
  EXPECT_TRUE(log.Has("fScale [1.00] rect [{0, 0, 1920, 1080}(1920, 1080)]"));

  frames_.OnRefreshDone({});
  const vz::Image normal = system_->RenderVisible(w);
  EXPECT_EQ(normal.GetPixel(0, 0), kNormal);
  EXPECT_EQ(normal.GetPixel(1919, 1079), kNormal);
  EXPECT_EQ(normal.GetPixel(960, 540), 0u);
}

TEST_F(IndicatorControllerTest, ClicksPassThroughTheRingToTheWindowBelow) {
  ClickCounter below;
  vz::WindowParams params;
  params.bounds = {0, 0, 1920, 1080};
  auto under = system_->CreateWindow(params, &below);
  under->Show(false);
  frames_.ShowMonitorFrames({monitor_}, kHeader);
  system_->ClickForTesting({2, 2});      // on the ring
  system_->ClickForTesting({960, 540});  // inside
  EXPECT_EQ(below.presses, 2);
}

TEST_F(IndicatorControllerTest, ScaledMonitorFrameIsInWindowManagerCoordinates) {
  const MonitorInfo scaled = MakeMonitor(2, {1920, 0, 4800, 1620}, {1920, 0, 3840, 1080}, 1.5f);
  frames_.ShowMonitorFrames({scaled}, kHeader);
  ASSERT_NE(frames_.monitor_frames()[0]->window(), nullptr);
  EXPECT_EQ(frames_.monitor_frames()[0]->window()->bounds(), (vz::Rect{1920, 0, 3840, 1080}));
}

TEST_F(IndicatorControllerTest, WindowFrameSurroundsTheWindowByFivePixels) {
  host_.windows[0x1234] = {100, 200, 500, 600};
  frames_.ShowWindowFrames({SharedWindowFrame{MakeApp(0x1234), monitor_}}, kHeader);
  ASSERT_EQ(frames_.window_frames().size(), 1u);
  vz::Window* w = frames_.window_frames()[0]->window();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->bounds(), (vz::Rect{95, 195, 505, 605}));
  const vz::Image seen = system_->RenderVisible(w);
  EXPECT_EQ(seen.GetPixel(0, 0), kDim);
  EXPECT_EQ(seen.GetPixel(4, 4), kDim);
  EXPECT_EQ(seen.GetPixel(5, 5), 0u);  // the window's own first pixel stays visible
  EXPECT_EQ(seen.GetPixel(409, 409), kDim);
  EXPECT_EQ(seen.GetPixel(404, 404), 0u);
}

TEST_F(IndicatorControllerTest, SharingChangesReconcileFramesByKey) {
  host_.windows[0x10] = {100, 100, 300, 300};
  host_.windows[0x20] = {400, 100, 600, 300};
  frames_.ShowWindowFrames({{MakeApp(0x10), monitor_}, {MakeApp(0x20), monitor_}}, kHeader);
  ASSERT_EQ(frames_.window_frames().size(), 2u);
  CIndicatorFrame* kept = frames_.window_frames()[1].get();
  vz::Window* kept_window = kept->window();
  frames_.OnRefreshDone({});
  EXPECT_FALSE(kept->dim_for_testing());

  // The second window moved and is still shared; the first is not.
  host_.windows[0x20] = {410, 110, 610, 310};
  frames_.ShowWindowFrames({{MakeApp(0x20), monitor_}}, kHeader);
  ASSERT_EQ(frames_.window_frames().size(), 1u);
  EXPECT_EQ(frames_.window_frames()[0].get(), kept);  // rebuilt, not made again
  EXPECT_EQ(kept->window(), kept_window);             // the same window, moved
  EXPECT_TRUE(kept->dim_for_testing());
  EXPECT_EQ(kept_window->bounds(), (vz::Rect{405, 105, 615, 315}));
  EXPECT_EQ(system_->TopLevelWindows().size(), 1u);

  // Monitors shared: the window frames go.
  frames_.ShowMonitorFrames({monitor_}, kHeader);
  EXPECT_TRUE(frames_.window_frames().empty());
  EXPECT_EQ(frames_.monitor_frames().size(), 1u);
  EXPECT_EQ(system_->TopLevelWindows().size(), 1u);
  frames_.DestroyAllIndictorFrames();
  EXPECT_TRUE(system_->TopLevelWindows().empty());
}

TEST_F(IndicatorControllerTest, MonitorFramesKeepTheirWindowAcrossAResetAndDropGoneMonitors) {
  const MonitorInfo second = MakeMonitor(2, {1920, 0, 3840, 1080}, {1920, 0, 3840, 1080}, 1.0f);
  frames_.ShowMonitorFrames({monitor_, second}, kHeader);
  ASSERT_EQ(frames_.monitor_frames().size(), 2u);
  vz::Window* first_window = frames_.monitor_frames()[0]->window();
  frames_.ShowMonitorFrames({monitor_}, kHeader);
  ASSERT_EQ(frames_.monitor_frames().size(), 1u);
  EXPECT_EQ(frames_.monitor_frames()[0]->window(), first_window);
  EXPECT_EQ(system_->TopLevelWindows().size(), 1u);
}

TEST_F(IndicatorControllerTest, MinimisedWindowLosesItsFrameWindows) {
  host_.windows[0x10] = {100, 100, 300, 300};
  frames_.ShowWindowFrames({{MakeApp(0x10), monitor_}}, kHeader);
  frames_.OnRefreshDone({VzRect{150, 150, 250, 250}});
  ASSERT_NE(frames_.window_frames()[0]->shadow(), nullptr);
  EXPECT_EQ(system_->TopLevelWindows().size(), 2u);
  host_.windows.erase(0x10);  // minimised or gone: no rectangle
  frames_.ShowWindowFrames({{MakeApp(0x10), monitor_}}, kHeader);
  EXPECT_EQ(frames_.window_frames()[0]->window(), nullptr);
  EXPECT_EQ(frames_.window_frames()[0]->shadow(), nullptr);
  EXPECT_TRUE(system_->TopLevelWindows().empty());
}

TEST_F(IndicatorControllerTest, ShadowCoversTheCoveredPartInTheHalvedColour) {
  host_.windows[0x10] = {100, 100, 500, 400};
  frames_.ShowWindowFrames({{MakeApp(0x10), monitor_}}, kHeader);
  frames_.OnRefreshDone({VzRect{300, 250, 700, 600}});
  CIndicatorShadow* shadow = frames_.window_frames()[0]->shadow();
  ASSERT_NE(shadow, nullptr);
  vz::Window* w = shadow->window();
  EXPECT_EQ(w->bounds(), (vz::Rect{100, 100, 500, 400}));
  EXPECT_EQ(w->opacity(), 76);  // alpha 0.3
  const vz::Image seen = system_->RenderVisible(w);
  // Premultiplied 0x00427F at 76/255.
  const uint32_t r = 0x7F * 76 / 255, g = 0x42 * 76 / 255;
  EXPECT_EQ(seen.data()[200 * 400 + 200], (76u << 24) | (r << 16) | (g << 8));
  EXPECT_EQ(seen.GetPixel(199, 200), 0u);  // left of the covered part
  EXPECT_EQ(seen.GetPixel(200, 149), 0u);  // above it
  EXPECT_NE(seen.GetPixel(399, 299), 0u);  // its last pixel on the window
  // Clicks pass through the shadow.
  ClickCounter below;
  vz::WindowParams params;
  params.bounds = {0, 0, 1920, 1080};
  auto under = system_->CreateWindow(params, &below);
  under->Show(false);
  under->Lower();
  system_->ClickForTesting({350, 300});
  EXPECT_EQ(below.presses, 1);

  shadow->Tick();
  EXPECT_EQ(w->opacity(), 71);  // 0.28
  shadow->Tick();
  EXPECT_EQ(w->opacity(), 66);  // 0.26
}

TEST_F(IndicatorControllerTest, NoShadowWithoutCoverLowScaleOrForMonitorFrames) {
  host_.windows[0x10] = {100, 100, 500, 400};
  frames_.ShowWindowFrames({{MakeApp(0x10), monitor_}}, kHeader);
  frames_.OnRefreshDone({});
  EXPECT_EQ(frames_.window_frames()[0]->shadow(), nullptr);
  frames_.OnRefreshDone({VzRect{300, 300, 300, 600}});  // no area
  EXPECT_EQ(frames_.window_frames()[0]->shadow(), nullptr);
  frames_.OnRefreshDone({VzRect{900, 900, 1000, 1000}});  // off the window
  EXPECT_EQ(frames_.window_frames()[0]->shadow(), nullptr);

  const MonitorInfo tiny = MakeMonitor(1, {0, 0, 1920, 1080}, {0, 0, 1920, 1080}, 0.2f);
  frames_.ShowWindowFrames({{MakeApp(0x10), tiny}}, kHeader);
  frames_.OnRefreshDone({VzRect{150, 150, 250, 250}});
  EXPECT_EQ(frames_.window_frames()[0]->shadow(), nullptr);

  frames_.ShowMonitorFrames({monitor_}, kHeader);
  frames_.OnRefreshDone({VzRect{150, 150, 250, 250}});
  EXPECT_EQ(frames_.monitor_frames()[0]->shadow(), nullptr);
  EXPECT_EQ(system_->TopLevelWindows().size(), 1u);
}

TEST_F(IndicatorControllerTest, StackingStepRaisesWhenTheSharedWindowIsUnknown) {
  host_.windows[0x10] = {100, 100, 500, 400};
  frames_.ShowWindowFrames({{MakeApp(0x10), monitor_}}, kHeader);
  ClickCounter other;
  vz::WindowParams params;
  params.bounds = {0, 0, 50, 50};
  auto on_top = system_->CreateWindow(params, &other);
  on_top->Show(false);
  ASSERT_EQ(system_->TopLevelWindows().back(), on_top.get());
  // Headless knows no other program's window: the frame goes topmost.
  frames_.window_frames()[0]->KeepStacking();
  EXPECT_EQ(system_->TopLevelWindows().back(), frames_.window_frames()[0]->window());
}

TEST_F(IndicatorControllerTest, WithoutAWindowSystemNothingIsShown) {
  CIndicatorController none(host_);  // no current system
  ASSERT_EQ(vz::WindowSystem::Current(), nullptr);
  none.ShowMonitorFrames({monitor_}, kHeader);
  EXPECT_TRUE(none.monitor_frames().empty());
  EXPECT_TRUE(system_->TopLevelWindows().empty());
}

}  // namespace
}  // namespace vzgrab

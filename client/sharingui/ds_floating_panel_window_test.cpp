// The floating panel on the headless backend with the shipped resource
// bundle: its layout, shape, buttons, auto-hide, slide and drag.
#include <gtest/gtest.h>

#include "client/sharingui/ds_floating_panel_window.h"
#include "client/sharingui/panel_geometry.h"
#include "outside/vzres/vzres.h"
#include "platform/clock.h"
#include "platform/run_loop.h"
#include "platform/ui/headless.h"

namespace {

using panel_geometry::RegionContains;

class RecordingPanel : public CDSFloatingPanelWindow {
 public:
  void OnStopClicked() override { calls.push_back("stop"); }
  void OnShareClicked() override { calls.push_back("share"); }
  void OnSelectionConfirmed() override { calls.push_back("confirmed"); }
  void OnWindowListRefresh() override { calls.push_back("refresh"); }
  void OnPopupMenuCommandClicked(int, uint32_t id) override { calls.push_back("menu " + std::to_string(id)); }
  std::vector<std::string> calls;
};

class PanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(vzres::LoadResourceLibrary("vzres"));
    vzres::SetResourceLanguage(vzres::kLanguageEnglish);
    panel_ = std::make_unique<RecordingPanel>();
    ASSERT_TRUE(panel_->CreatePanel(system_.get()));
  }
  void TearDown() override {
    panel_.reset();
    vzres::UnloadResourceLibrary();
  }
  vz::Rect RectOf(uint32_t id) { return panel_->GetDlgItem(id)->window()->bounds(); }
  int Top() { return panel_->window()->bounds().top; }
  // One turn of the loop after the clock moved on.
  void Advance(uint64_t ms) {
    clock_.AdvanceMs(ms);
    loop_.RunPending();
  }

  vz::FakeClock clock_;
  vz::RunLoop loop_{clock_};
  std::unique_ptr<vz::HeadlessWindowSystem> system_ = vz::HeadlessWindowSystem::Create({1920, 1080});
  std::unique_ptr<RecordingPanel> panel_;
};

TEST_F(PanelTest, ButtonsLabelAndStopLieAtTheirPlaces) {
  EXPECT_EQ(panel_->window()->bounds(), vz::Rect::FromXYWH(746, 0, 428, 84));  // background image size, top centre
  // w = (428 - 40) / 5 = 77 from x = 20.
  EXPECT_EQ(RectOf(1025), vz::Rect::FromXYWH(20, 0, 77, 52));
  EXPECT_EQ(RectOf(107), vz::Rect::FromXYWH(97, 0, 77, 52));
  EXPECT_EQ(RectOf(1024), vz::Rect::FromXYWH(174, 0, 77, 52));
  EXPECT_EQ(RectOf(1027), vz::Rect::FromXYWH(251, 0, 77, 52));
  EXPECT_EQ(RectOf(1026), vz::Rect::FromXYWH(328, 0, 77, 52));
  EXPECT_EQ(RectOf(1020), vz::Rect::FromXYWH(52, 59, 162, 20));
  EXPECT_EQ(RectOf(1012), vz::Rect::FromXYWH(215, 52, 173, 84 - 53));
  EXPECT_FALSE(panel_->GetDlgItem(1021)->window()->IsVisible());
  // Audio and Control hidden by the meeting: three buttons share the row.
  panel_->SetButtonVisible(1025, false);
  panel_->SetButtonVisible(1024, false);
  EXPECT_FALSE(panel_->GetDlgItem(1025)->window()->IsVisible());
  EXPECT_FALSE(panel_->GetDlgItem(1024)->window()->IsVisible());
  EXPECT_EQ(RectOf(107), vz::Rect::FromXYWH(20, 0, 129, 52));
  EXPECT_EQ(RectOf(1027), vz::Rect::FromXYWH(149, 0, 129, 52));
  EXPECT_EQ(RectOf(1026), vz::Rect::FromXYWH(278, 0, 129, 52));
  panel_->SetButtonVisible(1024, true);  // four: w = 97
  EXPECT_EQ(RectOf(1024), vz::Rect::FromXYWH(117, 0, 97, 52));
}

TEST(PanelGeometry, TheShapeIsTheBarWithRoundedLowerCornersAndTheTab) {
  const vz::WindowRegion region = panel_geometry::PanelRegion(428, 84);
  // The bar's top corners are square (the half-height rectangle covers them).
  EXPECT_TRUE(RegionContains(region, {6, 0}));
  EXPECT_TRUE(RegionContains(region, {421, 0}));
  EXPECT_FALSE(RegionContains(region, {5, 10}));
  EXPECT_FALSE(RegionContains(region, {422, 10}));
  // Its lower corners are rounded; the last row is 51.
  EXPECT_FALSE(RegionContains(region, {6, 51}));
  EXPECT_FALSE(RegionContains(region, {421, 51}));
  EXPECT_TRUE(RegionContains(region, {10, 51}));
  EXPECT_TRUE(RegionContains(region, {6, 47}));
  // Beside the tab, below the bar: outside.
  EXPECT_FALSE(RegionContains(region, {47, 60}));
  EXPECT_FALSE(RegionContains(region, {380, 60}));
  // The tab (48, 44)-(380, 84), rounded at the bottom.
  EXPECT_TRUE(RegionContains(region, {48, 60}));
  EXPECT_TRUE(RegionContains(region, {379, 60}));
  EXPECT_FALSE(RegionContains(region, {48, 83}));
  EXPECT_FALSE(RegionContains(region, {379, 83}));
  EXPECT_TRUE(RegionContains(region, {214, 83}));
  EXPECT_FALSE(RegionContains(region, {214, 84}));
}

TEST(PanelGeometry, SlideAndDragLimits) {
  int top = 0;
  int ticks = 0;
  for (bool done = false; !done; ++ticks) {
    const auto step = panel_geometry::SlideUp(top);
    top = step.top;
    done = step.done;
  }
  EXPECT_EQ(top, -52);
  EXPECT_EQ(ticks, 9);  // -6 ... -48, then -54 is above the limit: -52
  ticks = 0;
  for (bool done = false; !done; ++ticks) {
    const auto step = panel_geometry::SlideDown(top);
    top = step.top;
    done = step.done;
  }
  EXPECT_EQ(top, 0);
  EXPECT_EQ(ticks, 9);  // -46 ... -4, then 2 reaches 1 or more: 0
  const vz::Rect panel = vz::Rect::FromXYWH(700, 0, 428, 84);
  EXPECT_EQ(panel_geometry::Dragged(panel, 5000, 1920), vz::Rect::FromXYWH(1920 - 4 - 428, 0, 428, 84));
  EXPECT_EQ(panel_geometry::Dragged(panel, -5000, 1920), vz::Rect::FromXYWH(4, 0, 428, 84));
  EXPECT_EQ(panel_geometry::Dragged(panel, 10, 1920), vz::Rect::FromXYWH(710, 0, 428, 84));
}

TEST_F(PanelTest, ItShowsOnlyWhenToldAndThenWithItsShapeAndBackground) {
  EXPECT_FALSE(panel_->IsPanelVisible());
  panel_->window()->SetBounds(vz::Rect::FromXYWH(10, 10, 428, 84));  // a move alone shows nothing
  EXPECT_FALSE(panel_->IsPanelVisible());
  EXPECT_FALSE(panel_->background_window_for_testing().window()->IsVisible());
  panel_->ShowPanel(true);
  EXPECT_TRUE(panel_->IsPanelVisible());
  EXPECT_TRUE(panel_->background_window_for_testing().window()->IsVisible());
  EXPECT_EQ(panel_->window()->bounds(), vz::Rect::FromXYWH(746, 0, 428, 84));
  EXPECT_EQ(panel_->background_window_for_testing().window()->bounds(), panel_->window()->bounds());
  EXPECT_TRUE(panel_->window()->flags() & vz::kWindowTopmost);
  EXPECT_TRUE(panel_->window()->flags() & vz::kWindowNoActivate);
  // The bar is tinted with the header colour (COLORREF 0x0084FF: orange), the tab is not.
  const vz::Image& picture = system_->Render(panel_->window());
  EXPECT_EQ(picture.GetPixel(10, 2), vz::MakeColor(0xFF, 0x84, 0x00));
  EXPECT_EQ(picture.GetPixel(60, 70), vz::MakeColor(43, 43, 43));  // the tab keeps its own colour
  EXPECT_EQ(vz::ColorA(picture.GetPixel(1, 70)), 0);
  panel_->setColors(0x00FF00, 0x000000);  // COLORREF green
  EXPECT_EQ(system_->Render(panel_->window()).GetPixel(10, 2), vz::MakeColor(0x00, 0xFF, 0x00));
  EXPECT_EQ(panel_->background_window_for_testing().buffer_for_testing().GetPixel(10, 2),
            vz::MakeColor(0x00, 0xFF, 0x00));
  panel_->ShowPanel(false);
  EXPECT_FALSE(panel_->IsPanelVisible());
  EXPECT_FALSE(panel_->background_window_for_testing().window()->IsVisible());
}

TEST_F(PanelTest, ButtonStatesPickImagesAndTheHighlight) {
  CImageButton* control = panel_->Button(1024);
  CImageButton* laser = panel_->Button(1027);
  EXPECT_FALSE(control->IsWindowEnabled());  // until sharing starts
  EXPECT_TRUE(laser->IsWindowEnabled());
  panel_->SetRemoteControlIndicator(true);
  EXPECT_EQ(control->GetImageState(), 3);
  EXPECT_EQ(control->GetCurrentImageForTesting(), 3u);
  EXPECT_FALSE(control->IsCheckedForTesting());
  panel_->SetRemoteControlIndicator(false);
  EXPECT_EQ(control->GetImageState(), 2);
  EXPECT_EQ(control->GetCurrentImageForTesting(), 2u);
  panel_->ShowPanel(true);
  const vz::Color before = system_->Render(panel_->window()).GetPixel(252, 1);
  panel_->SetLaserPressed(true);
  EXPECT_TRUE(laser->IsCheckedForTesting());
  EXPECT_EQ(laser->GetImageState(), 3);
  // The highlight (a translucent white frame) lies over the checked button's edge.
  EXPECT_NE(system_->Render(panel_->window()).GetPixel(252, 1), before);
  panel_->SetLaserPressed(false);
  EXPECT_EQ(system_->Render(panel_->window()).GetPixel(252, 1), before);
  EXPECT_EQ(laser->GetImageState(), 2);
}

TEST_F(PanelTest, ClicksAndPostedMessagesReachTheOperations) {
  panel_->ShowPanel(true);
  const vz::Rect stop = RectOf(1012);
  system_->ClickForTesting({746 + stop.left + 10, stop.top + 10});
  panel_->Button(107)->EnableWindow(true);
  system_->ClickForTesting({746 + 100, 20});
  panel_->DispatchMenuCommand(9499);
  panel_->DispatchMenuCommand(8999);  // not a menu command of the panel
  panel_->PostPanelMessage(kPanelSelectionConfirmed);
  panel_->PostPanelMessage(kPanelWindowListRefresh);
  EXPECT_EQ(panel_->calls.size(), 3u);  // posted ones wait for the loop
  loop_.RunPending();
  EXPECT_EQ(panel_->calls, (std::vector<std::string>{"stop", "share", "menu 9499", "confirmed", "refresh"}));
  // A message posted to a panel that is gone meanwhile reaches nobody.
  panel_->PostPanelMessage(kPanelSelectionConfirmed);
  panel_.reset();
  loop_.RunPending();
}

TEST_F(PanelTest, ItHidesTwoSecondsAfterTheMouseLeftAndSlidesBackWhenTouched) {
  system_->SetPointerPosition({100, 500});
  panel_->ShowPanel(true);
  const int renders = panel_->background_window_for_testing().render_count_for_testing();
  Advance(1999);
  EXPECT_FALSE(panel_->IsSlidingForTesting());
  Advance(1);
  EXPECT_TRUE(panel_->IsSlidingForTesting());
  EXPECT_EQ(panel_->slide_direction_for_testing(), 1);
  EXPECT_EQ(Top(), 0);
  for (int tick = 1; tick <= 8; ++tick) {
    Advance(20);
    EXPECT_EQ(Top(), -6 * tick) << "tick " << tick;
  }
  Advance(20);
  EXPECT_EQ(Top(), -52);
  EXPECT_FALSE(panel_->IsSlidingForTesting());
  EXPECT_EQ(panel_->window()->bounds().Height(), 84);
  EXPECT_EQ(panel_->background_window_for_testing().window()->bounds().top, -52);
  EXPECT_EQ(panel_->background_window_for_testing().render_count_for_testing(), renders);  // moved, never repainted
  Advance(2000);
  EXPECT_EQ(Top(), -52);  // the hide timer died with the slide's start
  // Touching the tab (the Stop button, forwarded) slides it down with one step at once.
  system_->SendMouse(vz::MouseAction::kMove, vz::MouseButton::kNone, {746 + 300, 20});
  EXPECT_EQ(Top(), -46);
  EXPECT_EQ(panel_->slide_direction_for_testing(), 0);
  for (int tick = 0; tick < 8; ++tick) Advance(20);
  EXPECT_EQ(Top(), 0);
  EXPECT_FALSE(panel_->IsSlidingForTesting());
}

TEST_F(PanelTest, TheHideTimerWaitsWhileTheCursorIsOverThePanelAndAnOpenMenuHoldsTheSlide) {
  system_->SetPointerPosition({800, 20});
  panel_->ShowPanel(true);
  Advance(2000);
  Advance(2000);
  EXPECT_FALSE(panel_->IsSlidingForTesting());
  system_->SetPointerPosition({100, 500});
  Advance(2000);  // the timer kept running
  EXPECT_TRUE(panel_->IsSlidingForTesting());
  panel_->SetMenuOpen(true);
  Advance(20);
  Advance(20);
  EXPECT_EQ(Top(), 0);
  panel_->SetMenuOpen(false);
  Advance(20);
  EXPECT_EQ(Top(), -6);
}

TEST_F(PanelTest, DraggingKeepsThePanelOnTheTopEdgeAndInsideThePrimaryScreen) {
  system_->SetPointerPosition({100, 500});
  panel_->ShowPanel(true);
  system_->SendMouse(vz::MouseAction::kPress, vz::MouseButton::kLeft, {746 + 10, 20});  // on the bar, left of the buttons
  system_->SendMouse(vz::MouseAction::kMove, vz::MouseButton::kNone, {746 + 110, 300});
  EXPECT_EQ(panel_->window()->bounds(), vz::Rect::FromXYWH(846, 0, 428, 84));
  system_->SendMouse(vz::MouseAction::kMove, vz::MouseButton::kNone, {3000, 300});
  EXPECT_EQ(panel_->window()->bounds().right, 1920 - 4);
  EXPECT_EQ(panel_->background_window_for_testing().window()->bounds(), panel_->window()->bounds());
  system_->SendMouse(vz::MouseAction::kMove, vz::MouseButton::kNone, {-3000, 300});
  EXPECT_EQ(panel_->window()->bounds().left, 4);
  EXPECT_EQ(panel_->window()->bounds().top, 0);
  system_->SendMouse(vz::MouseAction::kRelease, vz::MouseButton::kLeft, {-3000, 300});
  system_->SendMouse(vz::MouseAction::kMove, vz::MouseButton::kNone, {800, 20});
  EXPECT_EQ(panel_->window()->bounds().left, 4);  // no longer dragging
}

}  // namespace

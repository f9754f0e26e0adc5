// The pointer window and the arrow label on the headless window system.
#include <gtest/gtest.h>

#include "capture/indicators/indicator_colors.h"
#include "capture/indicators/indicator_testlib.h"
#include "capture/indicators/spotlight_indicators.h"
#include "platform/run_loop.h"
#include "platform/ui/headless.h"

namespace vzgrab {
namespace {

using testing::FakeHost;
using testing::FixedImages;

class Desktop : public vz::WindowDelegate {
 public:
  void OnPaint(vz::Canvas&) override {}
};

class SpotlightTest : public ::testing::Test {
 protected:
  SpotlightTest() : system_(vz::HeadlessWindowSystem::Create({1920, 1080})), spots_(host_, images_, system_.get()) {
    host_.shared_area = {0, 0, 800, 600};
  }

  std::unique_ptr<vz::HeadlessWindowSystem> system_;
  FakeHost host_;
  FixedImages images_;
  CSpotlightIndicators spots_;
};

TEST_F(SpotlightTest, PointerWindowIsThePictureCentredOnTheCursor) {
  system_->SetPointerPosition({400, 300});
  EXPECT_EQ(spots_.ShowPointerWindow(1), 1);
  EXPECT_EQ(spots_.IsPointerWindowShown(), 1);
  vz::Window* w = spots_.pointer()->window();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->bounds(), (vz::Rect{384, 288, 416, 312}));
  EXPECT_TRUE(w->flags() & vz::kWindowTranslucent);
  const vz::Image seen = system_->RenderVisible(w);
  EXPECT_EQ(seen.GetPixel(0, 0), 0xFF00FF00u);
  EXPECT_EQ(seen.GetPixel(31, 23), 0xFF00FF00u);
  // A second show keeps the one window.
  spots_.ShowPointerWindow(1);
  EXPECT_EQ(spots_.pointer()->window(), w);
  EXPECT_EQ(system_->TopLevelWindows().size(), 1u);
  spots_.ShowPointerWindow(0);
  EXPECT_EQ(spots_.IsPointerWindowShown(), 0);
  EXPECT_TRUE(system_->TopLevelWindows().empty());
}

TEST_F(SpotlightTest, PointerFollowsTheCursorAndFadesOutsideTheSharedArea) {
  system_->SetPointerPosition({400, 300});
  spots_.ShowPointerWindow(1);
  vz::Window* w = spots_.pointer()->window();
  system_->SetPointerPosition({900, 700});  // outside the shared area
  spots_.PointerTick();
  EXPECT_EQ(w->bounds(), (vz::Rect{884, 688, 916, 712}));
  EXPECT_EQ(spots_.pointer()->alpha_percent_for_testing(), 25);
  EXPECT_EQ(w->opacity(), 63);  // 0.25 x 255 truncated
  system_->SetPointerPosition({799, 599});  // the last shared pixel
  spots_.PointerTick();
  EXPECT_EQ(spots_.pointer()->alpha_percent_for_testing(), 100);
  EXPECT_EQ(w->opacity(), 255);
  ASSERT_FALSE(host_.asked.empty());
  EXPECT_EQ(host_.asked.back().x, 799);
  EXPECT_EQ(host_.asked.back().y, 599);
}

TEST_F(SpotlightTest, ClicksPassThroughThePointerWindow) {
  system_->SetPointerPosition({400, 300});
  spots_.ShowPointerWindow(1);
  system_->ClickForTesting({400, 300});
  // Nothing below: the click reached no window, and the pointer window
  // took no focus.
  EXPECT_EQ(system_->ActiveWindow(), nullptr);
}

TEST_F(SpotlightTest, MissingPointerPictureShowsNothing) {
  images_.missing[kPointerImageId] = true;
  EXPECT_EQ(spots_.ShowPointerWindow(1), 1);
  EXPECT_EQ(spots_.IsPointerWindowShown(), 0);
  EXPECT_TRUE(system_->TopLevelWindows().empty());
}

TEST_F(SpotlightTest, ArrowShowsTwiceAsOneWindowMovedToThePoint) {
  system_->SetPointerPosition({50, 50});
  const VzPoint first{300, 200};
  EXPECT_EQ(spots_.ShowArrowIndicator(u"Ada", 0x00C8C8C8, &first), 1);
  vz::Window* w = spots_.arrow()->window();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->bounds(), (vz::Rect{250, 190, 350, 210}));
  const VzPoint second{600, 400};
  spots_.ShowArrowIndicator(u"Bob", 0x00FF0000, &second);
  EXPECT_EQ(spots_.arrow()->window(), w);
  EXPECT_EQ(w->bounds(), (vz::Rect{550, 390, 650, 410}));
  EXPECT_EQ(spots_.arrow()->label_for_testing(), u"Bob");
  EXPECT_EQ(spots_.arrow()->text_colorref_for_testing(), 0xFFFFFFu);  // on blue
  EXPECT_EQ(system_->TopLevelWindows().size(), 1u);
  // Without a point only an existing arrow is kept; no label is set.
  spots_.ShowArrowIndicator(u"Eve", 0x00C8C8C8, nullptr);
  EXPECT_EQ(spots_.arrow()->label_for_testing(), u"Bob");
}

TEST_F(SpotlightTest, ArrowIsTintedWithTheLabelColour) {
  const VzPoint at{300, 200};
  spots_.ShowArrowIndicator(u"", 0x00FF8040, &at);
  const vz::Image seen = system_->RenderVisible(spots_.arrow()->window());
  // The close box sits at the left while the pointer may be over it; the
  // plate's right part is the white picture tinted to exactly the colour.
  EXPECT_EQ(seen.GetPixel(90, 10), 0xFF4080FFu);
  spots_.SetArrowIndicatorText(u"", 0x00C8C8C8);
  EXPECT_EQ(spots_.arrow()->text_colorref_for_testing(), 0x000000u);
  EXPECT_EQ(system_->RenderVisible(spots_.arrow()->window()).GetPixel(90, 10), 0xFFC8C8C8u);
  EXPECT_GE(images_.loads[kArrowImageId], 3);  // reloaded for each tint
}

TEST_F(SpotlightTest, CloseBoxShowsWhileHoveredAndItsClickPosts) {
  int clicked = 0;
  spots_.SetArrowClickedHandler([&] { ++clicked; });
  const VzPoint at{300, 200};
  spots_.ShowArrowIndicator(u"", 0x00FFFFFF, &at);
  CArrowIndicator* arrow = spots_.arrow();
  // A desktop below, for the pointer to move onto.
  Desktop desktop;
  vz::WindowParams params;
  params.bounds = {0, 0, 1920, 1080};
  auto below = system_->CreateWindow(params, &desktop);
  below->Show(false);
  below->Lower();
  EXPECT_EQ(arrow->CloseBox(), (vz::Rect{3, 5, 13, 15}));
  EXPECT_EQ(system_->RenderVisible(arrow->window()).GetPixel(8, 10), 0xFFFF0000u);  // hover at start
  system_->SendMouse(vz::MouseAction::kMove, vz::MouseButton::kNone, {340, 200});
  system_->SendMouse(vz::MouseAction::kMove, vz::MouseButton::kNone, {1000, 900});  // leaves
  EXPECT_FALSE(arrow->hover_for_testing());
  EXPECT_EQ(system_->RenderVisible(arrow->window()).GetPixel(8, 10), 0xFFFFFFFFu);
  system_->SendMouse(vz::MouseAction::kMove, vz::MouseButton::kNone, {340, 200});
  EXPECT_TRUE(arrow->hover_for_testing());
  system_->ClickForTesting({340, 200});  // on the plate, not the box
  EXPECT_EQ(clicked, 0);
  system_->ClickForTesting({250 + 8, 190 + 10});  // in the close box
  EXPECT_EQ(clicked, 1);
  EXPECT_NE(spots_.arrow(), nullptr);  // the handler only posts
  spots_.DestroyArrow();
  EXPECT_EQ(spots_.arrow(), nullptr);
  EXPECT_EQ(system_->TopLevelWindows().size(), 1u);  // the desktop alone
}

TEST_F(SpotlightTest, CloseClickWithoutHandlerDestroysTheArrowOnTheNextTurn) {
  const VzPoint at{300, 200};
  spots_.ShowArrowIndicator(u"", 0x00FFFFFF, &at);
  system_->ClickForTesting({258, 200});
  EXPECT_NE(spots_.arrow(), nullptr);
  vz::RunLoop::ForCurrentThread().RunPending();
  EXPECT_EQ(spots_.arrow(), nullptr);
  EXPECT_EQ(spots_.ArrowWindowId(), 0u);
}

TEST_F(SpotlightTest, DraggingMovesTheArrowByTheCursorsMovement) {
  const VzPoint at{300, 200};
  spots_.ShowArrowIndicator(u"", 0x00FFFFFF, &at);
  vz::Window* w = spots_.arrow()->window();
  system_->SendMouse(vz::MouseAction::kPress, vz::MouseButton::kLeft, {320, 200});
  system_->SendMouse(vz::MouseAction::kMove, vz::MouseButton::kNone, {330, 215});
  EXPECT_EQ(w->bounds(), (vz::Rect{260, 205, 360, 225}));
  system_->SendMouse(vz::MouseAction::kMove, vz::MouseButton::kNone, {1000, 500});  // captured: follows
  EXPECT_EQ(w->bounds(), (vz::Rect{930, 490, 1030, 510}));
  system_->SendMouse(vz::MouseAction::kRelease, vz::MouseButton::kLeft, {1000, 500});
  system_->SendMouse(vz::MouseAction::kMove, vz::MouseButton::kNone, {1200, 500});
  EXPECT_EQ(w->bounds(), (vz::Rect{930, 490, 1030, 510}));
}

TEST_F(SpotlightTest, MissingArrowPictureShowsNoArrow) {
  images_.missing[kArrowImageId] = true;
  const VzPoint at{300, 200};
  EXPECT_EQ(spots_.ShowArrowIndicator(u"x", 0, &at), 1);
  EXPECT_EQ(spots_.arrow(), nullptr);
  EXPECT_EQ(spots_.SetArrowIndicatorText(u"y", 0), 1);
}

}  // namespace
}  // namespace vzgrab

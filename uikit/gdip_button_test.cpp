// Image buttons drawn headless, checked on known pixels.
#include <gtest/gtest.h>

#include "uikit/gdip_button.h"
#include "uikit/test_bundle_testlib.h"
#include "platform/clock.h"
#include "platform/run_loop.h"
#include "platform/ui/headless.h"

namespace {

// A parent that paints a known background.
class Backdrop : public vz::WindowDelegate {
 public:
  void OnPaint(vz::Canvas& canvas) override { canvas.FillRect({0, 0, 1000, 1000}, 0xFF000080); }
};

class ButtonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bundle_.Png(10, 20, 10, 0xFFFF0000)   // key 3
        .Png(11, 10, 6, 0xFF00FF00)       // key 1: the smallest key
        .Png(12, 30, 30, 0xFF0000FF)      // key 2
        .Png(13, 60, 40, 0x40FFFFFF)      // highlight
        .Png(352, 4, 4, 0xFFFFFF00)       // mark
        .Png(14, 10, 10, vz::MakeColor(100, 100, 100))
        .Install();
    vz::WindowParams params;
    params.bounds = vz::Rect::FromXYWH(0, 0, 200, 100);
    params.title = "host";
    parent_ = system_->CreateWindow(params, &backdrop_);
    parent_->Show();
  }
  const vz::Image& Render() { return system_->Render(parent_.get()); }

  TestBundle bundle_;
  vz::FakeClock clock_;
  vz::RunLoop loop_{clock_};
  std::unique_ptr<vz::HeadlessWindowSystem> system_ = vz::HeadlessWindowSystem::Create();
  Backdrop backdrop_;
  std::unique_ptr<vz::Window> parent_;
};

TEST_F(ButtonTest, TheFirstKeyIsCurrentAndTheSmallestKeySetsTheImageRectangle) {
  CGdipButton button;
  ASSERT_TRUE(button.Create(parent_.get(), vz::Rect::FromXYWH(10, 10, 60, 40), 7, u""));
  EXPECT_EQ(button.AddImage(10, 3), 1);
  EXPECT_EQ(button.AddImage(11, 1), 1);
  EXPECT_EQ(button.AddImage(12, 2), 1);
  EXPECT_EQ(button.GetCurrentImageForTesting(), 3u);
  EXPECT_EQ(button.GetCurrentImageSize(), (vz::Size{20, 10}));
  // Key 1's image is 10x6: centred in 60x40.
  EXPECT_EQ(button.GetImageRect(), (vz::Rect{25, 17, 35, 23}));
  const vz::Image& image = Render();
  // The current (key 3, red 20x10) image is drawn at the rectangle's corner.
  EXPECT_EQ(image.GetPixel(10 + 25, 10 + 17), 0xFFFF0000u);
  EXPECT_EQ(image.GetPixel(10 + 44, 10 + 26), 0xFFFF0000u);
  EXPECT_EQ(image.GetPixel(10 + 24, 10 + 17), 0xFF000080u);  // the parent shows around it
  button.SetCurrentImage(9);  // a key without an image draws none
  EXPECT_EQ(Render().GetPixel(10 + 25, 10 + 17), 0xFF000080u);
  EXPECT_EQ(button.GetCurrentImageSize(), (vz::Size{0, 0}));
}

TEST_F(ButtonTest, ReaddingAKeyWithAMissingPngRemovesItsImage) {
  CGdipButton button;
  ASSERT_TRUE(button.Create(parent_.get(), vz::Rect::FromXYWH(0, 0, 60, 40), 7, u""));
  ASSERT_EQ(button.SetImage(10, 5), 1);
  EXPECT_EQ(button.SetImage(999, 5), 0);
  EXPECT_EQ(button.ImageOf(5), nullptr);
  EXPECT_EQ(button.GetImageRect(), (vz::Rect{}));
  EXPECT_EQ(button.GetCurrentImageForTesting(), 5u);  // the current key is kept
}

TEST_F(ButtonTest, PressedHoverAndDisabledLooks) {
  CGdipButton button;
  ASSERT_TRUE(button.Create(parent_.get(), vz::Rect::FromXYWH(0, 0, 30, 30), 7, u""));
  button.AddImage(14, 1);  // grey 100 10x10 at (10,10)
  EXPECT_EQ(Render().GetPixel(10, 10), vz::MakeColor(100, 100, 100));
  system_->SendMouse(vz::MouseAction::kMove, vz::MouseButton::kNone, {15, 15});
  ASSERT_TRUE(button.IsHover());
  EXPECT_EQ(Render().GetPixel(12, 12), vz::MakeColor(168, 168, 168));  // hot matrix
  system_->SendMouse(vz::MouseAction::kPress, vz::MouseButton::kLeft, {15, 15});
  ASSERT_TRUE(button.IsPressedForTesting());
  const vz::Image& pressed = Render();
  EXPECT_EQ(pressed.GetPixel(10, 10), 0xFF000080u);  // moved 1 right and down
  EXPECT_EQ(pressed.GetPixel(11, 11), vz::MakeColor(100, 100, 100));
  int clicks = 0;
  button.SetCommandHandler([&](uint32_t id, int code) {
    EXPECT_EQ(id, 7u);
    EXPECT_EQ(code, kNotifyClicked);
    ++clicks;
  });
  system_->SendMouse(vz::MouseAction::kRelease, vz::MouseButton::kLeft, {15, 15});
  EXPECT_EQ(clicks, 1);
  system_->SendMouse(vz::MouseAction::kMove, vz::MouseButton::kNone, {150, 80});
  EXPECT_FALSE(button.IsHover());

  button.EnableWindow(false);
  EXPECT_EQ(Render().GetPixel(10, 10), vz::MakeColor(100, 100, 100));  // grey flag off: as idle
  button.grey_when_disabled = true;
  button.Invalidate();
  // Grey of (100,100,100) is 100 too; so check with a coloured image.
  button.AddImage(10, 1);  // red 20x10 at (5,10)
  EXPECT_EQ(Render().GetPixel(5, 10), vz::MakeColor(77, 77, 77));
}

TEST_F(ButtonTest, ReleasingOutsideTheButtonDoesNotClick) {
  CGdipButton button;
  ASSERT_TRUE(button.Create(parent_.get(), vz::Rect::FromXYWH(0, 0, 30, 30), 7, u""));
  int clicks = 0;
  button.SetCommandHandler([&](uint32_t, int) { ++clicks; });
  system_->SendMouse(vz::MouseAction::kPress, vz::MouseButton::kLeft, {5, 5});
  system_->SendMouse(vz::MouseAction::kRelease, vz::MouseButton::kLeft, {100, 50});
  EXPECT_EQ(clicks, 0);
  EXPECT_FALSE(button.IsPressedForTesting());
}

TEST_F(ButtonTest, BackgroundColourAndTint) {
  CGdipButton button;
  ASSERT_TRUE(button.Create(parent_.get(), vz::Rect::FromXYWH(0, 0, 30, 30), 7, u""));
  button.SetBackgroundColor(0x00FF00);  // COLORREF green
  EXPECT_EQ(Render().GetPixel(1, 1), 0xFF00FF00u);
  button.AddImage(13, 1);  // translucent white 60x40, larger than the button
  button.SetImageColorForTesting(0x0000FF);
  const vz::Color tinted = Render().GetPixel(1, 1);
  EXPECT_GT(vz::ColorR(tinted), 0);  // red tint over green, blended
  EXPECT_GT(vz::ColorG(tinted), 0);
}

TEST_F(ButtonTest, ACaptionMovesTheImageRectangleUp) {
  CImageButton button;
  const std::u16string long_caption(200, u'x');
  ASSERT_TRUE(button.Create(parent_.get(), vz::Rect::FromXYWH(0, 0, 60, 40), 7, long_caption));
  EXPECT_EQ(button.GetWindowText().size(), 200u);
  // Plain caption, no image: image rectangle empty, moved up by 6 only when it exists.
  EXPECT_EQ(button.GetImageRect().Height(), 0);
  button.AddImage(11, 1);  // 10x6
  EXPECT_EQ(button.GetImageRect(), (vz::Rect{25, 11, 35, 17}));  // 17 - 6
  button.SetWindowText(u"");
  EXPECT_EQ(button.GetImageRect(), (vz::Rect{25, 17, 35, 23}));
}

TEST_F(ButtonTest, ImageButtonHighlightAndMark) {
  CImageButton button;
  ASSERT_TRUE(button.Create(parent_.get(), vz::Rect::FromXYWH(0, 0, 60, 40), 7, u""));
  button.AddImage(11, 1);  // image rect (25,17)-(35,23)
  ASSERT_TRUE(button.LoadMarkImage());
  ASSERT_TRUE(button.LoadHighlightImage(13));
  const vz::Image& idle = Render();
  EXPECT_EQ(idle.GetPixel(0, 0), 0xFF000080u);  // no highlight while idle
  button.SetImageState(2);  // a state alone (an image key) does not light it
  EXPECT_EQ(Render().GetPixel(0, 0), 0xFF000080u);
  button.SetCheck(true);
  const vz::Image& highlighted = Render();
  EXPECT_NE(highlighted.GetPixel(0, 0), 0xFF000080u);  // highlight over the whole button
  EXPECT_NE(highlighted.GetPixel(59, 39), 0xFF000080u);
  button.SetCheck(false);
  button.SetImageState(0);
  // The mark lies under the image: visible where the image is not (the image is 10x6, mark 4x4, both at 25,17).
  EXPECT_EQ(Render().GetPixel(25, 17), 0xFF00FF00u);
  button.SetCurrentImage(99);
  EXPECT_EQ(Render().GetPixel(25, 17), 0xFFFFFF00u);  // the mark, at the image rectangle's corner
  EXPECT_EQ(Render().GetPixel(29, 17), 0xFF000080u);
}

TEST_F(ButtonTest, TheImageStateSelectsTheImageOfThatKeyWhenThereIsOne) {
  CImageButton button;
  ASSERT_TRUE(button.Create(parent_.get(), vz::Rect::FromXYWH(0, 0, 60, 40), 7, u""));
  button.AddImage(11, 2);
  button.AddImage(12, 3);
  button.SetImageState(3);
  EXPECT_EQ(button.GetCurrentImageForTesting(), 3u);
  button.SetImageState(5);  // no image under 5: the drawn one stays
  EXPECT_EQ(button.GetCurrentImageForTesting(), 3u);
  EXPECT_EQ(button.GetImageState(), 5);
  button.SetImageState(2);
  EXPECT_EQ(button.GetCurrentImageForTesting(), 2u);
}

}  // namespace

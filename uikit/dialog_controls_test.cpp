// The standard controls' own behaviour and look, headless.
#include <gtest/gtest.h>

#include "uikit/dialog_controls.h"
#include "platform/clock.h"
#include "platform/run_loop.h"
#include "platform/ui/headless.h"

namespace {

class Face : public vz::WindowDelegate {
 public:
  void OnPaint(vz::Canvas& canvas) override { canvas.FillRect({0, 0, 1000, 1000}, kDialogFace); }
};

class ControlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vz::WindowParams params;
    params.bounds = vz::Rect::FromXYWH(0, 0, 300, 200);
    parent_ = system_->CreateWindow(params, &face_);
    parent_->Show();
  }
  vz::FakeClock clock_;
  vz::RunLoop loop_{clock_};
  std::unique_ptr<vz::HeadlessWindowSystem> system_ = vz::HeadlessWindowSystem::Create();
  Face face_;
  std::unique_ptr<vz::Window> parent_;
};

TEST_F(ControlsTest, AProgressBarFillsItsShareAndKeepsItsPositionInRange) {
  CProgressBar bar;
  ASSERT_TRUE(bar.Create(parent_.get(), vz::Rect::FromXYWH(0, 0, 102, 10), 5, u""));
  bar.SetPosForTesting(25);  // 25 of the 100 inner pixels
  const vz::Image& image = system_->Render(parent_.get());
  EXPECT_EQ(image.GetPixel(1, 5), 0xFF06B025u);
  EXPECT_EQ(image.GetPixel(25, 5), 0xFF06B025u);
  EXPECT_EQ(image.GetPixel(26, 5), 0xFFE6E6E6u);
  bar.SetPosForTesting(500);
  EXPECT_EQ(bar.GetPosForTesting(), 100);
  bar.SetRangeForTesting(10, 10);  // refused: nothing changes
  bar.SetPosForTesting(-3);
  EXPECT_EQ(bar.GetPosForTesting(), 0);
}

TEST_F(ControlsTest, ACheckBoxTogglesOnAClickInsideItAndTellsItsOwner) {
  CCheckBox box;
  ASSERT_TRUE(box.Create(parent_.get(), vz::Rect::FromXYWH(10, 10, 100, 20), 7, u"Remember"));
  int commands = 0;
  box.SetCommandHandler([&](uint32_t id, int) {
    EXPECT_EQ(id, 7u);
    ++commands;
  });
  system_->ClickForTesting({15, 20});
  EXPECT_TRUE(box.GetCheck());
  system_->SendMouse(vz::MouseAction::kPress, vz::MouseButton::kLeft, {15, 20});
  system_->SendMouse(vz::MouseAction::kRelease, vz::MouseButton::kLeft, {200, 150});  // released outside
  EXPECT_TRUE(box.GetCheck());
  EXPECT_EQ(commands, 1);
  box.EnableWindow(false);
  system_->ClickForTesting({15, 60});
  system_->ClickForTesting({15, 20});
  EXPECT_TRUE(box.GetCheck());  // disabled: no toggle
}

TEST_F(ControlsTest, StaticTextWrapsInsideItsBox) {
  CStaticText text;
  const vz::Rect box = vz::Rect::FromXYWH(20, 20, 120, 60);
  ASSERT_TRUE(text.Create(parent_.get(), box, 9,
                          u"A sentence long enough to need a second line in a narrow box."));
  const vz::Image& image = system_->Render(parent_.get());
  int top_line = 0, second_line = 0;
  for (int y = 0; y < 200; ++y) {
    for (int x = 0; x < 300; ++x) {
      if (image.GetPixel(x, y) == kDialogFace) continue;
      EXPECT_TRUE(box.Contains({x, y})) << x << "," << y;
      if (y < 34) ++top_line;
      if (y >= 36) ++second_line;
    }
  }
  EXPECT_GT(top_line, 20);
  EXPECT_GT(second_line, 20);  // the text went on below the first line
}

TEST_F(ControlsTest, ADisabledPushButtonTakesNoClick) {
  CPushButton button;
  ASSERT_TRUE(button.Create(parent_.get(), vz::Rect::FromXYWH(0, 0, 80, 24), 1, u"OK", 0x58010001));
  int clicks = 0;
  button.SetCommandHandler([&](uint32_t, int) { ++clicks; });
  system_->ClickForTesting({40, 12});
  EXPECT_EQ(clicks, 0);
  button.EnableWindow(true);
  system_->ClickForTesting({40, 12});
  EXPECT_EQ(clicks, 1);
}

}  // namespace

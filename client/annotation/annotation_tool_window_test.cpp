// The tool bar and the colour menu, headless: button states and images for
// every tool, pen buttons, the clamp, clicks to the owner, and the menu's
// model and drawing.
#include "client/annotation/annotation_tool_window.h"

#include <gtest/gtest.h>

#include "client/annotation/annotation_palette.h"
#include "client/annotation/color_popup_menu.h"
#include "uikit/test_bundle_testlib.h"
#include "outside/vzres/vzres_ids.h"
#include "platform/clock.h"
#include "platform/run_loop.h"
#include "platform/ui/headless.h"

namespace {

using vz::Point;
using vz::Rect;

class RecordingToolOwner : public IDSAnnotationToolWindowOwner {
 public:
  void OnAnnotationToolButtonClicked(uint32_t id) override { clicks.push_back(id); }
  std::vector<uint32_t> clicks;
};

constexpr uint32_t kToolIds[] = {1098, 1099, 1100, 1101, 1102, 1103, 1104, 1105, 1106, 1108, 1109};

class ToolWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string dialog = "dialog 614 600 56 style=0x80000000\n";
    for (uint32_t id : kToolIds) dialog += "control " + std::to_string(id) + " BUTTON 0 0 10 10 style=0x5001000B\n";
    dialog += "end\n";
    bundle_.Dialogs(dialog).Png(vzres::IDB_TOOL_BACKGROUND, 600, 56, 0xFF202020);
    // Every button image white, so a tint shows as the tint colour.
    for (uint32_t id : {145u, 132u, 337u, 338u, 339u, 149u, 147u, 340u, 135u, 137u, 341u, 343u, 347u, 349u, 324u,
                        327u, 351u, 332u, 335u, 350u, 329u}) {
      bundle_.Png(id, 20, 20, 0xFFFFFFFF);
    }
    bundle_.Png(vzres::IDB_TOOL_HIGHLIGHT, 20, 20, 0x400084FF).Png(vzres::IDB_DROP_MARKER, 4, 4, 0xFFFFFFFF);
    bundle_.Install();
    bar_ = std::make_unique<DSAnnotationToolWindow>();
    bar_->setOwner(&owner_);
    ASSERT_TRUE(bar_->Create(system_.get()));
  }

  TestBundle bundle_;
  vz::FakeClock clock_;
  vz::RunLoop loop_{clock_};
  std::unique_ptr<vz::HeadlessWindowSystem> system_ = vz::HeadlessWindowSystem::Create({1920, 1080});
  RecordingToolOwner owner_;
  std::unique_ptr<DSAnnotationToolWindow> bar_;
};

TEST_F(ToolWindowTest, LaysOutElevenButtonsAtTheBackgroundsSize) {
  EXPECT_EQ(bar_->window()->bounds().GetSize(), (vz::Size{600, 56}));
  EXPECT_EQ(bar_->button(1098)->window()->bounds(), (Rect{18, 0, 66, 56}));
  EXPECT_EQ(bar_->button(1099)->window()->bounds(), (Rect{70, 0, 124, 56}));
  EXPECT_EQ(bar_->button(1106)->window()->bounds(), (Rect{455, 0, 509, 56}));
  EXPECT_EQ(bar_->button(1108)->window()->bounds(), (Rect{513, 0, 564, 56}));
  EXPECT_EQ(bar_->button(1109)->window()->bounds(), (Rect{566, 0, 584, 56}));
  EXPECT_TRUE(bar_->window()->flags() & vz::kWindowOverrideRedirect);
  // Select starts selected, close plain.
  EXPECT_EQ(bar_->buttonStateForTesting(1098).state, 2);
  EXPECT_TRUE(bar_->buttonStateForTesting(1098).checked);
  EXPECT_EQ(bar_->buttonStateForTesting(1109).state, 1);
}

TEST_F(ToolWindowTest, ToolButtonsShowEveryTool) {
  const struct {
    uint32_t id;
    int32_t tool;
  } singles[] = {{1098, 0}, {1101, 4}, {1102, 5}, {1106, 3}, {1108, 1}};
  for (int32_t tool = 0; tool <= 15; ++tool) {
    bar_->updateToolButtons(tool);
    for (const auto& single : singles) {
      const bool on = tool == single.tool;
      EXPECT_EQ(bar_->buttonStateForTesting(single.id).state, on ? 2 : 1) << tool << " " << single.id;
      EXPECT_EQ(bar_->buttonStateForTesting(single.id).checked, on) << tool << " " << single.id;
    }
    const uint32_t shape = DSAnnotationToolWindow::ShapeImage(tool);
    const DSAnnotationToolWindow::ButtonState shapes = bar_->buttonStateForTesting(1103);
    EXPECT_EQ(shapes.checked, shape != 0) << tool;
    EXPECT_EQ(shapes.image_id, shape != 0 ? shape : 340u) << tool;
    EXPECT_EQ(shapes.state, 1) << tool;
  }
  // The chosen shape's image is tinted with the header colour, its frame on.
  bar_->updateToolButtons(13);
  EXPECT_TRUE(bar_->button(1103)->IsCheckedForTesting());
  EXPECT_FALSE(bar_->button(1101)->IsCheckedForTesting());
  // The frame (a quarter-opaque blue here) lies over the checked button only.
  const vz::Image& pixels = system_->Render(bar_->window());
  EXPECT_NE(pixels.GetPixel(290 + 1, 28), 0xFF202020u);
  EXPECT_EQ(pixels.GetPixel(180 + 1, 28), 0xFF202020u);
  const vz::Image* image = bar_->button(1103)->ImageOf(1)->bitmap();
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->GetPixel(5, 5), 0xFFFF8400u);  // 0x..BBGGRR 0xFF0084FF read as a tint
  bar_->updateToolButtons(4);
  EXPECT_EQ(bar_->button(1103)->ImageOf(1)->bitmap()->GetPixel(5, 5), 0xFFFFFFFFu);
}

TEST_F(ToolWindowTest, PenButtonsShowTheWeightInThePenColour) {
  bar_->updatePenButtons(2, 0xFF0000FF);  // red
  EXPECT_EQ(bar_->buttonStateForTesting(1100).image_id, 339u);
  EXPECT_EQ(bar_->button(1100)->ImageOf(1)->bitmap()->GetPixel(3, 3), 0xFFFF0000u);
  EXPECT_EQ(bar_->button(1099)->ImageOf(1)->bitmap()->GetPixel(3, 3), 0xFFFF0000u);
  bar_->updatePenButtons(0, 0xFF00FF00);
  EXPECT_EQ(bar_->buttonStateForTesting(1100).image_id, 337u);
  bar_->updatePenButtons(1, 0xFF00FF00);
  EXPECT_EQ(bar_->buttonStateForTesting(1100).image_id, 338u);
  bar_->updatePenButtons(3, 0xFFFF0000);  // keeps the image, takes the colour
  EXPECT_EQ(bar_->buttonStateForTesting(1100).image_id, 338u);
  EXPECT_EQ(bar_->button(1100)->ImageOf(1)->bitmap()->GetPixel(3, 3), 0xFF0000FFu);
}

TEST_F(ToolWindowTest, ClicksGoToTheOwnerAndTheBarStaysOnThePrimaryScreen) {
  const Rect b = bar_->button(1104)->window()->bounds();
  const Point origin = bar_->window()->ToScreen({0, 0});
  system_->ClickForTesting({origin.x + b.left + 10, origin.y + 20});
  system_->ClickForTesting({origin.x + 600 - 20, origin.y + 20});  // close (566..584)
  EXPECT_EQ(owner_.clicks, (std::vector<uint32_t>{1104, 1109}));

  const vz::Size bar{600, 56};
  const vz::Size screen{1920, 1080};
  EXPECT_EQ(DSAnnotationToolWindow::ClampPosition({-50, -50}, bar, screen), (Point{6, 52}));
  EXPECT_EQ(DSAnnotationToolWindow::ClampPosition({6, 52}, bar, screen), (Point{6, 52}));
  EXPECT_EQ(DSAnnotationToolWindow::ClampPosition({5000, 5000}, bar, screen), (Point{1314, 988}));
  EXPECT_EQ(DSAnnotationToolWindow::ClampPosition({1314, 988}, bar, screen), (Point{1314, 988}));

  // Dragging the bar by its body to the far left stops it at x = 6.
  bar_->MoveTo(300, 300);
  system_->SendMouse(vz::MouseAction::kPress, vz::MouseButton::kLeft, {305, 305});
  system_->SendMouse(vz::MouseAction::kMove, vz::MouseButton::kNone, {0, 10});
  system_->SendMouse(vz::MouseAction::kRelease, vz::MouseButton::kLeft, {0, 10});
  EXPECT_EQ(bar_->window()->bounds().left, 6);
  EXPECT_EQ(bar_->window()->bounds().top, 52);
}

TEST(ColorMenuTest, PaletteInFourColumnsWithTheCurrentColourChecked) {
  CDSColorPopupMenu menu;
  menu.BuildPalette(kAnnotationPalette[5]);
  ASSERT_EQ(menu.items().size(), 16u);
  for (size_t i = 0; i < 16; ++i) {
    const MenuItem& item = menu.items()[i];
    EXPECT_EQ(item.id, 9700 + i) << i;
    EXPECT_EQ((item.flags & MF_MENUBREAK) != 0, i == 4 || i == 8 || i == 12) << i;
    EXPECT_EQ((item.flags & MF_CHECKED) != 0, i == 5) << i;
    EXPECT_EQ(menu.swatchesForTesting().at(9700 + static_cast<uint32_t>(i)), kAnnotationPalette[i] & 0xFFFFFF) << i;
  }
  EXPECT_EQ(menu.MenuSize(), (vz::Size{96, 96}));
  EXPECT_EQ(menu.background_color(), 0x212121u);

  // Id 0 keeps no swatch; a later entry replaces an earlier one.
  CDSColorPopupMenu small;
  small.AppendColorItem(MF_STRING, 0, 0xFF112233);
  small.AppendColorItem(MF_STRING, 7, 0xFF112233);
  small.AppendColorItem(MF_STRING, 7, 0x80445566);
  EXPECT_EQ(small.swatchesForTesting().size(), 1u);
  EXPECT_EQ(small.swatchesForTesting().at(7), 0x445566u);
}

TEST(ColorMenuTest, SwatchesDrawWithTheHighlightWhenSelectedOrChecked) {
  CDSColorPopupMenu menu;
  menu.BuildPalette(kAnnotationPalette[5]);
  menu.AppendColorItem(MF_STRING, 9999, 0);  // then dropped from the swatches
  vz::Image image(120, 96);
  auto canvas = vz::CreateImageCanvas(image);
  menu.PaintMenu(*canvas, 0);  // entry 0 selected, entry 5 checked
  // Entry 0 at (0, 0): highlight at the corner area, its swatch inside.
  EXPECT_EQ(image.GetPixel(1, 12), vz::ColorFromColorRef(0x00FCEBDD));
  EXPECT_EQ(image.GetPixel(12, 12), vz::ColorFromColorRef(kAnnotationPalette[0] & 0xFFFFFF));
  // Entry 5 (column 1, row 1) checked: highlighted too.
  EXPECT_EQ(image.GetPixel(24 + 1, 24 + 12), vz::ColorFromColorRef(0x00FCEBDD));
  EXPECT_EQ(image.GetPixel(24 + 12, 24 + 12), vz::ColorFromColorRef(kAnnotationPalette[5] & 0xFFFFFF));
  // Entry 1 neither: the menu background around its swatch.
  EXPECT_EQ(image.GetPixel(1, 24 + 12), vz::ColorFromColorRef(0x212121));
}

}  // namespace

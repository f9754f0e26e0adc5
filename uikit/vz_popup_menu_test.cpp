// Popup menus: measures, pixels of each kind of item, and tracking.
#include <gtest/gtest.h>

#include "uikit/test_bundle_testlib.h"
#include "uikit/vz_popup_menu.h"
#include "platform/clock.h"
#include "platform/run_loop.h"
#include "platform/ui/headless.h"

namespace {

class MenuTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bundle_.Png(20, 16, 16, 0xFFFF0000).Png(21, 16, 16, 0xFF00FF00).Png(22, 10, 10, 0xFFFFFFFF).Install();
    menu_.SetBackgroundColor(0x212121);
  }
  vz::Image Paint(int selected) {
    const vz::Size size = menu_.MenuSize();
    vz::Image image(size.width, size.height);
    auto canvas = vz::CreateImageCanvas(image);
    menu_.PaintMenu(*canvas, selected);
    return image;
  }

  TestBundle bundle_;
  CDSMousePopupMenu menu_;
};

constexpr vz::Color kBackground = 0xFF212121;

TEST_F(MenuTest, ItemsAndSeparatorsMeasureAsTheMetricsSay) {
  menu_.AppendMenu(MF_STRING, 1, u"One");
  menu_.AppendMenu(MF_SEPARATOR, 0, nullptr);
  menu_.AppendMenu(MF_STRING, 2, u"Two");
  const std::vector<vz::Rect> rects = menu_.LayoutItems();
  ASSERT_EQ(rects.size(), 3u);
  EXPECT_EQ(rects[0], (vz::Rect{0, 0, 258, 28}));
  EXPECT_EQ(rects[1], (vz::Rect{0, 28, 258, 40}));  // 12 high
  EXPECT_EQ(rects[2], (vz::Rect{0, 40, 258, 68}));
  menu_.SetItemMetrics(148, 28, 0);
  EXPECT_EQ(menu_.MenuSize(), (vz::Size{148, 68}));
}

TEST_F(MenuTest, TheTemplateItselfOnlyLogsThatItShouldBeOverridden) {
  class Bare : public CVzPopupMenuT<Bare> {};
  Bare bare;
  bare.AppendMenu(MF_STRING, 1, u"x");
  MeasureItemRecord record;
  bare.MeasureItem(&record);
  EXPECT_EQ(record.item_height, 0u);  // nothing measured
  EXPECT_EQ(bare.MenuSize(), (vz::Size{0, 0}));
}

TEST_F(MenuTest, ASeparatorDrawsOnlyItsEtchedRows) {
  menu_.AppendMenu(MF_STRING, 1, u"");
  menu_.AppendMenu(MF_SEPARATOR, 0, nullptr);
  const vz::Image image = Paint(-1);
  ASSERT_EQ(image.height(), 28 + 12);
  for (int y = 28; y < 40; ++y) {
    const vz::Color expected = y == 34 ? 0xFF808080 : y == 35 ? 0xFFC0C0C0 : kBackground;
    EXPECT_EQ(image.GetPixel(0, y), expected) << y;
    EXPECT_EQ(image.GetPixel(257, y), expected) << y;
  }
}

TEST_F(MenuTest, TheSelectedItemIsFilledAndOutlinedAndItsTextIsBlue) {
  menu_.AppendMenu(MF_STRING, 1, u"Selected item");
  const vz::Image image = Paint(0);
  EXPECT_EQ(image.GetPixel(100, 0), vz::MakeColor(124, 163, 206));  // outline
  EXPECT_EQ(image.GetPixel(100, 27), vz::MakeColor(124, 163, 206));
  EXPECT_EQ(image.GetPixel(0, 14), vz::MakeColor(124, 163, 206));
  EXPECT_EQ(image.GetPixel(257, 14), vz::MakeColor(124, 163, 206));
  EXPECT_EQ(image.GetPixel(250, 3), vz::MakeColor(221, 235, 252));  // fill
  EXPECT_EQ(image.GetPixel(100, 1), vz::MakeColor(221, 235, 252));
  // Text inked in pure blue over the fill: the darkest pixel keeps full blue.
  vz::Color darkest = 0xFFFFFFFF;
  for (int y = 0; y < 28; ++y) {
    for (int x = 32; x < 200; ++x) {
      const vz::Color c = image.GetPixel(x, y);
      if (vz::ColorR(c) < vz::ColorR(darkest)) darkest = c;
    }
  }
  EXPECT_LT(vz::ColorR(darkest), 100);
  EXPECT_GE(vz::ColorB(darkest), 250);
}

TEST_F(MenuTest, ADisabledItemIsNeverHighlightedAndDrawsGrey) {
  menu_.AppendMenu(MF_STRING | MF_GRAYED, 1, u"Disabled item", 20);
  const vz::Image image = Paint(0);  // "selected" under the pointer all the same
  EXPECT_EQ(image.GetPixel(250, 3), kBackground);
  // The red image through the grey matrix: 0.3 * 255 = 77.
  EXPECT_EQ(image.GetPixel(4, 6), vz::MakeColor(77, 77, 77));
  // Text grey: every inked pixel has equal channels between the background and 0x80.
  int inked = 0;
  for (int y = 0; y < 28; ++y) {
    for (int x = 40; x < 250; ++x) {
      const vz::Color c = image.GetPixel(x, y);
      if (c == kBackground) continue;
      ++inked;
      EXPECT_EQ(vz::ColorR(c), vz::ColorG(c)) << "at (" << x << ", " << y << ")";
      EXPECT_LE(vz::ColorR(c), 0x80) << "at (" << x << ", " << y << ")";
    }
  }
  EXPECT_GT(inked, 20);
}

TEST_F(MenuTest, ImagesSitInTheColumnAndTheCheckedItemShowsItsSelectedImage) {
  menu_.AppendMenu(MF_STRING, 1, u"Plain", 20, 21);
  menu_.AppendMenu(MF_STRING | MF_CHECKED, 2, u"Checked", 20, 21);
  menu_.AppendMenu(MF_STRING, 3, u"No image");
  const vz::Image image = Paint(-1);
  // x = 4, y = (28 - 16) / 2 = 6.
  EXPECT_EQ(image.GetPixel(4, 6), 0xFFFF0000u);
  EXPECT_EQ(image.GetPixel(3, 6), kBackground);
  EXPECT_EQ(image.GetPixel(19, 21), 0xFFFF0000u);
  EXPECT_EQ(image.GetPixel(4, 28 + 6), 0xFF00FF00u);  // checked: selected image, plain background
  EXPECT_EQ(image.GetPixel(250, 28 + 3), kBackground);
  for (int x = 0; x < 32; ++x) EXPECT_EQ(image.GetPixel(x, 56 + 14), kBackground) << "x " << x;  // empty column
  // Text of the item without an image starts after the column (4 + 28).
  bool inked_before = false, inked_after = false;
  for (int y = 56; y < 84; ++y) {
    for (int x = 0; x < 32; ++x) inked_before |= image.GetPixel(x, y) != kBackground;
    for (int x = 32; x < 120; ++x) inked_after |= image.GetPixel(x, y) != kBackground;
  }
  EXPECT_FALSE(inked_before);
  EXPECT_TRUE(inked_after);
}

TEST_F(MenuTest, WithoutTheColumnTextStartsFourPixelsIn) {
  menu_.SetItemMetrics(148, 28, 0);
  menu_.AppendMenu(MF_STRING, 1, u"WWW");
  const vz::Image image = Paint(-1);
  int first = -1;
  for (int x = 0; x < 148 && first < 0; ++x) {
    for (int y = 0; y < 28; ++y) {
      if (image.GetPixel(x, y) != kBackground) {
        first = x;
        break;
      }
    }
  }
  EXPECT_GE(first, 4);
  EXPECT_LE(first, 6);
}

TEST_F(MenuTest, TintedImagesIdZeroAndReplacedImages) {
  menu_.AppendMenu(MF_STRING, 1, u"Tinted", 22, 0, 0x0000FF);  // white tinted red
  menu_.AppendMenu(MF_STRING, 0, u"No id", 20);                 // id 0: no image loaded
  menu_.AppendMenu(MF_STRING, 1, u"Again", 21);                 // replaces id 1's normal image
  const vz::Image image = Paint(-1);
  // Both items with id 1 now show the green image.
  EXPECT_EQ(image.GetPixel(4, 6), 0xFF00FF00u);
  EXPECT_EQ(image.GetPixel(4, 28 + 9), kBackground);
  CDSMousePopupMenu tinted;
  tinted.AppendMenu(MF_STRING, 5, u"T", 22, 0, 0x0000FF);
  vz::Image one(258, 28);
  auto canvas = vz::CreateImageCanvas(one);
  tinted.PaintMenu(*canvas, -1);
  EXPECT_EQ(one.GetPixel(4, 9), 0xFFFF0000u);  // (28 - 10) / 2 = 9
}

TEST_F(MenuTest, ColumnBreaksStartNewColumns) {
  menu_.SetItemMetrics(100, 20, 0);
  menu_.AppendMenu(MF_STRING, 1, u"a");
  menu_.AppendMenu(MF_STRING, 2, u"b");
  menu_.AppendMenu(MF_STRING | MF_MENUBREAK, 3, u"c");
  const std::vector<vz::Rect> rects = menu_.LayoutItems();
  EXPECT_EQ(rects[2], (vz::Rect{100, 0, 200, 20}));
  EXPECT_EQ(menu_.MenuSize(), (vz::Size{200, 40}));
}

class MenuTrackTest : public MenuTest {
 protected:
  vz::FakeClock clock_;
  vz::RunLoop loop_{clock_};
  std::unique_ptr<vz::HeadlessWindowSystem> system_ = vz::HeadlessWindowSystem::Create({800, 600});

  // Runs the tracking with `script` posted to run inside its loop.
  uint32_t Track(vz::Point at, std::function<void()> script) {
    loop_.Post(std::move(script));
    return menu_.TrackPopupMenu(at, system_.get());
  }
};

TEST_F(MenuTrackTest, AClickOnAnItemReturnsItsId) {
  menu_.AppendMenu(MF_STRING, 11, u"First");
  menu_.AppendMenu(MF_SEPARATOR, 0, nullptr);
  menu_.AppendMenu(MF_STRING, 12, u"Second");
  const uint32_t chosen = Track({100, 100}, [&] {
    system_->SendMouse(vz::MouseAction::kMove, vz::MouseButton::kNone, {150, 150});
    system_->ClickForTesting({150, 150});  // 100 + 28 + 12 + 10: the second item
  });
  EXPECT_EQ(chosen, 12u);
  EXPECT_TRUE(system_->TopLevelWindows().empty());  // the menu window is gone
}

TEST_F(MenuTrackTest, EscAClickOutsideAndSeparatorsGiveNothing) {
  menu_.AppendMenu(MF_STRING, 11, u"First");
  menu_.AppendMenu(MF_SEPARATOR, 0, nullptr);
  menu_.AppendMenu(MF_STRING | MF_GRAYED, 13, u"Disabled");
  EXPECT_EQ(Track({100, 100}, [&] { system_->SendKey(vz::keys::kEscape); }), 0u);
  EXPECT_EQ(Track({100, 100}, [&] { system_->ClickForTesting({600, 500}); }), 0u);
  // Clicks on the separator and the disabled item choose nothing; then Esc.
  EXPECT_EQ(Track({100, 100}, [&] {
              system_->ClickForTesting({150, 133});
              system_->ClickForTesting({150, 150});
              system_->SendKey(vz::keys::kEscape);
            }),
            0u);
}

TEST_F(MenuTrackTest, KeysMoveTheSelectionOverSeparatorsAndEnterChooses) {
  menu_.AppendMenu(MF_STRING, 11, u"First");
  menu_.AppendMenu(MF_SEPARATOR, 0, nullptr);
  menu_.AppendMenu(MF_STRING, 12, u"Second");
  EXPECT_EQ(Track({10, 10}, [&] {
              system_->SendKey(vz::keys::kDown);
              system_->SendKey(vz::keys::kDown);
              system_->SendKey(vz::keys::kReturn);
            }),
            12u);
}

TEST_F(MenuTrackTest, SubMenusOpenBesideTheirItem) {
  CDSMousePopupMenu sub;
  sub.SetBackgroundColor(0x212121);
  sub.AppendMenu(MF_STRING, 21, u"Inner");
  menu_.AppendMenu(MF_STRING, 11, u"First");
  menu_.AppendSubMenuForTesting(0, &sub, u"More");
  EXPECT_EQ(Track({100, 100}, [&] {
              system_->SendMouse(vz::MouseAction::kMove, vz::MouseButton::kNone, {150, 140});
              EXPECT_EQ(system_->TopLevelWindows().size(), 2u);
              system_->ClickForTesting({358 + 20, 128 + 10});
            }),
            21u);
}

TEST_F(MenuTrackTest, AMenuKeptInsideTheWorkArea) {
  menu_.AppendMenu(MF_STRING, 11, u"First");
  vz::Rect shown;
  Track({790, 590}, [&] {
    shown = system_->TopLevelWindows().at(0)->bounds();
    system_->SendKey(vz::keys::kEscape);
  });
  EXPECT_EQ(shown, (vz::Rect{542, 572, 800, 600}));
}

TEST_F(MenuTrackTest, DestroyingTheMenuDuringItsTrackingReturnsNothing) {
  auto doomed = std::make_unique<CDSMousePopupMenu>();
  doomed->AppendMenu(MF_STRING, 11, u"First");
  loop_.Post([&] {
    doomed.reset();
    system_->ClickForTesting({110, 110});  // events after the menu went: ignored
  });
  EXPECT_EQ(doomed->TrackPopupMenu({100, 100}, system_.get()), 0u);
}

}  // namespace

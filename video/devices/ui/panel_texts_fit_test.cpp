// Every text of the video panel, its thumbnail menu and the camera options
// window, in every language of the bundle, shows whole where it is drawn:
// menu items are wide enough for their text, the options window's buttons
// and labels fit it at a readable size, and the paused hint fits the large
// view and the smallest tile.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "outside/vzres/vzres.h"
#include "outside/vzres/vzres_ids.h"
#include "platform/text.h"
#include "uikit/dialog_controls.h"
#include "uikit/text_fit.h"
#include "video/devices/ui/active_view_model.h"
#include "video/devices/ui/panel_helpers.h"
#include "video/devices/ui/thumb_menu.h"
#include "video/devices/ui/thumbs_strip_model.h"

namespace vzpanel {
namespace {

constexpr uint32_t kLanguages[] = {vzres::kLanguageEnglish, 1031, 1036};

std::string Text(uint32_t string) { return vz::Utf16ToUtf8(vzres::LoadResString(string)); }

class PanelTextsFitTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(vzres::LoadResourceLibrary("vzres")); }
  void TearDown() override {
    vzres::SetResourceLanguage(vzres::kLanguageEnglish);
    vzres::UnloadResourceLibrary();
  }
};

// Each item of the thumbnail menu (every menu the model asks for) keeps its
// whole text between its margins.
TEST_F(PanelTextsFitTest, ThumbnailMenuItemsAreWideEnoughForTheirTextInEveryLanguage) {
  const std::vector<std::vector<ThumbMenuItem>> menus = {
      {{kCmdCancelSpotlight, vzres::IDS_VIDEO_CANCEL_SPOTLIGHT}},
      {{kCmdSpotlightForAll, vzres::IDS_VIDEO_MENU_SPOTLIGHT}},
      {{kCmdSpotlightForAll, vzres::IDS_VIDEO_MENU_SPOTLIGHT}, {kCmdShowHere, vzres::IDS_VIDEO_MENU_SHOW_HERE}}};
  for (uint32_t language : kLanguages) {
    vzres::SetResourceLanguage(language);
    for (const std::vector<ThumbMenuItem>& items : menus) {
      CVzThumbMenu menu(items);
      const std::vector<vz::Rect> rects = menu.LayoutItems();
      ASSERT_EQ(rects.size(), items.size()) << "language " << language << ", menu of " << items.size();
      for (size_t i = 0; i < items.size(); ++i) {
        const std::string text = Text(items[i].text_id);
        const int width = vz::DefaultTextMeasurer().MeasureText(text, CVzThumbMenu::TextFont()).width;
        EXPECT_GE(rects[i].Width() - 2 * CVzThumbMenu::kTextLeft, width)
            << "language " << language << ": \"" << text << "\"";
        EXPECT_GE(rects[i].Width(), CVzThumbMenu::kItemWidth) << "language " << language << ": \"" << text << "\"";
      }
    }
  }
}

// What the options window and the camera controls window put into their
// controls from code fits them, as the templates' own texts do.
TEST_F(PanelTextsFitTest, OptionsWindowTextsFitTheirControlsInEveryLanguage) {
  struct Place {
    uint32_t control;
    uint32_t string;
  };
  const Place places[] = {{vzres::IDC_OPTIONS_CAMERA_LABEL, vzres::IDS_OPTIONS_CAMERA_LABEL},
                          {vzres::IDC_OPTIONS_SETTINGS, vzres::IDS_OPTIONS_SETTINGS},
                          {vzres::IDC_OK, vzres::IDS_OK},
                          {vzres::IDC_CANCEL, vzres::IDS_CANCEL}};
  const std::optional<vzres::DialogDescription> dialog = vzres::LoadResDialog(vzres::IDD_VIDEO_OPTIONS);
  ASSERT_TRUE(dialog.has_value());
  int checked = 0;
  for (const Place& place : places) {
    const vzres::DialogControl* control = dialog->FindControl(place.control);
    ASSERT_NE(control, nullptr) << place.control;
    const bool button = control->control_class == "BUTTON";
    const vz::Size box = button ? vz::Size{control->width - 6, control->height - 6}
                                : vz::Size{control->width, control->height};
    for (uint32_t language : kLanguages) {
      const std::string shown = vz::Utf16ToUtf8(vzres::LoadResString(place.string, language));
      EXPECT_TRUE(FitFontSize(vz::DefaultTextMeasurer(), shown, DefaultControlFont(), box, !button).has_value())
          << "control " << place.control << " language " << language << ": \"" << shown << "\" in " << box.width
          << "x" << box.height;
      ++checked;
    }
  }
  // The controls window's OK button: 80 x 26.
  for (uint32_t language : kLanguages) {
    const std::string shown = vz::Utf16ToUtf8(vzres::LoadResString(vzres::IDS_OK, language));
    EXPECT_TRUE(FitFontSize(vz::DefaultTextMeasurer(), shown, DefaultControlFont(), {80 - 6, 26 - 6}, false))
        << "language " << language << ": \"" << shown << "\"";
  }
  EXPECT_EQ(checked, 12);
}

// The paused hint fits the smallest large view and the smallest tile whole
// (at its smaller size where it must).
TEST_F(PanelTextsFitTest, ThePausedHintFitsTheLargeViewAndATileInEveryLanguage) {
  const vz::Size large = ActiveViewModel::ContainerRect({642 - 2, 362}).GetSize();
  const vz::Size tile{kThumbTileSize.width - 2, kThumbTileSize.height - 2};
  for (uint32_t language : kLanguages) {
    vzres::SetResourceLanguage(language);
    const std::string text = Text(vzres::IDS_VIDEO_HINT);
    for (const vz::Size client : {large, tile}) {
      const HintPlacement hint = PlaceHintLabel(client, text, vz::DefaultTextMeasurer());
      const int width = vz::DefaultTextMeasurer().MeasureText(text, PanelFont(hint.font_height)).width;
      EXPECT_LE(hint.rect.Width(), client.width) << "language " << language << " in " << client.width;
      EXPECT_GE(hint.rect.Width(), width) << "language " << language;
    }
  }
}

// The large view's button texts (spotlight, back to the speaker) fit the
// button, which is as wide as its text, within the smallest large view.
TEST_F(PanelTextsFitTest, TheLargeViewsButtonTextsFitTheSmallestView) {
  for (uint32_t language : kLanguages) {
    vzres::SetResourceLanguage(language);
    for (uint32_t string : {vzres::IDS_VIDEO_CANCEL_SPOTLIGHT, vzres::IDS_VIDEO_FOLLOW_SPEAKER}) {
      const int width = vz::DefaultTextMeasurer().MeasureText(Text(string), PanelFont(11, 400)).width;
      EXPECT_LE(ActiveViewModel::ButtonRect(0, width).right, 640 - 40) << "language " << language;
    }
  }
}

}  // namespace
}  // namespace vzpanel

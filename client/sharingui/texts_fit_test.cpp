// Every text of the shipped bundle, in every language, fits the control that
// shows it at a readable size (the control shrinks a text that is too wide,
// and a menu widens), with the fonts this program draws with.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "uikit/dialog_controls.h"
#include "uikit/text_fit.h"
#include "uikit/vz_control.h"
#include "uikit/vz_popup_menu.h"
#include "outside/vzres/vzres.h"
#include "outside/vzres/vzres_ids.h"
#include "platform/text.h"

namespace {

constexpr uint32_t kLanguages[] = {vzres::kLanguageEnglish, 1031, 1036};

vz::Font FontOf(double pixels, int weight) {
  vz::Font font = DefaultControlFont();
  font.pixel_size = pixels;
  font.weight = weight;
  return font;
}

// A place where code puts a string into a control (not the template's text).
struct Place {
  uint32_t dialog;
  uint32_t control;
  uint32_t string;
  double pixels;  // 0: the control's default font
  int weight;
};

const Place kCodePlaces[] = {
    {vzres::IDD_SHARING_PANEL, vzres::IDC_PANEL_MEETING_ID, vzres::IDS_MEETING_INFO_HIDDEN, 13, 700},
    {vzres::IDD_PROXY_SETTINGS, vzres::IDC_PROXY_USER_LABEL, vzres::IDS_PROXY_USER_LABEL, 0, 400},
    {vzres::IDD_PROXY_SETTINGS, vzres::IDC_PROXY_PASSWORD_LABEL, vzres::IDS_PROXY_PASSWORD_LABEL, 0, 400},
    {vzres::IDD_PROXY_SETTINGS, vzres::IDC_OK, vzres::IDS_OK, 0, 400},
    {vzres::IDD_PROXY_SETTINGS, vzres::IDC_CANCEL, vzres::IDS_CANCEL, 0, 400},
    {vzres::IDD_CONNECTING, vzres::IDC_CANCEL, vzres::IDS_CONNECTING_CANCEL, 0, 400},
    {vzres::IDD_SHARING_SELECT, vzres::IDC_SELECT_SHARE, vzres::IDS_SHARE, 0, 400},
    {vzres::IDD_SHARING_SELECT, vzres::IDC_CANCEL, vzres::IDS_CANCEL, 0, 400},
    // The remote-control questions: asking for control, stopping it, moving it.
    {vzres::IDD_REMOTE_CONTROL, vzres::IDC_CONSENT_ACCEPT, 60044, 0, 400},
    {vzres::IDD_REMOTE_CONTROL, vzres::IDC_CONSENT_ACCEPT, 60046, 0, 400},
    {vzres::IDD_REMOTE_CONTROL, vzres::IDC_CONSENT_ACCEPT, 60047, 0, 400},
    {vzres::IDD_REMOTE_CONTROL, vzres::IDC_CANCEL, 60045, 0, 400},
    {vzres::IDD_REMOTE_CONTROL, vzres::IDC_CANCEL, vzres::IDS_CANCEL, 0, 400},
    {vzres::IDD_REMOTE_CONTROL, vzres::IDC_CONSENT_MESSAGE, 60048, 0, 400},
    {vzres::IDD_REMOTE_CONTROL, vzres::IDC_CONSENT_MESSAGE, 60049, 0, 400},
};

class TextsFitTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(vzres::LoadResourceLibrary("vzres")); }
  void TearDown() override { vzres::UnloadResourceLibrary(); }

  // Whether the text fits the control's box as the control draws it.
  void ExpectFits(const vzres::DialogControl& control, uint32_t string, uint32_t language, const vz::Font& font,
                  std::vector<std::string>* misfits) {
    const std::string text = vz::Utf16ToUtf8(vzres::LoadResString(string, language));
    const bool button = control.control_class == "BUTTON";
    // A push button draws inside a 3-pixel inset, on one line.
    const vz::Size box = button ? vz::Size{control.width - 6, control.height - 6} : vz::Size{control.width, control.height};
    if (!FitFontSize(vz::DefaultTextMeasurer(), text, font, box, !button)) {
      misfits->push_back("dialog " + std::to_string(control.id) + " string " + std::to_string(string) + " language " +
                         std::to_string(language) + ": \"" + text + "\" in " + std::to_string(box.width) + "x" +
                         std::to_string(box.height));
    }
  }
};

TEST_F(TextsFitTest, EveryTemplateAndCodeTextFitsItsControlInEveryLanguage) {
  std::vector<std::string> misfits;
  int checked = 0;
  for (const vzres::DialogControls& listed : vzres::kDialogs) {
    const std::optional<vzres::DialogDescription> dialog = vzres::LoadResDialog(listed.dialog);
    ASSERT_TRUE(dialog.has_value()) << listed.dialog;
    for (const vzres::DialogControl& control : dialog->controls) {
      const bool owner_drawn = (control.style & 0xF) == 0xB;
      const bool shown = control.control_class == "STATIC" || (control.control_class == "BUTTON" && !owner_drawn);
      if (!shown || control.width == 0 || control.text_id == 0) continue;
      for (uint32_t language : kLanguages) {
        ExpectFits(control, control.text_id, language, DefaultControlFont(), &misfits);
        ++checked;
      }
    }
  }
  for (const Place& place : kCodePlaces) {
    const std::optional<vzres::DialogDescription> dialog = vzres::LoadResDialog(place.dialog);
    ASSERT_TRUE(dialog.has_value()) << "dialog " << place.dialog;
    const vzres::DialogControl* control = nullptr;
    for (const vzres::DialogControl& c : dialog->controls) {
      if (c.id == place.control) control = &c;
    }
    ASSERT_NE(control, nullptr) << place.dialog << "/" << place.control;
    vzres::DialogControl box = *control;
    if (place.dialog == vzres::IDD_SHARING_PANEL) box.width = 162, box.height = 20;  // laid out by the panel
    const vz::Font font = place.pixels > 0 ? FontOf(place.pixels, place.weight) : DefaultControlFont();
    for (uint32_t language : kLanguages) {
      ExpectFits(box, place.string, language, font, &misfits);
      ++checked;
    }
  }
  EXPECT_GT(checked, 40);
  for (const std::string& misfit : misfits) ADD_FAILURE() << misfit;
}

// The clear menu widens for a language whose texts are longer than its
// 148 pixels, and every item's whole text fits.
TEST_F(TextsFitTest, MenusWidenForTheirLongestText) {
  for (uint32_t language : kLanguages) {
    vzres::SetResourceLanguage(language);
    CDSMousePopupMenu menu;
    menu.SetItemMetrics(148, 28, 0);
    int widest = 0;
    for (uint32_t string : {vzres::IDS_TOOL_ERASER, vzres::IDS_CLEAR_MINE, vzres::IDS_CLEAR_ALL,
                            vzres::IDS_CONTROL_NOBODY, vzres::IDS_CONTROL_STOP}) {
      const std::u16string text = vzres::LoadResString(string);
      menu.AppendMenu(MF_STRING, string, text.c_str());
      widest = std::max(widest, vz::DefaultTextMeasurer().MeasureText(vz::Utf16ToUtf8(text), vz::Font()).width);
    }
    EXPECT_GE(menu.MenuSize().width, std::max(148, 4 + widest + 8)) << "language " << language;
  }
  vzres::SetResourceLanguage(vzres::kLanguageEnglish);
}

}  // namespace

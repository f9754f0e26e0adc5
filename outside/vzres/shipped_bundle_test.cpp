// The bundle that the build packs into the binary folder holds every
// resource the program asks for.
#include <gtest/gtest.h>

#include <set>

#include "outside/vzres/format_check.h"
#include "outside/vzres/vzres.h"

namespace vzres {
namespace {

// The languages that ship a string table; others fall back to English.
constexpr uint32_t kShippedLanguages[] = {1033, 1031, 1036};

class ShippedBundleTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(LoadResourceLibrary("vzres.dll")); }
  void TearDown() override {
    UnloadResourceLibrary();
    SetResourceLanguage(kLanguageEnglish);
  }
};

TEST_F(ShippedBundleTest, EveryStringExistsInEveryShippedLanguageWithItsConversions) {
  for (uint32_t language : kShippedLanguages) {
    for (uint32_t id : kStringIds) {
      const std::u16string text = LoadResString(id, language);
      EXPECT_FALSE(text.empty()) << "string " << id << " language " << language;
      std::string narrow(text.begin(), text.end());  // conversions are ASCII
      std::string error;
      EXPECT_TRUE(CheckFormatConversions(narrow, ExpectedConversions(id), &error))
          << "string " << id << " language " << language << ": " << error;
    }
  }
  // A language of the language table without a table of its own.
  SetResourceLanguage(1041);
  EXPECT_EQ(LoadResString(IDS_CANCEL), LoadResString(IDS_CANCEL, kLanguageEnglish));
  SetResourceLanguage(1031);
  EXPECT_NE(LoadResString(IDS_CANCEL), LoadResString(IDS_CANCEL, kLanguageEnglish));
}

TEST_F(ShippedBundleTest, EveryImageIsAPng) {
  std::set<uint32_t> seen;
  for (uint32_t id : kPngIds) {
    EXPECT_TRUE(seen.insert(id).second) << "image " << id << " listed twice";
    const std::vector<uint8_t> png = LoadResPng(id);
    ASSERT_GE(png.size(), 8u) << "image " << id;
    EXPECT_EQ(std::string(png.begin(), png.begin() + 8), std::string("\x89PNG\r\n\x1a\n", 8)) << "image " << id;
  }
}

TEST_F(ShippedBundleTest, TheCEntryPointsCopyAPngOnlyIntoABufferItFits) {
  EXPECT_EQ(VzResEnsureLoaded("vzres"), 1);  // already open: kept
  const std::vector<uint8_t> png = LoadResPng(125);
  const uint32_t size = VzResCopyPng(125, nullptr, 0);
  ASSERT_EQ(size, png.size());
  std::vector<uint8_t> small(size - 1, 0xAB);
  EXPECT_EQ(VzResCopyPng(125, small.data(), size - 1), size);
  EXPECT_EQ(small, std::vector<uint8_t>(size - 1, 0xAB));  // untouched
  std::vector<uint8_t> copy(size);
  EXPECT_EQ(VzResCopyPng(125, copy.data(), size), size);
  EXPECT_EQ(copy, png);
  EXPECT_EQ(VzResCopyPng(999999, copy.data(), size), 0u);
  UnloadResourceLibrary();
  EXPECT_EQ(VzResCopyPng(125, nullptr, 0), 0u);
  EXPECT_EQ(VzResEnsureLoaded(nullptr), 1);  // opens "vzres" again
  EXPECT_EQ(VzResCopyPng(125, nullptr, 0), size);
}

TEST_F(ShippedBundleTest, EveryDialogHasItsControlsAndItsTextsResolve) {
  for (const DialogControls& expected : kDialogs) {
    const auto dialog = LoadResDialog(expected.dialog);
    ASSERT_TRUE(dialog.has_value()) << "dialog " << expected.dialog;
    EXPECT_GT(dialog->width, 0) << "dialog " << expected.dialog;
    EXPECT_GT(dialog->height, 0) << "dialog " << expected.dialog;
    for (uint32_t control : expected.controls) {
      EXPECT_NE(dialog->FindControl(control), nullptr) << "dialog " << expected.dialog << " control " << control;
    }
    if (dialog->caption_id) {
      EXPECT_FALSE(LoadResString(dialog->caption_id).empty()) << "dialog " << expected.dialog;
    }
    for (const DialogControl& control : dialog->controls) {
      if (control.text_id) {
        EXPECT_FALSE(LoadResString(control.text_id).empty()) << control.text_id;
      }
    }
  }
}

TEST_F(ShippedBundleTest, TheVideoPanelTitleTakesTheMeetingIdOnce) {
  const std::u16string title = LoadResString(IDS_VIDEO_PANEL_TITLE);
  ASSERT_FALSE(title.empty());
  EXPECT_EQ(title.find(u"%s"), title.rfind(u"%s"));
  EXPECT_NE(title.find(u"%s"), std::u16string::npos);
}

TEST(MissingBundleTest, EveryVideoPanelLookupFailsCleanly) {
  UnloadResourceLibrary();
  EXPECT_FALSE(LoadResourceLibrary("/nonexistent-folder/vzres.bundle"));
  for (uint32_t id : {IDS_VIDEO_PANEL_TITLE, IDS_VIDEO_HINT, IDS_OPTIONS_TITLE}) {
    SCOPED_TRACE(testing::Message() << "string " << id);
    EXPECT_EQ(LoadResString(id), u"");
    char16_t buffer[8] = {u'x'};
    EXPECT_EQ(LoadResString(id, buffer, 8), 0u);
    EXPECT_EQ(buffer[0], u'\0');
  }
  for (uint32_t id : {IDB_VIDEO_STARTED, IDB_VIDEO_WAIT_FIRST, IDI_VIDEO_PANEL}) {
    EXPECT_TRUE(LoadResPng(id).empty()) << "picture " << id;
  }
  EXPECT_FALSE(LoadResDialog(IDD_VIDEO_TOOLBAR).has_value());
  EXPECT_FALSE(LoadResDialog(IDD_VIDEO_OPTIONS).has_value());
}

}  // namespace
}  // namespace vzres

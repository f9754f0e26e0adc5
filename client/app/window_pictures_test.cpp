// The picture tool's renderer over the shipped resource bundle.
#include "client/app/window_pictures.h"

#include <gtest/gtest.h>

#include "outside/vzres/vzres.h"

namespace {

class WindowPictures : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(vzres::LoadResourceLibrary("vzres")); }
  void TearDown() override { vzres::UnloadResourceLibrary(); }
};

bool SamePixels(const vz::Image& a, const vz::Image& b) {
  if (a.size() != b.size()) return false;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      if (a.GetPixel(x, y) != b.GetPixel(x, y)) return false;
    }
  }
  return true;
}

TEST_F(WindowPictures, EveryNamedWindowHasAPictureOfItsDescribedSize) {
  for (const std::string& name : WindowPictureNames()) {
    std::optional<vz::Image> picture = RenderWindowPicture(name, "en");
    ASSERT_TRUE(picture) << name;
    EXPECT_FALSE(picture->EncodePng().empty()) << name;
  }
  // The proxy dialog is 360x190 inside a one-pixel frame and a 26-pixel title bar.
  EXPECT_EQ(RenderWindowPicture("proxy", "en")->size(), (vz::Size{362, 217}));
  EXPECT_EQ(RenderWindowPicture("menu", "en")->width(), 258);
}

TEST_F(WindowPictures, TheLanguageChangesTheTextsAndTheSameInputGivesTheSamePicture) {
  const std::optional<vz::Image> english = RenderWindowPicture("connecting", "en");
  const std::optional<vz::Image> german = RenderWindowPicture("connecting", "de");
  const std::optional<vz::Image> again = RenderWindowPicture("connecting", "1033");
  ASSERT_TRUE(english && german && again);
  EXPECT_FALSE(SamePixels(*english, *german));
  EXPECT_TRUE(SamePixels(*english, *again));
  EXPECT_EQ(vzres::GetResourceLanguage(), vzres::kLanguageEnglish);  // restored
}

TEST_F(WindowPictures, UnknownNamesAndMissingDialogsGiveNothing) {
  EXPECT_FALSE(RenderWindowPicture("no-such-window", "en"));
  EXPECT_FALSE(RenderWindowPicture("dialog-4242", "en"));
  EXPECT_TRUE(RenderWindowPicture("dialog-615", "fr"));
}

}  // namespace

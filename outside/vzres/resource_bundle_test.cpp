#include "outside/vzres/resource_bundle.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "outside/vzres/bundle_writer.h"
#include "outside/vzres/vzres.h"

namespace vzres {
namespace {

constexpr uint32_t kGerman = 1031;

std::string SampleBundle() {
  BundleWriter writer;
  writer.Add(ResourceKind::kString, 50011, kLanguageEnglish, "Cancel");
  writer.Add(ResourceKind::kString, 50011, kGerman, "Abbrechen");
  writer.Add(ResourceKind::kString, 50013, kLanguageEnglish, "OK");
  writer.Add(ResourceKind::kString, 60043, kLanguageEnglish, "%s asks");
  writer.Add(ResourceKind::kString, 10005, kGerman, "nur Deutsch");
  writer.Add(ResourceKind::kString, 10002, kLanguageEnglish, "Gr\xC3\xBC\xC3\x9F\xF0\x9F\x98\x80");
  writer.Add(ResourceKind::kPng, 109, kNeutralLanguage, std::string("\x89PNG-bytes", 10));
  writer.Add(ResourceKind::kDialog, 105, kNeutralLanguage,
             "dialog 105 320 100 caption=\"Wait\"\ncontrol 2 BUTTON 1 2 3 4 text=50014\nend\n");
  writer.Add(ResourceKind::kDialog, 106, kNeutralLanguage, "dialog 106 10 10\n");  // no end
  writer.Add(ResourceKind::kDialog, 108, kNeutralLanguage, "dialog 999 10 10\nend\n");  // another id
  std::string bytes;
  EXPECT_TRUE(writer.Write(&bytes));
  return bytes;
}

void PutU32(std::string* bytes, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) (*bytes)[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

TEST(ResourceBundleTest, LooksUpByKindIdAndLanguageWithFallback) {
  std::string error;
  auto bundle = ResourceBundle::FromBytesForTesting(SampleBundle(), &error);
  ASSERT_NE(bundle, nullptr) << error;

  EXPECT_EQ(bundle->FindString(50011, kGerman, kLanguageEnglish), "Abbrechen");
  EXPECT_EQ(bundle->FindString(50013, kGerman, kLanguageEnglish), "OK");  // from the fallback
  EXPECT_EQ(bundle->FindString(10005, kLanguageEnglish, kLanguageEnglish), std::nullopt);
  EXPECT_EQ(bundle->FindString(10005, kGerman, kLanguageEnglish), "nur Deutsch");
  EXPECT_EQ(bundle->FindString(4242, kGerman, kLanguageEnglish), std::nullopt);
  // Kinds do not mix: 109 is an image, not a string.
  EXPECT_EQ(bundle->FindString(109, kNeutralLanguage, kNeutralLanguage), std::nullopt);
  EXPECT_EQ(bundle->FindPng(109), std::string_view("\x89PNG-bytes", 10));
  EXPECT_EQ(bundle->FindPng(110), std::nullopt);

  const auto dialog = bundle->FindDialog(105);
  ASSERT_TRUE(dialog.has_value());
  EXPECT_EQ(dialog->caption, "Wait");
  ASSERT_NE(dialog->FindControl(2), nullptr);
  EXPECT_EQ(dialog->FindControl(2)->text_id, 50014u);
  // A broken entry, or one that describes another dialog, is no dialog.
  EXPECT_FALSE(bundle->FindDialog(106).has_value());
  EXPECT_FALSE(bundle->FindDialog(108).has_value());
  EXPECT_FALSE(bundle->FindDialog(104).has_value());
}

TEST(ResourceBundleTest, RefusesMalformedFiles) {
  const std::string good = SampleBundle();
  struct Case {
    std::string bytes;
    const char* error;
  };
  std::vector<Case> cases;
  cases.push_back({"", "not a resource bundle"});
  cases.push_back({good.substr(0, 15), "not a resource bundle"});
  std::string bad_magic = good;
  bad_magic[0] = 'X';
  cases.push_back({bad_magic, "not a resource bundle"});
  std::string bad_version = good;
  PutU32(&bad_version, 4, 2);
  cases.push_back({bad_version, "unknown bundle version 2"});
  std::string huge_count = good;
  PutU32(&huge_count, 8, 0xFFFFFFFFu);
  cases.push_back({huge_count, "index runs past the end"});
  std::string past_end = good;
  PutU32(&past_end, 16 + 12, static_cast<uint32_t>(good.size()) - 1);  // first entry's offset
  PutU32(&past_end, 16 + 16, 2);                                       // and length
  cases.push_back({past_end, "entry 0 lies outside the data"});
  std::string wraps = good;
  PutU32(&wraps, 16 + 12, 0xFFFFFFF0u);
  PutU32(&wraps, 16 + 16, 0x20u);
  cases.push_back({wraps, "entry 0 lies outside the data"});
  std::string inside_index = good;
  PutU32(&inside_index, 16 + 12, 0);
  cases.push_back({inside_index, "entry 0 lies outside the data"});
  std::string unsorted = good;
  PutU32(&unsorted, 16 + 20 + 4, 1);  // second entry's id below the first's
  cases.push_back({unsorted, "not sorted or holds an entry twice"});

  for (const Case& c : cases) {
    std::string error;
    EXPECT_EQ(ResourceBundle::FromBytesForTesting(c.bytes, &error), nullptr) << c.error;
    EXPECT_NE(error.find(c.error), std::string::npos) << "wanted " << c.error << ", got " << error;
  }
  // Every cut of the file short of its end is refused.
  for (size_t length = 0; length < good.size(); ++length) {
    std::string error;
    EXPECT_EQ(ResourceBundle::FromView(std::string_view(good).substr(0, length), &error), nullptr) << length;
  }
}

class ResourceLibraryTest : public ::testing::Test {
 protected:
  void TearDown() override {
    UnloadResourceLibrary();
    SetResourceLanguage(kLanguageEnglish);
  }
};

TEST_F(ResourceLibraryTest, WithoutABundleEveryLookupFailsSoftly) {
  UnloadResourceLibrary();
  EXPECT_FALSE(IsResourceLibraryLoaded());
  EXPECT_EQ(LoadResString(50011), u"");
  char16_t buffer[8] = {u'x', u'x'};
  EXPECT_EQ(LoadResString(50011, buffer, 8), 0u);
  EXPECT_EQ(buffer[0], u'\0');
  EXPECT_TRUE(LoadResPng(109).empty());
  EXPECT_FALSE(LoadResDialog(105).has_value());
}

TEST_F(ResourceLibraryTest, ServesUtf16TextInTheProcessLanguage) {
  std::string error;
  SetResourceBundle(ResourceBundle::FromBytesForTesting(SampleBundle(), &error));
  ASSERT_TRUE(IsResourceLibraryLoaded()) << error;

  EXPECT_EQ(GetResourceLanguage(), kLanguageEnglish);
  EXPECT_EQ(LoadResString(50011), u"Cancel");
  SetResourceLanguage(kGerman);
  EXPECT_EQ(LoadResString(50011), u"Abbrechen");
  EXPECT_EQ(LoadResString(50013), u"OK");
  SetResourceLanguage(1041);  // no table at all: English
  EXPECT_EQ(LoadResString(50011), u"Cancel");
  EXPECT_EQ(LoadResString(50011, kGerman), u"Abbrechen");
  // UTF-8 in the bundle, UTF-16 out, a character outside the BMP included.
  EXPECT_EQ(LoadResString(10002), u"Gr\u00FC\u00DF\U0001F600");

  // Into a fixed buffer: cut to capacity - 1 and terminated.
  char16_t buffer[4];
  EXPECT_EQ(LoadResString(50011, buffer, 4), 3u);
  EXPECT_EQ(std::u16string(buffer), u"Can");
  EXPECT_EQ(LoadResString(50011, buffer, 0), 0u);
  EXPECT_EQ(LoadResString(50011, nullptr, 4), 0u);

  EXPECT_EQ(LoadResPng(109).size(), 10u);
  EXPECT_TRUE(LoadResDialog(105).has_value());
}

TEST_F(ResourceLibraryTest, OpensABundleFileByPathAndClosesOnFailure) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("vzres_test_" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  const std::string good_path = (folder / "good.bundle").string();
  const std::string bad_path = (folder / "bad.bundle").string();
  {
    std::ofstream(good_path, std::ios::binary) << SampleBundle();
    std::ofstream(bad_path, std::ios::binary) << "VZRB but nothing else";
  }

  EXPECT_TRUE(LoadResourceLibrary(good_path));
  EXPECT_EQ(LoadResString(50013), u"OK");
  // A failed load leaves no bundle behind rather than the previous one.
  EXPECT_FALSE(LoadResourceLibrary(bad_path));
  EXPECT_FALSE(IsResourceLibraryLoaded());
  EXPECT_TRUE(LoadResourceLibrary(good_path));
  EXPECT_FALSE(LoadResourceLibrary((folder / "missing.bundle").string()));
  EXPECT_EQ(LoadResString(50013), u"");
  EXPECT_FALSE(LoadResourceLibrary(folder.string()));  // a folder is no bundle

  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace vzres

#include "client/app/hand_off_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/scoped_environment_testlib.h"

namespace {

namespace fs = std::filesystem;

class HandOff : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("hand-off-test-" + std::to_string(vz::ProcessId()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::string Path() const { return (folder_ / kHandOffFileName).string(); }
  void Plant(const std::string& bytes) const { ASSERT_TRUE(vz::WriteFileAtomic(Path(), bytes, 0600)) << Path(); }
  std::string Content() const {
    std::string bytes;
    EXPECT_TRUE(vz::ReadFileBytes(Path(), &bytes)) << Path();
    return bytes;
  }

  fs::path folder_;
};

TEST_F(HandOff, SendingSideWritesOnlyIntoAnEmptyFile) {
  const HandOffFile file(Path());
  // No file: no waiting instance, a normal start.
  EXPECT_FALSE(file.HandOffCommandLine(u"/MEET:m1 /PN:p"));
  EXPECT_FALSE(fs::exists(Path()));
  // An empty file: the line goes there (UTF-8, nothing else) and this start stops.
  Plant("");
  EXPECT_TRUE(file.HandOffCommandLine(u"/MEET:会议 /PN:p"));
  EXPECT_EQ(Content(), "/MEET:\xE4\xBC\x9A\xE8\xAE\xAE /PN:p");
  // A file that already holds a line: a normal start, the line is kept.
  EXPECT_FALSE(file.HandOffCommandLine(u"/MEET:other"));
  EXPECT_EQ(Content(), "/MEET:\xE4\xBC\x9A\xE8\xAE\xAE /PN:p");
  // An empty command line always stops.
  EXPECT_TRUE(file.HandOffCommandLine(u""));
}

TEST_F(HandOff, WaitingSideTakesTheLineDeletesTheFileAndParses) {
  const HandOffFile file(Path());
  AppPeerConfig config;
  EXPECT_EQ(file.ReadAppPeerConfigFromHandOff(&config), 0);  // no file
  Plant("");
  EXPECT_EQ(file.ReadAppPeerConfigFromHandOff(&config), 0);  // empty: wait on
  EXPECT_TRUE(fs::exists(Path()));

  Plant("\"/MEET:m 1\" /ROSTER:r\xC3\xA9 /PN:pipe\r\nsecond line");
  ASSERT_EQ(file.ReadAppPeerConfigFromHandOff(&config, [](uint32_t) { return 0u; }), 1);
  EXPECT_FALSE(fs::exists(Path()));
  EXPECT_EQ(std::u16string(config.MeetId), u"m 1");
  EXPECT_EQ(std::u16string(config.RosterId), u"ré");
  EXPECT_EQ(std::u16string(config.PipeName), u"pipe");
}

TEST_F(HandOff, BothSidesRoundTripTheArgumentsAndLongLinesAreCut) {
  const HandOffFile file(Path());
  Plant("");
  ASSERT_TRUE(file.HandOffCommandLine(u"\"/MEET:a \\\"quoted\\\" id\" /PN:p"));
  AppPeerConfig config;
  ASSERT_EQ(file.ReadAppPeerConfigFromHandOff(&config), 1);
  EXPECT_EQ(std::u16string(config.MeetId), u"a \"quoted\" id");

  Plant(std::string(1500, 'x'));
  const std::optional<std::u16string> line = file.ReadHandOffLine();
  ASSERT_TRUE(line);
  EXPECT_EQ(line->size(), kMaxHandOffLine);
  // A cut never leaves half a surrogate pair.
  Plant(std::string(1022, 'x') + "\xF0\x9F\x98\x80");
  EXPECT_EQ(file.ReadHandOffLine()->size(), 1022u);
}

TEST_F(HandOff, TheDefaultFileIsInThePrivateRuntimeFolder) {
  vz::ScopedEnvironmentVariable runtime("XDG_RUNTIME_DIR", folder_.c_str());
  const HandOffFile file = HandOffFile::Default();
  EXPECT_EQ(file.GetHandOffFilePathForTesting(), (folder_ / "velzar" / kHandOffFileName).string());
  EXPECT_EQ(fs::status(folder_ / "velzar").permissions() & fs::perms::all, fs::perms::owner_all);
  // No folder, no hand-off: nothing is written anywhere.
  const HandOffFile none{std::string()};
  EXPECT_FALSE(none.HandOffCommandLine(u"/MEET:m"));
  EXPECT_FALSE(none.ReadHandOffLine());
}

}  // namespace

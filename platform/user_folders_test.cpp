#include "platform/user_folders.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_system.h"
#include "platform/platform_log_sink_testlib.h"
#include "platform/scoped_test_folder_testlib.h"
#include "platform/test_requirement_testlib.h"

namespace vz {
namespace {

unsigned ModeOf(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return 0xFFFF;
  return info.st_mode & 07777;
}

TEST(UserFoldersTest, FoldersFollowTheXdgVariablesAndAreCreatedPrivate) {
  ScopedTestFolder temp;
  ScopedEnv runtime("XDG_RUNTIME_DIR", (temp.path() + "/run").c_str());
  ScopedEnv config("XDG_CONFIG_HOME", (temp.path() + "/config").c_str());
  ScopedEnv data("XDG_DATA_HOME", (temp.path() + "/data/deeper").c_str());

  EXPECT_EQ(RuntimeFolder(), temp.path() + "/run/velzar");
  EXPECT_EQ(ConfigFolder(), temp.path() + "/config/velzar");
  EXPECT_EQ(DataFolder(), temp.path() + "/data/deeper/velzar");
  for (const char* made : {"/run", "/run/velzar", "/config/velzar", "/data", "/data/deeper", "/data/deeper/velzar"}) {
    EXPECT_EQ(ModeOf(temp.path() + made), 0700u) << made;
  }
}

TEST(UserFoldersTest, FallBackToHomeAndTmpWhenTheVariablesAreUnsetOrRelative) {
  ScopedTestFolder temp;
  ScopedEnv home("HOME", temp.path().c_str());
  ScopedEnv config("XDG_CONFIG_HOME", "relative/ignored");
  ScopedEnv data("XDG_DATA_HOME", nullptr);
  ScopedEnv runtime("XDG_RUNTIME_DIR", nullptr);

  EXPECT_EQ(ConfigFolder(), temp.path() + "/.config/velzar");
  EXPECT_EQ(DataFolder(), temp.path() + "/.local/share/velzar");
  std::string expected_runtime = "/tmp/velzar-" + std::to_string(::geteuid());
  EXPECT_EQ(RuntimeFolder(), expected_runtime);
  EXPECT_EQ(ModeOf(expected_runtime), 0700u);
  EXPECT_EQ(ModeOf(temp.path() + "/.local/share/velzar"), 0700u);
}

TEST(UserFoldersTest, AnExistingFolderOpenToOthersIsMadePrivate) {
  ScopedTestFolder temp;
  std::string folder = temp.path() + "/velzar";
  ASSERT_EQ(::mkdir(folder.c_str(), 0777), 0);
  ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
  ScopedEnv runtime("XDG_RUNTIME_DIR", temp.path().c_str());
  EXPECT_EQ(RuntimeFolder(), folder);
  EXPECT_EQ(ModeOf(folder), 0700u);
}

TEST(UserFoldersTest, ARuntimeFolderThatIsALinkOrNotAFolderIsRefused) {
  ScopedTestFolder temp;
  std::string target = temp.path() + "/elsewhere";
  ASSERT_TRUE(EnsurePrivateFolder(target));
  ASSERT_EQ(::symlink(target.c_str(), (temp.path() + "/velzar").c_str()), 0);
  ScopedEnv runtime("XDG_RUNTIME_DIR", temp.path().c_str());
  CapturedPlatformLog log;
  EXPECT_EQ(RuntimeFolder(), "");
  EXPECT_TRUE(log.Has({"symbolic link"}));

  ASSERT_TRUE(WriteFileAtomic(temp.path() + "/file", "x", 0600));
  EXPECT_FALSE(EnsurePrivateFolder(temp.path() + "/file"));
  EXPECT_FALSE(EnsurePrivateFolder(temp.path() + "/file/below"));
  EXPECT_FALSE(EnsurePrivateFolder(""));
}

TEST(UserFoldersTest, AFolderOfAnotherUserIsRefused) {
  if (::geteuid() != 0) VZ_SKIP_TEST_WITHOUT(vz::kNeedsRoot) << "only root gives a folder to another user";
  ScopedTestFolder temp;
  std::string folder = temp.path() + "/velzar";
  ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
  ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
  ScopedEnv runtime("XDG_RUNTIME_DIR", temp.path().c_str());
  CapturedPlatformLog log;
  EXPECT_EQ(RuntimeFolder(), "");
  EXPECT_TRUE(log.Has({folder, "belongs to uid 65534"}));
}

}  // namespace
}  // namespace vz

#include "trace/log_cleanup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/process.h"
#include "platform/scoped_test_folder_testlib.h"
#include "trace/trace_testlib.h"

namespace vz {
namespace {

using testing::FilesStartingWith;
using testing::SetModifiedTime;
using testing::WriteWholeFile;

constexpr int64_t kNow = 1750000000;
// No process has this id (the kernel's limit is far below it).
constexpr int kDeadPid = 999999999;

class LogCleanupTest : public ::testing::Test {
 protected:
  void Make(const std::string& name, int64_t age_seconds) {
    const std::string path = folder_.path() + "/" + name;
    WriteWholeFile(path, "old lines\r\n");
    SetModifiedTime(path, kNow - age_seconds);
  }
  bool Exists(const std::string& name) const { return std::filesystem::exists(folder_.path() + "/" + name); }

  ScopedTestFolder folder_;
};

TEST_F(LogCleanupTest, DeletesOnlyLogsOlderThanThreeDays) {
  Make("vzmeet-app.1001.log", 259201);
  Make("vzmeet-app.1002.log", 259200);  // exactly three days: kept
  Make("vzmeet-app.1003.log", -3600);   // written in the future: kept
  Make("vzmeet-app.1004.log", 10);
  Make("vzmeet-app.old.txt", 400000);   // any name with the pattern and a dot
  Make("vzmeet-appx.1005.log", 400000); // no dot after the pattern: kept
  Make("other.1006.log", 400000);
  std::filesystem::create_directory(folder_.path() + "/vzmeet-app.x");
  SetModifiedTime(folder_.path() + "/vzmeet-app.x", kNow - 400000);

  EXPECT_EQ(DeleteOldLogs(folder_.path(), "vzmeet-app", kNow), 2);
  EXPECT_FALSE(Exists("vzmeet-app.1001.log"));
  EXPECT_FALSE(Exists("vzmeet-app.old.txt"));
  EXPECT_TRUE(Exists("vzmeet-app.1002.log"));
  EXPECT_TRUE(Exists("vzmeet-app.1003.log"));
  EXPECT_TRUE(Exists("vzmeet-app.1004.log"));
  EXPECT_TRUE(Exists("vzmeet-appx.1005.log"));
  EXPECT_TRUE(Exists("other.1006.log"));
  EXPECT_TRUE(std::filesystem::is_directory(folder_.path() + "/vzmeet-app.x"));
}

TEST_F(LogCleanupTest, KeepsTheOldLogOfAProcessThatIsStillAlive) {
  const std::string live = "vzmeet-app." + std::to_string(ProcessId()) + ".log";
  const std::string dead = "vzmeet-app." + std::to_string(kDeadPid) + ".log";
  Make(live, 400000);
  Make(dead, 400000);
  EXPECT_EQ(DeleteOldLogs(folder_.path(), "vzmeet-app", kNow), 1);
  EXPECT_TRUE(Exists(live));
  EXPECT_FALSE(Exists(dead));
}

TEST_F(LogCleanupTest, TheOlderPatternIsCleanedTheSameWay) {
  Make("velzar-app.1001.log", 259201);
  Make("velzar-app.1002.log", 259200);
  Make("vzmeet-app.1003.log", 259201);
  EXPECT_EQ(DeleteOldLogs(folder_.path(), "velzar-app", kNow), 1);
  EXPECT_EQ(FilesStartingWith(folder_.path(), "v"),
            (std::vector<std::string>{"velzar-app.1002.log", "vzmeet-app.1003.log"}));
}

TEST_F(LogCleanupTest, AMissingFolderDeletesNothing) {
  EXPECT_EQ(DeleteOldLogs(folder_.path() + "/missing", "vzmeet-app", kNow), 0);
}

}  // namespace
}  // namespace vz

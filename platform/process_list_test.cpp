#include "platform/process_list.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/program_launch.h"
#include "platform/scoped_test_folder_testlib.h"

namespace vz {
namespace {

bool Listed(int pid, const std::string& name) {
  const std::vector<ProcessEntry> entries = ListOwnProcesses();
  return std::any_of(entries.begin(), entries.end(),
                     [&](const ProcessEntry& entry) { return entry.pid == pid && entry.executable_name == name; });
}

TEST(ProcessList, ListsOwnProcessesByExecutableBaseNameButNotItself) {
  ScopedTestFolder folder;
  const std::string copy = folder.path() + "/vz-test-sleeper";
  ASSERT_TRUE(CopyFileBytes("/bin/sleep", copy, 0755));
  int error = 0;
  const int pid = LaunchProgram(copy, {"renamed-in-argv", "30"}, &error);
  ASSERT_GT(pid, 0);
  EXPECT_TRUE(Listed(pid, "vz-test-sleeper"));  // the file's name, not argv[0]
  const std::vector<ProcessEntry> entries = ListOwnProcesses();
  EXPECT_TRUE(std::none_of(entries.begin(), entries.end(),
                           [](const ProcessEntry& entry) { return entry.pid == ProcessId(); }));

  // The file replaced while it runs: still the same name.
  ASSERT_TRUE(RemoveFile(copy));
  EXPECT_TRUE(Listed(pid, "vz-test-sleeper"));

  EXPECT_TRUE(TerminateProcess(pid, 2000));
  EXPECT_FALSE(IsProcessAlive(pid));  // reaped: no zombie left
  EXPECT_TRUE(TerminateProcess(pid, 2000));  // gone already
}

TEST(ProcessList, AProcessThatIgnoresTheRequestIsEndedAfterTheGraceTime) {
  ScopedTestFolder folder;
  const std::string ready = folder.path() + "/ready";
  int error = 0;
  const int pid =
      LaunchProgram("/bin/sh", {"sh", "-c", "trap '' TERM; echo > '" + ready + "'; exec sleep 30"}, &error);
  ASSERT_GT(pid, 0);
  const uint64_t give_up = MonotonicMs() + 5000;
  while (!FileExists(ready) && MonotonicMs() < give_up) {
  }
  ASSERT_TRUE(FileExists(ready));  // the trap is in place
  EXPECT_TRUE(TerminateProcess(pid, 200));
  EXPECT_FALSE(IsProcessAlive(pid));
}

}  // namespace
}  // namespace vz

#include "platform/process.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "platform/clock.h"
#include "platform/file_system.h"

namespace vz {
namespace {

TEST(ProcessTest, KnowsItsOwnProgramAndThreads) {
  std::string path = ExecutablePath();
  EXPECT_EQ(BaseName(path), "platform_tests");
  EXPECT_EQ(ExecutableDir(), DirName(path));
  EXPECT_TRUE(FileExists(path));

  EXPECT_EQ(ThreadId(), ProcessId());  // the main thread's id is the process id
  int other = 0;
  std::thread([&] { other = ThreadId(); }).join();
  EXPECT_NE(other, ProcessId());
  EXPECT_GT(other, 0);
  EXPECT_TRUE(IsProcessAlive(ParentProcessId()));
  EXPECT_TRUE(IsProcessAlive(1));  // for a user other than root, a process not ours (EPERM)
}

TEST(ProcessTest, ThreadIdIsTheChildsOwnAfterAFork) {
  // The id is kept per thread; a forked child's one thread has a new one.
  const int before = ThreadId();
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(ThreadId() == ProcessId() && ThreadId() != before ? 0 : 1);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(ThreadId(), before);
}

TEST(ProcessTest, SpawnPassesTheArgumentVectorAndWaitGivesTheExitCode) {
  std::string error;
  // $0 and $1 arrive as given, the space kept inside one argument.
  int pid = SpawnProcess("/bin/sh", {"sh", "-c", "[ \"$0\" = first ] && [ \"$1\" = 'a b' ] && exit 7", "first", "a b"},
                         &error);
  ASSERT_GT(pid, 0) << error;
  int exit_code = -1;
  ASSERT_TRUE(WaitForProcess(pid, 60000, &exit_code));
  EXPECT_EQ(exit_code, 7);
  EXPECT_FALSE(IsProcessAlive(pid));  // reaped

  pid = SpawnProcess("/bin/sh", {"sh", "-c", "kill -TERM $$"}, &error);
  ASSERT_GT(pid, 0) << error;
  ASSERT_TRUE(WaitForProcess(pid, -1, &exit_code));
  EXPECT_EQ(exit_code, 128 + SIGTERM);
}

TEST(ProcessTest, SpawnOfAMissingProgramFailsWithAReason) {
  std::string error;
  EXPECT_EQ(SpawnProcess("/nonexistent/program", {"program"}, &error), -1);
  EXPECT_FALSE(error.empty());
}

TEST(ProcessTest, WaitGivesUpAtItsTimeoutAndTheChildLivesOn) {
  std::string error;
  int pid = SpawnProcess("/bin/sleep", {"sleep", "30"}, &error);
  ASSERT_GT(pid, 0) << error;
  uint64_t start = MonotonicMs();
  int exit_code = -1;
  EXPECT_FALSE(WaitForProcess(pid, 50, &exit_code));
  // Far below the child's 30 s, however loaded the machine.
  EXPECT_LT(MonotonicMs() - start, 10000u);
  EXPECT_TRUE(IsProcessAlive(pid));

  ASSERT_EQ(::kill(pid, SIGKILL), 0);
  EXPECT_TRUE(WaitForProcess(pid, 60000, &exit_code));
  EXPECT_EQ(exit_code, 128 + SIGKILL);
  EXPECT_FALSE(WaitForProcess(pid, 10, &exit_code));  // already reaped: not ours any more
  EXPECT_FALSE(IsProcessAlive(0));
  EXPECT_FALSE(IsProcessAlive(-1));
}

}  // namespace
}  // namespace vz

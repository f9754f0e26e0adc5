#include "platform/process_stat.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/process.h"

namespace vz {
namespace {

TEST(ProcessStat, GivesTheParentOfALiveProcessAndNothingForADeadOne) {
  ProcessStat stat;
  ASSERT_TRUE(ReadProcessStat(ProcessId(), &stat));
  EXPECT_EQ(stat.parent_pid, ParentProcessId());
  EXPECT_NE(stat.state, 'Z');

  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ASSERT_GT(child, 0);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_FALSE(ReadProcessStat(child, &stat));
  EXPECT_FALSE(ReadProcessStat(0, &stat));
  EXPECT_FALSE(ReadProcessStat(-5, &stat));
}

TEST(ProcessStat, CpuTimeGrowsWithWorkDone) {
  ProcessStat before;
  ASSERT_TRUE(ReadProcessStat(ProcessId(), &before));
  // Spin until the kernel's accounting moves (one tick is at most 10 ms).
  volatile uint64_t sink = 0;
  ProcessStat after = before;
  for (int round = 0; round < 2000 && after.cpu_ms == before.cpu_ms; ++round) {
    for (int i = 0; i < 200000; ++i) sink = sink + static_cast<uint64_t>(i);
    ASSERT_TRUE(ReadProcessStat(ProcessId(), &after)) << "round " << round;
  }
  EXPECT_GT(after.cpu_ms, before.cpu_ms);
  EXPECT_LT(after.cpu_ms - before.cpu_ms, 60000u);
}

TEST(ProcessStat, AnEndedUnreapedChildReadsAsZombie) {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ASSERT_GT(child, 0);
  // Waits for the end without reaping, so the child stays a zombie.
  siginfo_t info{};
  ASSERT_EQ(::waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT), 0);
  ProcessStat stat;
  ASSERT_TRUE(ReadProcessStat(child, &stat));
  EXPECT_EQ(stat.state, 'Z');
  EXPECT_EQ(stat.parent_pid, ProcessId());
  int status = 0;
  ::waitpid(child, &status, 0);
}

}  // namespace
}  // namespace vz

#include "platform/process.h"

#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/platform_log.h"
#include "platform/process_spawn.h"

namespace vz {
namespace {

int ExitCodeOf(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

// One reap attempt: 1 ended, 0 still running, -1 failed (logged).
int TryReap(int pid, int flags, int* exit_code) {
  for (;;) {
    int status = 0;
    pid_t result = ::waitpid(pid, &status, flags);
    if (result < 0 && errno == EINTR) continue;
    if (result < 0) {
      PlatformLog("cannot wait for process %d: %s", pid, std::strerror(errno));
      return -1;
    }
    if (result == 0) return 0;
    if (exit_code != nullptr) *exit_code = ExitCodeOf(status);
    return 1;
  }
}

// A descriptor that becomes readable when the process ends; -1 when the
// kernel has none to give.
int OpenProcessDescriptor(int pid) {
#ifdef SYS_pidfd_open
  return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
  (void)pid;
  return -1;
#endif
}

}  // namespace

std::string ExecutablePath() {
  char buffer[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  if (n <= 0) {
    PlatformLog("cannot read /proc/self/exe: %s", std::strerror(errno));
    return std::string();
  }
  return std::string(buffer, static_cast<size_t>(n));
}

std::string ProcessImagePath(int pid) {
  if (pid <= 0) return {};
  const std::string link = "/proc/" + std::to_string(pid) + "/exe";
  char buffer[PATH_MAX];
  const ssize_t length = readlink(link.c_str(), buffer, sizeof(buffer) - 1);
  if (length <= 0) return {};
  return std::string(buffer, static_cast<size_t>(length));
}

std::string ExecutableDir() {
  std::string path = ExecutablePath();
  return path.empty() ? std::string() : DirName(path);
}

int ProcessId() { return static_cast<int>(::getpid()); }
int ParentProcessId() { return static_cast<int>(::getppid()); }
namespace {
// Bumped in the child of every fork, whose one thread has a new id.
std::atomic<unsigned> g_fork_generation{0};
void CountFork() { g_fork_generation.fetch_add(1, std::memory_order_relaxed); }
const bool g_fork_counted = (pthread_atfork(nullptr, nullptr, CountFork) == 0);
}  // namespace

int ThreadId() {
  // Every log line asks; the system call is made once per thread (and again
  // after a fork). Where the fork handler could not be registered, it is
  // made every time.
  thread_local int cached_id = -1;
  thread_local unsigned cached_generation = 0;
  const unsigned generation = g_fork_generation.load(std::memory_order_relaxed);
  if (!g_fork_counted || cached_id < 0 || cached_generation != generation) {
    cached_id = static_cast<int>(::gettid());
    cached_generation = generation;
  }
  return cached_id;
}

bool SetCurrentThreadNormalPriority() {
  sched_param param{};
  param.sched_priority = 0;
  const int error = pthread_setschedparam(pthread_self(), SCHED_OTHER, &param);
  if (error != 0) {
    PlatformLog("thread %d: normal priority refused: %s", ThreadId(), std::strerror(error));
    return false;
  }
  return true;
}

bool IsProcessAlive(int pid) {
  if (pid <= 0) return false;
  // EPERM: it exists but belongs to someone else.
  return ::kill(pid, 0) == 0 || errno == EPERM;
}

bool KillProcess(int pid) { return pid > 0 && ::kill(pid, SIGKILL) == 0; }

int SpawnProcess(const std::string& path, const std::vector<std::string>& args, std::string* error) {
  int error_number = 0;
  const int pid = SpawnChild(path, args, SpawnOptions(), &error_number);
  if (error != nullptr) *error = pid < 0 ? std::string(std::strerror(error_number)) : std::string();
  return pid;
}

bool WaitForProcess(int pid, int timeout_ms, int* exit_code) {
  if (pid <= 0) {
    PlatformLog("cannot wait for process %d: not a process id", pid);
    return false;
  }
  if (timeout_ms < 0) return TryReap(pid, 0, exit_code) == 1;

  int pidfd = OpenProcessDescriptor(pid);
  uint64_t deadline = MonotonicMs() + static_cast<uint64_t>(timeout_ms);
  int reaped;
  for (;;) {
    reaped = TryReap(pid, WNOHANG, exit_code);
    if (reaped != 0) break;
    uint64_t now = MonotonicMs();
    if (now >= deadline) break;
    int left = static_cast<int>(deadline - now);
    if (pidfd >= 0) {
      pollfd watch{pidfd, POLLIN, 0};
      ::poll(&watch, 1, left);
    } else {
      SleepMs(left < 10 ? static_cast<uint32_t>(left) : 10u);
    }
  }
  if (pidfd >= 0) ::close(pidfd);
  return reaped == 1;
}

}  // namespace vz

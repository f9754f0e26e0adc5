#include "platform/process_list.h"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "platform/clock.h"
#include "platform/platform_log.h"

namespace vz {
namespace {

bool ParsePid(const char* text, int* pid) {
  if (text[0] == '\0') return false;
  long value = 0;
  for (const char* c = text; *c; ++c) {
    if (*c < '0' || *c > '9') return false;
    value = value * 10 + (*c - '0');
    if (value > INT_MAX) return false;
  }
  *pid = static_cast<int>(value);
  return value > 0;
}

std::string ExecutableBaseName(int pid) {
  char link[64];
  std::snprintf(link, sizeof(link), "/proc/%d/exe", pid);
  char target[PATH_MAX];
  const ssize_t n = ::readlink(link, target, sizeof(target) - 1);
  if (n <= 0) return std::string();
  std::string path(target, static_cast<size_t>(n));
  constexpr std::string_view kDeleted = " (deleted)";
  if (path.size() > kDeleted.size() && path.compare(path.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0) {
    path.resize(path.size() - kDeleted.size());
  }
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Gone, or a zombie that only waits to be reaped (reaped here when it is
// our child).
bool HasEnded(int pid) {
  int status = 0;
  if (::waitpid(pid, &status, WNOHANG) == pid) return true;  // our child, reaped now
  char path[64];
  std::snprintf(path, sizeof(path), "/proc/%d/stat", pid);
  FILE* file = std::fopen(path, "r");
  if (file == nullptr) return true;
  char text[512];
  const size_t n = std::fread(text, 1, sizeof(text) - 1, file);
  std::fclose(file);
  text[n] = '\0';
  const char* close = std::strrchr(text, ')');
  const bool dead = close != nullptr && close[1] == ' ' && (close[2] == 'Z' || close[2] == 'X');
  // It may have died after the first look: reap it now if it is ours.
  if (dead) ::waitpid(pid, &status, WNOHANG);
  return dead;
}

bool WaitEnded(int pid, int timeout_ms) {
  const uint64_t deadline = MonotonicMs() + static_cast<uint64_t>(timeout_ms > 0 ? timeout_ms : 0);
  for (;;) {
    if (HasEnded(pid)) return true;
    if (MonotonicMs() >= deadline) return false;
    SleepMs(10);
  }
}

}  // namespace

std::vector<ProcessEntry> ListOwnProcesses() {
  std::vector<ProcessEntry> entries;
  DIR* proc = ::opendir("/proc");
  if (proc == nullptr) {
    PlatformLog("cannot list /proc: %s", std::strerror(errno));
    return entries;
  }
  const uid_t me = ::getuid();
  const int self = static_cast<int>(::getpid());
  while (dirent* entry = ::readdir(proc)) {
    int pid = 0;
    if (!ParsePid(entry->d_name, &pid) || pid == self) continue;
    struct stat info;
    if (::fstatat(::dirfd(proc), entry->d_name, &info, 0) != 0 || info.st_uid != me) continue;
    std::string name = ExecutableBaseName(pid);
    if (name.empty()) continue;
    entries.push_back({pid, std::move(name)});
  }
  ::closedir(proc);
  return entries;
}

bool TerminateProcess(int pid, int grace_ms) {
  if (pid <= 0) return false;
  if (::kill(pid, SIGTERM) != 0) {
    if (errno == ESRCH) return true;
    PlatformLog("cannot end process %d: %s", pid, std::strerror(errno));
    return false;
  }
  if (WaitEnded(pid, grace_ms)) return true;
  PlatformLog("process %d did not end within %d ms; killing it", pid, grace_ms);
  if (::kill(pid, SIGKILL) != 0 && errno != ESRCH) {
    PlatformLog("cannot kill process %d: %s", pid, std::strerror(errno));
    return false;
  }
  return WaitEnded(pid, 2000);
}

}  // namespace vz

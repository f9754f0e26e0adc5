#include "platform/process_stat.h"

#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/file_system.h"

namespace vz {

bool ReadProcessStat(int pid, ProcessStat* stat) {
  if (pid <= 0 || stat == nullptr) return false;
  std::string text;
  if (!ReadFileBytes("/proc/" + std::to_string(pid) + "/stat", &text)) return false;
  // "pid (command) state ppid ...": the command may hold blanks and ')',
  // so the fields are read after the last ')'.
  const size_t close = text.rfind(')');
  if (close == std::string::npos) return false;
  char state = 0;
  int parent = 0;
  unsigned long long user_ticks = 0, system_ticks = 0;
  // state ppid pgrp session tty tpgid flags minflt cminflt majflt cmajflt utime stime
  if (std::sscanf(text.c_str() + close + 1, " %c %d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &state, &parent,
                  &user_ticks, &system_ticks) != 4) {
    return false;
  }
  stat->state = state;
  stat->parent_pid = parent;
  const long ticks_per_second = sysconf(_SC_CLK_TCK);
  stat->cpu_ms = ticks_per_second > 0 ? (user_ticks + system_ticks) * 1000ULL / ticks_per_second : 0;
  return true;
}

}  // namespace vz

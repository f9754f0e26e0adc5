#include "platform/process_stat.h"

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
  if (std::sscanf(text.c_str() + close + 1, " %c %d", &state, &parent) != 2) return false;
  stat->state = state;
  stat->parent_pid = parent;
  return true;
}

}  // namespace vz

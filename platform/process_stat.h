#pragma once
// What the system tells of any process by its id (Linux: /proc/<pid>/stat),
// for the meeting client's "/P:" option, which names the browser by the
// parent of a given process, and for the CPU time a demonstration reports.
#include <cstdint>

namespace vz {

struct ProcessStat {
  int parent_pid = 0;
  char state = 0;  // 'R', 'S', 'Z' (ended, not yet reaped), ...
  uint64_t cpu_ms = 0;  // user and system time used so far
};

// False when no process of that id exists (or its entry cannot be read).
bool ReadProcessStat(int pid, ProcessStat* stat);

}  // namespace vz

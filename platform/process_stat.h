#pragma once
// What the system tells of any process by its id (Linux: /proc/<pid>/stat),
// for the meeting client's "/P:" option, which names the browser by the
// parent of a given process.
namespace vz {

struct ProcessStat {
  int parent_pid = 0;
  char state = 0;  // 'R', 'S', 'Z' (ended, not yet reaped), ...
};

// False when no process of that id exists (or its entry cannot be read).
bool ReadProcessStat(int pid, ProcessStat* stat);

}  // namespace vz

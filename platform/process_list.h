#pragma once
// The current user's processes, and ending one of them.
#include <string>
#include <vector>

namespace vz {

struct ProcessEntry {
  int pid = 0;
  // The base name of the process's executable file (" (deleted)" removed
  // when the file was replaced while it ran).
  std::string executable_name;
};

// Every process of the current user but this one, whose executable can be
// read. Processes of other users are never listed.
std::vector<ProcessEntry> ListOwnProcesses();

// Asks the process to end (SIGTERM) and, when it still runs after
// `grace_ms`, ends it (SIGKILL). A child of this process is reaped. True when
// it is gone afterwards (also when it was gone before).
bool TerminateProcess(int pid, int grace_ms);

}  // namespace vz

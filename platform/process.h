#pragma once
// Process and thread helpers.
#include <cstdint>
#include <string>
#include <vector>

namespace vz {

std::string ExecutablePath();  // absolute path of the running program
std::string ExecutableDir();   // its folder, no trailing slash
int ProcessId();
int ParentProcessId();
int ThreadId();  // the kernel's id of the calling thread
// Puts the calling thread on the ordinary time-sharing policy at its normal
// priority. False (with a log line) when the system refused.
bool SetCurrentThreadNormalPriority();
bool IsProcessAlive(int pid);
// The path of another process's program (what it was started from); empty
// when the process is gone, not ours to look at, or pid is not positive.
std::string ProcessImagePath(int pid);

// Starts `path` with `args` (args[0] is the program name the child sees).
// Returns the child's pid, or -1 with `error` set.
int SpawnProcess(const std::string& path, const std::vector<std::string>& args, std::string* error);
// Waits for a child; timeout_ms < 0 waits without limit. True when it ended;
// `exit_code` gets its exit status, or 128 + signal when a signal ended it.
bool WaitForProcess(int pid, int timeout_ms, int* exit_code);
// Ends a process at once (SIGKILL); false when pid is not positive or the
// signal could not be sent.
bool KillProcess(int pid);

}  // namespace vz

#pragma once
// The launcher's ports on this machine.
#include "bridge/launcher_ports.h"

// Programs started apart from the host (standard input and output on
// /dev/null), waited for with waitpid, and ended with SIGTERM, then SIGKILL
// after two seconds.
class SystemProcessRunner : public IProcessRunner {
 public:
  int Start(const std::string& path, const std::vector<std::string>& argv, int* error) override;
  bool WaitEnded(int pid, int timeout_ms) override;
  std::vector<vz::ProcessEntry> OwnProcesses() override;
  void Terminate(int pid) override;
};

// The per-user data folder, vzbridge's own folder, the per-user runtime
// folder and the host's process id.
LauncherPaths SystemLauncherPaths();

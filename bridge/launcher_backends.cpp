#include "bridge/launcher_backends.h"

#include "platform/process.h"
#include "platform/program_launch.h"
#include "platform/user_folders.h"

int SystemProcessRunner::Start(const std::string& path, const std::vector<std::string>& argv, int* error) {
  return vz::LaunchProgram(path, argv, error);
}

bool SystemProcessRunner::WaitEnded(int pid, int timeout_ms) {
  int exit_code = 0;
  // A pid that is no longer there (reaped elsewhere) has ended too.
  return vz::WaitForProcess(pid, timeout_ms, &exit_code) || !vz::IsProcessAlive(pid);
}

std::vector<vz::ProcessEntry> SystemProcessRunner::OwnProcesses() { return vz::ListOwnProcesses(); }

void SystemProcessRunner::Terminate(int pid) { vz::TerminateProcess(pid, 2000); }

LauncherPaths SystemLauncherPaths() {
  LauncherPaths paths;
  paths.data_folder = vz::DataFolder();
  paths.own_folder = vz::ExecutableDir();
  paths.temp_folder = vz::RuntimeFolder();
  paths.own_process_id = vz::ProcessId();
  return paths;
}

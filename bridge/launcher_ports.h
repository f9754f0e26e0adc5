#pragma once
// What the client launcher needs from the machine, as ports, so that its
// steps run the same against the real system and against test doubles.
#include <string>
#include <vector>

#include "platform/process_list.h"

// The folders the launcher works in, and the host's own process id.
struct LauncherPaths {
  std::string data_folder;  // per-user data folder; the installed client lives below it
  std::string own_folder;   // vzbridge's folder; the client lives here when upgrades are disabled
  std::string temp_folder;  // downloads and the package's response file
  int own_process_id = 0;
};

// The version of an installed program, read without running it.
class IFileVersionSource {
 public:
  virtual ~IFileVersionSource() = default;
  // "a.b.c.d", or "" when the program or its version is missing.
  virtual std::string FileVersion(const std::string& program_path) = 0;
};

class IProcessRunner {
 public:
  virtual ~IProcessRunner() = default;
  // Starts a program; the pid, or -1 with `error` set (an errno value).
  virtual int Start(const std::string& path, const std::vector<std::string>& argv, int* error) = 0;
  // Waits up to `timeout_ms` for a started program; true when it has ended.
  virtual bool WaitEnded(int pid, int timeout_ms) = 0;
  // The current user's processes (not this one).
  virtual std::vector<vz::ProcessEntry> OwnProcesses() = 0;
  virtual void Terminate(int pid) = 0;
};

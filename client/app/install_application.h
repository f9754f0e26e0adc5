#pragma once
// "/INSTALL:": runs an upgrade package silently and waits for it. The
// package is copied into the client's own folder first and started from
// there with the silent-install arguments "/s", "/r" and "/f1" followed by
// the quoted path of "Setup.iss" in the runtime folder; the copy is deleted
// afterwards. (The switches belong to the package's own installer: on this
// platform the package is a program of the project's that accepts them.)
#include <string>
#include <string_view>
#include <vector>

// Starts a program and waits for it to end.
class IProgramRunner {
 public:
  virtual ~IProgramRunner() = default;
  // argv[0] is the program's path. True when the program started (its exit
  // code is not looked at).
  virtual bool RunAndWait(const std::string& path, const std::vector<std::string>& argv) = 0;
};
// Over the platform's process port.
IProgramRunner& SystemProgramRunner();

struct InstallerPorts {
  std::string own_path;     // the client's own program path
  std::string temp_folder;  // where "Setup.iss" is looked for
  IProgramRunner* runner = nullptr;
};
// The client's own path, the runtime folder and the system runner.
InstallerPorts SystemInstallerPorts();

// The arguments the package is started with (argv[0] = the copy's path).
std::vector<std::string> InstallerArguments(const std::string& target, const std::string& temp_folder);

// Non-zero when the package ran. 0 for an empty path, a missing file, a path
// without a folder, or a package that could not be put in place or started.
// A package that already lies where it would be copied is run in place and
// never deleted.
int InstallApplication(std::string_view installer, const InstallerPorts& ports);

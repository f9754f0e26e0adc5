#include "client/app/install_application.h"

#include <filesystem>
#include <system_error>

#include "common/trace_client.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/user_folders.h"

namespace {

class ProcessRunner : public IProgramRunner {
 public:
  bool RunAndWait(const std::string& path, const std::vector<std::string>& argv) override {
    std::string error;
    const int pid = vz::SpawnProcess(path, argv, &error);
    if (pid < 0) {
      VZ_LOG_ERROR("can't start [%s]: %s", path.c_str(), error.c_str());
      return false;
    }
    int exit_code = 0;
    vz::WaitForProcess(pid, -1, &exit_code);
    VZ_LOG("[%s] ended with [%d]", path.c_str(), exit_code);
    return true;
  }
};

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error) && !error;
}

}  // namespace

IProgramRunner& SystemProgramRunner() {
  static ProcessRunner runner;
  return runner;
}

InstallerPorts SystemInstallerPorts() {
  InstallerPorts ports;
  ports.own_path = vz::ExecutablePath();
  ports.temp_folder = vz::RuntimeFolder();
  ports.runner = &SystemProgramRunner();
  return ports;
}

std::vector<std::string> InstallerArguments(const std::string& target, const std::string& temp_folder) {
  return {target, "/s", "/r", "/f1\"" + vz::JoinPath(temp_folder, "Setup.iss") + "\""};
}

int InstallApplication(std::string_view installer_view, const InstallerPorts& ports) {
  const std::string installer(installer_view);
  if (installer.empty() || !vz::FileExists(installer) || vz::IsDirectory(installer)) return 0;
  if (installer.find('/') == std::string::npos || ports.own_path.find('/') == std::string::npos) return 0;
  if (ports.runner == nullptr) return 0;

  const std::string target = vz::JoinPath(vz::DirName(ports.own_path), vz::BaseName(installer));
  VZ_LOG("pInstaller [%s] aaa [%s]", installer.c_str(), target.c_str());
  // Deleting the target when it is the installer itself would delete the
  // only copy: then the package runs where it lies and is kept.
  const bool in_place = SameFile(installer, target);
  if (!in_place) {
    vz::RemoveFile(target);
    if (!vz::CopyFileBytes(installer, target, 0700)) {
      VZ_LOG_ERROR("can't copy [%s] to [%s]", installer.c_str(), target.c_str());
      return 0;
    }
  }
  const std::vector<std::string> argv = InstallerArguments(target, ports.temp_folder);
  VZ_LOG("cmd line [%s %s %s]", argv[1].c_str(), argv[2].c_str(), argv[3].c_str());
  const bool ran = ports.runner->RunAndWait(target, argv);
  if (!in_place) vz::RemoveFile(target);
  return ran ? 1 : 0;
}

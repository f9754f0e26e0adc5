// A stand-in upgrade package for the host's tests, in the project's package
// format: a program run as "<package> /s /r /f1"<response file>"". It
// installs the fake client as <data folder>/<folder>/<name> with its version
// file and records what it did in the response file. Folder, name and
// version come from $VZ_FAKE_PACKAGE_FOLDER, _NAME and _VERSION.
#include <cstdlib>
#include <string>

#include "platform/file_system.h"
#include "platform/user_folders.h"

namespace {

std::string Env(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value && *value ? value : fallback;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 || std::string(argv[1]) != "/s" || std::string(argv[2]) != "/r") return 2;
  const std::string response = argv[3];
  if (response.size() < 6 || response.rfind("/f1\"", 0) != 0 || response.back() != '"') return 2;
  const std::string response_file = response.substr(4, response.size() - 5);

  const std::string folder = vz::JoinPath(vz::DataFolder(), Env("VZ_FAKE_PACKAGE_FOLDER", "VelzarMeet"));
  const std::string program = vz::JoinPath(folder, Env("VZ_FAKE_PACKAGE_NAME", "FakeVelzarHub"));
  const std::string version = Env("VZ_FAKE_PACKAGE_VERSION", "1.0.0.0");
  if (!vz::EnsurePrivateFolder(folder)) return 3;
  if (!vz::CopyFileBytes(VZ_FAKE_CLIENT_PATH, program, 0755)) return 4;
  if (!vz::WriteFileAtomic(program + ".version", version + "\n", 0644)) return 5;
  if (!vz::WriteFileAtomic(response_file, "installed=" + program + "\nversion=" + version + "\n", 0600)) return 6;
  return 0;
}

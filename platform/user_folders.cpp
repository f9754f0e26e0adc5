#include "platform/user_folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/file_system.h"
#include "platform/platform_log.h"

namespace vz {
namespace {

// An XDG variable counts only when it holds an absolute path.
std::string AbsoluteEnv(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || value[0] != '/') return std::string();
  return value;
}

std::string HomeFolder() {
  std::string home = AbsoluteEnv("HOME");
  if (!home.empty()) return home;
  passwd entry{};
  passwd* found = nullptr;
  char buffer[4096];
  if (::getpwuid_r(::geteuid(), &entry, buffer, sizeof(buffer), &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr && found->pw_dir[0] == '/') {
    return found->pw_dir;
  }
  PlatformLog("no home folder for uid %u", static_cast<unsigned>(::geteuid()));
  return std::string();
}

bool MakeOneFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST) return true;
  PlatformLog("cannot create folder %s: %s", path.c_str(), std::strerror(errno));
  return false;
}

// The folder must be ours and reachable by us alone: its mode is set to
// 0700, a folder of another user is refused.
bool CheckPrivate(const std::string& path, const struct stat& info) {
  if (!S_ISDIR(info.st_mode)) {
    PlatformLog("%s is not a folder", path.c_str());
    return false;
  }
  if (info.st_uid != ::geteuid()) {
    PlatformLog("folder %s belongs to uid %u, not to us; refusing it", path.c_str(),
                static_cast<unsigned>(info.st_uid));
    return false;
  }
  if ((info.st_mode & 07777) != 0700 && ::chmod(path.c_str(), 0700) != 0) {
    PlatformLog("folder %s is open to others and its mode cannot be fixed: %s", path.c_str(),
                std::strerror(errno));
    return false;
  }
  return true;
}

std::string PrivateFolderOrEmpty(const std::string& path) { return EnsurePrivateFolder(path) ? path : std::string(); }

}  // namespace

bool EnsurePrivateFolder(const std::string& path) {
  if (path.empty()) {
    PlatformLog("cannot create a folder with no name");
    return false;
  }
  // Parents first; existing ones are left as they are.
  for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
    if (!MakeOneFolder(path.substr(0, slash))) return false;
  }
  if (!MakeOneFolder(path)) return false;
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    PlatformLog("cannot inspect folder %s: %s", path.c_str(), std::strerror(errno));
    return false;
  }
  return CheckPrivate(path, info);
}

std::string RuntimeFolder() {
  std::string runtime = AbsoluteEnv("XDG_RUNTIME_DIR");
  std::string path = !runtime.empty() ? JoinPath(runtime, "velzar")
                                      : "/tmp/velzar-" + std::to_string(static_cast<unsigned>(::geteuid()));
  // In a shared folder such as /tmp another user could plant a link in our
  // place; only a real folder counts.
  struct stat info {};
  if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
    PlatformLog("runtime folder %s is a symbolic link; refusing it", path.c_str());
    return std::string();
  }
  return PrivateFolderOrEmpty(path);
}

std::string ConfigFolderPath() {
  std::string base = AbsoluteEnv("XDG_CONFIG_HOME");
  if (base.empty()) {
    std::string home = HomeFolder();
    if (home.empty()) return std::string();
    base = JoinPath(home, ".config");
  }
  return JoinPath(base, "velzar");
}

std::string ConfigFolder() {
  const std::string path = ConfigFolderPath();
  return path.empty() ? std::string() : PrivateFolderOrEmpty(path);
}

std::string DataFolder() {
  std::string base = AbsoluteEnv("XDG_DATA_HOME");
  if (base.empty()) {
    std::string home = HomeFolder();
    if (home.empty()) return std::string();
    base = JoinPath(home, ".local/share");
  }
  return PrivateFolderOrEmpty(JoinPath(base, "velzar"));
}

}  // namespace vz

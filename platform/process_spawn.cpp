#include "platform/process_spawn.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <cstring>

#include "platform/platform_log.h"

extern char** environ;

namespace vz {

int SpawnChild(const std::string& path, const std::vector<std::string>& args, const SpawnOptions& options,
               int* error_number) {
  std::vector<char*> argv;
  if (args.empty()) {
    argv.push_back(const_cast<char*>(path.c_str()));
  } else {
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  }
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (options.detach_descriptors) {
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
  }

  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  pid_t pid = -1;
  const int result = ::posix_spawn(&pid, path.c_str(), options.detach_descriptors ? &actions : nullptr, &attributes,
                                   argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (result != 0) {
    PlatformLog("cannot start %s: %s", path.c_str(), std::strerror(result));
    if (error_number != nullptr) *error_number = result;
    return -1;
  }
  if (error_number != nullptr) *error_number = 0;
  return static_cast<int>(pid);
}

}  // namespace vz

#include "platform/program_launch.h"

#include "platform/process_spawn.h"

namespace vz {

int LaunchProgram(const std::string& path, const std::vector<std::string>& args, int* error) {
  SpawnOptions options;
  options.detach_descriptors = true;
  return SpawnChild(path, args, options, error);
}

}  // namespace vz

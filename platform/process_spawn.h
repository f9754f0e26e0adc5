#pragma once
// The one way platform/ starts a child process; SpawnProcess (process.h) and
// LaunchProgram (program_launch.h) are its two public shapes. Not for use
// outside platform/.
#include <string>
#include <vector>

namespace vz {

struct SpawnOptions {
  // Standard input and output become /dev/null and every descriptor above
  // standard error is closed in the child, so it holds none of ours.
  bool detach_descriptors = false;
};

// Starts `path` with `args` (args[0] is the name the child sees; an empty
// list gives it `path`), with no blocked signals and SIGPIPE at its default
// whatever this process did to its own. Returns the child's pid, or -1 with
// `*error_number` (when not null) set to the errno value, logged; 0 in
// `*error_number` on success.
int SpawnChild(const std::string& path, const std::vector<std::string>& args, const SpawnOptions& options,
               int* error_number);

}  // namespace vz

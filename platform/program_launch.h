#pragma once
// Starting a program apart from this one, as the host starts the client and
// the upgrade package: the child's standard input and output are /dev/null
// (never the browser's native-messaging pipes), it inherits no other
// descriptor but standard error, and it starts with default signals.
#include <string>
#include <vector>

namespace vz {

// Starts `path` with `argv` (argv[0] is the name the child sees; an empty
// list gives it `path`). Returns the child's pid, or -1 with `error` set to
// the errno value (ENOENT, EACCES, ...), logged.
int LaunchProgram(const std::string& path, const std::vector<std::string>& argv, int* error);

}  // namespace vz

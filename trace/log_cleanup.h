#pragma once
// Deletes the old log files of earlier processes from the temporary folder.
#include <cstdint>
#include <string>

namespace vz {

constexpr int64_t kLogMaxAgeSeconds = 259200;  // 3 days

// Deletes each file whose name starts with `pattern` + "." and whose last
// write lies more than 3 days before `now_unix_seconds`. Folders stay, a file
// written in the future stays, and so does "<pattern>.<pid>.log" while that
// process is alive (Linux would let the file go while the process writes it).
// Returns the number of files deleted.
int DeleteOldLogs(const std::string& folder, const std::string& pattern, int64_t now_unix_seconds);

}  // namespace vz

#include "trace/log_cleanup.h"

#include <string_view>
#include <vector>

#include "platform/fatal_signal_safe_io.h"
#include "platform/file_system.h"
#include "platform/process.h"

namespace vz {
namespace {

// The pid of "<pattern>.<pid>.log", or 0 for any other name.
int LogOwnerPid(std::string_view name, std::string_view pattern) {
  std::string_view rest = name.substr(pattern.size() + 1);
  constexpr std::string_view kSuffix = ".log";
  if (rest.size() <= kSuffix.size() || rest.substr(rest.size() - kSuffix.size()) != kSuffix) return 0;
  rest.remove_suffix(kSuffix.size());
  if (rest.size() > 9) return 0;
  int pid = 0;
  for (char c : rest) {
    if (c < '0' || c > '9') return 0;
    pid = pid * 10 + (c - '0');
  }
  return pid;
}

}  // namespace

int DeleteOldLogs(const std::string& folder, const std::string& pattern, int64_t now_unix_seconds) {
  std::vector<DirectoryEntry> entries;
  if (!ListDirectory(folder, &entries)) return 0;
  const std::string prefix = pattern + ".";
  int deleted = 0;
  for (const DirectoryEntry& entry : entries) {
    if (entry.is_directory || entry.name.compare(0, prefix.size(), prefix) != 0) continue;
    // Signed: a time stamp in the future gives a negative age.
    const int64_t age = now_unix_seconds - entry.modified_unix_seconds;
    if (age <= kLogMaxAgeSeconds) continue;
    const int pid = LogOwnerPid(entry.name, pattern);
    if (pid > 0 && IsProcessAlive(pid)) continue;
    const std::string path = JoinPath(folder, entry.name);
    if (RemoveFile(path)) {
      ++deleted;
      const std::string message = "vztrace: deleted old log " + path + "\n";
      WriteStderrSafely(message.c_str());
    }
  }
  return deleted;
}

}  // namespace vz

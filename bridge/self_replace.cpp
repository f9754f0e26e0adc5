#include "bridge/self_replace.h"

#include <vector>

#include "common/trace_client.h"
#include "platform/file_system.h"

void FileSelfReplace::RenameForReplacement() {
  if (own_path_.empty()) {
    VZ_LOG_ERROR("own path unknown; nothing renamed");
    return;
  }
  const std::string old_path = own_path_ + ".old";
  if (vz::FileExists(old_path) && !vz::RemoveFile(old_path)) VZ_LOG_ERROR("cannot delete %s", old_path.c_str());
  if (vz::FileExists(own_path_)) {
    if (vz::RenameFile(own_path_, old_path)) {
      VZ_LOG("%s renamed to %s", own_path_.c_str(), old_path.c_str());
    } else {
      VZ_LOG_ERROR("cannot rename %s", own_path_.c_str());
    }
  }
  const std::string folder = vz::DirName(own_path_);
  std::vector<vz::DirectoryEntry> entries;
  if (!vz::ListDirectory(folder, &entries)) {
    VZ_LOG_ERROR("cannot list %s", folder.c_str());
    return;
  }
  for (const vz::DirectoryEntry& entry : entries) {
    const std::string& name = entry.name;
    if (entry.is_directory || name.size() < 5 || name.compare(name.size() - 5, 5, ".json") != 0) continue;
    const std::string path = vz::JoinPath(folder, name);
    if (vz::RemoveFile(path)) {
      VZ_LOG("deleted %s", path.c_str());
    } else {
      VZ_LOG_ERROR("cannot delete %s", path.c_str());
    }
  }
}

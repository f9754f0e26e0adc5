#pragma once
#include <string>
#include <utility>

#include "bridge/host_ports.h"

// The Linux way: the program file is moved to "<path>.old" (a running
// program's file can be renamed; it is never deleted, which Linux would
// allow), and every "*.json" file beside it is deleted. The browsers'
// manifests live in their own folders and name the program's path, so once
// the program is gone under its name the browser cannot start it either.
class FileSelfReplace : public ISelfReplace {
 public:
  explicit FileSelfReplace(std::string own_path) : own_path_(std::move(own_path)) {}
  void RenameForReplacement() override;

 private:
  const std::string own_path_;
};

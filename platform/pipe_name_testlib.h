#pragma once
// Test support: points the per-user folder (XDG_RUNTIME_DIR) at a fresh
// temporary folder for the life of the object, so pipe sockets made by a test
// never land in the real one. Restores the variable and removes the folder
// afterwards.
#include <string>

namespace vz {

class ScopedPipeTestFolder {
 public:
  ScopedPipeTestFolder();
  ~ScopedPipeTestFolder();
  ScopedPipeTestFolder(const ScopedPipeTestFolder&) = delete;
  ScopedPipeTestFolder& operator=(const ScopedPipeTestFolder&) = delete;

  // The temporary folder (what XDG_RUNTIME_DIR now says); empty on failure.
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  std::string saved_;
  bool had_saved_ = false;
};

}  // namespace vz

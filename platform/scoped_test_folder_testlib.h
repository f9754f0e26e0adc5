#pragma once
// Test helpers: a temporary folder removed with everything in it, with
// sub-folders made on request, and an environment variable set for the
// length of a scope.
#include <ftw.h>
#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

namespace vz {

class ScopedTestFolder {
 public:
  ScopedTestFolder() {
    std::string pattern = "/tmp/vz-platform-test-XXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~ScopedTestFolder() {
    if (path_.empty()) return;
    ::nftw(
        path_.c_str(), [](const char* path, const struct stat*, int, FTW*) { return ::remove(path); }, 16,
        FTW_DEPTH | FTW_PHYS);
  }
  ScopedTestFolder(const ScopedTestFolder&) = delete;
  ScopedTestFolder& operator=(const ScopedTestFolder&) = delete;
  const std::string& path() const { return path_; }
  // The folder's sub-folder `name` (made, with its parents, when missing).
  std::string Sub(const std::string& name) const {
    const std::string sub = path_ + "/" + name;
    std::error_code error;
    std::filesystem::create_directories(sub, error);
    return sub;
  }

 private:
  std::string path_;
};

class ScopedEnv {
 public:
  // A null value unsets the variable.
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = ::getenv(name)) old_ = old;
    if (value != nullptr) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_.c_str(), old_->c_str(), 1);
    } else {
      ::unsetenv(name_.c_str());
    }
  }

 private:
  std::string name_;
  std::optional<std::string> old_;
};

}  // namespace vz

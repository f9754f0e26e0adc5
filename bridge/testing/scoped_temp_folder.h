#pragma once
// A fresh folder under the system's temporary folder, removed with all it
// holds when the object goes.
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

class ScopedTempFolder {
 public:
  ScopedTempFolder() {
    std::random_device random;
    for (int attempt = 0; attempt < 16 && path_.empty(); ++attempt) {
      const std::filesystem::path candidate =
          std::filesystem::temp_directory_path() / ("vz-bridge-test-" + std::to_string(random()));
      std::error_code error;
      if (std::filesystem::create_directory(candidate, error)) {
        std::filesystem::permissions(candidate, std::filesystem::perms::owner_all, error);
        path_ = candidate.string();
      }
    }
  }
  ~ScopedTempFolder() {
    std::error_code error;
    if (!path_.empty()) std::filesystem::remove_all(path_, error);
  }
  ScopedTempFolder(const ScopedTempFolder&) = delete;
  ScopedTempFolder& operator=(const ScopedTempFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string Sub(const std::string& name) const {
    const std::string sub = path_ + "/" + name;
    std::error_code error;
    std::filesystem::create_directories(sub, error);
    return sub;
  }

 private:
  std::string path_;
};

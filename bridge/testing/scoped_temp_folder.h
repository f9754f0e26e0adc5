#pragma once
// A fresh private folder under /tmp, removed with all it holds when the
// object goes, with sub-folders made on request.
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/scoped_test_folder.h"

class ScopedTempFolder : public vz::ScopedTestFolder {
 public:
  std::string Sub(const std::string& name) const {
    const std::string sub = path() + "/" + name;
    std::error_code error;
    std::filesystem::create_directories(sub, error);
    return sub;
  }
};

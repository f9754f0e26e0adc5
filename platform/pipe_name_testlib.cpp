#include "platform/pipe_name_testlib.h"

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace vz {

ScopedPipeTestFolder::ScopedPipeTestFolder() {
  if (const char* old = ::getenv("XDG_RUNTIME_DIR")) {
    saved_ = old;
    had_saved_ = true;
  }
  std::error_code ec;
  std::string pattern = (std::filesystem::temp_directory_path(ec) / "vzpipe-test-XXXXXX").string();
  if (ec || !::mkdtemp(pattern.data())) {
    std::fprintf(stderr, "ScopedPipeTestFolder: no temporary folder\n");
    return;
  }
  path_ = pattern;
  ::setenv("XDG_RUNTIME_DIR", path_.c_str(), 1);
}

ScopedPipeTestFolder::~ScopedPipeTestFolder() {
  if (had_saved_) {
    ::setenv("XDG_RUNTIME_DIR", saved_.c_str(), 1);
  } else {
    ::unsetenv("XDG_RUNTIME_DIR");
  }
  if (!path_.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
}

}  // namespace vz

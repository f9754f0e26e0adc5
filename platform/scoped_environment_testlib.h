#pragma once
// Test support: sets an environment variable of this process for the life of
// the object and restores it afterwards. Not for use while other threads read
// the environment.
#include <optional>
#include <string>

namespace vz {

class ScopedEnvironmentVariable {
 public:
  // A null value unsets the variable.
  ScopedEnvironmentVariable(const char* name, const char* value);
  ~ScopedEnvironmentVariable();
  ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
  ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;

 private:
  std::string name_;
  std::optional<std::string> saved_;
};

}  // namespace vz

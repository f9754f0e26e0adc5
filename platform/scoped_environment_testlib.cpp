#include "platform/scoped_environment_testlib.h"

#include <stdlib.h>

namespace vz {

ScopedEnvironmentVariable::ScopedEnvironmentVariable(const char* name, const char* value) : name_(name) {
  if (const char* old = ::getenv(name)) saved_ = old;
  if (value != nullptr) {
    ::setenv(name, value, 1);
  } else {
    ::unsetenv(name);
  }
}

ScopedEnvironmentVariable::~ScopedEnvironmentVariable() {
  if (saved_) {
    ::setenv(name_.c_str(), saved_->c_str(), 1);
  } else {
    ::unsetenv(name_.c_str());
  }
}

}  // namespace vz

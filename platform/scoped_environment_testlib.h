#pragma once
// Test support: sets an environment variable of this process for the life of
// the object and restores it afterwards (one implementation, ScopedEnv). Not
// for use while other threads read the environment.
#include "platform/scoped_test_folder_testlib.h"

namespace vz {

using ScopedEnvironmentVariable = ScopedEnv;

}  // namespace vz

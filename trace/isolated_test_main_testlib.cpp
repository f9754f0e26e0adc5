// The main of the trace test binaries. The log writer is loaded (by the
// tracer client) before main runs and the crash tests leave files behind, so
// the tests run in a second copy of the binary whose runtime, settings and
// cache folders lie in a temporary folder that is removed afterwards.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/process.h"
#include "platform/scoped_test_folder.h"
#include "trace/trace_test_support_testlib.h"

namespace {

constexpr char kRootVariable[] = "VZ_TRACE_TEST_ROOT";

int RunIsolated(int argc, char** argv) {
  vz::ScopedTestFolder root;
  if (root.path().empty()) {
    std::fprintf(stderr, "cannot create a temporary folder for the tests\n");
    return 2;
  }
  const std::string runtime = root.path() + "/runtime";
  const std::string config = root.path() + "/config";
  const std::string cache = root.path() + "/cache";
  std::filesystem::create_directories(cache);
  vz::ScopedEnv root_env(kRootVariable, root.path().c_str());
  vz::ScopedEnv runtime_env("XDG_RUNTIME_DIR", runtime.c_str());
  vz::ScopedEnv config_env("XDG_CONFIG_HOME", config.c_str());
  vz::ScopedEnv cache_env("XDG_CACHE_HOME", cache.c_str());
  const std::vector<std::string> args(argv, argv + argc);
  std::string error;
  const int pid = vz::SpawnProcess(vz::ExecutablePath(), args, &error);
  if (pid < 0) {
    std::fprintf(stderr, "cannot start the isolated tests: %s\n", error.c_str());
    return 2;
  }
  int exit_code = 2;
  if (!vz::WaitForProcess(pid, -1, &exit_code)) return 2;
  return exit_code;
}

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv(kRootVariable) == nullptr) return RunIsolated(argc, argv);
  if (vz::testing::RunChildScenarioFromCommandLine(argc, argv)) return 0;
  testing::InitGoogleTest(&argc, argv);
  // Each death test runs in a fresh copy of the binary, with fresh globals.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  return RUN_ALL_TESTS();
}

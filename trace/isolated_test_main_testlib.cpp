// The main of the trace test binaries. The log writer is loaded (by the
// tracer client) before main runs and the crash tests leave files behind, so
// the tests run in a second copy of the binary whose runtime, settings and
// cache folders lie in a temporary folder that is removed afterwards. Started
// with "--child-scenario=NAME", that copy runs the named scenario instead.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/process.h"
#include "platform/process_list.h"
#include "platform/scoped_test_folder_testlib.h"
#include "trace/child_scenario_testlib.h"

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

constexpr char kScenarioFlag[] = "--child-scenario=";
constexpr int kEndGraceMs = 1000;

std::map<std::string, vz::testing::ChildScenario>& Scenarios() {
  static std::map<std::string, vz::testing::ChildScenario> scenarios;
  return scenarios;
}

}  // namespace

namespace vz::testing {

ChildScenarioRegistration::ChildScenarioRegistration(const char* name, ChildScenario scenario) {
  Scenarios()[name] = scenario;
}

bool RunChildScenarioFromCommandLine(int argc, char** argv) {
  const std::string flag = kScenarioFlag;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.compare(0, flag.size(), flag) != 0) continue;
    const auto found = Scenarios().find(arg.substr(flag.size()));
    if (found == Scenarios().end()) {
      std::fprintf(stderr, "no child scenario %s\n", arg.c_str());
      std::_Exit(2);
    }
    found->second();
    return true;
  }
  return false;
}

bool RunChildScenario(const std::string& name, int timeout_ms, int* exit_code) {
  std::string error;
  const int pid = SpawnProcess(ExecutablePath(), {"trace-child", kScenarioFlag + name}, &error);
  if (pid < 0) {
    std::fprintf(stderr, "cannot start child scenario %s: %s\n", name.c_str(), error.c_str());
    return false;
  }
  if (WaitForProcess(pid, timeout_ms, exit_code)) return true;
  TerminateProcess(pid, kEndGraceMs);
  return false;
}

}  // namespace vz::testing

int main(int argc, char** argv) {
  if (std::getenv(kRootVariable) == nullptr) return RunIsolated(argc, argv);
  if (vz::testing::RunChildScenarioFromCommandLine(argc, argv)) return 0;
  testing::InitGoogleTest(&argc, argv);
  // Each death test runs in a fresh copy of the binary, with fresh globals.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  return RUN_ALL_TESTS();
}

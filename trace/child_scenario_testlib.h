#pragma once
// Child scenarios of the trace tests: code that must run in a process of its
// own (it crashes, or may hang) and be waited for with a deadline. A scenario
// is registered by name at static initialisation; the test program (its main
// is isolated_test_main_testlib.cpp) runs it instead of the tests when
// started with "--child-scenario=NAME".
#include <string>

namespace vz::testing {

using ChildScenario = void (*)();
struct ChildScenarioRegistration {
  ChildScenarioRegistration(const char* name, ChildScenario scenario);
};

// Runs the scenario the command line names and returns true (the scenario
// normally ends the process itself); false when none is named.
bool RunChildScenarioFromCommandLine(int argc, char** argv);

// Starts the test program again to run scenario `name` and waits for it.
// True when it ended within `timeout_ms`, with `exit_code` as WaitForProcess
// gives it (128 + signal when a signal ended it); a child still running at
// the deadline is ended and false is returned.
bool RunChildScenario(const std::string& name, int timeout_ms, int* exit_code);

}  // namespace vz::testing

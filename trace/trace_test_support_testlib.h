#pragma once
// Helpers of the trace tests: files and folders as the tests see them.
#include <cstdint>
#include <string>
#include <vector>

namespace vz::testing {

std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& bytes);
// Names in `folder` that start with `prefix`, sorted.
std::vector<std::string> FilesStartingWith(const std::string& folder, const std::string& prefix);
// Removes the pending crash files and old logs a test left in `folder`.
void RemoveTraceFiles(const std::string& folder);
// Sets a file's last write time, in seconds since 1970 UTC.
void SetModifiedTime(const std::string& path, int64_t unix_seconds);
// "abc\r\ndef\r\n" -> {"abc", "def"}; a tail without "\r\n" is the last item.
std::vector<std::string> SplitCrLfLines(const std::string& text);
// Whether `text` is one well-formed log line without its "\r\n".
bool IsLogLine(const std::string& text);

// Child scenarios: code that must run in a process of its own (it crashes, or
// may hang) and be waited for with a deadline. A scenario is registered by
// name at static initialisation; the test program runs it instead of the
// tests when started with "--child-scenario=NAME".
using ChildScenario = void (*)();
struct ChildScenarioRegistration {
  ChildScenarioRegistration(const char* name, ChildScenario scenario);
};
// Runs the scenario the command line names and returns true (the scenario
// normally ends the process itself); false when none is named.
bool RunChildScenarioFromCommandLine(int argc, char** argv);
// Starts the test program again to run scenario `name` and waits for it.
// True when it ended within `timeout_ms`, with `exit_code` as
// WaitForProcess gives it (128 + signal when a signal ended it); a child
// still running at the deadline is ended and false is returned.
bool RunChildScenario(const std::string& name, int timeout_ms, int* exit_code);

}  // namespace vz::testing

#pragma once
// The demonstrations' command lines: "--name value" options and flags, with
// "--help" answered by the usage on standard output. Anything else (an
// unknown option, a missing or refused value, a required option left out)
// is refused with one line that names it, then the usage, on standard error.
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

struct DemoOption {
  std::string name;  // "--bin"
  bool takes_value = true;
  bool required = false;
  // Takes the value ("" for a flag); false refuses it.
  std::function<bool(const std::string& value)> set;
};

enum class DemoCommandLine { kRun, kHelp, kRefused };

DemoCommandLine ParseDemoCommandLine(int argc, const char* const* argv, const std::vector<DemoOption>& options,
                                     const std::string& usage, std::FILE* out, std::FILE* err);

// The exit code for an outcome other than kRun: 0 after --help, 2 otherwise.
inline int DemoCommandLineExitCode(DemoCommandLine outcome) { return outcome == DemoCommandLine::kHelp ? 0 : 2; }

// Whole-number and decimal values within [low, high]; false on anything else
// ("12abc", "", out of range).
bool ParseDemoInt(const std::string& text, int low, int high, int* value);
bool ParseDemoDouble(const std::string& text, double low, double high, double* value);

// A language as a web page names it in the start request ("de-de", "en-us",
// "fr"): letters, then groups of letters or digits after single dashes, at
// most 31 characters (what the program keeps of it); false on anything else.
bool ParseDemoLanguage(const std::string& text, std::string* language);

// What every meeting demonstration takes first: "--bin" (required; the
// programs' folder), "--language" (ParseDemoLanguage), "--work" and
// "--display", each into the string given.
std::vector<DemoOption> DemoMeetingOptions(std::string* bin, std::string* language, std::string* work,
                                           std::string* display);

#include "client/app/demo/demo_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace {

DemoCommandLine Refuse(std::FILE* err, const char* program, const std::string& why, const std::string& usage) {
  std::fprintf(err, "%s: %s\n%s", program, why.c_str(), usage.c_str());
  return DemoCommandLine::kRefused;
}

}  // namespace

DemoCommandLine ParseDemoCommandLine(int argc, const char* const* argv, const std::vector<DemoOption>& options,
                                     const std::string& usage, std::FILE* out, std::FILE* err) {
  const char* program = argc > 0 ? argv[0] : "demo";
  std::vector<bool> seen(options.size(), false);
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(usage.c_str(), out);
      return DemoCommandLine::kHelp;
    }
    size_t found = options.size();
    for (size_t o = 0; o < options.size(); ++o) {
      if (options[o].name == arg) found = o;
    }
    if (found == options.size()) return Refuse(err, program, "unknown option \"" + arg + "\"", usage);
    const DemoOption& option = options[found];
    std::string value;
    if (option.takes_value) {
      if (i + 1 >= argc) return Refuse(err, program, arg + " needs a value", usage);
      value = argv[++i];
    }
    if (!option.set(value)) return Refuse(err, program, "bad value \"" + value + "\" for " + arg, usage);
    seen[found] = true;
  }
  for (size_t o = 0; o < options.size(); ++o) {
    if (options[o].required && !seen[o]) return Refuse(err, program, options[o].name + " is required", usage);
  }
  return DemoCommandLine::kRun;
}

bool ParseDemoInt(const std::string& text, int low, int high, int* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long read = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || read < low || read > high) return false;
  *value = static_cast<int>(read);
  return true;
}

bool ParseDemoDouble(const std::string& text, double low, double high, double* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const double read = std::strtod(text.c_str(), &end);
  if (errno != 0 || *end != '\0' || !std::isfinite(read) || read < low || read > high) return false;
  *value = read;
  return true;
}

bool ParseDemoLanguage(const std::string& text, std::string* language) {
  constexpr size_t kMaxLength = 31;
  if (text.empty() || text.size() > kMaxLength) return false;
  bool after_dash = true;  // the text starts as a group does
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    const bool digit = c >= '0' && c <= '9';
    if (c == '-') {
      if (after_dash) return false;
      after_dash = true;
    } else if (letter || (digit && i > 0)) {
      after_dash = false;
    } else {
      return false;
    }
  }
  if (after_dash) return false;
  *language = text;
  return true;
}

std::vector<DemoOption> DemoMeetingOptions(std::string* bin, std::string* language, std::string* work,
                                           std::string* display) {
  return {
      {"--bin", true, true, [bin](const std::string& v) { *bin = v; return !v.empty(); }},
      {"--language", true, false, [language](const std::string& v) { return ParseDemoLanguage(v, language); }},
      {"--work", true, false, [work](const std::string& v) { *work = v; return !v.empty(); }},
      {"--display", true, false, [display](const std::string& v) { *display = v; return !v.empty(); }},
  };
}

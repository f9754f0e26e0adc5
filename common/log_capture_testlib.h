#pragma once
// Test support: the log lines of the code under test, captured while a
// LogLineCapture lives (the tracer client is bound to it, then restored).
// Each line keeps where it was written: the log file as narrow text, the log
// file as wide text (kept as UTF-8), or the web page's log (the collect
// sink). Every query looks at all three unless given the kinds to look at.
// Lines may come from any thread; one capture at a time.
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "common/trace_client_test_hooks.h"
#include "platform/text.h"
#include "platform/wide_format.h"

namespace vz {

// The kinds of line, to be or-ed together.
enum LogLineKinds : unsigned {
  kNarrowFileLines = 1,
  kWideFileLines = 2,
  kFileLines = kNarrowFileLines | kWideFileLines,
  kCollectLines = 4,
  kAllLogLines = kFileLines | kCollectLines,
};

class LogLineCapture {
 public:
  LogLineCapture() {
    Clear();
    entries_.log_a = &CaptureNarrow;
    entries_.log_w = &CaptureWide;
    entries_.collect_a = &CaptureCollect;
    BindTracerForTest(&entries_);
  }
  ~LogLineCapture() { RestoreTracerForTest(); }
  LogLineCapture(const LogLineCapture&) = delete;
  LogLineCapture& operator=(const LogLineCapture&) = delete;

  void Clear() {
    std::lock_guard<std::mutex> lock(Mutex());
    Lines().clear();
  }
  // Lines of those kinds holding `text`.
  size_t Count(const std::string& text, unsigned kinds = kAllLogLines) { return Matching(text, kinds).size(); }
  // The lines of those kinds holding `text`, oldest first.
  std::vector<std::string> Matching(const std::string& text, unsigned kinds = kAllLogLines) {
    std::vector<std::string> found = lines(kinds);
    std::erase_if(found, [&text](const std::string& line) { return line.find(text) == std::string::npos; });
    return found;
  }
  // Whether a line of those kinds holds `text`.
  bool Has(const std::string& text, unsigned kinds = kAllLogLines) { return Count(text, kinds) > 0; }
  // A copy of the lines of those kinds captured so far, oldest first.
  std::vector<std::string> lines(unsigned kinds = kAllLogLines) {
    std::lock_guard<std::mutex> lock(Mutex());
    std::vector<std::string> kept;
    for (const auto& [kind, line] : Lines()) {
      if ((kind & kinds) != 0) kept.push_back(line);
    }
    return kept;
  }
  // Lines captured so far, of every kind.
  size_t size() {
    std::lock_guard<std::mutex> lock(Mutex());
    return Lines().size();
  }

 private:
  static std::mutex& Mutex() {
    static std::mutex mutex;
    return mutex;
  }
  static std::vector<std::pair<unsigned, std::string>>& Lines() {
    static std::vector<std::pair<unsigned, std::string>> lines;
    return lines;
  }
  static void Add(unsigned kind, std::string line) {
    std::lock_guard<std::mutex> lock(Mutex());
    Lines().emplace_back(kind, std::move(line));
  }
  // The whole line, however long.
  static std::string Format(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (length <= 0) return {};
    std::string line(static_cast<size_t>(length) + 1, '\0');
    std::vsnprintf(line.data(), line.size(), format, args);
    line.resize(static_cast<size_t>(length));
    return line;
  }
  static void CaptureNarrow(const char*, const char* format, va_list args) {
    Add(kNarrowFileLines, Format(format, args));
  }
  static void CaptureWide(const char16_t*, const char16_t* format, va_list args) {
    Add(kWideFileLines, Utf16ToUtf8(FormatWideStringV(format, args)));
  }
  static void CaptureCollect(const char*, const char* format, va_list args) {
    Add(kCollectLines, Format(format, args));
  }

  TracerEntries entries_;
};

}  // namespace vz

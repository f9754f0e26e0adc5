#pragma once
// Test support: the log lines of the code under test, captured while a
// LogLineCapture lives (the tracer client is bound to it, then restored).
// Lines may come from any thread; one capture at a time.
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "common/trace_client_test_hooks.h"

namespace vz {

class LogLineCapture {
 public:
  LogLineCapture() {
    Clear();
    entries_.log_a = &Capture;
    entries_.collect_a = &Capture;
    BindTracerForTest(&entries_);
  }
  ~LogLineCapture() { RestoreTracerForTest(); }
  LogLineCapture(const LogLineCapture&) = delete;
  LogLineCapture& operator=(const LogLineCapture&) = delete;

  void Clear() {
    std::lock_guard<std::mutex> lock(Mutex());
    Lines().clear();
  }
  // Lines holding `text`.
  size_t Count(const std::string& text) {
    std::lock_guard<std::mutex> lock(Mutex());
    size_t count = 0;
    for (const auto& line : Lines()) count += line.find(text) != std::string::npos ? 1 : 0;
    return count;
  }
  // The lines holding `text`, oldest first.
  std::vector<std::string> Matching(const std::string& text) {
    std::lock_guard<std::mutex> lock(Mutex());
    std::vector<std::string> found;
    for (const auto& line : Lines()) {
      if (line.find(text) != std::string::npos) found.push_back(line);
    }
    return found;
  }
  // Whether a line holds `text`.
  bool Has(const std::string& text) { return Count(text) > 0; }
  // A copy of the lines captured so far, oldest first.
  std::vector<std::string> lines() {
    std::lock_guard<std::mutex> lock(Mutex());
    return Lines();
  }
  // Lines captured so far.
  size_t size() {
    std::lock_guard<std::mutex> lock(Mutex());
    return Lines().size();
  }

 private:
  static std::mutex& Mutex() {
    static std::mutex mutex;
    return mutex;
  }
  static std::vector<std::string>& Lines() {
    static std::vector<std::string> lines;
    return lines;
  }
  static void Capture(const char*, const char* format, va_list args) {
    char line[4096];
    vsnprintf(line, sizeof(line), format, args);
    std::lock_guard<std::mutex> lock(Mutex());
    Lines().emplace_back(line);
  }

  TracerEntries entries_;
};

}  // namespace vz

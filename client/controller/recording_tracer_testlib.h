#pragma once
// Binds the tracer client to a recorder while it lives, so a test can read
// the log lines and collect lines that the code under test wrote. One at a
// time; lines from any thread.
#include <mutex>
#include <string>
#include <vector>

#include "common/trace_client_test_hooks.h"

namespace vz {

class RecordingTracer {
 public:
  RecordingTracer();
  ~RecordingTracer();  // back to the log writer bound at load time
  RecordingTracer(const RecordingTracer&) = delete;
  RecordingTracer& operator=(const RecordingTracer&) = delete;

  // Log-file lines (narrow and wide, wide ones as UTF-8), in order.
  std::vector<std::string> lines() const;
  // Lines for the web page's log.
  std::vector<std::string> collect_lines() const;
  // Log-file lines that contain `text`.
  int CountLines(const std::string& text) const;
  void Clear();

 private:
  static void LogA(const char* tag, const char* format, va_list args);
  static void LogW(const char16_t* tag, const char16_t* format, va_list args);
  static void CollectA(const char* tag, const char* format, va_list args);
  void Add(std::vector<std::string>* to, std::string line);

  TracerEntries entries_;
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
  std::vector<std::string> collect_lines_;
};

}  // namespace vz

#pragma once
// Tests only: while one of these lives, the lines handed to the trace
// collector are kept (and the plain log lines dropped), so a test can see
// what reached the collector. One at a time; any thread may log.
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "common/trace_client_test_hooks.h"

namespace vzcapture {

class CollectedLines {
 public:
  CollectedLines() {
    entries_.log_a = [](const char*, const char*, va_list) {};
    entries_.collect_a = &Collect;
    vz::BindTracerForTest(&entries_);
  }
  ~CollectedLines() {
    vz::RestoreTracerForTest();
    std::lock_guard<std::mutex> hold(Lock());
    Lines().clear();
  }
  CollectedLines(const CollectedLines&) = delete;
  CollectedLines& operator=(const CollectedLines&) = delete;

  // True when a collected line contains `text`.
  bool Contains(const std::string& text) const {
    std::lock_guard<std::mutex> hold(Lock());
    for (const std::string& line : Lines()) {
      if (line.find(text) != std::string::npos) return true;
    }
    return false;
  }

 private:
  static void Collect(const char*, const char* format, va_list args) {
    char line[1024];
    std::vsnprintf(line, sizeof line, format, args);
    std::lock_guard<std::mutex> hold(Lock());
    Lines().push_back(line);
  }
  static std::mutex& Lock() {
    static std::mutex lock;
    return lock;
  }
  static std::vector<std::string>& Lines() {
    static std::vector<std::string> lines;
    return lines;
  }
  vz::TracerEntries entries_;
};

}  // namespace vzcapture

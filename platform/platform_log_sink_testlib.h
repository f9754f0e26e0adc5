#pragma once
// Test helper: captures the platform log for as long as it lives.
#include <mutex>
#include <string>
#include <vector>

#include "platform/platform_log.h"

namespace vz {

class CapturedPlatformLog {
 public:
  CapturedPlatformLog() { SetPlatformLogSink(&Capture); }
  ~CapturedPlatformLog() {
    SetPlatformLogSink(nullptr);
    std::lock_guard<std::mutex> lock(Mutex());
    Lines().clear();
  }

  std::vector<std::string> lines() const {
    std::lock_guard<std::mutex> lock(Mutex());
    return Lines();
  }

  // True when some line holds every one of the given pieces.
  bool Has(std::initializer_list<std::string> pieces) const {
    for (const std::string& line : lines()) {
      bool all = true;
      for (const std::string& piece : pieces) all = all && line.find(piece) != std::string::npos;
      if (all) return true;
    }
    return false;
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
  static void Capture(const char* line) {
    std::lock_guard<std::mutex> lock(Mutex());
    Lines().push_back(line);
  }
};

}  // namespace vz

#pragma once
// Waits for a text in a log file that another program writes, counting only
// what was written after the watch began (an earlier run of the same line
// does not count). The file may not exist yet when the watch begins.
#include <cstdint>
#include <string>

class LogWatch {
 public:
  // Watches `path` from its present end.
  explicit LogWatch(std::string path);

  // True once `text` appears after the watch's start within the time-out
  // (polled); the next Wait looks only past the line it was found in.
  bool Wait(const std::string& text, int timeout_ms);

 private:
  bool Found(const std::string& text);

  std::string path_;
  uint64_t from_ = 0;  // bytes of the file already looked at
};

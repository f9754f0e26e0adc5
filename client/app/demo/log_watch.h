#pragma once
// Waits for a text in a log file that another program writes, counting only
// what was written after the watch began (an earlier run of the same line
// does not count). The file may not exist yet when the watch begins.
#include <cstdint>
#include <string>
#include <vector>

class LogWatch {
 public:
  // Watches `path` from its present end.
  explicit LogWatch(std::string path);

  // True once `text` appears after the watch's start within the time-out
  // (polled); the next Wait looks only past the line it was found in.
  bool Wait(const std::string& text, int timeout_ms);
  // The whole lines written since the watch's start or the last call (a
  // line still being written waits for the next call), without their ends.
  std::vector<std::string> NewLines();

 private:
  bool Found(const std::string& text);

  std::string path_;
  uint64_t from_ = 0;  // bytes of the file already looked at
};

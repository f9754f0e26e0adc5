#pragma once
// Waits for a text in a log file that another program writes, counting only
// what was written after the watch began (an earlier run of the same line
// does not count). The file may not exist yet when the watch begins.
//
// The program's log is wrapped in place: past its size limit the writer goes
// back to the start of the file and writes over the oldest lines, so the
// newest line is where the time stamps go back, not at the file's end. The
// watch starts where the writer is (also in a file that wrapped before the
// watch began), takes what is still unread before a wrap, then the new lines
// from the start up to where the older ones begin or a line without a time
// stamp (the rest of a line written over) stands. After a wrap a line is
// taken once two reads a poll apart hold it alike, so a line caught while
// it is being written over an older one is taken only whole.
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

class LogWatch {
 public:
  // Watches `path` from where its writer is now.
  explicit LogWatch(std::string path);

  // True once `text` appears after the watch's start within the time-out
  // (polled); the next Wait looks only past the line it was found in.
  bool Wait(const std::string& text, int timeout_ms);
  // The whole lines written since the watch's start or the last call (a
  // line still being written waits for the next call), without their ends.
  std::vector<std::string> NewLines();

 private:
  bool Found(const std::string& text);
  // Reads the file and queues the whole lines written since the last read.
  void Refill();
  // Queues the whole lines of `content` from `from` on; after a wrap stops
  // at the first line older than the last queued, without a time stamp, or
  // that `stable` (a read of at least a poll before; none when null) does
  // not hold alike. Returns where the next read goes on.
  size_t TakeLines(const std::string& content, size_t from, const std::string* stable);
  void Queue(std::string line, size_t begin);

  std::string path_;
  uint64_t from_ = 0;       // where the next read goes on
  bool wrapped_ = false;    // the writer went back to the start at least once
  std::string last_stamp_;  // the time stamp of the newest line taken
  std::string first_line_;  // the file's first line as last accounted for
  std::deque<std::string> unread_;
  std::string partial_;     // a line still being written, at the read end
  std::string stable_;      // the file as read at least a poll before
  uint64_t stable_ms_ = 0;  // when
};

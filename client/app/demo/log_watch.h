#pragma once
// Waits for a text in a log file that another program writes, counting only
// what was written after the watch began (an earlier run of the same line
// does not count). The file may not exist yet when the watch begins.
//
// The program's log is wrapped in place: past its size limit the writer goes
// back to the start of the file and writes over the oldest lines. The watch
// notices when the file's first line changed, takes what was still unread
// before the wrap, then the new lines from the start up to where the older
// ones begin (their time stamps go back); after a wrap, lines without a time
// stamp (the rest of a line written over) are passed over.
#include <cstdint>
#include <deque>
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
  // Reads the file and queues the whole lines written since the last read.
  void Refill();
  // Queues the whole lines of `content` from `from` on; after a wrap
  // (`stop_at_older`) stops at the first older than the last queued and
  // passes over lines without a time stamp. Returns where it stopped.
  size_t TakeLines(const std::string& content, size_t from, bool stop_at_older);

  std::string path_;
  uint64_t from_ = 0;       // bytes of the file already taken
  std::string head_;        // the file's first line when last read
  bool wrapped_ = false;    // the writer went back to the start at least once
  std::string last_stamp_;  // the time stamp of the last line queued
  std::deque<std::string> unread_;
  std::string partial_;     // a line still being written, at the read end
};

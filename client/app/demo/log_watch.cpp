#include "client/app/demo/log_watch.h"

#include <fstream>
#include <iterator>

#include "platform/clock.h"

namespace {

// Lines the watch keeps unread at most: a waiter that never finds its text
// must not grow without end over a long run.
constexpr size_t kMaxUnreadLines = 200000;
// "2026-12-10 06:49:13.441": the log's time stamp, which sorts as text.
constexpr size_t kStampSize = 23;

std::string ReadWhole(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return {};
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The line's time stamp, or empty when it does not start with one.
std::string StampOf(const std::string& line) {
  if (line.size() < kStampSize) return {};
  static const char kShape[] = "dddd-dd-dd dd:dd:dd.ddd";
  for (size_t i = 0; i < kStampSize; ++i) {
    if (kShape[i] == 'd' ? !IsDigit(line[i]) : line[i] != kShape[i]) return {};
  }
  return line.substr(0, kStampSize);
}

std::string FirstLine(const std::string& content) {
  const size_t end = content.find('\n');
  return end == std::string::npos ? std::string() : content.substr(0, end + 1);
}

}  // namespace

LogWatch::LogWatch(std::string path) : path_(std::move(path)) {
  const std::string content = ReadWhole(path_);
  from_ = content.size();
  head_ = FirstLine(content);
}

size_t LogWatch::TakeLines(const std::string& content, size_t from, bool stop_at_older) {
  size_t begin = from;
  size_t taken_to = from;  // where the last queued line ends
  for (size_t end = content.find('\n', begin); end != std::string::npos; end = content.find('\n', begin)) {
    std::string line = content.substr(begin, end - begin);
    const std::string stamp = StampOf(line);
    begin = end + 1;
    if (stop_at_older) {
      // An older stamp is past the newest line. A line without one is the
      // rest of a line written over: passed over, but the next read starts
      // before it again, where the writer goes on.
      if (!stamp.empty() && stamp < last_stamp_) break;
      if (stamp.empty()) continue;
    }
    if (!stamp.empty()) last_stamp_ = stamp;
    if (unread_.size() >= kMaxUnreadLines) unread_.pop_front();
    unread_.push_back(std::move(line));
    taken_to = begin;
  }
  return taken_to;
}

void LogWatch::Refill() {
  const std::string content = ReadWhole(path_);
  const std::string head = FirstLine(content);
  const bool went_back = content.size() < from_ || (!head_.empty() && head != head_);
  if (went_back) {
    // What was written before the wrap and not yet taken comes first.
    if (from_ < content.size()) TakeLines(content, static_cast<size_t>(from_), true);
    wrapped_ = true;
    from_ = 0;
  }
  head_ = head;
  from_ = TakeLines(content, static_cast<size_t>(from_), wrapped_);
  partial_.clear();
  if (!wrapped_ && from_ < content.size()) partial_ = content.substr(static_cast<size_t>(from_));
}

bool LogWatch::Found(const std::string& text) {
  Refill();
  for (size_t i = 0; i < unread_.size(); ++i) {
    if (unread_[i].find(text) == std::string::npos) continue;
    unread_.erase(unread_.begin(), unread_.begin() + static_cast<std::ptrdiff_t>(i) + 1);
    return true;
  }
  // A line still being written counts too; the rest of it then does not.
  if (!partial_.empty() && partial_.find(text) != std::string::npos) {
    unread_.clear();
    from_ += partial_.size();  // it runs to the end of what was read
    partial_.clear();
    return true;
  }
  return false;
}

bool LogWatch::Wait(const std::string& text, int timeout_ms) {
  const uint64_t deadline = vz::MonotonicMs() + static_cast<uint64_t>(timeout_ms > 0 ? timeout_ms : 0);
  for (;;) {
    if (Found(text)) return true;
    if (vz::MonotonicMs() >= deadline) return false;
    vz::SleepMs(20);
  }
}

std::vector<std::string> LogWatch::NewLines() {
  Refill();
  std::vector<std::string> lines(std::make_move_iterator(unread_.begin()), std::make_move_iterator(unread_.end()));
  unread_.clear();
  return lines;
}

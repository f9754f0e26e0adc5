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
constexpr int kPollMs = 20;

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
  first_line_ = FirstLine(content);
  from_ = content.size();
  // In a file that wrapped already, the writer is just past the newest line:
  // the last before the first whose stamp goes back.
  size_t begin = 0;
  size_t newest_end = 0;
  for (size_t end = content.find('\n'); end != std::string::npos; end = content.find('\n', begin)) {
    const std::string stamp = StampOf(content.substr(begin, end - begin));
    begin = end + 1;
    if (stamp.empty()) continue;
    if (stamp < last_stamp_) {
      from_ = newest_end;
      wrapped_ = true;
      break;
    }
    last_stamp_ = stamp;
    newest_end = begin;
  }
}

void LogWatch::Queue(std::string line, size_t begin) {
  if (begin == 0) first_line_ = line + '\n';
  if (unread_.size() >= kMaxUnreadLines) unread_.pop_front();
  unread_.push_back(std::move(line));
}

size_t LogWatch::TakeLines(const std::string& content, size_t from, const std::string* stable) {
  size_t begin = from;
  size_t taken_to = from;  // where the last queued line ends
  for (size_t end = content.find('\n', begin); end != std::string::npos; end = content.find('\n', begin)) {
    std::string line = content.substr(begin, end - begin);
    const size_t line_begin = begin;
    const std::string stamp = StampOf(line);
    begin = end + 1;
    if (!wrapped_) {
      if (!stamp.empty()) last_stamp_ = stamp;
      Queue(std::move(line), line_begin);
      taken_to = begin;
      continue;
    }
    // An older stamp is past the newest line, and so is a line without one:
    // the rest of a line written over, where the writer goes on.
    if (stamp.empty() || stamp < last_stamp_) break;
    // A line being written over an older one is taken once a read a poll
    // earlier holds the same bytes there: a read can catch the writer
    // half-way through a line (the kernel copies a write a page at a time,
    // a writer can be preempted in between, and the file is read in pieces),
    // and the line then runs on into the rest of the one it writes over.
    const size_t length = begin - line_begin;
    if (stable == nullptr || stable->size() < begin ||
        stable->compare(line_begin, length, content, line_begin, length) != 0) {
      break;
    }
    last_stamp_ = stamp;
    Queue(std::move(line), line_begin);
    taken_to = begin;
  }
  return taken_to;
}

void LogWatch::Refill() {
  const std::string content = ReadWhole(path_);
  const uint64_t now = vz::MonotonicMs();
  // What a wrapped file's lines are checked against: the read of at least a
  // poll ago (none yet when the last was more recent).
  const bool spaced = now - stable_ms_ >= static_cast<uint64_t>(kPollMs);
  const std::string* stable = spaced ? &stable_ : nullptr;
  if (content.size() < from_) {
    // A new file in its place: read it whole.
    from_ = 0;
    wrapped_ = false;
    last_stamp_.clear();
    first_line_.clear();
  }
  const uint64_t read_from = from_;
  from_ = TakeLines(content, static_cast<size_t>(from_), stable);
  // The writer went back to the start when the file begins with a line not
  // accounted for that is no older than the newest taken. (The first line
  // alone is not enough: one caught half-written changes again when whole.)
  const std::string first = FirstLine(content);
  const std::string first_stamp = StampOf(first);
  if (read_from > 0 && !first.empty() && first != first_line_ &&
      (first_stamp.empty() || first_stamp >= last_stamp_)) {
    // The lines before the start that were not yet taken are whole: the
    // writer went on past them (the start was read first).
    from_ = TakeLines(content, static_cast<size_t>(from_), &content);
    wrapped_ = true;
    from_ = TakeLines(content, 0, stable);
  }
  partial_.clear();
  if (!wrapped_ && from_ < content.size()) partial_ = content.substr(static_cast<size_t>(from_));
  if (spaced) {
    stable_ = content;
    stable_ms_ = now;
  }
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
    vz::SleepMs(kPollMs);
  }
}

std::vector<std::string> LogWatch::NewLines() {
  Refill();
  std::vector<std::string> lines(std::make_move_iterator(unread_.begin()), std::make_move_iterator(unread_.end()));
  unread_.clear();
  return lines;
}

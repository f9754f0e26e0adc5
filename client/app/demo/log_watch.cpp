#include "client/app/demo/log_watch.h"

#include <fstream>
#include <iterator>

#include "platform/clock.h"

namespace {

std::string ReadFrom(const std::string& path, uint64_t from) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return {};
  file.seekg(static_cast<std::streamoff>(from));
  if (!file) return {};
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace

LogWatch::LogWatch(std::string path) : path_(std::move(path)) {
  from_ = ReadFrom(path_, 0).size();
}

bool LogWatch::Found(const std::string& text) {
  const std::string fresh = ReadFrom(path_, from_);
  const size_t at = fresh.find(text);
  if (at == std::string::npos) return false;
  const size_t line_end = fresh.find('\n', at);
  from_ += line_end == std::string::npos ? fresh.size() : line_end + 1;
  return true;
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
  const std::string fresh = ReadFrom(path_, from_);
  std::vector<std::string> lines;
  size_t begin = 0;
  for (size_t end = fresh.find('\n'); end != std::string::npos; end = fresh.find('\n', begin)) {
    lines.push_back(fresh.substr(begin, end - begin));
    begin = end + 1;
  }
  from_ += begin;
  return lines;
}

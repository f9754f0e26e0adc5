#include "trace/trace_testlib.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace vz::testing {

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteWholeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> FilesStartingWith(const std::string& folder, const std::string& prefix) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (name.compare(0, prefix.size(), prefix) == 0) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

void RemoveTraceFiles(const std::string& folder) {
  for (const std::string& name : FilesStartingWith(folder, "native.")) {
    std::filesystem::remove_all(folder + "/" + name);
  }
}

void SetModifiedTime(const std::string& path, int64_t unix_seconds) {
  const auto system_time = std::chrono::system_clock::time_point(std::chrono::seconds(unix_seconds));
  std::filesystem::last_write_time(path, std::chrono::file_clock::from_sys(system_time));
}

std::vector<std::string> SplitCrLfLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

bool IsLogLine(const std::string& text) {
  // "dddd-dd-dd dd:dd:dd.ddd [d+:d+] " and a text without line breaks; by
  // hand, as a regular expression is too slow for 80,000 lines.
  constexpr char kTime[] = "0000-00-00 00:00:00.000";
  const size_t time_size = sizeof(kTime) - 1;
  if (text.size() < time_size) return false;
  for (size_t i = 0; i < time_size; ++i) {
    const bool digit = text[i] >= '0' && text[i] <= '9';
    if (kTime[i] == '0' ? !digit : text[i] != kTime[i]) return false;
  }
  size_t at = time_size;
  auto expect = [&](char c) { return at < text.size() && text[at++] == c; };
  auto digits = [&] {
    const size_t from = at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
    return at > from;
  };
  if (!expect(' ') || !expect('[') || !digits() || !expect(':') || !digits() || !expect(']') || !expect(' ')) {
    return false;
  }
  return text.find_first_of("\r\n", at) == std::string::npos;
}

}  // namespace vz::testing

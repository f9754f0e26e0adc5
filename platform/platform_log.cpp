#include "platform/platform_log.h"

#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <string>

namespace vz {
namespace {

std::atomic<PlatformLogSink> g_sink{nullptr};

void WriteToStderr(const char* line) {
  // One write call per line, so lines from several threads do not interleave.
  std::string text(line);
  text.push_back('\n');
  const char* data = text.data();
  size_t left = text.size();
  while (left > 0) {
    ssize_t n = ::write(STDERR_FILENO, data, left);
    if (n <= 0) return;
    data += n;
    left -= static_cast<size_t>(n);
  }
}

}  // namespace

void SetPlatformLogSink(PlatformLogSink sink) { g_sink.store(sink, std::memory_order_release); }

void PlatformLog(const char* format, ...) {
  char small[512];
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  int needed = std::vsnprintf(small, sizeof(small), format, args);
  va_end(args);
  std::string large;
  const char* line = small;
  if (needed < 0) {
    line = "(unformattable platform log line)";
  } else if (static_cast<size_t>(needed) >= sizeof(small)) {
    large.resize(static_cast<size_t>(needed) + 1);
    std::vsnprintf(large.data(), large.size(), format, again);
    large.resize(static_cast<size_t>(needed));
    line = large.c_str();
  }
  va_end(again);

  PlatformLogSink sink = g_sink.load(std::memory_order_acquire);
  if (sink != nullptr) {
    sink(line);
  } else {
    WriteToStderr(line);
  }
}

}  // namespace vz

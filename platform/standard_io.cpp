#include "platform/standard_io.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/platform_log.h"

namespace vz {

long ReadStandardInput(void* buffer, size_t size) {
  for (;;) {
    const ssize_t n = ::read(STDIN_FILENO, buffer, size);
    if (n >= 0) return static_cast<long>(n);
    if (errno == EINTR) continue;
    PlatformLog("cannot read standard input: %s", std::strerror(errno));
    return -1;
  }
}

bool WriteStandardOutput(const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(STDOUT_FILENO, bytes, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      PlatformLog("cannot write standard output: %s", n < 0 ? std::strerror(errno) : "nothing written");
      return false;
    }
    bytes += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

void IgnoreBrokenPipe() { ::signal(SIGPIPE, SIG_IGN); }

}  // namespace vz

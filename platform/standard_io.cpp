#include "platform/standard_io.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/uio.h>
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

bool WriteDescriptorGathered(int fd, const std::string_view* parts, size_t count) {
  // At most IOV_MAX pieces a call; the callers pass a handful.
  struct iovec pieces[16];
  size_t next = 0;       // the first part not yet handed to a call
  size_t next_done = 0;  // bytes of it already written
  for (;;) {
    int used = 0;
    for (size_t i = next; i < count && used < 16 && used < IOV_MAX; ++i) {
      const size_t skip = i == next ? next_done : 0;
      if (parts[i].size() == skip) continue;
      pieces[used].iov_base = const_cast<char*>(parts[i].data() + skip);
      pieces[used].iov_len = parts[i].size() - skip;
      ++used;
    }
    if (used == 0) return true;
    const ssize_t n = ::writev(fd, pieces, used);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      PlatformLog("cannot write to descriptor %d: %s", fd, n < 0 ? std::strerror(errno) : "nothing written");
      return false;
    }
    // Step over what went out: whole parts, then into the next one.
    size_t moved = static_cast<size_t>(n);
    while (next < count && moved >= parts[next].size() - next_done) {
      moved -= parts[next].size() - next_done;
      ++next;
      next_done = 0;
    }
    if (next < count) next_done += moved;
  }
}

bool WriteStandardOutputGathered(const std::string_view* parts, size_t count) {
  return WriteDescriptorGathered(STDOUT_FILENO, parts, count);
}

namespace {

bool EnlargePipe(int fd, size_t bytes) {
  const int now = ::fcntl(fd, F_GETPIPE_SZ);
  if (now < 0) return false;  // not a pipe: nothing to do
  if (static_cast<size_t>(now) >= bytes) return true;
  const int error = bytes > static_cast<size_t>(INT_MAX)               ? EINVAL
                    : ::fcntl(fd, F_SETPIPE_SZ, static_cast<int>(bytes)) < 0 ? errno
                                                                             : 0;
  if (error != 0) {
    PlatformLog("the pipe of descriptor %d keeps %d bytes; %zu refused: %s", fd, now, bytes, std::strerror(error));
    return false;
  }
  return true;
}

}  // namespace

bool EnlargeStandardInputPipe(size_t bytes) { return EnlargePipe(STDIN_FILENO, bytes); }

bool EnlargeStandardOutputPipe(size_t bytes) { return EnlargePipe(STDOUT_FILENO, bytes); }

void IgnoreBrokenPipe() { ::signal(SIGPIPE, SIG_IGN); }

}  // namespace vz

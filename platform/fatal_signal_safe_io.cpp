#include "platform/fatal_signal_safe_io.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstring>

namespace vz {

int OpenFileForWritingSafely(const char* path) {
  int fd;
  do {
    fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

bool WriteAllSafely(int fd, const void* bytes, size_t length) {
  if (fd < 0) return false;
  const char* data = static_cast<const char*>(bytes);
  while (length > 0) {
    const ssize_t n = write(fd, data, length);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return false;
    data += n;
    length -= static_cast<size_t>(n);
  }
  return true;
}

bool SeekToStartSafely(int fd) { return fd >= 0 && lseek(fd, 0, SEEK_SET) == 0; }

int64_t FilePositionSafely(int fd) { return fd >= 0 ? static_cast<int64_t>(lseek(fd, 0, SEEK_CUR)) : -1; }

void CloseFileSafely(int fd) {
  // Linux releases the descriptor even when close reports EINTR: no retry.
  if (fd >= 0) close(fd);
}

bool RenameFileSafely(const char* from, const char* to) { return rename(from, to) == 0; }

void WriteStderrSafely(const char* text) {
  if (text != nullptr) WriteAllSafely(STDERR_FILENO, text, std::strlen(text));
}

bool IsFolderWritableSafely(const char* folder) {
  struct stat st;
  if (folder == nullptr || stat(folder, &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  return faccessat(AT_FDCWD, folder, W_OK | X_OK, AT_EACCESS) == 0;
}

int64_t UnixTimeMsSafely() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

}  // namespace vz

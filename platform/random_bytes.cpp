#include "platform/random_bytes.h"

#include <sys/random.h>

#include <cerrno>
#include <cstring>

#include "platform/platform_log.h"

namespace vz {

bool FillRandomBytes(void* buffer, size_t size) {
  char* bytes = static_cast<char*>(buffer);
  while (size > 0) {
    const ssize_t n = ::getrandom(bytes, size, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      PlatformLog("getrandom failed: %s", std::strerror(errno));
      return false;
    }
    bytes += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace vz

#include "platform/local_socket_listener.h"

#include <errno.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "platform/platform_log.h"

namespace vz {

bool LocalSocketListener::Bind(const std::string& path) {
  Close();
  sockaddr_un address{};
  if (path.empty() || path.size() >= sizeof(address.sun_path)) {
    PlatformLog("LocalSocketListener: path of %zu bytes does not fit", path.size());
    return false;
  }
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.data(), path.size());

  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    PlatformLog("LocalSocketListener: socket failed, errno %d", errno);
    return false;
  }
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
    PlatformLog("LocalSocketListener: bind %s failed, errno %d", path.c_str(), errno);
    ::close(fd);
    return false;
  }
  fd_ = fd;
  path_ = path;
  // The folder is private already; the socket file is made so as well.
  if (::chmod(path.c_str(), 0600) != 0) {
    PlatformLog("LocalSocketListener: chmod %s failed, errno %d", path.c_str(), errno);
    Close();
    return false;
  }
  return true;
}

bool LocalSocketListener::Listen(int backlog) {
  if (fd_ < 0) {
    PlatformLog("LocalSocketListener: listen before bind");
    return false;
  }
  if (::listen(fd_, backlog) != 0) {
    PlatformLog("LocalSocketListener: listen %s failed, errno %d", path_.c_str(), errno);
    return false;
  }
  return true;
}

IoResult LocalSocketListener::Accept(LocalSocket* socket) {
  IoResult result;
  for (;;) {
    const int fd = ::accept4(fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd >= 0) {
      *socket = LocalSocket(fd);
      result.status = IoStatus::kOk;
      return result;
    }
    if (errno == EINTR) continue;
    // A client that gave up between poll and accept is not a failure.
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == ECONNABORTED) {
      result.status = IoStatus::kWouldBlock;
      return result;
    }
    result.error = errno;
    PlatformLog("LocalSocketListener: accept failed, errno %d", result.error);
    return result;
  }
}

void LocalSocketListener::Close() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!path_.empty()) {
    ::unlink(path_.c_str());
    path_.clear();
  }
}

}  // namespace vz

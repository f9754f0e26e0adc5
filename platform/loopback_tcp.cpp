#include "platform/loopback_tcp.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/platform_log.h"

namespace vz {
namespace {

sockaddr_in LoopbackAddress(uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

void NoDelay(int fd) {
  const int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
}

}  // namespace

bool LoopbackTcpListener::Listen(uint16_t port, int backlog) {
  Close();
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    PlatformLog("LoopbackTcpListener: socket failed, errno %d", errno);
    return false;
  }
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
  sockaddr_in address = LoopbackAddress(port);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      ::listen(fd, backlog) != 0) {
    PlatformLog("LoopbackTcpListener: cannot listen on 127.0.0.1:%u, errno %d", port, errno);
    ::close(fd);
    return false;
  }
  socklen_t length = sizeof(address);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  fd_ = fd;
  port_ = ntohs(address.sin_port);
  return true;
}

IoResult LoopbackTcpListener::Accept(LocalSocket* socket) {
  IoResult result;
  for (;;) {
    const int fd = ::accept4(fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd >= 0) {
      NoDelay(fd);
      *socket = LocalSocket(fd);
      result.status = IoStatus::kOk;
      return result;
    }
    if (errno == EINTR || errno == ECONNABORTED) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      result.status = IoStatus::kWouldBlock;
    } else {
      result.error = errno;
      PlatformLog("LoopbackTcpListener: accept failed, errno %d", errno);
    }
    return result;
  }
}

void LoopbackTcpListener::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  port_ = 0;
}

ConnectResult ConnectLoopbackTcp(uint16_t port, int timeout_ms, LocalSocket* socket) {
  ConnectResult result;
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    result.error = errno;
    PlatformLog("ConnectLoopbackTcp: socket failed, errno %d", errno);
    return result;
  }
  sockaddr_in address = LoopbackAddress(port);
  int rc = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
  int error = rc == 0 ? 0 : errno;
  if (error == EINPROGRESS || error == EINTR) {
    pollfd item{fd, POLLOUT, 0};
    rc = ::poll(&item, 1, timeout_ms);
    if (rc <= 0) {
      error = ETIMEDOUT;
    } else {
      socklen_t length = sizeof(error);
      ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
    }
  }
  if (error != 0) {
    ::close(fd);
    result.error = error;
    result.status = (error == ECONNREFUSED || error == ETIMEDOUT || error == EAGAIN)
                        ? ConnectStatus::kBusy
                        : ConnectStatus::kFailed;
    return result;
  }
  NoDelay(fd);
  *socket = LocalSocket(fd);
  result.status = ConnectStatus::kConnected;
  return result;
}

}  // namespace vz

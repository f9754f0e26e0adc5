#include "platform/local_socket.h"

#include <errno.h>
#include <linux/sockios.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <utility>

#include "platform/platform_log.h"

namespace vz {

LocalSocket& LocalSocket::operator=(LocalSocket&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.Release();
  }
  return *this;
}

IoResult LocalSocket::Read(void* buffer, size_t size) {
  IoResult result;
  for (;;) {
    const ssize_t n = ::recv(fd_, buffer, size, 0);
    if (n > 0) {
      result.status = IoStatus::kOk;
      result.bytes = static_cast<size_t>(n);
      return result;
    }
    if (n == 0) {
      result.status = IoStatus::kEndOfStream;
      return result;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      result.status = IoStatus::kWouldBlock;
    } else {
      result.status = IoStatus::kError;
      result.error = errno;
    }
    return result;
  }
}

IoResult LocalSocket::Write(const void* data, size_t size) {
  IoResult result;
  for (;;) {
    const ssize_t n = ::send(fd_, data, size, MSG_NOSIGNAL);
    if (n >= 0) {
      result.status = n > 0 ? IoStatus::kOk : IoStatus::kWouldBlock;
      result.bytes = static_cast<size_t>(n);
      return result;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      result.status = IoStatus::kWouldBlock;
    } else {
      result.status = IoStatus::kError;
      result.error = errno;
    }
    return result;
  }
}

bool LocalSocket::SetSendBufferSize(int bytes) {
  if (::setsockopt(fd_, SOL_SOCKET, SO_SNDBUF, &bytes, sizeof(bytes)) != 0) {
    PlatformLog("LocalSocket: SO_SNDBUF %d failed, errno %d", bytes, errno);
    return false;
  }
  return true;
}

bool LocalSocket::UnreadSentBytesForTesting(size_t* bytes) const {
  int pending = 0;
  if (::ioctl(fd_, SIOCOUTQ, &pending) != 0) {
    PlatformLog("LocalSocket: SIOCOUTQ failed, errno %d", errno);
    return false;
  }
  *bytes = static_cast<size_t>(pending);
  return true;
}

bool LocalSocket::PeerUid(uint32_t* uid) const {
  ucred credentials{};
  socklen_t length = sizeof(credentials);
  if (::getsockopt(fd_, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0 ||
      length != sizeof(credentials)) {
    PlatformLog("LocalSocket: SO_PEERCRED failed, errno %d", errno);
    return false;
  }
  *uid = static_cast<uint32_t>(credentials.uid);
  return true;
}

bool LocalSocket::PeerIsCurrentUser() const {
  uint32_t uid = 0;
  if (!PeerUid(&uid)) return false;
  if (uid != CurrentUserId()) {
    PlatformLog("LocalSocket: peer runs as uid %u, not as this user", uid);
    return false;
  }
  return true;
}

void LocalSocket::Close() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

int LocalSocket::Release() { return std::exchange(fd_, -1); }

ConnectResult ConnectLocalSocket(const std::string& path, LocalSocket* socket) {
  ConnectResult result;
  sockaddr_un address{};
  if (path.empty() || path.size() >= sizeof(address.sun_path)) {
    result.error = ENAMETOOLONG;
    PlatformLog("ConnectLocalSocket: path of %zu bytes does not fit", path.size());
    return result;
  }
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.data(), path.size());

  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    result.error = errno;
    PlatformLog("ConnectLocalSocket: socket failed, errno %d", result.error);
    return result;
  }
  LocalSocket candidate(fd);
  int rc;
  do {
    rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
  } while (rc != 0 && errno == EINTR);
  if (rc == 0) {
    result.status = ConnectStatus::kConnected;
    *socket = std::move(candidate);
    return result;
  }
  result.error = errno;
  switch (result.error) {
    case ECONNREFUSED:
    case EAGAIN:
    case EINPROGRESS:  // not expected for this family; a retry settles it
      result.status = ConnectStatus::kBusy;
      break;
    case ENOENT:
      result.status = ConnectStatus::kNotFound;
      break;
    default:
      result.status = ConnectStatus::kFailed;
      break;
  }
  return result;
}

bool CreateLocalSocketPair(LocalSocket* first, LocalSocket* second) {
  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds) != 0) {
    PlatformLog("CreateLocalSocketPair: socketpair failed, errno %d", errno);
    return false;
  }
  *first = LocalSocket(fds[0]);
  *second = LocalSocket(fds[1]);
  return true;
}

uint32_t CurrentUserId() { return static_cast<uint32_t>(::geteuid()); }

}  // namespace vz

#include "platform/local_socket_poll.h"

#include <errno.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

#include "platform/platform_log.h"

namespace vz {

int PollDescriptors(PollItem* items, size_t count, int timeout_ms, int* error) {
  // Small sets live on the stack; the pipe loops poll two descriptors.
  pollfd local[8];
  std::vector<pollfd> heap;
  pollfd* fds = local;
  if (count > sizeof(local) / sizeof(local[0])) {
    heap.resize(count);
    fds = heap.data();
  }
  for (size_t i = 0; i < count; ++i) {
    fds[i].fd = items[i].fd;
    fds[i].events = static_cast<short>(((items[i].wanted & kPollReadable) ? POLLIN : 0) |
                                       ((items[i].wanted & kPollWritable) ? POLLOUT : 0));
    fds[i].revents = 0;
    items[i].ready = 0;
  }
  const int rc = ::poll(fds, static_cast<nfds_t>(count), timeout_ms);
  if (rc < 0) {
    if (errno == EINTR) return 0;
    if (error) *error = errno;
    PlatformLog("PollDescriptors: poll failed, errno %d", errno);
    return -1;
  }
  for (size_t i = 0; i < count; ++i) {
    const short got = fds[i].revents;
    unsigned ready = 0;
    if (got & POLLIN) ready |= kPollReadable;
    if (got & POLLOUT) ready |= kPollWritable;
    if (got & POLLHUP) ready |= kPollHangup;
    if (got & (POLLERR | POLLNVAL)) ready |= kPollError;
    items[i].ready = ready;
  }
  return rc;
}

LocalSocketWaker::LocalSocketWaker() {
  fd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (fd_ < 0) {
    error_ = errno;
    PlatformLog("LocalSocketWaker: eventfd failed, errno %d", error_);
  }
}

LocalSocketWaker::~LocalSocketWaker() {
  if (fd_ >= 0) ::close(fd_);
}

void LocalSocketWaker::Signal() {
  if (fd_ < 0) return;
  const uint64_t one = 1;
  ssize_t rc;
  do {
    rc = ::write(fd_, &one, sizeof(one));
  } while (rc < 0 && errno == EINTR);
  // EAGAIN means the counter is already huge: it is signalled anyway.
}

void LocalSocketWaker::Drain() {
  if (fd_ < 0) return;
  uint64_t count = 0;
  ssize_t rc;
  do {
    rc = ::read(fd_, &count, sizeof(count));
  } while (rc < 0 && errno == EINTR);
}

}  // namespace vz

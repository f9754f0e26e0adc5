// The poll step of a run loop: sleeping until a wake-up, a timer expiry or a
// ready descriptor, and the descriptor watches themselves.
#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "platform/platform_log.h"
#include "platform/run_loop.h"

namespace vz {
namespace {

// Without an eventfd nothing can wake a sleeping loop; it looks this often.
constexpr int kNoWakeFdPollMs = 10;

uint32_t ToFdEvents(short revents) {
  uint32_t events = 0;
  if (revents & (POLLIN | POLLPRI)) events |= RunLoop::kFdReadable;
  if (revents & POLLOUT) events |= RunLoop::kFdWritable;
  if (revents & (POLLHUP | POLLERR | POLLNVAL)) events |= RunLoop::kFdHangup;
  return events;
}

}  // namespace

bool RunLoop::WatchFd(int fd, uint32_t events, FdCallback callback) {
  if (!CheckOwner("WatchFd")) return false;
  if (IsStopped() || fd < 0 || !callback || (events & (kFdReadable | kFdWritable)) == 0) {
    PlatformLog("RunLoop::WatchFd: watch of descriptor %d refused (%s)", fd,
                IsStopped() ? "loop stopped" : "bad arguments");
    return false;
  }
  std::shared_ptr<FdCallback> replaced;
  Watch& watch = watches_[fd];
  replaced = std::move(watch.callback);
  watch.events = events;
  watch.callback = std::make_shared<FdCallback>(std::move(callback));
  return true;
}

bool RunLoop::UnwatchFd(int fd) {
  if (!CheckOwner("UnwatchFd")) return false;
  auto it = watches_.find(fd);
  if (it == watches_.end()) return false;
  std::shared_ptr<FdCallback> removed = std::move(it->second.callback);
  watches_.erase(it);
  return true;
}

void RunLoop::Wake() {
  if (wake_fd_ < 0) return;
  const uint64_t one = 1;
  // EAGAIN means the counter is already non-zero: the loop will wake anyway.
  while (::write(wake_fd_, &one, sizeof(one)) < 0 && errno == EINTR) {
  }
}

size_t RunLoop::PollOnce(int timeout_ms) {
  bool slept = false;
  if (timeout_ms != 0) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!posted_.empty() || !sends_.empty() || stopped_.load(std::memory_order_relaxed)) {
      timeout_ms = 0;
    } else {
      sleeping_ = slept = true;
    }
  }
  if (wake_fd_ < 0 && (timeout_ms < 0 || timeout_ms > kNoWakeFdPollMs)) timeout_ms = kNoWakeFdPollMs;

  std::vector<pollfd> fds;
  std::vector<std::shared_ptr<FdCallback>> callbacks;  // what each poll entry was for
  fds.reserve(1 + watches_.size());
  callbacks.reserve(watches_.size());
  fds.push_back(pollfd{wake_fd_, POLLIN, 0});
  for (const auto& [fd, watch] : watches_) {
    short wanted = 0;
    if (watch.events & kFdReadable) wanted |= POLLIN;
    if (watch.events & kFdWritable) wanted |= POLLOUT;
    fds.push_back(pollfd{fd, wanted, 0});
    callbacks.push_back(watch.callback);
  }
  const int ready = ::poll(fds.data(), fds.size(), timeout_ms);
  if (ready < 0 && errno != EINTR) PlatformLog("RunLoop: poll failed (errno %d)", errno);

  if (slept) {
    std::lock_guard<std::mutex> lock(mutex_);
    sleeping_ = false;
    wake_written_ = false;
  }
  if (ready <= 0) return 0;
  if (fds[0].revents & POLLIN) {
    uint64_t count;
    while (::read(wake_fd_, &count, sizeof(count)) < 0 && errno == EINTR) {
    }
  }

  size_t ran = 0;
  for (size_t i = 1; i < fds.size() && !IsStopped(); ++i) {
    if (fds[i].revents == 0) continue;
    const int fd = fds[i].fd;
    // An earlier callback may have removed or replaced this watch.
    auto it = watches_.find(fd);
    if (it == watches_.end() || it->second.callback != callbacks[i - 1]) continue;
    const uint32_t events = ToFdEvents(fds[i].revents) & (it->second.events | kFdHangup);
    if (fds[i].revents & POLLNVAL) {
      PlatformLog("RunLoop: descriptor %d was closed while watched; its watch is removed", fd);
      watches_.erase(it);
    }
    if (events == 0) continue;
    (*callbacks[i - 1])(fd, events);
    ++ran;
  }
  return ran;
}

}  // namespace vz

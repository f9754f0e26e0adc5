#pragma once
// Waiting on several descriptors at once, and a waker that another thread
// signals to cut a wait short (an eventfd).
#include <cstddef>

namespace vz {

enum PollFlag : unsigned {
  kPollReadable = 1u,
  kPollWritable = 2u,
  kPollHangup = 4u,  // the peer closed; reads drain what is left, then end
  kPollError = 8u,
};

struct PollItem {
  int fd = -1;          // a negative descriptor is skipped
  unsigned wanted = 0;  // kPollReadable and/or kPollWritable
  unsigned ready = 0;   // set by PollDescriptors; hangup and error are always reported
};

// Waits up to `timeout_ms` (negative: without limit) until one item is ready.
// Returns the number of ready items, 0 on time-out or when a signal cut the
// wait short, -1 on failure (logged, errno in `*error` when not null).
int PollDescriptors(PollItem* items, size_t count, int timeout_ms, int* error = nullptr);

class LocalSocketWaker {
 public:
  LocalSocketWaker();
  ~LocalSocketWaker();
  LocalSocketWaker(const LocalSocketWaker&) = delete;
  LocalSocketWaker& operator=(const LocalSocketWaker&) = delete;

  // False when the eventfd could not be made; `Error` gives the errno value.
  bool IsValid() const { return fd_ >= 0; }
  int Error() const { return error_; }
  // Readable while signalled, for a poll set.
  int Fd() const { return fd_; }

  // Any thread; signals stay set until Drain, and several count as one.
  void Signal();
  // Clears the signal; called by the waiting thread after it woke.
  void Drain();

 private:
  int fd_ = -1;
  int error_ = 0;
};

}  // namespace vz

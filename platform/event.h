#pragma once
// A Win32-like event: signalled or not, with manual or automatic reset.
// Any thread may set, reset or wait on it.
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace vz {

class Event {
 public:
  static constexpr uint32_t kInfinite = 0xFFFFFFFFu;

  // A manual-reset event stays signalled until Reset and releases every
  // waiter; an automatic one releases one waiter and clears itself.
  Event(bool manual_reset, bool initially_set);
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set();
  void Reset();
  // True when the event was signalled within timeout_ms (kInfinite waits
  // without limit; 0 only tests it). Timing runs on the monotonic clock.
  bool Wait(uint32_t timeout_ms);

 private:
  std::mutex mutex_;
  std::condition_variable signalled_cv_;
  const bool manual_reset_;
  bool signalled_;
};

}  // namespace vz

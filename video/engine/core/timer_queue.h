#pragma once
// The timers of one thread, in ascending expiry order, on the monotonic
// clock (a wall-clock step neither stops nor bunches them). The queue
// belongs to the thread that made it: Schedule, CancelTimer and
// CheckExpire from another thread are refused with a log line.
#include <cstdint>
#include <list>
#include <thread>

#include "video/engine/core/engine_clock.h"
#include "video/engine/core/engine_result.h"
#include "video/engine/core/time_value.h"

namespace VZSE_ {

class ITimerHandler {
 public:
  virtual void OnTimer(const TimeValue& now, void* argument) = 0;

 protected:
  virtual ~ITimerHandler() = default;
};

// Told ("TimerQueue", 0) when a timer goes into an empty queue.
class ITimerQueueObserver {
 public:
  virtual void OnTimerQueueNotify(const char* what, int value) = 0;

 protected:
  virtual ~ITimerQueueObserver() = default;
};

class TimerQueueOrderedList {
 public:
  struct Node {
    ITimerHandler* handler;
    void* argument;
    TimeValue interval;
    TimeValue expiry;
    int32_t remaining;  // -1: without end
  };

  explicit TimerQueueOrderedList(EngineClock& clock = CurrentEngineClock(), ITimerQueueObserver* observer = nullptr);
  TimerQueueOrderedList(const TimerQueueOrderedList&) = delete;
  TimerQueueOrderedList& operator=(const TimerQueueOrderedList&) = delete;

  // A timer firing `interval` from now, `count` times (0: without end). The
  // handler must be set, and the interval positive unless count is 1;
  // otherwise VSE_E_FAIL. Scheduling a handler again replaces its timer.
  VseResult Schedule(ITimerHandler* handler, void* argument, const TimeValue& interval, int32_t count);
  // VSE_E_FAIL for a null or unknown handler.
  VseResult CancelTimer(ITimerHandler* handler);
  // Fires every due timer (a repeating one at most once: missed periods are
  // skipped, and its next expiry is the first period boundary after now);
  // *next receives the time until the earliest remaining expiry, or
  // Infinite() when none is left. Returns how many fired.
  int CheckExpire(TimeValue* next);

  // The list itself.
  void PushNode_l(const Node& node);  // replaces the handler's node; equal expiries: the new one first
  void PushNode(const Node& node);    // the same without the replacement
  int RemoveNode(ITimerHandler* handler);  // 0 removed, 1 absent
  int PopNode(Node* out);                  // 0, or -1 when empty
  int GetEarliest(TimeValue* out) const;   // 0, or -1 when empty
  size_t size_for_testing() const { return nodes_.size(); }

 private:
  bool OnOwnerThread(const char* operation) const;
  TimeValue Now() const { return TimeValue::FromUs(clock_.MonotonicUs()); }

  EngineClock& clock_;
  ITimerQueueObserver* const observer_;
  const std::thread::id owner_;
  std::list<Node> nodes_;
};

}  // namespace VZSE_

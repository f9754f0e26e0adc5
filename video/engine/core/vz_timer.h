#pragma once
// A repeating timer that fires on the thread that scheduled it, through
// that thread's run loop, while the loop runs. Schedule belongs to the
// scheduling thread; Cancel and the destructor may run on another thread,
// and then wait for a round in progress, so that the handler is never
// called after Cancel returned. A caller that cancels from another thread
// must hold nothing the handler takes. Off the scheduling thread they never
// touch its loop, so a timer may be cancelled or destroyed there after that
// thread has ended and its loop is gone (the last reference to its owner
// dropped on an engine thread); the loop, while it lives, lets go of the
// cancelled timer at its next round.
#include <atomic>
#include <cstdint>
#include <memory>

#include "video/engine/core/engine_result.h"
#include "video/engine/core/time_value.h"

namespace vz {
class RunLoop;
}

class CVzTimer;

class IVideoTimerSink {
 public:
  virtual void OnTimer(CVzTimer* timer) = 0;

 protected:
  virtual ~IVideoTimerSink() = default;
};

class CVzTimer {
 public:
  CVzTimer();
  ~CVzTimer();  // cancels
  CVzTimer(const CVzTimer&) = delete;
  CVzTimer& operator=(const CVzTimer&) = delete;

  // Fires handler->OnTimer(this) every interval (whole milliseconds, at
  // least 1) on the calling thread's run loop until cancelled; scheduling
  // again replaces the timer. VSE_E_POINTER for a null handler or interval,
  // VSE_E_FAIL when the thread's loop refuses the timer.
  VseResult Schedule(IVideoTimerSink* handler, const VZSE_::TimeValue* interval);
  void Cancel();
  bool IsActiveForTesting() const;

  // CVzTimers alive in the process.
  static int LiveCountForTesting();

 private:
  struct State;
  std::shared_ptr<State> state_;
  vz::RunLoop* loop_ = nullptr;
  uintptr_t timer_id_ = 0;
};

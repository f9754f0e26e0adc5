#pragma once
// The FIFO of a ComTaskThread. Any thread posts; only the queue's thread
// pops. Once stopped the queue refuses posts (the event is destroyed
// unfired, with a warning).
#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

#include "video/engine/core/com_event.h"
#include "video/engine/core/engine_result.h"
#include "video/engine/core/time_value.h"

namespace VZSE_ {

class EventQueueBase {
 public:
  EventQueueBase() = default;
  ~EventQueueBase();  // destroys what is still queued, unfired
  EventQueueBase(const EventQueueBase&) = delete;
  EventQueueBase& operator=(const EventQueueBase&) = delete;

  // Appends and wakes the queue's thread. Null: VSE_E_FAIL. Stopped: the
  // event is destroyed, VSE_E_FAIL.
  VseResult PostEvent(Event* event);
  // Posts the event, then refuses every later post, in one step, so the
  // event is the last one the queue ever holds.
  VseResult PostLastEvent(Event* event);
  bool IsStopped();

  // Moves up to max_count events (max_count > 0) to `out` (which must be
  // empty) without waiting; VSE_E_FAIL when the queue is empty. *remaining,
  // when given, receives how many stay queued. The queue's thread pops
  // through WaitAndPop; tests look at the queue through this.
  VseResult PopPendingEventsForTesting(std::vector<Event*>* out, int max_count, int* remaining = nullptr);
  // When the queue is empty, waits once for a post for at most `timeout`
  // (Infinite(): no limit; the time is real time), then pops as above.
  VseResult WaitAndPop(std::vector<Event*>* out, int max_count, const TimeValue& timeout);
  // OnDestroy, unfired, for everything still queued.
  void DestroyAll();

 private:
  // PostEvent, or with `last` PostLastEvent; `caller` names it in the log.
  VseResult Post(Event* event, bool last, const char* caller);
  VseResult PopLocked(std::vector<Event*>* out, int max_count, int* remaining);

  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<Event*> events_;
  bool stopped_ = false;
};

}  // namespace VZSE_

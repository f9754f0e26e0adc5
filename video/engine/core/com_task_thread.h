#pragma once
// The engine's data threads. A ComTaskThread runs its timers and the events
// posted to it, one at a time, on its own thread: handlers on one thread
// never run concurrently. Any thread may post; timers are scheduled and
// cancelled on the thread itself (from an event or a timer handler).
//
// Life: construct, Create (the thread runs and its timer queue exists when
// Create returns), post, Stop (the stop event goes behind what is queued;
// later posts are refused and destroyed), Join, delete. Events still queued
// when the thread ends are destroyed unfired. An owner that may let go of
// the thread from inside one of its own events (its last reference dropped
// there) hands it to Dispose instead: a thread cannot join itself.
#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include "video/engine/core/com_event.h"
#include "video/engine/core/engine_clock.h"
#include "video/engine/core/event_queue.h"
#include "video/engine/core/timer_queue.h"

namespace VZSE_ {

class BaseThread {
 public:
  BaseThread() = default;
  // Joins a thread its owner did not join (logged), so it never outlives
  // the object.
  virtual ~BaseThread();
  BaseThread(const BaseThread&) = delete;
  BaseThread& operator=(const BaseThread&) = delete;

  // type 1 or 2 (stored and checked only), else -1. Starts the thread and
  // returns once OnThreadInit has run on it. VSE_E_FAIL when the thread
  // cannot be started or already runs.
  virtual VseResult Create(void* argument, int type);
  virtual VseResult Stop() = 0;
  // Waits for the thread to end: VSE_S_OK, VSE_E_FAIL when there is none
  // or when called on the thread itself.
  VseResult Join();
  uint64_t thread_id() const { return thread_id_; }
  bool IsCurrentThread() const { return std::this_thread::get_id() == std_id_; }
  // Engine threads of the process whose run has not ended yet, joined or
  // not (for tests: what a release left running).
  static int RunningCountForTesting();

 protected:
  virtual void OnThreadInit() = 0;
  virtual void OnThreadRun() = 0;
  // Set on the thread itself: when OnThreadRun returns, the thread lets go
  // of its handle and deletes this object, touching nothing after.
  void DeleteWhenRunEnds() { delete_when_run_ends_ = true; }

 private:
  bool delete_when_run_ends_ = false;  // the thread's own
  std::thread thread_;
  std::thread::id std_id_;
  uint64_t thread_id_ = 0;
  void* argument_ = nullptr;
  int type_ = 0;
};

class ComTaskThread : public BaseThread {
 public:
  static constexpr int kEventsPerRound = 5;

  explicit ComTaskThread(EngineClock& clock = CurrentEngineClock());
  ~ComTaskThread() override;

  // Queues the stop behind everything posted so far and closes the queue.
  // 0, or -1 when the stop event cannot be made.
  VseResult Stop() override;
  EventQueueBase* GetEventQueue() { return &queue_; }
  // The thread's own; null before Create. Use it only on the thread.
  TimerQueueOrderedList* GetTimerQueue() { return timers_.get(); }
  // Ends the loop after the current round (the stop event calls it).
  void SetStopFlag();

  // Stops the thread and frees it. From any other thread: stops, joins and
  // deletes before returning. On the thread itself (inside one of its
  // events or timers): stops, and the thread deletes the object once its
  // loop has ended (what is queued before the stop still fires); the caller
  // must not touch the thread after.
  static void Dispose(std::unique_ptr<ComTaskThread> thread);

 protected:
  void OnThreadInit() override;
  void OnThreadRun() override;

 private:
  EngineClock& clock_;
  EventQueueBase queue_;
  std::unique_ptr<TimerQueueOrderedList> timers_;
  std::atomic<bool> stop_flag_{true};
};

// The one event the runtime defines: ends its thread's loop.
class StopThreadEvent final : public Event {
 public:
  explicit StopThreadEvent(ComTaskThread* target) : target_(target) {}
  void OnEventFire() override { target_->SetStopFlag(); }

 private:
  ComTaskThread* const target_;
};

}  // namespace VZSE_

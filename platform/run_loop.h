#pragma once
// The run loop of a thread: the port that takes the place of a thread's
// message queue, its hidden helper windows and SetTimer.
//
// Lives on its owner thread, the thread that created it. Post, Send and Quit
// may be called from any thread; everything else (timers, watches, running,
// Stop) only on the owner thread, and is refused with a log line elsewhere.
// Other threads must not use a loop once its owner thread has ended.
//
// Backend: a locked queue woken through an eventfd, with the watched file
// descriptors and the next timer expiry folded into one poll().
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "platform/unique_task.h"

namespace vz {

class RunLoop {
 public:
  // What a descriptor watch waits for, and what its callback is told.
  // kFdHangup (hang-up or error) is always reported.
  enum FdEvents : uint32_t { kFdReadable = 1u, kFdWritable = 2u, kFdHangup = 4u };
  using FdCallback = std::function<void(int fd, uint32_t events)>;
  // Timers are named by (owner, id); the owner is usually the object that
  // set them, so it can kill all of its timers at once.
  using TimerOwner = const void*;

  // The loop of the calling thread, created on first use on the monotonic
  // clock and destroyed (stopped) when the thread ends.
  static RunLoop& ForCurrentThread();
  // The calling thread's loop, or null when it has none yet.
  static RunLoop* Current();

  // A loop on the given clock, owned by the caller (tests pass a FakeClock
  // and step it with RunUntilIdle). While it lives it is the calling
  // thread's current loop, so ForCurrentThread() returns it; loops made this
  // way on one thread must be destroyed in reverse order.
  explicit RunLoop(Clock& clock);
  ~RunLoop();  // Stop(), then releases the wake descriptor
  RunLoop(const RunLoop&) = delete;
  RunLoop& operator=(const RunLoop&) = delete;

  bool BelongsToCurrentThread() const { return owner_ == std::this_thread::get_id(); }
  bool IsStopped() const { return stopped_.load(std::memory_order_acquire); }
  // The clock its timers run on (a fake one in tests); any thread.
  Clock& clock() const { return clock_; }

  // Tasks.
  // Queues a task to run on the owner thread, in posting order. Never waits
  // for the owner thread. False once the loop is stopped; the task is then
  // destroyed.
  bool Post(UniqueTask task);
  // Runs the task on the owner thread and returns when it has run; on the
  // owner thread it runs at once. Waiting sends run before posted tasks.
  // While a thread waits here, sends made to its own loop (not posts) are
  // run, so two loops may send to each other. False when the loop is stopped
  // before the task ran (it is destroyed unrun; the call never hangs on a
  // stopped loop).
  bool Send(UniqueTask task);
  // Send for a result: the function's value, or nothing when it did not run.
  template <typename F>
  auto SendWithResult(F&& function) -> std::optional<std::decay_t<std::invoke_result_t<F&>>>;
  // Owner thread: runs the sends waiting now. For a thread that waits for
  // something else (a thread to end) while others may send to it.
  size_t RunPendingSends();

  // Timers (owner thread). A timer repeats every interval_ms (at least 1) on
  // the loop's clock until killed; due timers fire in expiry order, each at
  // most once per turn of the loop. Starting (owner, id) again replaces the
  // timer. False when called off the owner thread or on a stopped loop.
  bool StartTimer(TimerOwner owner, uintptr_t id, uint32_t interval_ms, UniqueTask on_fire);
  bool KillTimer(TimerOwner owner, uintptr_t id);  // false when no such timer
  size_t KillTimers(TimerOwner owner);             // returns how many died

  // Descriptor watches (owner thread). The callback runs on the owner thread
  // whenever the descriptor is ready for one of `events`; watching a
  // descriptor again replaces its watch. A descriptor closed while watched
  // is reported once as kFdHangup and its watch removed.
  bool WatchFd(int fd, uint32_t events, FdCallback callback);
  bool UnwatchFd(int fd);  // false when it was not watched

  // Running (owner thread).
  // Runs sends, posted tasks, timers and watches until Quit or Stop. May be
  // nested inside a task (a modal loop); Quit ends the innermost Run.
  void Run();
  // Ends the innermost Run after the current task; from another thread it
  // is posted. Without a Run in progress it does nothing.
  void Quit();
  // Runs what was waiting when called: sends, the posted tasks queued then,
  // due timers, ready descriptors (without waiting). Returns how many ran.
  size_t RunPending();
  // RunPending until a round runs nothing. Returns how many ran.
  size_t RunUntilIdle();
  // Ends every Run, destroys every queued task, timer and watch without
  // running it and fails waiting sends; later posts and sends fail.
  void Stop();

 private:
  // The per-thread object a sending thread blocks on: told when its send
  // is done, and when sends arrive at its own loop meanwhile.
  struct SendWaiter {
    std::mutex mutex;
    std::condition_variable cv;
    bool sends_arrived = false;
  };
  // Lives on the sender's stack until done is set.
  struct SendRequest {
    UniqueTask task;
    SendWaiter* waiter;
    bool done = false;
    bool ran = false;
  };
  struct Timer {
    uint32_t interval_ms;
    uint64_t due_ms;
    uint64_t order;  // breaks ties between equal expiries: first started first
    std::shared_ptr<UniqueTask> on_fire;
  };
  using TimerKey = std::pair<TimerOwner, uintptr_t>;
  using TimerSlot = std::pair<uint64_t, uint64_t>;  // (due_ms, order)
  struct Watch {
    uint32_t events;
    std::shared_ptr<FdCallback> callback;
  };

  bool CheckOwner(const char* operation) const;
  bool RunOneSend();
  size_t RunSends();
  bool RunOnePosted();
  // Runs up to `limit` posted tasks, serving sends between them; stops
  // early when the loop stops or, with `quit`, when *quit is set.
  size_t RunPostedBatch(size_t limit, const bool* quit);
  size_t RunDueTimers();
  // Waits up to timeout_ms (-1: no limit, 0: only looks) for a wake-up or a
  // ready descriptor, then runs the ready watches. Returns how many ran.
  size_t PollOnce(int timeout_ms);
  int MsUntilNextTimer() const;
  void Wake();
  void DropEverything();
  void EnterSendWait(SendWaiter* waiter, SendWaiter** previous);
  void LeaveSendWait(SendWaiter* previous);
  static void SignalSendsArrived(SendWaiter* waiter);
  static void CompleteSend(SendRequest* request, bool ran);
  static SendWaiter& ThisThreadWaiter();

  Clock& clock_;
  const std::thread::id owner_;
  RunLoop* previous_current_;
  int wake_fd_ = -1;

  // Shared with other threads, under mutex_.
  std::mutex mutex_;
  std::deque<UniqueTask> posted_;
  std::deque<SendRequest*> sends_;
  std::atomic<bool> stopped_{false};
  bool sleeping_ = false;       // the owner is (about to be) blocked in poll
  bool wake_written_ = false;   // a wake-up is on its way for this sleep
  SendWaiter* waiting_owner_ = nullptr;  // set while the owner waits in a Send

  // Owner thread only.
  std::map<TimerKey, Timer> timers_;
  std::map<TimerSlot, TimerKey> timer_order_;
  uint64_t next_timer_order_ = 0;
  std::map<int, Watch> watches_;
  std::vector<bool*> run_frames_;  // the quit flag of each nested Run
};

template <typename F>
auto RunLoop::SendWithResult(F&& function) -> std::optional<std::decay_t<std::invoke_result_t<F&>>> {
  using Result = std::decay_t<std::invoke_result_t<F&>>;
  static_assert(!std::is_void_v<Result>, "use Send for a function without a result");
  std::optional<Result> result;
  if (!Send([&result, &function] { result.emplace(function()); })) return std::nullopt;
  return result;
}

}  // namespace vz

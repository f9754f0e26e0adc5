#pragma once
// CDsThread: a worker thread with a stop event and a small message queue of
// its own (the capture thread's thread messages).
//
// Start, Stop and the destructor belong to the thread that owns the object;
// PostThreadMessage may be called from any thread. Stop waits for the worker
// to end while it serves the sends made to the owner's run loop, so a worker
// blocked in a hand-over to that loop can finish.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

namespace vz {
class RunLoop;
}

class CDsThread {
 public:
  CDsThread() = default;
  virtual ~CDsThread();
  CDsThread(const CDsThread&) = delete;
  CDsThread& operator=(const CDsThread&) = delete;

  // Creates the stop event and the thread, which runs ThreadRun. False (with
  // a log line) when a thread already runs or none could be made.
  bool Start();
  // Signals the stop event and waits for the thread, serving `serve`'s
  // pending sends every 10 ms when called on its owner thread. 1 always.
  int Stop(vz::RunLoop* serve);
  // Signals the stop event without waiting (a later Stop waits and joins).
  void RequestStop();
  bool IsRunning() const { return running_.load(std::memory_order_acquire); }
  // True from Stop's signal until the next Start.
  bool IsStopping() const { return stopping_.load(std::memory_order_acquire); }
  // Queues a message for the worker; false when no thread runs.
  bool PostThreadMessage(uint32_t message);
  // The worker's result once it ended; -1 before.
  int exit_code_for_testing() const { return exit_code_.load(std::memory_order_acquire); }

 protected:
  virtual int ThreadRun() = 0;
  // Called by Stop after the stop event is set, before waiting (for workers
  // that block on something else than the event).
  virtual void OnStopRequested() {}

  enum class Wake { kStop, kMessage, kTimeout };
  // Worker: waits up to timeout_ms for the stop event or a message; a
  // message is taken off the queue into *message.
  Wake WaitForWork(int timeout_ms, uint32_t* message);
  // Worker: waits up to timeout_ms for the stop event only; true when set.
  bool WaitForStop(int timeout_ms);

 private:
  void Body();

  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable cv_;       // stop event or a message
  std::condition_variable done_cv_;  // the worker ended
  bool stop_event_ = false;
  bool done_ = false;
  std::deque<uint32_t> messages_;
  std::atomic<bool> running_{false};
  std::atomic<bool> stopping_{false};
  std::atomic<int> exit_code_{-1};
};

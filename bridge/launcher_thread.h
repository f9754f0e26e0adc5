#pragma once
// The host's launcher thread: a thread with its own run loop, on which the
// launcher's timers and posted steps run until the loop is told to quit.
// Start, Post, RequestQuit and Join may be called from any other thread.
#include <memory>
#include <mutex>
#include <thread>

#include "platform/event.h"
#include "platform/run_loop.h"

class LauncherThread {
 public:
  LauncherThread() = default;
  // Quits the loop and joins the thread.
  ~LauncherThread();
  LauncherThread(const LauncherThread&) = delete;
  LauncherThread& operator=(const LauncherThread&) = delete;

  // Starts the thread and returns once its loop exists. False (logged) when
  // the thread cannot be made.
  bool Start();
  // The thread's loop while it runs, else null. For objects that are made
  // here and then live on the thread (they must not use it after Join).
  vz::RunLoop* Loop();
  // Runs the task on the thread; false when the loop has ended.
  bool Post(vz::UniqueTask task);
  // Ends the loop after the task it is running; also before it started.
  void RequestQuit();
  void Join();
  // The kernel's id of the thread, 0 before Start.
  int ThreadId();

 private:
  void ThreadRun();

  std::mutex mutex_;
  vz::RunLoop* loop_ = nullptr;  // under mutex_; null before the loop exists and after it ended
  bool quit_requested_ = false;
  int thread_id_ = 0;
  vz::Event loop_ready_{true, false};
  std::thread thread_;
};

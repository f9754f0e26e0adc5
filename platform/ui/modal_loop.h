#pragma once
// A nested loop for a modal dialog or a popup menu, run on the UI thread's
// run loop: it serves posted tasks, timers and display events until ended.
//
// Loops nest (a menu over a dialog). Ending an outer loop ends the inner
// ones too (each returns kEndedByOuter), so tearing down an owner from
// inside a nested loop unwinds every loop above it. A RunLoop::Quit made
// while a modal loop runs (the program quitting) ends every modal loop with
// kEndedByOuter and then the Run it was meant for. After Run returns the
// caller must check that what it used is still alive (see AliveFlag) before
// touching it: the owner may have been destroyed meanwhile.
#include <memory>

namespace vz {

class RunLoop;

class ModalLoop {
 public:
  static constexpr int kEndedByOuter = -1;
  static constexpr int kLoopStopped = -2;

  explicit ModalLoop(RunLoop& loop);
  ~ModalLoop();  // ends the loop if it runs (result kEndedByOuter)
  ModalLoop(const ModalLoop&) = delete;
  ModalLoop& operator=(const ModalLoop&) = delete;

  // Runs until End; returns End's result (or the values above).
  int Run();
  // Ends this loop (and every loop nested in it); may be called from inside
  // it, before it runs (Run then returns at once) or after.
  void End(int result);
  bool IsRunningForTesting() const { return running_; }

  // The innermost running loop of the calling thread, or null.
  static ModalLoop* Innermost();

 private:
  RunLoop& loop_;
  ModalLoop* outer_ = nullptr;
  ModalLoop* inner_ = nullptr;
  bool running_ = false;
  bool ended_ = false;
  int result_ = 0;
};

// Shared "still alive" flag: an object keeps one and clears it in its
// destructor; code that ran a nested loop checks it before going on.
class AliveFlag {
 public:
  AliveFlag() : flag_(std::make_shared<bool>(true)) {}
  ~AliveFlag() { *flag_ = false; }
  AliveFlag(const AliveFlag&) = delete;
  AliveFlag& operator=(const AliveFlag&) = delete;
  std::shared_ptr<const bool> Watch() const { return flag_; }

 private:
  std::shared_ptr<bool> flag_;
};

}  // namespace vz

#include <utility>

#include "platform/run_loop.h"

namespace vz {

// Deferred deletion: the object is destroyed by a task of the loop, after
// whatever is on the stack now (a handler of it, a nested loop) has
// returned. When the loop is stopped the task is dropped, which destroys the
// object all the same.
template <typename T>
void DeleteSoon(RunLoop& loop, std::unique_ptr<T> object) {
  if (!object) return;
  loop.Post([doomed = std::shared_ptr<T>(std::move(object))]() mutable { doomed.reset(); });
}

}  // namespace vz

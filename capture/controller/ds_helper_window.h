#pragma once
// The capture library's helper window: a message procedure bound to the run
// loop of the thread that created it. Other threads post to it (never
// waiting) or send to it (waiting until the procedure has run there); this is
// how every record reaches the sink on the creating thread.
//
// Create and Destroy on the owner thread. Post and Send from any thread; both
// do nothing (Send answers 0) once the window is destroyed or its loop has
// stopped, so a late message never reaches a dead procedure.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

namespace vz {
class RunLoop;
}

class CDsHelperWindow {
 public:
  using Procedure = std::function<intptr_t(uint32_t message, uintptr_t wparam, intptr_t lparam)>;

  CDsHelperWindow() = default;
  ~CDsHelperWindow();
  CDsHelperWindow(const CDsHelperWindow&) = delete;
  CDsHelperWindow& operator=(const CDsHelperWindow&) = delete;

  // Binds the procedure to the calling thread's run loop.
  bool Create(Procedure procedure);
  void Destroy();
  // The loop the window lives on (null before Create).
  vz::RunLoop* loop() const;

  bool Post(uint32_t message, uintptr_t wparam = 0, intptr_t lparam = 0);
  // Runs the procedure on the owner thread and returns its result; on the
  // owner thread it runs at once. 0 when the window is gone.
  intptr_t Send(uint32_t message, uintptr_t wparam = 0, intptr_t lparam = 0);

 private:
  struct State;
  std::shared_ptr<State> Current() const;

  mutable std::mutex mutex_;  // guards state_ itself
  std::shared_ptr<State> state_;
};

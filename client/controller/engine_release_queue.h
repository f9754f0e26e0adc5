#pragma once
// Keeps engines that the controller let go of while one of the engines'
// callbacks was running (a leave or stop from inside the engine's own status
// or error callback), so that no engine is released under its own call. They
// are released on the UI thread's run loop once the outermost callback has
// returned (without a run loop, as that callback ends).
//
// Lives on the UI thread with its controller. Nothing locks.
#include <memory>
#include <vector>

class EngineReleaseQueue {
 public:
  EngineReleaseQueue();
  // Releases whatever it still holds.
  ~EngineReleaseQueue();
  EngineReleaseQueue(const EngineReleaseQueue&) = delete;
  EngineReleaseQueue& operator=(const EngineReleaseQueue&) = delete;

  // Marks an engine callback on the stack for as long as it lives.
  class CallbackScope {
   public:
    explicit CallbackScope(EngineReleaseQueue& queue);
    ~CallbackScope();
    CallbackScope(const CallbackScope&) = delete;
    CallbackScope& operator=(const CallbackScope&) = delete;

   private:
    EngineReleaseQueue& queue_;
  };

  bool InCallback() const { return held_->depth > 0; }
  // Holds `retired` (whose destruction releases an engine) until the
  // outermost running callback has returned.
  void Retire(std::shared_ptr<void> retired);
  // Releases everything held now.
  void ReleaseAll();
  size_t held_count_for_testing() const { return held_->items.size(); }

 private:
  // Shared with the posted release, which may run inside a nested loop
  // under a callback (a modal dialog): it then leaves everything to the end
  // of that callback.
  struct Held {
    std::vector<std::shared_ptr<void>> items;
    bool release_posted = false;
    int depth = 0;  // engine callbacks on the stack
  };
  void CallbackReturned();

  std::shared_ptr<Held> held_;
};

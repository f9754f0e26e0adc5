#include "client/controller/engine_release_queue.h"

#include <utility>

#include "common/trace_client.h"
#include "platform/run_loop.h"

EngineReleaseQueue::EngineReleaseQueue() : held_(std::make_shared<Held>()) {}

EngineReleaseQueue::~EngineReleaseQueue() { ReleaseAll(); }

EngineReleaseQueue::CallbackScope::CallbackScope(EngineReleaseQueue& queue) : queue_(queue) { ++queue_.held_->depth; }

EngineReleaseQueue::CallbackScope::~CallbackScope() { queue_.CallbackReturned(); }

void EngineReleaseQueue::Retire(std::shared_ptr<void> retired) {
  if (retired) held_->items.push_back(std::move(retired));
}

void EngineReleaseQueue::ReleaseAll() {
  // Moved out first: a release may retire again (it never should, but the
  // list must not change under its own clear).
  std::vector<std::shared_ptr<void>> items = std::move(held_->items);
  held_->items.clear();
  items.clear();
}

void EngineReleaseQueue::CallbackReturned() {
  if (--held_->depth != 0) return;
  if (held_->items.empty() || held_->release_posted) return;
  vz::RunLoop* loop = vz::RunLoop::Current();
  std::weak_ptr<Held> weak = held_;
  held_->release_posted = loop != nullptr && loop->Post([weak] {
    const std::shared_ptr<Held> held = weak.lock();
    if (!held) return;
    held->release_posted = false;
    // Run from a nested loop under a callback: what that callback let go
    // of may be on the stack; the callback's end posts again.
    if (held->depth > 0) return;
    std::vector<std::shared_ptr<void>> items = std::move(held->items);
    held->items.clear();
  });
  if (!held_->release_posted) {
    // No loop to come back on: released now, before the engine's call has
    // fully returned (the program always has a loop).
    VZ_LOG_WARN("no run loop; engines released inside their own callback");
    ReleaseAll();
  }
}

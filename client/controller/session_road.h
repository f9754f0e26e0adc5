#pragma once
// What one session road of the meeting controller (sharing, audio or video)
// owns alone: the engine of its running session, as the wrapper and the
// relay that the engine was given as its sink (made together, let go of
// together); the web page's last request of the road; and the road's
// status (SessionStatus). Nothing of one road is reached through another.
//
// Lives on the UI thread with its controller. Nothing locks.
#include <cstdint>
#include <memory>
#include <utility>

#include "client/controller/engine_release_queue.h"
#include "client/controller/session_status.h"
#include "client/controller/ui_thread_check.h"

template <typename Wrapper, typename Relay, typename Request>
class SessionRoad {
 public:
  SessionRoad() = default;
  // An engine still held is released now (its relay detached first).
  ~SessionRoad() { ReleaseNow(); }
  SessionRoad(const SessionRoad&) = delete;
  SessionRoad& operator=(const SessionRoad&) = delete;

  // The running session's engine, or null while the road has none.
  Wrapper* engine() const { return wrapper_.get(); }
  Request& request() { return request_; }
  const Request& request() const { return request_; }
  int32_t status() const { return status_; }
  void set_status(int32_t status) { status_ = status; }

  // Takes `wrapper` as the road's engine, with a new relay to `target` as
  // its sink, and has the wrapper make the engine object with that relay
  // and `args`: true when it was made. The wrapper is kept either way, so
  // that the failed start is let go of like any other. An engine held from
  // before is let go of first.
  template <typename Target, typename... Args>
  bool Make(std::unique_ptr<Wrapper> wrapper, Target& target, EngineReleaseQueue& queue, const UiThreadCheck& thread,
            Args... args) {
    if (wrapper_ || relay_) Drop(queue);
    wrapper_ = std::move(wrapper);
    if (!wrapper_) return false;
    relay_ = std::make_unique<Relay>(target, queue, thread);
    return wrapper_->CreateInstance(relay_.get(), args...) != 0;
  }

  // Lets go of the engine: its relay is detached at once (what the engine
  // still delivers is dropped), and the engine is released and its wrapper
  // destroyed now or, inside an engine callback, once that callback has
  // returned. The library stays loaded.
  void Drop(EngineReleaseQueue& queue) {
    if (relay_) relay_->Detach();
    if (!queue.InCallback()) {
      ReleaseNow();
      return;
    }
    if (!wrapper_ && !relay_) return;
    auto retired = std::make_shared<Retired>();
    retired->relay = std::move(relay_);
    retired->wrapper = std::move(wrapper_);
    queue.Retire(std::move(retired));
  }

  // Cuts the engine off from the controller without releasing it (the
  // controller's end: nothing the engines deliver while they are released
  // reaches a controller half taken down).
  void DetachSink() {
    if (relay_) relay_->Detach();
  }

  // Detaches, releases the engine and destroys the wrapper, then the relay.
  void ReleaseNow() {
    DetachSink();
    if (wrapper_) wrapper_->ReleaseInstance();
    wrapper_.reset();
    relay_.reset();
  }

 private:
  // An engine let go of inside a callback, with its relay: the wrapper
  // (whose destructor releases the engine) goes first.
  struct Retired {
    std::unique_ptr<Relay> relay;
    std::unique_ptr<Wrapper> wrapper;
  };

  std::unique_ptr<Wrapper> wrapper_;
  std::unique_ptr<Relay> relay_;
  Request request_{};
  int32_t status_ = kSessionIdle;
};

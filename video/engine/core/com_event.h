#pragma once
// Events for a ComTaskThread: posted from any thread, fired on the queue's
// thread in posting order. After firing, or when the event is discarded
// unfired (posted to a stopped queue, or still queued when the thread
// ends), OnDestroy is called exactly once; by default it deletes the event.
#include <thread>

namespace VZSE_ {

class Event {
 public:
  Event() : origin_(std::this_thread::get_id()) {}
  virtual ~Event() = default;
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  virtual void OnEventFire() = 0;
  virtual void OnDestroy() { delete this; }

 private:
  const std::thread::id origin_;
};

}  // namespace VZSE_

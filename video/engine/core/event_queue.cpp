#include "video/engine/core/event_queue.h"

#include <chrono>

#include "common/trace_client.h"

namespace VZSE_ {

EventQueueBase::~EventQueueBase() { DestroyAll(); }

VseResult EventQueueBase::PostEvent(Event* event) { return Post(event, false, "PostEvent"); }

VseResult EventQueueBase::PostLastEvent(Event* event) { return Post(event, true, "PostLastEvent"); }

VseResult EventQueueBase::Post(Event* event, bool last, const char* caller) {
  if (event == nullptr) return VSE_E_FAIL;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!stopped_) {
      events_.push_back(event);
      // In the same hold as the push: no other post can follow the last.
      if (last) stopped_ = true;
      lock.unlock();
      posted_.notify_one();
      return VSE_S_OK;
    }
  }
  VZ_LOG_WARN("EventQueueBase::%s, has been stopped.", caller);
  event->OnDestroy();
  return VSE_E_FAIL;
}

bool EventQueueBase::IsStopped() {
  std::lock_guard<std::mutex> lock(mutex_);
  return stopped_;
}

VseResult EventQueueBase::PopLocked(std::vector<Event*>* out, int max_count, int* remaining) {
  if (out == nullptr || !out->empty()) {
    VZ_LOG_ERROR("aEvents.empty()");
    return VSE_E_FAIL;
  }
  if (max_count <= 0) {
    VZ_LOG_ERROR("aMaxCount > 0");
    return VSE_E_FAIL;
  }
  if (events_.empty()) return VSE_E_FAIL;
  const size_t take = std::min(events_.size(), static_cast<size_t>(max_count));
  out->assign(events_.begin(), events_.begin() + static_cast<std::ptrdiff_t>(take));
  events_.erase(events_.begin(), events_.begin() + static_cast<std::ptrdiff_t>(take));
  if (remaining) *remaining = static_cast<int>(events_.size());
  return VSE_S_OK;
}

VseResult EventQueueBase::PopPendingEventsForTesting(std::vector<Event*>* out, int max_count, int* remaining) {
  std::lock_guard<std::mutex> lock(mutex_);
  return PopLocked(out, max_count, remaining);
}

VseResult EventQueueBase::WaitAndPop(std::vector<Event*>* out, int max_count, const TimeValue& timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (events_.empty()) {
    if (timeout.IsInfinite()) {
      posted_.wait(lock);
    } else if (timeout > TimeValue::Zero()) {
      posted_.wait_for(lock, std::chrono::microseconds(timeout.ToUs()));
    }
  }
  return PopLocked(out, max_count, nullptr);
}

void EventQueueBase::DestroyAll() {
  std::deque<Event*> left;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    left.swap(events_);
  }
  for (Event* e : left) e->OnDestroy();
}

}  // namespace VZSE_

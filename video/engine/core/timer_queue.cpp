#include "video/engine/core/timer_queue.h"

#include "common/trace_client.h"

namespace VZSE_ {

TimerQueueOrderedList::TimerQueueOrderedList(EngineClock& clock, ITimerQueueObserver* observer)
    : clock_(clock), observer_(observer), owner_(std::this_thread::get_id()) {}

bool TimerQueueOrderedList::OnOwnerThread(const char* operation) const {
  if (std::this_thread::get_id() == owner_) return true;
  VZ_LOG_ERROR("%s from a thread that does not own the timer queue refused", operation);
  return false;
}

VseResult TimerQueueOrderedList::Schedule(ITimerHandler* handler, void* argument, const TimeValue& interval,
                                          int32_t count) {
  if (!OnOwnerThread("Schedule")) return VSE_E_FAIL;
  if (handler == nullptr || count < 0 || !(interval > TimeValue::Zero() || count == 1)) return VSE_E_FAIL;
  const bool was_empty = nodes_.empty();
  PushNode_l({handler, argument, interval, Now() + interval, count == 0 ? -1 : count});
  if (was_empty && observer_) observer_->OnTimerQueueNotify("TimerQueue", 0);
  return VSE_S_OK;
}

VseResult TimerQueueOrderedList::CancelTimer(ITimerHandler* handler) {
  VZ_LOG("CancelTimer");
  if (!OnOwnerThread("CancelTimer")) return VSE_E_FAIL;
  if (handler == nullptr) return VSE_E_FAIL;
  return RemoveNode(handler) == 0 ? VSE_S_OK : VSE_E_FAIL;
}

void TimerQueueOrderedList::PushNode_l(const Node& node) {
  if (RemoveNode(node.handler) == 0 && RemoveNode(node.handler) == 0) VZ_LOG_ERROR("!bFoundEqual");
  PushNode(node);
}

void TimerQueueOrderedList::PushNode(const Node& node) {
  auto it = nodes_.begin();
  while (it != nodes_.end() && it->expiry < node.expiry) ++it;
  nodes_.insert(it, node);
}

int TimerQueueOrderedList::RemoveNode(ITimerHandler* handler) {
  for (auto it = nodes_.begin(); it != nodes_.end(); ++it) {
    if (it->handler == handler) {
      nodes_.erase(it);
      return 0;
    }
  }
  return 1;
}

int TimerQueueOrderedList::PopNode(Node* out) {
  if (nodes_.empty()) return -1;
  *out = nodes_.front();
  nodes_.pop_front();
  return 0;
}

int TimerQueueOrderedList::GetEarliest(TimeValue* out) const {
  if (nodes_.empty()) return -1;
  *out = nodes_.front().expiry;
  return 0;
}

int TimerQueueOrderedList::CheckExpire(TimeValue* next) {
  if (!OnOwnerThread("CheckExpire")) return 0;
  const TimeValue now = Now();
  int fired = 0;
  for (;;) {
    TimeValue earliest;
    if (GetEarliest(&earliest) != 0) {
      if (next) *next = TimeValue::Infinite();
      return fired;
    }
    if (earliest > now) {
      if (next) *next = earliest - now;
      return fired;
    }
    Node node;
    if (PopNode(&node) != 0) {
      VZ_LOG_ERROR("nRet == 0");
      return fired;
    }
    if (node.remaining != -1) --node.remaining;
    if (node.remaining != 0 && node.interval > TimeValue::Zero()) {
      // Skip the missed periods: the first boundary after now.
      const int64_t period = node.interval.ToUs();
      const int64_t behind = now.ToUs() - node.expiry.ToUs();
      node.expiry = TimeValue::FromUs(node.expiry.ToUs() + (behind / period + 1) * period);
      PushNode(node);
    }
    if (node.handler == nullptr) return fired;
    node.handler->OnTimer(now, node.argument);
    ++fired;
  }
}

}  // namespace VZSE_

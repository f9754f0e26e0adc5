// Timers of a run loop: named by (owner, id), kept in expiry order, fired on
// the owner thread. A timer's callback is shared while it runs, so it may
// kill or restart its own timer (or nest a Run) safely.
#include <algorithm>
#include <climits>

#include "platform/platform_log.h"
#include "platform/run_loop.h"

namespace vz {

bool RunLoop::StartTimer(TimerOwner owner, uintptr_t id, uint32_t interval_ms, UniqueTask on_fire) {
  if (!CheckOwner("StartTimer")) return false;
  if (IsStopped()) {
    PlatformLog("RunLoop::StartTimer: the loop is stopped; timer %llu refused",
                static_cast<unsigned long long>(id));
    return false;
  }
  // An interval of 0 would fire on every turn of the loop.
  interval_ms = std::max<uint32_t>(interval_ms, 1);
  const TimerKey key{owner, id};
  std::shared_ptr<UniqueTask> replaced;
  if (auto it = timers_.find(key); it != timers_.end()) {
    timer_order_.erase(TimerSlot{it->second.due_ms, it->second.order});
    replaced = std::move(it->second.on_fire);
    timers_.erase(it);
  }
  Timer timer{interval_ms, clock_.NowMs() + interval_ms, next_timer_order_++,
              std::make_shared<UniqueTask>(std::move(on_fire))};
  timer_order_.emplace(TimerSlot{timer.due_ms, timer.order}, key);
  timers_.emplace(key, std::move(timer));
  return true;  // `replaced` dies last, with the tables consistent
}

bool RunLoop::KillTimer(TimerOwner owner, uintptr_t id) {
  if (!CheckOwner("KillTimer")) return false;
  auto it = timers_.find(TimerKey{owner, id});
  if (it == timers_.end()) return false;
  timer_order_.erase(TimerSlot{it->second.due_ms, it->second.order});
  std::shared_ptr<UniqueTask> killed = std::move(it->second.on_fire);
  timers_.erase(it);
  return true;
}

size_t RunLoop::KillTimers(TimerOwner owner) {
  if (!CheckOwner("KillTimers")) return 0;
  std::vector<std::shared_ptr<UniqueTask>> killed;
  auto it = timers_.lower_bound(TimerKey{owner, 0});
  while (it != timers_.end() && it->first.first == owner) {
    timer_order_.erase(TimerSlot{it->second.due_ms, it->second.order});
    killed.push_back(std::move(it->second.on_fire));
    it = timers_.erase(it);
  }
  return killed.size();
}

size_t RunLoop::RunDueTimers() {
  if (timer_order_.empty()) return 0;
  const uint64_t now = clock_.NowMs();
  size_t fired = 0;
  while (!timer_order_.empty() && !IsStopped()) {
    auto first = timer_order_.begin();
    if (first->first.first > now) break;
    const TimerKey key = first->second;
    timer_order_.erase(first);
    Timer& timer = timers_.at(key);
    // Rescheduled from now, before it runs: a late loop fires a timer once,
    // not once per missed interval, and the loop ends since due > now.
    timer.due_ms = now + timer.interval_ms;
    timer.order = next_timer_order_++;
    timer_order_.emplace(TimerSlot{timer.due_ms, timer.order}, key);
    std::shared_ptr<UniqueTask> on_fire = timer.on_fire;
    (*on_fire)();
    ++fired;
  }
  return fired;
}

int RunLoop::MsUntilNextTimer() const {
  if (timer_order_.empty()) return -1;
  const uint64_t due = timer_order_.begin()->first.first;
  const uint64_t now = clock_.NowMs();
  if (due <= now) return 0;
  return static_cast<int>(std::min<uint64_t>(due - now, INT_MAX));
}

}  // namespace vz

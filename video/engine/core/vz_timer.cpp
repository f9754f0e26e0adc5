#include "video/engine/core/vz_timer.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "common/trace_client.h"
#include "platform/run_loop.h"

namespace {
std::atomic<int> g_live_timers{0};
std::atomic<uintptr_t> g_next_timer_id{1};
}  // namespace

// Shared with the loop's timer task, which stays in the loop when the timer
// is cancelled on another thread: at its next round it finds the state
// inactive (or gone, or scheduled anew under another id) and removes itself
// there, on the loop's own thread. So a Cancel off that thread never touches
// the loop, which may be gone by then (its thread ended).
// A round in progress is counted, so that a Cancel on another thread waits
// for it (the handler may be going away); the handler runs without the
// mutex, and a handler that cancels its own timer does not wait for itself.
struct CVzTimer::State {
  std::mutex mutex;
  std::condition_variable idle;
  IVideoTimerSink* handler = nullptr;
  bool active = false;
  uintptr_t timer_id = 0;  // the loop timer of the current schedule
  int firing = 0;
  std::thread::id firing_thread;
};

CVzTimer::CVzTimer() : state_(std::make_shared<State>()) {
  const int live = ++g_live_timers;
  VZ_LOG("CVzTimer lref=%d", live);
}

CVzTimer::~CVzTimer() {
  Cancel();
  const int live = --g_live_timers;
  VZ_LOG("CVzTimer),lref=%d", live);
}

int CVzTimer::LiveCountForTesting() { return g_live_timers.load(); }

VseResult CVzTimer::Schedule(IVideoTimerSink* handler, const VZSE_::TimeValue* interval) {
  if (handler == nullptr || interval == nullptr) return VSE_E_POINTER;
  Cancel();
  vz::RunLoop& loop = vz::RunLoop::ForCurrentThread();
  const int64_t ms = std::clamp<int64_t>(interval->ToMs(), 1, UINT32_MAX);
  const uintptr_t id = g_next_timer_id.fetch_add(1);
  std::weak_ptr<State> weak = state_;
  CVzTimer* self = this;
  vz::RunLoop* owner_loop = &loop;
  const bool started = loop.StartTimer(this, id, static_cast<uint32_t>(ms), [weak, self, owner_loop, id] {
    std::shared_ptr<State> state = weak.lock();
    IVideoTimerSink* handler = nullptr;
    if (state) {
      std::lock_guard<std::mutex> lock(state->mutex);
      if (state->active && state->timer_id == id) {
        handler = state->handler;
        ++state->firing;
        state->firing_thread = std::this_thread::get_id();
      }
    }
    if (handler == nullptr) {
      // Cancelled (or destroyed) on another thread: the timer ends here.
      // `self` is only the timer's name in the loop.
      owner_loop->KillTimer(self, id);
      return;
    }
    handler->OnTimer(self);  // may cancel and destroy the timer (the state stays)
    {
      std::lock_guard<std::mutex> lock(state->mutex);
      --state->firing;
    }
    state->idle.notify_all();
  });
  if (!started) {
    VZ_LOG_ERROR("the thread's run loop refused the timer");
    return VSE_E_FAIL;
  }
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->handler = handler;
  state_->active = true;
  state_->timer_id = id;
  loop_ = &loop;
  timer_id_ = id;
  return VSE_S_OK;
}

void CVzTimer::Cancel() {
  {
    std::unique_lock<std::mutex> lock(state_->mutex);
    const bool was_active = state_->active;
    state_->active = false;
    state_->handler = nullptr;
    if (state_->firing > 0 && state_->firing_thread != std::this_thread::get_id()) {
      state_->idle.wait(lock, [this] { return state_->firing == 0; });
    }
    if (!was_active) return;
  }
  // On the loop's own thread the loop is alive (it is this thread's): the
  // timer goes at once. Elsewhere the loop is not touched, not even asked
  // whose it is (it may be gone): the inactive state ends the timer there.
  if (loop_ != nullptr && vz::RunLoop::Current() == loop_) loop_->KillTimer(this, timer_id_);
  loop_ = nullptr;
  VZ_LOG("Timer cancelled");
}

bool CVzTimer::IsActiveForTesting() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->active;
}

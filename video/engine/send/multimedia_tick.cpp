#include "video/engine/send/multimedia_tick.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "common/trace_client.h"

namespace VZSE_ {
namespace {

struct Registration {
  int32_t id;
  void* owner;
  MultimediaTickCallback callback;
};

class SharedTick {
 public:
  ~SharedTick() {
    // Unloading with registrations left would leave a thread running code
    // that is about to go: stop it here, and say so.
    std::lock_guard<std::mutex> life(lifecycle_);
    if (thread_.joinable()) {
      VZ_LOG_ERROR("multimedia tick: %d registrations left at unload", count_);
      StopThread();
    }
  }

  int32_t Register(uint32_t period_ms, void* owner, MultimediaTickCallback callback) {
    if (callback == nullptr) return 0;
    // One lock over the whole of register and unregister: a start racing a
    // stop would otherwise overwrite the shared thread.
    std::lock_guard<std::mutex> life(lifecycle_);
    if (count_ == 0) {
      const uint32_t resolution = std::min(std::max(kTimerMinPeriodMs, period_ms), kTimerMaxPeriodMs);
      delay_ms_ = std::min(std::max(kTimerMinDelayMs, resolution), kTimerMaxPeriodMs);
      {
        std::lock_guard<std::mutex> hold(wake_lock_);
        running_ = true;
      }
      try {
        thread_ = std::thread([this] { Run(); });
      } catch (const std::system_error& e) {
        // Unwind: nothing may stay marked running without a thread.
        std::lock_guard<std::mutex> hold(wake_lock_);
        running_ = false;
        VZ_LOG_ERROR("multimedia tick: thread not started: %s", e.what());
        return 0;
      }
      ++starts_;
    }
    std::lock_guard<std::mutex> hold(list_lock_);
    const int32_t id = ++last_id_;
    ++count_;
    list_.push_back({id, owner, callback});
    return id;
  }

  int32_t Unregister(int32_t id) {
    std::lock_guard<std::mutex> life(lifecycle_);
    if (count_ == 0) return 0;
    bool last = false;
    {
      // Waits for a tick in progress: afterwards the callback is not running.
      std::lock_guard<std::mutex> hold(list_lock_);
      auto it = std::find_if(list_.begin(), list_.end(), [id](const Registration& r) { return r.id == id; });
      if (it == list_.end()) return 0;
      list_.erase(it);
      last = --count_ == 0;
    }
    if (last) StopThread();
    return 0;
  }

  int32_t registrations() {
    std::lock_guard<std::mutex> hold(list_lock_);
    return count_;
  }
  bool thread_running() {
    std::lock_guard<std::mutex> life(lifecycle_);
    return thread_.joinable();
  }
  int32_t starts() {
    std::lock_guard<std::mutex> life(lifecycle_);
    return starts_;
  }

 private:
  void StopThread() {
    {
      std::lock_guard<std::mutex> hold(wake_lock_);
      running_ = false;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
  }

  // Absolute deadlines on the monotonic clock, so a late wake does not
  // push every later tick back.
  void Run() {
    auto next = std::chrono::steady_clock::now();
    const auto period = std::chrono::milliseconds(delay_ms_);
    for (;;) {
      next += period;
      {
        std::unique_lock<std::mutex> hold(wake_lock_);
        if (wake_.wait_until(hold, next, [this] { return !running_; })) return;
      }
      const auto now = std::chrono::steady_clock::now();
      if (now - next > 10 * period) next = now;  // after a long stall, no burst of catch-up ticks
      std::lock_guard<std::mutex> hold(list_lock_);
      for (const Registration& r : list_) r.callback(r.owner);
    }
  }

  std::mutex lifecycle_;
  std::mutex list_lock_;
  std::vector<Registration> list_;
  int32_t count_ = 0;
  int32_t last_id_ = 0;
  int32_t starts_ = 0;
  uint32_t delay_ms_ = kTimerMinDelayMs;
  std::thread thread_;
  std::mutex wake_lock_;
  std::condition_variable wake_;
  bool running_ = false;
};

SharedTick& Tick() {
  static SharedTick tick;
  return tick;
}

}  // namespace

int32_t RegisterMultimediaTick(uint32_t period_ms, void* owner, MultimediaTickCallback callback) {
  return Tick().Register(period_ms, owner, callback);
}

int32_t UnregisterMultimediaTick(int32_t id) { return Tick().Unregister(id); }

int32_t MultimediaTickRegistrations() { return Tick().registrations(); }

bool MultimediaTickThreadRunning() { return Tick().thread_running(); }

int32_t MultimediaTickThreadStarts() { return Tick().starts(); }

}  // namespace VZSE_

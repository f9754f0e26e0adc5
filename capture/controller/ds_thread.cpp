#include "capture/controller/ds_thread.h"

#include <chrono>
#include <system_error>

#include "common/trace_client.h"
#include "platform/run_loop.h"

CDsThread::~CDsThread() {
  // A derived class stops its thread in its own destructor; this is the
  // last guard against a thread left running over a dead object.
  if (thread_.joinable()) Stop(nullptr);
}

bool CDsThread::Start() {
  if (thread_.joinable()) {
    VZ_LOG_ERROR("a thread already runs");
    return false;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_event_ = false;
    done_ = false;
    messages_.clear();
  }
  stopping_.store(false, std::memory_order_release);
  exit_code_.store(-1, std::memory_order_release);
  running_.store(true, std::memory_order_release);
  try {
    thread_ = std::thread(&CDsThread::Body, this);
  } catch (const std::system_error& error) {
    running_.store(false, std::memory_order_release);
    VZ_LOG_ERROR("cannot create the thread: %s", error.what());
    return false;
  }
  return true;
}

void CDsThread::Body() {
  const int code = ThreadRun();
  exit_code_.store(code, std::memory_order_release);
  std::lock_guard<std::mutex> lock(mutex_);
  running_.store(false, std::memory_order_release);
  done_ = true;
  done_cv_.notify_all();
}

void CDsThread::RequestStop() {
  if (!thread_.joinable()) return;
  stopping_.store(true, std::memory_order_release);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_event_ = true;
    cv_.notify_all();
  }
  OnStopRequested();
}

int CDsThread::Stop(vz::RunLoop* serve) {
  if (!thread_.joinable()) return 1;
  RequestStop();
  VZ_LOG("CDsThread::Stop Begin: %llx", vz::LogAddress(this));
  const bool can_serve = serve != nullptr && serve->BelongsToCurrentThread();
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      if (done_cv_.wait_for(lock, std::chrono::milliseconds(10), [this] { return done_; })) break;
    }
    // The worker may wait in a send to this thread's loop.
    if (can_serve) serve->RunPendingSends();
  }
  thread_.join();
  VZ_LOG("CDsThread::Stop End!");
  std::lock_guard<std::mutex> lock(mutex_);
  messages_.clear();
  return 1;
}

bool CDsThread::PostThreadMessage(uint32_t message) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!running_.load(std::memory_order_acquire) || done_) return false;
  messages_.push_back(message);
  cv_.notify_all();
  return true;
}

CDsThread::Wake CDsThread::WaitForWork(int timeout_ms, uint32_t* message) {
  std::unique_lock<std::mutex> lock(mutex_);
  const bool woke = cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                                 [this] { return stop_event_ || !messages_.empty(); });
  if (stop_event_) return Wake::kStop;
  if (!woke) return Wake::kTimeout;
  *message = messages_.front();
  messages_.pop_front();
  return Wake::kMessage;
}

bool CDsThread::WaitForStop(int timeout_ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  return cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [this] { return stop_event_; });
}

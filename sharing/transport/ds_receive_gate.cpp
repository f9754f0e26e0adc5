#include "sharing/transport/ds_receive_gate.h"

#include <chrono>

bool CDsReceiveGate::Admit(size_t size) {
  std::unique_lock<std::mutex> lock(mutex_);
  const bool in_time = drained_.wait_for(lock, std::chrono::milliseconds(max_wait_ms_),
                                         [this] { return open_ || waiting_ <= limit_; });
  waiting_ += size;
  return in_time;
}

void CDsReceiveGate::Handled(size_t size) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    waiting_ = size < waiting_ ? waiting_ - size : 0;
    if (waiting_ > limit_) return;
  }
  drained_.notify_all();
}

void CDsReceiveGate::Open() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
  }
  drained_.notify_all();
}

size_t CDsReceiveGate::Waiting() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return waiting_;
}

#include "platform/event.h"

#include <chrono>

namespace vz {

Event::Event(bool manual_reset, bool initially_set)
    : manual_reset_(manual_reset), signalled_(initially_set) {}

void Event::Set() {
  std::lock_guard<std::mutex> lock(mutex_);
  signalled_ = true;
  if (manual_reset_) {
    signalled_cv_.notify_all();
  } else {
    signalled_cv_.notify_one();
  }
}

void Event::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  signalled_ = false;
}

bool Event::Wait(uint32_t timeout_ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  const auto is_set = [this] { return signalled_; };
  if (timeout_ms == kInfinite) {
    signalled_cv_.wait(lock, is_set);
  } else if (!signalled_cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), is_set)) {
    return false;
  }
  if (!manual_reset_) signalled_ = false;
  return true;
}

}  // namespace vz

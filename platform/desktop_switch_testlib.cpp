#include "platform/desktop_switch_testlib.h"

namespace vz {

void ScriptedDesktopSwitchEvents::Fire() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++pending_;
  cv_.notify_all();
}

bool ScriptedDesktopSwitchEvents::Wait() {
  std::unique_lock<std::mutex> lock(mutex_);
  cv_.wait(lock, [this] { return cancelled_ || pending_ > 0; });
  if (cancelled_) return false;
  --pending_;
  return true;
}

void ScriptedDesktopSwitchEvents::Cancel() {
  std::lock_guard<std::mutex> lock(mutex_);
  cancelled_ = true;
  cv_.notify_all();
}

}  // namespace vz

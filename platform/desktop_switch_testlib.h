#pragma once
// Test support: a desktop switch source the test fires by hand, for the
// thread that waits for switches (X11 itself has none). Each Fire wakes one
// Wait; Wait and Cancel may be called from different threads.
#include <condition_variable>
#include <mutex>

#include "platform/desktop_switch.h"

namespace vz {

class ScriptedDesktopSwitchEvents : public DesktopSwitchEvents {
 public:
  void Fire();
  bool Wait() override;
  void Cancel() override;

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  int pending_ = 0;
  bool cancelled_ = false;
};

}  // namespace vz

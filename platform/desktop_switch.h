#pragma once
// Switches of the input desktop (to a lock or log-on screen and back), for a
// thread that waits for them.
//
// X11 has no such switches: OpenDesktopSwitchEvents gives null there, and the
// waiting thread simply ends. ScriptedDesktopSwitchEvents lets tests fire
// switches. Wait and Cancel may be called from different threads.
#include <condition_variable>
#include <memory>
#include <mutex>

namespace vz {

class DesktopSwitchEvents {
 public:
  virtual ~DesktopSwitchEvents() = default;
  // Blocks until a switch happens (true) or Cancel was called (false; every
  // later Wait returns false at once).
  virtual bool Wait() = 0;
  virtual void Cancel() = 0;
};

// Null when the system has no desktop switches (X11).
std::unique_ptr<DesktopSwitchEvents> OpenDesktopSwitchEvents();

// A switch source the test fires by hand; each Fire wakes one Wait.
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

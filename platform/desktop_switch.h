#pragma once
// Switches of the input desktop (to a lock or log-on screen and back), for a
// thread that waits for them.
//
// X11 has no such switches: OpenDesktopSwitchEvents gives null there, and the
// waiting thread simply ends (tests fire switches by hand through
// desktop_switch_testlib.h). Wait and Cancel may be called from different
// threads.
#include <memory>

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

}  // namespace vz

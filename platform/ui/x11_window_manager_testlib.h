#pragma once
// Test support: a window manager on a test's own display, as a user's
// desktop has one: openbox (reparents, decorates, places new windows by its
// own policy), twm (no desktop conventions), metacity (keeps title bars on
// the screen and composes it), fluxbox (a tool bar along the bottom), icewm
// (a task bar, and input-only windows along the screen's edges), xfwm4
// (with its own compositor), jwm (a tray along the bottom, focus following
// the pointer) or i3 (tiles the windows, a bar along the bottom); and a
// compositing manager alone (xcompmgr, picom). Its files (configuration,
// cache, the session bus xfwm4 keeps its settings behind) live in a folder
// of its own; it is stopped and reaped when the object goes.
#include <memory>
#include <string>

#include "platform/scoped_test_folder_testlib.h"

namespace vz {

class X11WindowManager {
 public:
  // The managers Start knows: openbox, twm, metacity, fluxbox, icewm,
  // xfwm4, jwm, i3.
  static bool IsKnown(const std::string& name);

  // Starts the manager `name` on `display` and waits until it manages the
  // screen (holds the root's redirection and has taken a window mapped to
  // try it), so windows mapped afterwards are its. Null with `why` when the
  // name is unknown, the manager is not installed, or it did not take the
  // screen within `timeout_ms`.
  static std::unique_ptr<X11WindowManager> Start(const std::string& name, const std::string& display,
                                                 int timeout_ms, std::string* why);
  ~X11WindowManager();
  X11WindowManager(const X11WindowManager&) = delete;
  X11WindowManager& operator=(const X11WindowManager&) = delete;

  int pid() const { return pid_; }

 private:
  X11WindowManager() = default;
  ScopedTestFolder folder_;
  int pid_ = -1;
  int bus_pid_ = -1;  // the session bus started for it, if any
};

// A compositing manager (xcompmgr or picom) on a test's own display: it
// draws the screen from the windows' own pictures, and the desktop's
// picture where no window is. Stopped and reaped when the object goes.
class X11CompositingManager {
 public:
  // Starts `program` ("xcompmgr" or "picom") and waits until it composes
  // the screen (owns the screen's compositor selection). Null with `why`
  // when the name is unknown, it is not installed or did not start within
  // `timeout_ms`.
  static std::unique_ptr<X11CompositingManager> Start(const std::string& display, int timeout_ms, std::string* why,
                                                      const std::string& program = "xcompmgr");
  static bool IsKnown(const std::string& program) { return program == "xcompmgr" || program == "picom"; }
  ~X11CompositingManager();
  X11CompositingManager(const X11CompositingManager&) = delete;
  X11CompositingManager& operator=(const X11CompositingManager&) = delete;

 private:
  X11CompositingManager() = default;
  int pid_ = -1;
};

// Whether some client manages the display's screen (has selected the
// root's substructure redirection); false too when the display cannot be
// opened.
bool DisplayHasWindowManager(const std::string& display);

}  // namespace vz

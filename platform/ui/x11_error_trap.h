#pragma once
// Counts the X errors of one connection on the calling thread while a trap
// is alive, so a failed request (a shared-memory attach the server refuses,
// a window that vanished) is a result instead of a log line. Errors of
// other connections go on to the handler that was there before.
// Platform-internal: includes Xlib.
#include <X11/Xlib.h>

namespace vz {

class X11ErrorTrap {
 public:
  explicit X11ErrorTrap(Display* display);
  ~X11ErrorTrap();
  X11ErrorTrap(const X11ErrorTrap&) = delete;
  X11ErrorTrap& operator=(const X11ErrorTrap&) = delete;
  // Waits for the server, then whether any request since the trap failed.
  bool Failed();

 private:
  Display* display_;
  Display* previous_display_;
  int previous_errors_;
};

}  // namespace vz

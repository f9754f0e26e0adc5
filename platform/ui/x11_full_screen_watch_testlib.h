#pragma once
// Test support: a full-screen window judged as a user sees it, from the
// first moment it is on the screen rather than once it has settled, by a
// thread of its own (the program under test may be busy meanwhile, and
// what its display shows then counts too).
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "platform/run_loop.h"
#include "platform/ui/ui_types.h"

namespace vz {

struct FullScreenWatch {
  // The window to watch, or else the first client window whose WM_CLASS
  // instance is `instance` (one not made yet when the watch starts).
  uint64_t window = 0;
  std::string instance;
  Rect monitor;
  // A window of the same program that must stay shown until the watched
  // window has the keyboard focus (0: none).
  uint64_t shown_until_focused = 0;
  // How long to wait for the first read that finds it shown, then how long
  // to watch it from there.
  int first_read_ms = 30000;
  int watch_ms = 3000;
};

// Watches from construction: from the first read that finds the window
// viewable, every read must find its client area the monitor, with no frame
// around it and nothing shown stacked above it (but for the moment a
// manager takes to restack it once it gave it the focus), and the other
// window shown unless the watched one has the keyboard focus; once the
// focus is in it, it stays there; by the end it is there. Reads through
// connections of its own, as often as it can. Made and asked on one thread.
class FullScreenWatcher {
 public:
  FullScreenWatcher(const std::string& display, const FullScreenWatch& watch);
  ~FullScreenWatcher();
  FullScreenWatcher(const FullScreenWatcher&) = delete;
  FullScreenWatcher& operator=(const FullScreenWatcher&) = delete;

  // Serves `loop` until the watch ends; "" when everything held, else what
  // was seen and when (ms after the first read that found it shown).
  std::string Result(RunLoop& loop);
  // The window watched (0 until found); after Result.
  uint64_t window() const { return found_; }

 private:
  void Watch();

  const std::string display_;
  const FullScreenWatch watch_;
  std::atomic<bool> done_{false};
  std::atomic<bool> stop_{false};
  std::string fault_;  // written by the thread before done_
  uint64_t found_ = 0;
  std::thread thread_;
};

// Whether the keyboard focus is in a window (it or one of its own
// windows), as the server has it now.
bool X11FocusIsIn(const std::string& display, uint64_t window);

}  // namespace vz

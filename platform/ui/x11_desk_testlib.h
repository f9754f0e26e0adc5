#pragma once
// Test support for display tests of what a desktop does to windows: the
// monitors a screen is divided into, other programs' windows a window
// manager takes (a desktop panel along a monitor's edge, a plain window),
// and what covers a window on the screen. Each opens a connection of its
// own; any thread.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/ui_types.h"

namespace vz {

// Divides the screen into these monitors (the server's own monitor goes
// with the first); false when the display cannot be opened or has no
// monitors extension.
bool SetDisplayMonitors(const std::string& display, const std::vector<Rect>& monitors);

// Leaves on the root what a manager of the desktop conventions that knew
// full screen leaves behind when it ends (its check window gone), as after
// a switch of managers; false when the display cannot be opened.
bool LeaveStaleManagerProperties(const std::string& display);

// A window of another program, mapped through the window manager, filled
// with 0xRRGGBB: a plain one, or a desktop panel (a dock that keeps the
// area it lies on from other windows, as task bars do) along a monitor's top.
class X11DeskWindow {
 public:
  enum class Kind { kPlain, kPanel };
  // Null when the display cannot be opened.
  static std::unique_ptr<X11DeskWindow> Create(const std::string& display, Kind kind, const Rect& bounds,
                                               uint32_t rgb);
  ~X11DeskWindow();
  X11DeskWindow(const X11DeskWindow&) = delete;
  X11DeskWindow& operator=(const X11DeskWindow&) = delete;

  uint64_t id() const { return window_; }
  // Whether it is shown now (its manager may map its frame later).
  bool Viewable();

 private:
  X11DeskWindow(void* display, unsigned long window) : display_(display), window_(window) {}
  void* display_;
  unsigned long window_;
};

// A desk of two monitors side by side on a server of its own, a desktop
// panel along the top of the right one and a plain window on it, under a
// window manager ("none": without one; after twm's start the root keeps
// what a manager of the desktop conventions that went left on it). All of
// it goes with the object.
class X11TestDesk {
 public:
  static constexpr Rect kLeftMonitor{0, 0, 800, 600};
  static constexpr Rect kRightMonitor{800, 0, 1600, 600};
  static constexpr Rect kPanel{800, 0, 1600, 32};
  static constexpr Rect kPlainWindow{850, 120, 1350, 420};

  X11TestDesk();
  ~X11TestDesk();
  // Starts it all and waits until the desk's windows are shown. False with
  // `why`; `missing` then says whether Xvfb or the manager is not installed.
  bool Start(const std::string& manager, int timeout_ms, std::string* why, bool* missing);
  const std::string& display() const;

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
};

struct X11Cover {
  bool viewable = false;  // the window is on the display and shown
  Rect client;            // its client area on the root
  Rect frame;             // the root child holding it (its frame, or itself), border included
  // The shown root children stacked above the one holding the window
  // (its frame, or itself) that overlap its client area, with the part
  // they overlap.
  std::vector<uint64_t> above;
  std::vector<Rect> overlaps;
};

// What covers a window now; not viewable when it is gone.
X11Cover ReadX11Cover(const std::string& display, uint64_t window);

}  // namespace vz

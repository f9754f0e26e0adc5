#pragma once
// Test support for display tests of what a desktop does to windows: a desk
// of two monitors with another program's windows that a window manager
// takes, and what covers a window on the screen.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/ui_types.h"

namespace vz {

// A desk of two monitors side by side on a server of its own (the right
// one primary, holding the server's output), a desktop
// panel (a dock that keeps the area it lies on from other windows, as task
// bars do) along the top of the right one and a plain window on it, under a
// window manager ("none": without one). Before twm starts, the root is
// given what a manager of the desktop conventions that went leaves on it
// (its check window gone), as after a switch of managers. All of it goes
// with the object. UI thread of the test.
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
  // The plain window, another program's.
  uint64_t plain_window() const;
  // Gives the plain window the keyboard focus as the user would (through
  // the manager, as a task bar asks it), and waits until it has it; false
  // when it did not get it within `timeout_ms`.
  bool FocusPlainWindow(int timeout_ms);

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
};

struct X11Cover {
  bool viewable = false;  // the window is on the display and shown
  Rect client;            // its client area on the root
  Rect frame;             // the root child holding it (its frame, or itself), border included
  // The shown root children stacked above that one that overlap the
  // client area, with the part they overlap.
  std::vector<uint64_t> above;
  std::vector<Rect> overlaps;
};

// What covers a window now, through a connection of its own; not viewable
// when it is gone. Any thread.
X11Cover ReadX11Cover(const std::string& display, uint64_t window);

// The window with the keyboard focus (0: none, 1: the pointer's root), as
// the server has it now.
uint64_t ReadX11Focus(const std::string& display);

// Gives a top-level window (a client's own, inside its frame if any) the
// keyboard focus as the user would: through the window manager, as a task
// bar asks it, and through the server where no manager of the desktop
// conventions answers. Waits until it has it; false when it did not get it
// within `timeout_ms`.
bool FocusX11Window(const std::string& display, uint64_t window, int timeout_ms);

// The window manager's list of the windows it manages (_NET_CLIENT_LIST,
// what task bars and window switching read); nothing when it keeps none.
std::optional<std::vector<uint64_t>> ReadX11ClientList(const std::string& display);

// The display's atom of that name (made when it has none).
uint64_t InternX11Atom(const std::string& display, const std::string& name);

// The 32-bit items of a window's property (atoms, cardinals); nothing when
// it has none of that name.
std::optional<std::vector<long>> ReadX11Property(const std::string& display, uint64_t window,
                                                 const std::string& property);

}  // namespace vz

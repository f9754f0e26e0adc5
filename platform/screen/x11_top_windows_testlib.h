#pragma once
// Support for demonstrations and display tests above the platform: the
// top-level windows of every client as the X server has them (children of
// the root, bottom first), for displays without a window manager, which
// publishes no client list.
#include <cstdint>
#include <string>
#include <vector>

namespace vz {

struct X11TopWindow {
  uint64_t id = 0;
  int x = 0;  // the window's own origin on the root
  int y = 0;
  int width = 0;
  int height = 0;
  bool viewable = false;
  std::string title;  // _NET_WM_NAME, else WM_NAME
  int pid = 0;        // _NET_WM_PID, 0 when not set
};

// Empty when the display cannot be opened.
std::vector<X11TopWindow> ListX11TopWindows(const std::string& display);

}  // namespace vz

#pragma once
// Support for demonstrations and display tests above the platform: the
// top-level windows of every client as a user sees them, bottom first.
// Without a window manager they are the root's children. Under one that
// reparents, each root child is the manager's frame and the client's own
// window (the one carrying WM_STATE) lies inside it: that window is listed,
// at the place its client area really has on the root, wherever the
// manager put it. A root child without WM_STATE anywhere inside it (no
// manager, or a window the manager does not frame) is listed itself.
// Opens a connection of its own for each call; any thread.
#include <cstdint>
#include <string>
#include <vector>

namespace vz {

struct X11TopWindow {
  uint64_t id = 0;  // the client's window (inside the frame, if any)
  int x = 0;        // its client area's origin on the root
  int y = 0;
  int width = 0;  // its client area's size
  int height = 0;
  // The root child holding it (the frame, or the window itself), with its
  // border: what covers the screen.
  uint64_t frame = 0;
  int frame_x = 0;
  int frame_y = 0;
  int frame_width = 0;
  int frame_height = 0;
  // The root child draws on the screen (InputOutput); an input-only one (a
  // manager's edge that catches the pointer) shows nothing.
  bool frame_input_output = true;
  bool viewable = false;
  std::string title;      // _NET_WM_NAME, else WM_NAME
  std::string res_name;   // WM_CLASS's instance name, empty when not set
  std::string res_class;  // WM_CLASS's class name, empty when not set
  int pid = 0;            // _NET_WM_PID, 0 when not set
};

// Empty when the display cannot be opened. Windows that go while they are
// read are left out.
std::vector<X11TopWindow> ListX11TopWindows(const std::string& display);

}  // namespace vz

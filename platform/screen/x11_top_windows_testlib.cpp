#include "platform/screen/x11_top_windows_testlib.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "platform/screen/x11_client_windows.h"
#include "platform/ui/x11_error_trap.h"
#include "platform/ui/x11_window_name.h"
#include "platform/ui/xlib_threads.h"

namespace vz {
namespace {

// A property's items (of 32 bits), or empty.
std::vector<unsigned long> Property32(Display* d, Window window, Atom name, Atom type) {
  Atom actual = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::vector<unsigned long> items;
  if (XGetWindowProperty(d, window, name, 0, 16, False, type, &actual, &format, &count, &after, &data) == Success &&
      data != nullptr && format == 32) {
    const unsigned long* values = reinterpret_cast<const unsigned long*>(data);
    items.assign(values, values + count);
  }
  if (data) XFree(data);
  return items;
}

std::string Title(Display* d, Window window) { return ReadX11WindowName(d, window, 4096); }

}  // namespace

std::vector<X11TopWindow> ListX11TopWindows(const std::string& display) {
  std::vector<X11TopWindow> result;
  EnsureXlibThreads();
  Display* d = XOpenDisplay(display.c_str());
  if (d == nullptr) return result;
  const Window root_window = DefaultRootWindow(d);
  const Atom wm_state = XInternAtom(d, "WM_STATE", False);
  const Atom net_pid = XInternAtom(d, "_NET_WM_PID", False);
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (XQueryTree(d, root_window, &root, &parent, &children, &count)) {
    for (unsigned int i = 0; i < count; ++i) {
      // A window may go while it is read: its errors leave it out.
      X11ErrorTrap trap(d);
      XWindowAttributes frame;
      if (!XGetWindowAttributes(d, children[i], &frame)) continue;
      // The client inside the frame; a root child without one is listed itself.
      const Window found = FindClientWindow(d, children[i], wm_state);
      const Window client = found != None ? found : children[i];
      XWindowAttributes attributes;
      if (!XGetWindowAttributes(d, client, &attributes)) continue;
      X11TopWindow w;
      w.id = client;
      Window child = 0;
      if (!XTranslateCoordinates(d, client, root_window, 0, 0, &w.x, &w.y, &child)) continue;
      w.width = attributes.width;
      w.height = attributes.height;
      w.frame = children[i];
      w.frame_x = frame.x;
      w.frame_y = frame.y;
      w.frame_width = frame.width + 2 * frame.border_width;
      w.frame_height = frame.height + 2 * frame.border_width;
      w.frame_input_output = frame.c_class == InputOutput;
      w.viewable = attributes.map_state == IsViewable;
      w.title = Title(d, client);
      XClassHint hint{};
      if (XGetClassHint(d, client, &hint)) {
        if (hint.res_name) w.res_name = hint.res_name;
        if (hint.res_class) w.res_class = hint.res_class;
      }
      if (hint.res_name) XFree(hint.res_name);
      if (hint.res_class) XFree(hint.res_class);
      const std::vector<unsigned long> pid = Property32(d, client, net_pid, XA_CARDINAL);
      if (!pid.empty()) w.pid = static_cast<int>(pid[0]);
      if (trap.Failed()) continue;
      result.push_back(std::move(w));
    }
  }
  if (children) XFree(children);
  XCloseDisplay(d);
  return result;
}

}  // namespace vz

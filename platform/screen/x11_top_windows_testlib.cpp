#include "platform/screen/x11_top_windows_testlib.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace vz {
namespace {

// A property's items (of 8 or 32 bits), or empty.
std::vector<unsigned long> Property32(Display* d, Window window, const char* name, Atom type) {
  Atom actual = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::vector<unsigned long> items;
  if (XGetWindowProperty(d, window, XInternAtom(d, name, False), 0, 16, False, type, &actual, &format, &count, &after,
                         &data) == Success &&
      data != nullptr && format == 32) {
    const unsigned long* values = reinterpret_cast<const unsigned long*>(data);
    items.assign(values, values + count);
  }
  if (data) XFree(data);
  return items;
}

std::string Title(Display* d, Window window) {
  Atom actual = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::string title;
  if (XGetWindowProperty(d, window, XInternAtom(d, "_NET_WM_NAME", False), 0, 1024, False,
                         XInternAtom(d, "UTF8_STRING", False), &actual, &format, &count, &after, &data) == Success &&
      data != nullptr && format == 8) {
    title.assign(reinterpret_cast<const char*>(data), count);
  }
  if (data) XFree(data);
  if (title.empty()) {
    char* name = nullptr;
    if (XFetchName(d, window, &name) && name != nullptr) title = name;
    if (name) XFree(name);
  }
  return title;
}

int IgnoreErrors(Display*, XErrorEvent*) { return 0; }  // a window may go while it is read

}  // namespace

std::vector<X11TopWindow> ListX11TopWindows(const std::string& display) {
  std::vector<X11TopWindow> result;
  Display* d = XOpenDisplay(display.c_str());
  if (d == nullptr) return result;
  XErrorHandler previous = XSetErrorHandler(IgnoreErrors);
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count)) {
    for (unsigned int i = 0; i < count; ++i) {
      XWindowAttributes attributes;
      if (!XGetWindowAttributes(d, children[i], &attributes)) continue;
      X11TopWindow w;
      w.id = children[i];
      w.x = attributes.x;
      w.y = attributes.y;
      w.width = attributes.width;
      w.height = attributes.height;
      w.viewable = attributes.map_state == IsViewable;
      w.title = Title(d, children[i]);
      const std::vector<unsigned long> pid = Property32(d, children[i], "_NET_WM_PID", XA_CARDINAL);
      if (!pid.empty()) w.pid = static_cast<int>(pid[0]);
      result.push_back(std::move(w));
    }
  }
  if (children) XFree(children);
  XSync(d, False);
  XSetErrorHandler(previous);
  XCloseDisplay(d);
  return result;
}

}  // namespace vz

#pragma once
// What a window manager reads before it maps one of the tests' windows: the
// place and size as the user's own choice (a manager puts such a window
// there rather than where it likes), its name and its class; and where the
// window's client area really is once the manager placed and framed it.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <string>

#include "platform/ui/x11_error_trap.h"

namespace vz {

inline void SetUserPlacedWindowHints(Display* d, Window window, int x, int y, int width, int height,
                                     const std::string& title, std::string res_name, std::string res_class) {
  XSizeHints size_hints{};
  size_hints.flags = USPosition | USSize | PPosition | PSize;
  size_hints.x = x;
  size_hints.y = y;
  size_hints.width = width;
  size_hints.height = height;
  XSetWMNormalHints(d, window, &size_hints);
  XStoreName(d, window, title.c_str());
  XChangeProperty(d, window, XInternAtom(d, "_NET_WM_NAME", False), XInternAtom(d, "UTF8_STRING", False), 8,
                  PropModeReplace, reinterpret_cast<const unsigned char*>(title.data()),
                  static_cast<int>(title.size()));
  XClassHint class_hint{res_name.data(), res_class.data()};
  XSetClassHint(d, window, &class_hint);
}

// The window's client area in root coordinates, wherever its manager put
// it; false when the window is gone or cannot be read.
inline bool ReadClientArea(Display* d, Window window, int* x, int* y, int* width, int* height) {
  X11ErrorTrap trap(d);
  XWindowAttributes attributes{};
  Window child = 0;
  if (!XGetWindowAttributes(d, window, &attributes) ||
      !XTranslateCoordinates(d, window, DefaultRootWindow(d), 0, 0, x, y, &child) || trap.Failed()) {
    return false;
  }
  *width = attributes.width;
  *height = attributes.height;
  return true;
}

}  // namespace vz

#include "platform/ui/x11_root_paint_testlib.h"

#include <X11/Xlib.h>

namespace vz {

bool FillRootRectangle(const std::string& display, int x, int y, int width, int height, uint32_t rgb) {
  Display* connection = XOpenDisplay(display.c_str());
  if (connection == nullptr) return false;
  Window root = DefaultRootWindow(connection);
  GC gc = XCreateGC(connection, root, 0, nullptr);
  XSetSubwindowMode(connection, gc, IncludeInferiors);
  XSetForeground(connection, gc, rgb);
  XFillRectangle(connection, root, gc, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height));
  XFreeGC(connection, gc);
  XSync(connection, False);
  XCloseDisplay(connection);
  return true;
}

}  // namespace vz

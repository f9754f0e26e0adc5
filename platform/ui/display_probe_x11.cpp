#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "platform/platform_log.h"
#include "platform/ui/xlib_threads.h"
#include "platform/ui/display_probe.h"

namespace vz {

namespace {

std::string TitleOf(Display* display, ::Window window) {
  const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  const Atom net_name = XInternAtom(display, "_NET_WM_NAME", False);
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::string title;
  if (XGetWindowProperty(display, window, net_name, 0, 1024, False, utf8, &type, &format, &count, &after, &data) ==
          Success &&
      data != nullptr) {
    if (format == 8) title.assign(reinterpret_cast<const char*>(data), count);
    XFree(data);
  }
  if (title.empty()) {
    char* name = nullptr;
    if (XFetchName(display, window, &name) && name != nullptr) {
      title = name;
      XFree(name);
    }
  }
  return title;
}

}  // namespace

std::vector<DisplayWindowInfo> ListDisplayWindows(const char* display_name) {
  std::vector<DisplayWindowInfo> out;
  EnsureXlibThreads();
  Display* display = XOpenDisplay(display_name);
  if (display == nullptr) {
    PlatformLog("display probe: cannot open the display");
    return out;
  }
  ::Window root = DefaultRootWindow(display), parent = 0;
  ::Window* children = nullptr;
  unsigned int count = 0;
  if (XQueryTree(display, root, &root, &parent, &children, &count)) {
    for (unsigned int i = 0; i < count; ++i) {
      XWindowAttributes attributes;
      if (!XGetWindowAttributes(display, children[i], &attributes)) continue;
      DisplayWindowInfo info;
      info.id = children[i];
      info.title = TitleOf(display, children[i]);
      info.bounds = Rect::FromXYWH(attributes.x, attributes.y, attributes.width, attributes.height);
      info.viewable = attributes.map_state == IsViewable;
      out.push_back(std::move(info));
    }
    if (children != nullptr) XFree(children);
  }
  XCloseDisplay(display);
  return out;
}

}  // namespace vz

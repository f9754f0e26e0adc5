// What the X11 display tells of the desk: the screen, the work area, the
// monitors, the compositor, the pointer, and who manages the screen.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/ui/x11_error_trap.h"
#include "platform/ui/x11_system.h"

namespace vz {

Rect X11System::ScreenBounds() {
  return {0, 0, DisplayWidth(display_, screen_), DisplayHeight(display_, screen_)};
}

Rect X11System::WorkArea() {
  Rect result = ScreenBounds();
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display_, root_, atom("_NET_WORKAREA"), 0, 4, False, XA_CARDINAL, &type, &format, &count,
                         &after, &data) == Success &&
      data != nullptr) {
    if (format == 32 && count >= 4) {
      const auto* v = reinterpret_cast<const long*>(data);
      const Rect work = Rect::FromXYWH(static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[2]),
                                       static_cast<int>(v[3]));
      if (!work.IsEmpty()) result = work;
    }
    XFree(data);
  }
  DrainSoon();
  return result;
}

std::vector<MonitorArea> X11System::Monitors() {
  std::vector<MonitorArea> out;
  const Rect work = WorkArea();
  int count = 0;
  XRRMonitorInfo* monitors = XRRGetMonitors(display_, root_, True, &count);
  for (int i = 0; monitors != nullptr && i < count; ++i) {
    MonitorArea m;
    m.bounds = Rect::FromXYWH(monitors[i].x, monitors[i].y, monitors[i].width, monitors[i].height);
    m.work_area = m.bounds.Intersect(work);
    if (m.work_area.IsEmpty()) m.work_area = m.bounds;
    m.primary = monitors[i].primary != 0;
    char* name = monitors[i].name != None ? XGetAtomName(display_, monitors[i].name) : nullptr;
    if (name != nullptr) {
      m.name = name;
      XFree(name);
    }
    out.push_back(m);
  }
  if (monitors != nullptr) XRRFreeMonitors(monitors);
  if (out.empty()) out.push_back(MonitorArea{ScreenBounds(), work, true, "screen"});
  DrainSoon();
  return out;
}

X11System::Manager X11System::ScreenManager() {
  Manager manager = Manager::kNone;
  XWindowAttributes attributes{};
  // The event masks of every client together show a manager's redirection.
  if (XGetWindowAttributes(display_, root_, &attributes) && (attributes.all_event_masks & SubstructureRedirectMask)) {
    manager = Manager::kOther;
    // The conventions' check window names itself, so a stale property left
    // by a manager that went names nothing (or another window).
    const auto check = ReadCardinals(root_, atom("_NET_SUPPORTING_WM_CHECK"), XA_WINDOW, 1);
    const bool alive = check.size() == 1 && ReadCardinals(static_cast<::Window>(check[0]),
                                                          atom("_NET_SUPPORTING_WM_CHECK"), XA_WINDOW, 1) == check;
    const auto supported = alive ? ReadCardinals(root_, atom("_NET_SUPPORTED"), XA_ATOM, 4096) : std::vector<long>{};
    const long fullscreen = static_cast<long>(atom("_NET_WM_STATE_FULLSCREEN"));
    if (std::find(supported.begin(), supported.end(), fullscreen) != supported.end()) {
      manager = Manager::kFullScreenAware;
    }
  }
  DrainSoon();
  return manager;
}

bool X11System::ManagerSupports(const char* name) {
  const auto check = ReadCardinals(root_, atom("_NET_SUPPORTING_WM_CHECK"), XA_WINDOW, 1);
  const bool alive = check.size() == 1 && ReadCardinals(static_cast<::Window>(check[0]),
                                                        atom("_NET_SUPPORTING_WM_CHECK"), XA_WINDOW, 1) == check;
  const auto supported = alive ? ReadCardinals(root_, atom("_NET_SUPPORTED"), XA_ATOM, 4096) : std::vector<long>{};
  DrainSoon();
  return std::find(supported.begin(), supported.end(), static_cast<long>(atom(name))) != supported.end();
}

std::vector<long> X11System::ReadCardinals(::Window window, Atom property, Atom type, long most) {
  std::vector<long> values;
  X11ErrorTrap trap(display_);
  Atom actual = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display_, window, property, 0, most, False, type, &actual, &format, &count, &after,
                         &data) == Success &&
      data != nullptr) {
    if (format == 32 && actual == type) {
      const auto* items = reinterpret_cast<const long*>(data);
      values.assign(items, items + count);
    }
    XFree(data);
  }
  if (trap.Failed()) values.clear();
  return values;
}

bool X11System::HasCompositor() {
  const std::string name = "_NET_WM_CM_S" + std::to_string(screen_);
  const bool present = XGetSelectionOwner(display_, atom(name.c_str())) != None;
  DrainSoon();
  return present;
}

Point X11System::PointerPosition() {
  ::Window root_return = 0, child = 0;
  int root_x = 0, root_y = 0, x = 0, y = 0;
  unsigned int mask = 0;
  XQueryPointer(display_, root_, &root_return, &child, &root_x, &root_y, &x, &y, &mask);
  DrainSoon();
  return {root_x, root_y};
}

}  // namespace vz

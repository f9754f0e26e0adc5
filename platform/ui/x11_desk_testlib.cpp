#include "platform/ui/x11_desk_testlib.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>

#include "platform/clock.h"
#include "platform/ui/x11_error_trap.h"
#include "platform/ui/x11_window_manager_testlib.h"
#include "platform/ui/xlib_threads.h"
#include "platform/ui/xvfb_testlib.h"

namespace vz {

namespace {

Display* Open(const std::string& display) {
  EnsureXlibThreads();
  return XOpenDisplay(display.c_str());
}

// Errors are trapped while the connection is open (the trap waits for the
// server when it goes).
bool SetMonitors(Display* d, const std::vector<Rect>& monitors) {
  int event_base = 0, error_base = 0, major = 0, minor = 0;
  bool done = XRRQueryExtension(d, &event_base, &error_base) && XRRQueryVersion(d, &major, &minor) &&
              (major > 1 || minor >= 5);
  const ::Window root = DefaultRootWindow(d);
  XRRScreenResources* resources = done ? XRRGetScreenResources(d, root) : nullptr;
  X11ErrorTrap trap(d);
  for (size_t i = 0; done && i < monitors.size(); ++i) {
    // The server's output goes with the first: its own monitor then goes.
    const bool with_output = i == 0 && resources != nullptr && resources->noutput > 0;
    XRRMonitorInfo* monitor = XRRAllocateMonitor(d, with_output ? 1 : 0);
    const std::string name = "VZ-" + std::to_string(i + 1);
    monitor->name = XInternAtom(d, name.c_str(), False);
    monitor->primary = i == 0;
    monitor->x = monitors[i].left;
    monitor->y = monitors[i].top;
    monitor->width = monitors[i].Width();
    monitor->height = monitors[i].Height();
    monitor->mwidth = monitor->width / 4;  // 0.25 mm a pixel
    monitor->mheight = monitor->height / 4;
    if (with_output) monitor->outputs[0] = resources->outputs[0];
    XRRSetMonitor(d, root, monitor);
    XRRFreeMonitors(monitor);
  }
  done = done && !trap.Failed();
  if (resources != nullptr) XRRFreeScreenResources(resources);
  return done;
}

enum class DeskWindow { kPlain, kPanel };

// A window of another program mapped through the manager, filled with
// 0xRRGGBB.
::Window MapDeskWindow(Display* d, DeskWindow kind, const Rect& bounds, uint32_t rgb) {
  XSetWindowAttributes attributes{};
  attributes.background_pixel = rgb;
  const ::Window root = DefaultRootWindow(d);
  const ::Window window =
      XCreateWindow(d, root, bounds.left, bounds.top, static_cast<unsigned>(bounds.Width()),
                    static_cast<unsigned>(bounds.Height()), 0, CopyFromParent, InputOutput, CopyFromParent,
                    CWBackPixel, &attributes);
  // Placed where asked, as the user's choice.
  XSizeHints hints{};
  hints.flags = USPosition | USSize | PWinGravity;
  hints.x = bounds.left;
  hints.y = bounds.top;
  hints.width = bounds.Width();
  hints.height = bounds.Height();
  hints.win_gravity = StaticGravity;
  XSetWMNormalHints(d, window, &hints);
  XStoreName(d, window, kind == DeskWindow::kPanel ? "desk panel" : "desk window");
  if (kind == DeskWindow::kPanel) {
    const Atom dock = XInternAtom(d, "_NET_WM_WINDOW_TYPE_DOCK", False);
    XChangeProperty(d, window, XInternAtom(d, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&dock), 1);
    // The screen's top edge, from its top to the panel's bottom, over the panel's width.
    long strut[12] = {0, 0, bounds.bottom, 0, 0, 0, 0, 0, bounds.left, bounds.right - 1, 0, 0};
    XChangeProperty(d, window, XInternAtom(d, "_NET_WM_STRUT_PARTIAL", False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(strut), 12);
  }
  XMapWindow(d, window);
  XSync(d, False);
  return window;
}

bool Viewable(Display* d, ::Window window) {
  XWindowAttributes attributes{};
  return XGetWindowAttributes(d, window, &attributes) && attributes.map_state == IsViewable;
}

// What a manager of the desktop conventions that knew full screen leaves
// on the root when it ends: its check window is gone.
void LeaveStaleManagerProperties(Display* d) {
  const ::Window root = DefaultRootWindow(d);
  const ::Window gone = XCreateSimpleWindow(d, root, -10, -10, 1, 1, 0, 0, 0);
  XDestroyWindow(d, gone);
  const long check = static_cast<long>(gone);
  XChangeProperty(d, root, XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", False), XA_WINDOW, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&check), 1);
  const long supported[] = {static_cast<long>(XInternAtom(d, "_NET_WM_STATE", False)),
                            static_cast<long>(XInternAtom(d, "_NET_WM_STATE_FULLSCREEN", False))};
  XChangeProperty(d, root, XInternAtom(d, "_NET_SUPPORTED", False), XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(supported), 2);
  XSync(d, False);
}

X11Cover ReadCover(Display* d, uint64_t id) {
  X11Cover cover;
  const ::Window root = DefaultRootWindow(d);
  const auto window = static_cast<::Window>(id);
  X11ErrorTrap trap(d);
  XWindowAttributes attributes{};
  ::Window child = 0;
  int x = 0, y = 0;
  if (XGetWindowAttributes(d, window, &attributes) && attributes.map_state == IsViewable &&
      XTranslateCoordinates(d, window, root, 0, 0, &x, &y, &child)) {
    cover.viewable = true;
    cover.client = Rect::FromXYWH(x, y, attributes.width, attributes.height);
  }
  // The root child holding the window: its frame, or itself.
  ::Window top = window;
  for (int depth = 0; cover.viewable && depth < 16; ++depth) {
    ::Window tree_root = 0, parent = 0;
    ::Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(d, top, &tree_root, &parent, &children, &count)) break;
    if (children != nullptr) XFree(children);
    if (parent == root || parent == 0) break;
    top = parent;
  }
  ::Window tree_root = 0, parent = 0;
  ::Window* children = nullptr;
  unsigned int count = 0;
  if (cover.viewable && XQueryTree(d, root, &tree_root, &parent, &children, &count)) {
    bool above = false;
    for (unsigned int i = 0; i < count; ++i) {
      XWindowAttributes frame{};
      if (children[i] == top && XGetWindowAttributes(d, top, &frame)) {
        cover.frame = Rect::FromXYWH(frame.x, frame.y, frame.width + 2 * frame.border_width,
                                     frame.height + 2 * frame.border_width);
      }
      if (children[i] == top) {
        above = true;
        continue;
      }
      XWindowAttributes other{};
      // Input-only windows (a manager's edges) show nothing.
      if (!above || !XGetWindowAttributes(d, children[i], &other) || other.map_state != IsViewable ||
          other.c_class != InputOutput) {
        continue;
      }
      const Rect area = Rect::FromXYWH(other.x, other.y, other.width + 2 * other.border_width,
                                       other.height + 2 * other.border_width);
      const Rect overlap = area.Intersect(cover.client);
      if (overlap.IsEmpty()) continue;
      cover.above.push_back(children[i]);
      cover.overlaps.push_back(overlap);
    }
  }
  if (children != nullptr) XFree(children);
  if (trap.Failed()) cover = X11Cover{};
  return cover;
}

}  // namespace

X11Cover ReadX11Cover(const std::string& display, uint64_t window) {
  Display* d = Open(display);
  if (d == nullptr) return X11Cover{};
  X11Cover cover = ReadCover(d, window);
  XCloseDisplay(d);
  return cover;
}

uint64_t ReadX11Focus(const std::string& display) {
  Display* d = Open(display);
  if (d == nullptr) return 0;
  ::Window focus = 0;
  int revert = 0;
  XGetInputFocus(d, &focus, &revert);
  XCloseDisplay(d);
  return focus;
}

uint64_t InternX11Atom(const std::string& display, const std::string& name) {
  Display* d = Open(display);
  if (d == nullptr) return 0;
  const Atom atom = XInternAtom(d, name.c_str(), False);
  XCloseDisplay(d);
  return atom;
}

bool FocusX11Window(const std::string& display, uint64_t window, int timeout_ms) {
  Display* d = Open(display);
  if (d == nullptr) return false;
  const ::Window root = DefaultRootWindow(d);
  const auto target = static_cast<::Window>(window);
  const uint64_t deadline = MonotonicMs() + static_cast<uint64_t>(timeout_ms);
  bool focused = false;
  for (;;) {
    ::Window focus = 0;
    int revert = 0;
    XGetInputFocus(d, &focus, &revert);
    focused = focus == target;
    if (focused || MonotonicMs() > deadline) break;
    // A request from a pager or task bar, which every manager of the
    // desktop conventions honours.
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = target;
    event.xclient.message_type = XInternAtom(d, "_NET_ACTIVE_WINDOW", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = 2;
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    // A manager without them (twm), or none: the server's focus.
    {
      X11ErrorTrap trap(d);
      XSetInputFocus(d, target, RevertToPointerRoot, CurrentTime);
    }
    XSync(d, False);
    SleepMs(50);
  }
  XCloseDisplay(d);
  return focused;
}

std::optional<std::vector<long>> ReadX11Property(const std::string& display, uint64_t window,
                                                 const std::string& property) {
  Display* d = Open(display);
  if (d == nullptr) return std::nullopt;
  std::optional<std::vector<long>> items;
  {
    X11ErrorTrap trap(d);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d, static_cast<::Window>(window), XInternAtom(d, property.c_str(), False), 0, 4096, False,
                           AnyPropertyType, &type, &format, &count, &after, &data) == Success &&
        data != nullptr) {
      if (format == 32) {
        const auto* longs = reinterpret_cast<const long*>(data);
        items = std::vector<long>(longs, longs + count);
      }
      XFree(data);
    }
    if (trap.Failed()) items.reset();
  }
  XCloseDisplay(d);
  return items;
}

std::optional<std::vector<uint64_t>> ReadX11ClientList(const std::string& display) {
  Display* d = Open(display);
  if (d == nullptr) return std::nullopt;
  const uint64_t root = DefaultRootWindow(d);
  XCloseDisplay(d);
  std::optional<std::vector<long>> items = ReadX11Property(display, root, "_NET_CLIENT_LIST");
  if (!items) return std::nullopt;
  return std::vector<uint64_t>(items->begin(), items->end());
}

struct X11TestDesk::Parts {
  XvfbServer server;
  std::unique_ptr<X11WindowManager> manager;
  Display* display = nullptr;  // the desk's windows' own connection
  ::Window panel = 0;
  ::Window plain = 0;
};

X11TestDesk::X11TestDesk() : parts_(std::make_unique<Parts>()) {}

// The desk's windows go before the manager, the manager before the server.
X11TestDesk::~X11TestDesk() {
  if (parts_->display != nullptr) XCloseDisplay(parts_->display);
  parts_->manager.reset();
}

const std::string& X11TestDesk::display() const { return parts_->server.display(); }

uint64_t X11TestDesk::plain_window() const { return parts_->plain; }

bool X11TestDesk::FocusPlainWindow(int timeout_ms) { return FocusX11Window(display(), parts_->plain, timeout_ms); }

bool X11TestDesk::Start(const std::string& manager, int timeout_ms, std::string* why, bool* missing) {
  *missing = false;
  if (!parts_->server.Start(why, kRightMonitor.right, kRightMonitor.bottom)) {
    *missing = why->find("not installed") != std::string::npos;
    return false;
  }
  parts_->display = Open(display());
  Display* d = parts_->display;
  // The right monitor, where the desk's windows are, takes the server's
  // output: a manager that knows monitors only by their outputs (xfwm4)
  // sees that one.
  if (d == nullptr || !SetMonitors(d, {kRightMonitor, kLeftMonitor})) {
    *why = "the server cannot be divided into monitors";
    return false;
  }
  if (manager == "twm") LeaveStaleManagerProperties(d);
  if (manager != "none") {
    parts_->manager = X11WindowManager::Start(manager, display(), timeout_ms, why);
    if (!parts_->manager) {
      *missing = why->find("not installed") != std::string::npos;
      return false;
    }
  }
  parts_->panel = MapDeskWindow(d, DeskWindow::kPanel, kPanel, 0x3060C0);
  parts_->plain = MapDeskWindow(d, DeskWindow::kPlain, kPlainWindow, 0xC0C0C0);
  const uint64_t deadline = MonotonicMs() + static_cast<uint64_t>(timeout_ms);
  while (!Viewable(d, parts_->panel) || !Viewable(d, parts_->plain)) {
    if (MonotonicMs() > deadline) {
      *why = "the desk's windows were not shown within " + std::to_string(timeout_ms / 1000) + " s";
      return false;
    }
    SleepMs(20);
  }
  return true;
}

}  // namespace vz

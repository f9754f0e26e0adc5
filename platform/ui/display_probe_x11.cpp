#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>
#include <poll.h>

#include <algorithm>
#include <string>

#include "platform/clock.h"
#include "platform/platform_log.h"
#include "platform/ui/display_probe.h"
#include "platform/ui/x11_error_trap.h"
#include "platform/ui/x11_window_name.h"
#include "platform/ui/xlib_threads.h"

namespace vz {

namespace {

std::string TitleOf(Display* display, ::Window window) { return ReadX11WindowName(display, window, 4096); }

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
      // A window may go between the listing and the questions about it: its
      // errors are results (the window is left out), not the end of the caller.
      X11ErrorTrap trap(display);
      XWindowAttributes attributes;
      if (!XGetWindowAttributes(display, children[i], &attributes)) continue;
      DisplayWindowInfo info;
      info.id = children[i];
      info.title = TitleOf(display, children[i]);
      info.bounds = Rect::FromXYWH(attributes.x, attributes.y, attributes.width, attributes.height);
      info.viewable = attributes.map_state == IsViewable;
      info.depth = attributes.depth;
      int count_rects = 0, ordering = 0;
      XRectangle* rects = XShapeGetRectangles(display, children[i], ShapeBounding, &count_rects, &ordering);
      Rect extents;
      for (int r = 0; r < count_rects; ++r) {
        extents = extents.Union(Rect::FromXYWH(rects[r].x, rects[r].y, rects[r].width, rects[r].height));
      }
      if (rects != nullptr) XFree(rects);
      info.shape_extents = extents;
      info.shape_rectangles = count_rects;
      // Gone while it was asked about: not on the display any more.
      if (trap.Failed()) continue;
      out.push_back(std::move(info));
    }
    if (children != nullptr) XFree(children);
  }
  XCloseDisplay(display);
  return out;
}

std::optional<Image> CaptureDisplayArea(const char* display_name, const Rect& area) {
  EnsureXlibThreads();
  Display* display = XOpenDisplay(display_name);
  if (display == nullptr) return std::nullopt;
  const int screen = DefaultScreen(display);
  const Rect bounds = area.Intersect(Rect{0, 0, DisplayWidth(display, screen), DisplayHeight(display, screen)});
  std::optional<Image> out;
  if (!bounds.IsEmpty() && bounds == area) {
    XImage* image = XGetImage(display, RootWindow(display, screen), area.left, area.top,
                              static_cast<unsigned>(area.Width()), static_cast<unsigned>(area.Height()), AllPlanes,
                              ZPixmap);
    if (image != nullptr) {
      out.emplace(area.Width(), area.Height());
      for (int y = 0; y < area.Height(); ++y) {
        for (int x = 0; x < area.Width(); ++x) {
          const unsigned long pixel = XGetPixel(image, x, y);
          out->SetPixel(x, y, 0xFF000000u | static_cast<uint32_t>(pixel & 0xFFFFFF));
        }
      }
      XDestroyImage(image);
    }
  }
  XCloseDisplay(display);
  return out;
}

bool SetDisplayWorkArea(const char* display_name, const Rect& work_area) {
  EnsureXlibThreads();
  Display* display = XOpenDisplay(display_name);
  if (display == nullptr) return false;
  const Atom property = XInternAtom(display, "_NET_WORKAREA", False);
  if (work_area.IsEmpty()) {
    XDeleteProperty(display, DefaultRootWindow(display), property);
  } else {
    const long values[4] = {work_area.left, work_area.top, work_area.Width(), work_area.Height()};
    XChangeProperty(display, DefaultRootWindow(display), property, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(values), 4);
  }
  XSync(display, False);
  XCloseDisplay(display);
  return true;
}

DisplayMoveResult MoveDisplayWindow(const char* display_name, uint64_t window, Point to, int answer_ms) {
  EnsureXlibThreads();
  Display* display = XOpenDisplay(display_name);
  if (display == nullptr) return DisplayMoveResult::kFailed;
  const auto id = static_cast<::Window>(window);
  bool asked = false;
  bool there = false;
  {
    X11ErrorTrap trap(display);
    // Already there: nothing is asked (neither the server nor every manager
    // answers a move that changes nothing).
    int x = 0, y = 0;
    ::Window child = 0;
    there = XTranslateCoordinates(display, id, DefaultRootWindow(display), 0, 0, &x, &y, &child) && x == to.x &&
            y == to.y && !trap.Failed();
  }
  if (there) {
    XCloseDisplay(display);
    return DisplayMoveResult::kAnswered;
  }
  {
    X11ErrorTrap trap(display);
    // The answer is a ConfigureNotify on the window: a real one when it
    // moves inside its parent, a synthetic one (sent to every client that
    // selected the window's structure events) when a manager moved its
    // frame or kept it where it was.
    XSelectInput(display, id, StructureNotifyMask);
    XMoveWindow(display, id, to.x, to.y);
    asked = !trap.Failed();
  }
  DisplayMoveResult result = DisplayMoveResult::kFailed;
  if (asked) {
    result = DisplayMoveResult::kUnanswered;
    const uint64_t deadline = MonotonicMs() + static_cast<uint64_t>(std::max(0, answer_ms));
    XEvent event;
    for (;;) {
      if (XCheckTypedWindowEvent(display, id, ConfigureNotify, &event)) {
        result = DisplayMoveResult::kAnswered;
        break;
      }
      const uint64_t now = MonotonicMs();
      if (now >= deadline) break;
      pollfd connection{ConnectionNumber(display), POLLIN, 0};
      poll(&connection, 1, static_cast<int>(std::min<uint64_t>(deadline - now, 50)));
      XEventsQueued(display, QueuedAfterReading);
    }
  } else {
    PlatformLog("window 0x%llx could not be moved", static_cast<unsigned long long>(window));
  }
  XCloseDisplay(display);
  return result;
}

FakeCompositor::FakeCompositor(const char* display_name) {
  EnsureXlibThreads();
  Display* display = XOpenDisplay(display_name);
  if (display == nullptr) return;
  const int screen = DefaultScreen(display);
  const std::string name = "_NET_WM_CM_S" + std::to_string(screen);
  const ::Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, 1, 1, 0, 0, 0);
  XSetSelectionOwner(display, XInternAtom(display, name.c_str(), False), window, CurrentTime);
  XSync(display, False);
  display_ = display;
  window_ = window;
}

FakeCompositor::~FakeCompositor() {
  if (display_ == nullptr) return;
  auto* display = static_cast<Display*>(display_);
  XDestroyWindow(display, window_);
  XCloseDisplay(display);
}

}  // namespace vz

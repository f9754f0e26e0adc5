#include "platform/screen/x11_client_windows.h"

#include <deque>
#include <utility>

#include "platform/ui/x11_error_trap.h"

namespace vz {
namespace {

// Frames hold the client a level or two down; a window with a deep or wide
// tree of its own is not searched through to its end.
constexpr int kSearchDepth = 4;
constexpr int kSearchedWindows = 64;

bool HasProperty(Display* display, ::Window window, Atom name) {
  Atom actual = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  const bool read = XGetWindowProperty(display, window, name, 0, 0, False, AnyPropertyType, &actual, &format, &count,
                                       &after, &data) == Success;
  if (data) XFree(data);
  return read && actual != None;
}

}  // namespace

::Window FindClientWindow(Display* display, ::Window top, Atom wm_state) {
  std::deque<std::pair<::Window, int>> queue{{top, 0}};
  for (int searched = 0; !queue.empty() && searched < kSearchedWindows; ++searched) {
    const auto [window, depth] = queue.front();
    queue.pop_front();
    if (HasProperty(display, window, wm_state)) return window;
    if (depth >= kSearchDepth) continue;
    ::Window root = 0, parent = 0;
    ::Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, window, &root, &parent, &children, &count)) {
      for (unsigned int i = 0; i < count; ++i) queue.emplace_back(children[i], depth + 1);
    }
    if (children) XFree(children);
  }
  return None;
}

X11RootChildren::X11RootChildren(Display* display, bool watch)
    : display_(display), root_(DefaultRootWindow(display)), watch_(watch) {
  // Any number of clients may select these on the root beside the manager's
  // redirection.
  if (watch_) XSelectInput(display_, root_, SubstructureNotifyMask);
}

void X11RootChildren::Take(const XEvent& event) {
  if (event.xany.window != root_) return;
  switch (event.type) {
    case CreateNotify: {
      const XCreateWindowEvent& e = event.xcreatewindow;
      kept_[e.window] = {{e.x + e.border_width, e.y + e.border_width, e.width, e.height}, false,
                         e.override_redirect != False};
      break;
    }
    case ConfigureNotify: {
      const XConfigureEvent& e = event.xconfigure;
      const auto kept = kept_.find(e.window);
      if (kept == kept_.end()) break;
      kept->second.place = {e.x + e.border_width, e.y + e.border_width, e.width, e.height};
      kept->second.override_redirect = e.override_redirect != False;
      break;
    }
    case MapNotify: {
      const auto kept = kept_.find(event.xmap.window);
      if (kept == kept_.end()) break;
      kept->second.viewable = true;
      kept->second.override_redirect = event.xmap.override_redirect != False;
      break;
    }
    case UnmapNotify: {
      const auto kept = kept_.find(event.xunmap.window);
      if (kept != kept_.end()) kept->second.viewable = false;
      break;
    }
    // A move by gravity gives the outer place alone; a reparented child
    // left the root or came to it with a size the event does not give.
    case GravityNotify: kept_.erase(event.xgravity.window); break;
    case ReparentNotify: kept_.erase(event.xreparent.window); break;
    case DestroyNotify: kept_.erase(event.xdestroywindow.window); break;
    default: break;
  }
}

bool X11RootChildren::Of(::Window child, Child* out) {
  const auto kept = kept_.find(child);
  if (kept != kept_.end()) {
    *out = kept->second;
    return true;
  }
  ++reads_;
  XWindowAttributes attributes{};
  if (!XGetWindowAttributes(display_, child, &attributes)) return false;  // gone meanwhile
  *out = {{attributes.x + attributes.border_width, attributes.y + attributes.border_width, attributes.width,
           attributes.height},
          attributes.map_state == IsViewable,
          attributes.override_redirect != False};
  if (watch_) kept_[child] = *out;
  return true;
}

void X11RootChildren::KeepOnly(const ::Window* children, size_t count) {
  std::unordered_map<::Window, Child> still;
  for (size_t i = 0; i < count; ++i) {
    const auto kept = kept_.find(children[i]);
    if (kept != kept_.end()) still.emplace(children[i], kept->second);
  }
  kept_ = std::move(still);
}

std::vector<IcccmClientWindow> ListIcccmClientWindows(Display* display, size_t limit, X11RootChildren* kept) {
  std::vector<IcccmClientWindow> clients;
  const ::Window root_window = DefaultRootWindow(display);
  X11ErrorTrap trap(display);
  XWindowAttributes root_attributes{};
  // A manager holds the root's redirection: the event masks of every client
  // together show it.
  const bool managed = XGetWindowAttributes(display, root_window, &root_attributes) &&
                       (root_attributes.all_event_masks & SubstructureRedirectMask);
  const Atom wm_state = XInternAtom(display, "WM_STATE", False);
  ::Window root = 0, parent = 0;
  ::Window* children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(display, root_window, &root, &parent, &children, &count)) return clients;
  for (unsigned int i = 0; i < count && clients.size() < limit; ++i) {
    if (!managed) {
      // No frames (a manager that ends hands its clients back to the root):
      // nothing to search inside.
      X11RootChildren::Child child;
      if (!kept->Of(children[i], &child)) continue;  // gone meanwhile
      if (!child.override_redirect && child.viewable) clients.push_back({children[i], true, child});
      continue;
    }
    // A frame that went has no client to find.
    const ::Window client = FindClientWindow(display, children[i], wm_state);
    if (client != None) clients.push_back({client, false, {}});
  }
  kept->KeepOnly(children, count);
  if (children) XFree(children);
  return clients;
}

}  // namespace vz

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

std::vector<::Window> ListIcccmClientWindows(Display* display, size_t limit) {
  std::vector<::Window> clients;
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
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, children[i], &attributes)) continue;  // gone meanwhile
    if (!managed) {
      // No frames (a manager that ends hands its clients back to the root):
      // nothing to search inside.
      if (!attributes.override_redirect && attributes.map_state == IsViewable) clients.push_back(children[i]);
      continue;
    }
    const ::Window client = FindClientWindow(display, children[i], wm_state);
    if (client != None) clients.push_back(client);
  }
  if (children) XFree(children);
  return clients;
}

}  // namespace vz

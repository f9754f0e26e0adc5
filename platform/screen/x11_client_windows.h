#pragma once
// The top-level client windows of a display as ICCCM gives them, for
// displays whose window manager publishes no stacking list (twm and other
// managers without EWMH) or that have no manager: the root's children in
// stacking order, and inside each the client's own window.
//
// Under a manager, a root child is the manager's frame (or a window of the
// manager's own) and the client is the window inside it that carries
// WM_STATE, which the manager sets on every window it manages; a root child
// without one is none of the clients'. Without a manager nothing carries
// WM_STATE: every mapped root child that is not override-redirect (menus,
// tooltips, drag images) is a client.
// Platform-internal: includes Xlib. The caller's connection and thread;
// windows that go while they are read are left out, never an X error.
#include <X11/Xlib.h>

#include <cstddef>
#include <vector>

namespace vz {

// The client window inside the root child `top`: `top` itself or the
// first window below it, breadth first within a few levels (frames are
// shallow), that carries WM_STATE; None when no such window is found.
::Window FindClientWindow(Display* display, ::Window top, Atom wm_state);

// The client windows, bottom first, at most `limit` of them.
std::vector<::Window> ListIcccmClientWindows(Display* display, size_t limit);

}  // namespace vz

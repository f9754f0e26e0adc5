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
#include <unordered_map>
#include <vector>

#include "platform/screen/screen_source.h"

namespace vz {

// The client window inside the root child `top`: `top` itself or the
// first window below it, breadth first within a few levels (frames are
// shallow), that carries WM_STATE; None when no such window is found.
::Window FindClientWindow(Display* display, ::Window top, Atom wm_state);

// What the listing needs of a root child: kept from the root's substructure
// events once read, so a list asked for on every capture round reads only
// the children it has not seen (the root's children are a program's windows
// without a manager, and each read of one waits twice on the server).
//
// It selects the root's substructure events on the caller's connection when
// made; the caller hands it every event reported to the root (Take), before
// it lists. A child created, mapped, unmapped, moved or resized is told by
// its event; one reparented or destroyed is forgotten (read again if it is
// back). At most the children of the last list are kept.
class X11RootChildren {
 public:
  struct Child {
    ScreenRect place;          // its inside, in root coordinates
    bool viewable = false;     // mapped (the root is always viewable)
    bool override_redirect = false;
  };

  // Without `watch` nothing is selected or kept: each child is read anew.
  X11RootChildren(Display* display, bool watch);
  X11RootChildren(const X11RootChildren&) = delete;
  X11RootChildren& operator=(const X11RootChildren&) = delete;

  // An event whose reporting window is the root (others are ignored).
  void Take(const XEvent& event);
  // The child as kept, or read now (inside the caller's error trap); false
  // when it went.
  bool Of(::Window child, Child* out);
  void KeepOnly(const ::Window* children, size_t count);

  size_t ReadsForTesting() const { return reads_; }

 private:
  Display* display_;
  ::Window root_;
  bool watch_;
  std::unordered_map<::Window, Child> kept_;
  size_t reads_ = 0;
};

struct IcccmClientWindow {
  ::Window window = 0;
  // Without a manager the client is a root child and these are its place
  // and state as the listing knows them; under one they are not known here.
  bool known = false;
  X11RootChildren::Child child;
};

// The client windows, bottom first, at most `limit` of them. `kept` holds
// the root children's places across lists.
std::vector<IcccmClientWindow> ListIcccmClientWindows(Display* display, size_t limit, X11RootChildren* kept);

}  // namespace vz

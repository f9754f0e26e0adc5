// Full screen on X11: the state written before the window is mapped or
// asked of the window manager once it is, the monitor named, and the
// unmanaged window that stands in under a manager without the conventions.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <vector>

#include "platform/platform_log.h"
#include "platform/ui/x11_system.h"

namespace vz {

// A manager of the desktop conventions makes a window full screen on the
// monitor it is on, and maps one so that is marked so: such a window goes
// there before it is mapped, and one already mapped is left where it is
// while the manager is asked. A manager that does not know them would keep
// its frame (twm puts the title bar above the window, others keep it on the
// screen): a window made full screen before it is mapped is then left
// unmanaged over the monitor, raised when mapped, as menus are. That can
// only be decided before mapping; a window already mapped under such a
// manager is moved and raised. With no manager, the window is placed.
bool X11Native::SetFullScreen(bool full, const Rect& r) {
  if (host_ != 0) {
    PlatformLog("window layer: a window inside a host cannot be full screen");
    return false;
  }
  Display* d = system_.display();
  const X11System::Manager manager = system_.ScreenManager();
  // Leaving, an unmanaged window goes back to the manager through an unmap.
  const bool remap = !full && unmanaged_full_screen_ && mapped_;
  if (remap) XUnmapWindow(d, window_);
  const bool shown = mapped_ && !remap;
  const bool ask = shown && manager == X11System::Manager::kFullScreenAware;
  if (!ask) WriteState("_NET_WM_STATE_FULLSCREEN", full);
  // Not yet mapped: the place the manager reads when it maps the window is
  // the one it will have, so none maps it elsewhere first.
  if (!shown) WritePlaceHints(r);
  // Nor with a frame first: a manager that frames a window before it takes
  // the state (fluxbox) would show the client below a title bar until then.
  // Leaving, the window gets its frame back.
  if (!full || !shown) WriteUndecorated(full);
  if (full && manager == X11System::Manager::kFullScreenAware) NameFullScreenMonitor(r, ask);
  if (!shown) SetOverrideRedirect(full && manager == X11System::Manager::kOther);
  auto move = [&] {
    XMoveResizeWindow(d, window_, r.left, r.top, static_cast<unsigned>(std::max(1, r.Width())),
                      static_cast<unsigned>(std::max(1, r.Height())));
  };
  bounds_ = r;
  full_screen_ = full;
  // Shown, a manager makes the window full screen on the monitor it is on,
  // and its own bounds go once the state is gone: the ones to go back to
  // are asked after it.
  if (!ask) move();
  if (ask) AskFullScreenState(full);
  if (ask && !full) move();
  if (shown && full && !ask) XRaiseWindow(d, window_);
  if (remap) XMapWindow(d, window_);
  if (ask) {
    hold_to_ = r;
    asks_left_ = 3;
  }
  // A full-screen window lies above the desktop's panels only while it is
  // the active one: asked for it (a manager raises the window it activates).
  if (ask && full) Activate();
  system_.Flush();
  return true;
}

void X11Native::WriteState(const char* name, bool on) {
  const Atom state = system_.atom("_NET_WM_STATE");
  const long item = static_cast<long>(system_.atom(name));
  std::vector<long> states = system_.ReadCardinals(window_, state, XA_ATOM, 64);
  states.erase(std::remove(states.begin(), states.end(), item), states.end());
  if (on) states.push_back(item);
  XChangeProperty(system_.display(), window_, state, XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(states.data()), static_cast<int>(states.size()));
  system_.DrainSoon();
}

void X11Native::WriteUndecorated(bool undecorated) {
  const Atom hints = system_.atom("_MOTIF_WM_HINTS");
  // flags (decorations given), functions, decorations (none, or all: a
  // manager that took the first may not read a deleted property as the
  // second), input mode, status.
  const long items[5] = {2, 0, undecorated ? 0 : 1, 0, 0};
  XChangeProperty(system_.display(), window_, hints, hints, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(items), 5);
}

void X11Native::WritePlaceHints(const Rect& r) {
  XSizeHints* hints = XAllocSizeHints();
  if (hints == nullptr) return;
  long supplied = 0;
  XGetWMNormalHints(system_.display(), window_, hints, &supplied);
  hints->flags |= USPosition | USSize | PPosition | PSize;
  hints->x = r.left;
  hints->y = r.top;
  hints->width = std::max(1, r.Width());
  hints->height = std::max(1, r.Height());
  XSetWMNormalHints(system_.display(), window_, hints);
  XFree(hints);
  system_.DrainSoon();
}

void X11Native::NameFullScreenMonitor(const Rect& r, bool shown) {
  const std::vector<MonitorArea> monitors = system_.Monitors();
  long index = -1;
  for (size_t i = 0; i < monitors.size(); ++i) {
    if (monitors[i].bounds == r) index = static_cast<long>(i);
  }
  if (index < 0) return;
  const Atom property = system_.atom("_NET_WM_FULLSCREEN_MONITORS");
  if (!shown) {
    const long items[4] = {index, index, index, index};  // top, bottom, left, right
    XChangeProperty(system_.display(), window_, property, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(items), 4);
    return;
  }
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window_;
  event.xclient.message_type = property;
  event.xclient.format = 32;
  for (int i = 0; i < 4; ++i) event.xclient.data.l[i] = index;
  event.xclient.data.l[4] = 1;  // asked by an application
  XSendEvent(system_.display(), system_.root(), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
}

void X11Native::AskFullScreenState(bool full) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window_;
  event.xclient.message_type = system_.atom("_NET_WM_STATE");
  event.xclient.format = 32;
  event.xclient.data.l[0] = full ? 1 : 0;  // add, remove
  event.xclient.data.l[1] = static_cast<long>(system_.atom("_NET_WM_STATE_FULLSCREEN"));
  event.xclient.data.l[2] = 0;
  event.xclient.data.l[3] = 1;  // asked by an application
  XSendEvent(system_.display(), system_.root(), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
}

void X11Native::SetOverrideRedirect(bool on) {
  if (on == unmanaged_full_screen_) return;
  unmanaged_full_screen_ = on;
  if (flags_ & kWindowOverrideRedirect) return;  // unmanaged anyway
  XSetWindowAttributes attributes{};
  attributes.override_redirect = on ? True : False;
  XChangeWindowAttributes(system_.display(), window_, CWOverrideRedirect, &attributes);
}

}  // namespace vz

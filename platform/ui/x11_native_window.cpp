// The X11 window: shown, hidden and withdrawn through the window manager,
// moved, stacked, focused (activated through the manager), grabbed, named
// and given its icon; where its host is; what the manager says of it.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/platform_log.h"
#include "platform/ui/x11_error_trap.h"
#include "platform/ui/x11_window_name.h"
#include "platform/ui/x11_system.h"

namespace vz {

X11Native::X11Native(X11System& system, ::Window window, Visual* visual, int depth, Colormap colormap,
                     uint32_t flags, Rect bounds, ::Window host)
    : system_(system),
      window_(window),
      visual_(visual),
      depth_(depth),
      colormap_(colormap),
      flags_(flags),
      bounds_(bounds),
      host_(host) {
  system_.natives_[window_] = this;
  if (system_.im() != nullptr && !(flags_ & kWindowNoActivate)) {
    ic_ = XCreateIC(system_.im(), XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow, window_,
                    XNFocusWindow, window_, nullptr);
  }
}

X11Native::~X11Native() {
  system_.natives_.erase(window_);
  if (!frames_.empty()) {
    X11ErrorTrap trap(system_.display());
    ForgetFrames();
  }
  if (ic_ != nullptr) XDestroyIC(ic_);
  if (image_cursor_ != 0) XFreeCursor(system_.display(), image_cursor_);
  if (!destroyed_) XDestroyWindow(system_.display(), window_);
  if (colormap_ != 0) XFreeColormap(system_.display(), colormap_);
  system_.Flush();
}

void X11Native::Show(bool activate) {
  // Inside another program's window the focus stays where that program has
  // it until the window is focused on purpose.
  focus_on_map_ = activate && host_ == 0;
  const bool again = mapped_;  // shown already (a map asks a manager to restore it)
  mapped_ = true;
  if ((flags_ & kWindowOverrideRedirect) || unmanaged_full_screen_) {
    XMapRaised(system_.display(), window_);
  } else {
    if (host_ == 0) {
      // A manager that let the window go may have left it elsewhere
      // (metacity leaves it where its frame was): it maps again where the
      // program has it, and is held there once the manager placed it.
      XMoveResizeWindow(system_.display(), window_, bounds_.left, bounds_.top,
                        static_cast<unsigned>(std::max(1, bounds_.Width())),
                        static_cast<unsigned>(std::max(1, bounds_.Height())));
      // Without a manager the server puts it there: nothing to hold (and a
      // hold would undo other programs' moves).
      if (!again && (shown_before_ || full_screen_) && system_.ScreenManager() != X11System::Manager::kNone) {
        hold_to_ = bounds_;
        asks_left_ = 3;
      }
      // The user's time of the input that asked for it, by which a manager
      // decides whether a new window may take the focus from another's; 0
      // says it is not to take it (managers focus a new window that says
      // nothing as if the user had just asked for it).
      if (!again) {
        const long time = focus_on_map_ ? static_cast<long>(system_.UserTime()) : 0;
        XChangeProperty(system_.display(), window_, system_.atom("_NET_WM_USER_TIME"), XA_CARDINAL, 32,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(&time), 1);
        // A manager that does not read it (fluxbox) focuses every new
        // window that takes input: this one takes none until it is shown.
        if (!focus_on_map_ && !(flags_ & kWindowNoActivate) && system_.ScreenManager() != X11System::Manager::kNone &&
            !system_.ManagerSupports("_NET_WM_USER_TIME")) {
          WriteInputHint(false);
          input_after_map_ = true;
        }
      }
    }
    XMapWindow(system_.display(), window_);
  }
  shown_before_ = true;
  system_.Flush();
}

// A window the manager holds is withdrawn through it (the unmap, and the
// synthetic notice the conventions ask for), so a manager that has not yet
// mapped it does not map it later, and none keeps it as iconic.
void X11Native::Hide() {
  mapped_ = false;
  focus_on_map_ = false;
  hold_to_.reset();
  attention_after_map_ = false;
  if (input_after_map_) {
    input_after_map_ = false;
    WriteInputHint(true);
  }
  if (Managed()) {
    XWithdrawWindow(system_.display(), window_, system_.screen());
  } else {
    XUnmapWindow(system_.display(), window_);
  }
  system_.Flush();
}

void X11Native::SetBounds(const Rect& r) {
  bounds_ = r;
  // The program's newer place is the one a manager is held to.
  if (hold_to_) hold_to_ = r;
  XMoveResizeWindow(system_.display(), window_, r.left, r.top, static_cast<unsigned>(std::max(1, r.Width())),
                    static_cast<unsigned>(std::max(1, r.Height())));
  system_.Flush();
}

void X11Native::Raise() {
  XRaiseWindow(system_.display(), window_);
  system_.Flush();
}

void X11Native::Lower() {
  XLowerWindow(system_.display(), window_);
  system_.Flush();
}

void X11Native::StackBelow(NativeWindow* sibling) {
  auto* other = static_cast<X11Native*>(sibling);
  XWindowChanges changes{};
  changes.sibling = other->window_;
  changes.stack_mode = Below;
  XConfigureWindow(system_.display(), window_, CWSibling | CWStackMode, &changes);
  system_.Flush();
}

// A window of another program is usually a child of its window manager's
// frame; stacking works among the root's children, so the frame it is in
// is the sibling to go below.
bool X11Native::StackBelowNative(uint64_t native_id) {
  Display* d = system_.display();
  ::Window current = static_cast<::Window>(native_id);
  ::Window sibling = 0;
  for (int depth = 0; depth < 64; ++depth) {
    ::Window root = 0, parent = 0;
    ::Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(d, current, &root, &parent, &children, &count)) break;
    if (children != nullptr) XFree(children);
    if (parent == root) {
      sibling = current;
      break;
    }
    current = parent;
  }
  system_.DrainSoon();
  if (sibling == 0 || sibling == window_) {
    PlatformLog("window layer: no display window 0x%lx to stack below", static_cast<unsigned long>(native_id));
    return false;
  }
  XWindowChanges changes{};
  changes.sibling = sibling;
  changes.stack_mode = Below;
  XConfigureWindow(d, window_, CWSibling | CWStackMode, &changes);
  system_.Flush();
  return true;
}

void X11Native::Focus() {
  // The server refuses the focus (BadMatch) to a window that is not yet
  // viewable, as a new window is until the window manager has mapped it:
  // the focus is then given once it is. The manager is asked at once (it
  // takes the request after the map asked before it): the program may be
  // busy when the window maps, and a manager keeps a full-screen window
  // above docks only while it is the active one.
  if (!Viewable()) {
    focus_on_map_ = true;
    if (mapped_) AskManagerToActivate();
    system_.Flush();
    return;
  }
  Activate();
}

void X11Native::AskManagerToActivate() {
  if (!Managed() || !system_.ManagerSupports("_NET_ACTIVE_WINDOW")) return;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window_;
  event.xclient.message_type = system_.atom("_NET_ACTIVE_WINDOW");
  event.xclient.format = 32;
  event.xclient.data.l[0] = 1;  // asked by an application
  event.xclient.data.l[1] = static_cast<long>(system_.UserTime());
  event.xclient.data.l[2] = static_cast<long>(system_.ActiveNative());
  XSendEvent(system_.display(), system_.root(), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
}

void X11Native::Activate() {
  Display* d = system_.display();
  AskManagerToActivate();
  // The server's focus too, at once (a manager that focused the window
  // clicked last did so after the user's time, which the server would take
  // as a stale request). It refuses a window that is not viewable (the map
  // may have been undone since): its error is trapped, not logged.
  {
    X11ErrorTrap trap(d);
    XSetInputFocus(d, window_, RevertToParent, CurrentTime);
  }
  system_.Flush();
}

bool X11Native::Viewable() {
  XWindowAttributes attributes{};
  return XGetWindowAttributes(system_.display(), window_, &attributes) != 0 && attributes.map_state == IsViewable;
}

void X11Native::WriteInputHint(bool input) {
  XWMHints hints{};
  hints.flags = InputHint;
  hints.input = input ? True : False;
  XSetWMHints(system_.display(), window_, &hints);
}

void X11Native::FocusIfAskedAndViewable() {
  if ((input_after_map_ || attention_after_map_) && Viewable()) {
    if (input_after_map_) WriteInputHint(true);
    input_after_map_ = false;
    if (attention_after_map_) {
      attention_after_map_ = false;
      RequestAttention();
    }
    system_.Flush();
  }
  if (!focus_on_map_ || !Viewable()) return;
  focus_on_map_ = false;
  Activate();
}

void X11Native::RequestAttention() {
  if (!Managed()) return;
  if (!mapped_) {
    // In its state as it maps, and asked again once it is shown, since a
    // manager may set the state of a window it takes anew (fluxbox).
    WriteState("_NET_WM_STATE_DEMANDS_ATTENTION", true);
    attention_after_map_ = true;
    return;
  }
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window_;
  event.xclient.message_type = system_.atom("_NET_WM_STATE");
  event.xclient.format = 32;
  event.xclient.data.l[0] = 1;  // add
  event.xclient.data.l[1] = static_cast<long>(system_.atom("_NET_WM_STATE_DEMANDS_ATTENTION"));
  event.xclient.data.l[3] = 1;  // asked by an application
  XSendEvent(system_.display(), system_.root(), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
  system_.Flush();
}

namespace {

// What ChangeQueuedBefore looks for in the event queue.
struct ChangeSearch {
  ::Window window;
  unsigned long before;  // the serial of the read
  bool found;
};

// Notes a change of the window's place generated before the read (its
// serial, the last of our requests the server had handled, is older);
// takes nothing from the queue.
Bool NoteEarlierChange(Display*, XEvent* event, XPointer arg) {
  auto* search = reinterpret_cast<ChangeSearch*>(arg);
  const bool change =
      event->type == ConfigureNotify || event->type == ReparentNotify || event->type == GravityNotify;
  if (change && event->xany.window == search->window && event->xany.serial < search->before) search->found = true;
  return False;
}

}  // namespace

bool X11Native::ChangeQueuedBefore(unsigned long read_serial) {
  ChangeSearch search{window_, read_serial, false};
  XEvent unused;
  XCheckIfEvent(system_.display(), &unused, NoteEarlierChange, reinterpret_cast<XPointer>(&search));
  return search.found;
}

std::optional<X11Native::PlaceSeen> X11Native::PlaceWhenSent(const XEvent& event) {
  Display* d = system_.display();
  XWindowAttributes attributes{};
  ::Window child = 0;
  int x = 0, y = 0;
  bool read = XGetWindowAttributes(d, window_, &attributes) != 0;
  // Every change generated before this request was handled is in the
  // read, and already queued once its answer is in.
  const unsigned long read_serial = NextRequest(d);
  read = read && XTranslateCoordinates(d, window_, system_.root(), 0, 0, &x, &y, &child);
  system_.DrainSoon();
  if (read && !ChangeQueuedBefore(read_serial)) {
    return PlaceSeen{Rect::FromXYWH(x, y, attributes.width, attributes.height), attributes.map_state == IsViewable};
  }
  // The manager's own notice says where it put the client area, in the
  // root's coordinates; not trusted for a full-screen window, where a
  // manager may tell the place it meant rather than the one the window has
  // in its frame (fluxbox).
  if (event.type == ConfigureNotify && event.xconfigure.send_event && !full_screen_) {
    const XConfigureEvent& c = event.xconfigure;
    return PlaceSeen{Rect::FromXYWH(c.x, c.y, c.width, c.height), true, true};
  }
  return std::nullopt;
}

void X11Native::JudgeHold(const XEvent& event) {
  if (!hold_to_ || !mapped_) return;
  const bool map = event.type == MapNotify;
  // Not known for this notice (the window changed again before the program
  // could read it): a later notice judges. The manager's own notice of
  // where it put the window may come after the map (jwm), so an unjudged
  // map does not end the hold.
  const std::optional<PlaceSeen> seen = PlaceWhenSent(event);
  if (!seen) return;
  // A full-screen window is held while it is one (a manager may move it
  // inside its frame after it first put it right); another, until it is
  // where the program has it, after which it is the user's to move.
  if (seen->client == *hold_to_) {
    if (!full_screen_) hold_to_.reset();
    return;
  }
  // A word of the manager's that is not the read is trusted only as far as
  // ending the hold: the read that judges it comes with a later notice.
  if (seen->from_notice) return;
  // Mapped inside a frame not yet shown: the manager is still placing it
  // (fluxbox lays its frame out after it maps the client), and says so.
  if (map && !seen->viewable) return;
  if (asks_left_ <= 0) {
    hold_to_.reset();
    return;
  }
  --asks_left_;
  const Rect& r = *hold_to_;
  const Rect& at = seen->client;
  PlatformLog("window layer: the manager put window 0x%lx at %d,%d %dx%d, not %d,%d %dx%d: asked again",
              static_cast<unsigned long>(window_), at.left, at.top, at.Width(), at.Height(), r.left, r.top, r.Width(),
              r.Height());
  XMoveResizeWindow(system_.display(), window_, r.left, r.top, static_cast<unsigned>(std::max(1, r.Width())),
                    static_cast<unsigned>(std::max(1, r.Height())));
  system_.Flush();
}

bool X11Native::Grab() {
  Display* d = system_.display();
  const int pointer = XGrabPointer(d, window_, False, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                                   GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
  const int keyboard = XGrabKeyboard(d, window_, False, GrabModeAsync, GrabModeAsync, CurrentTime);
  system_.DrainSoon();
  if (pointer != GrabSuccess || keyboard != GrabSuccess) {
    PlatformLog("window layer: grab refused (pointer %d, keyboard %d)", pointer, keyboard);
    if (pointer == GrabSuccess) XUngrabPointer(d, CurrentTime);
    if (keyboard == GrabSuccess) XUngrabKeyboard(d, CurrentTime);
    system_.Flush();
    return false;
  }
  return true;
}

void X11Native::Ungrab() {
  XUngrabPointer(system_.display(), CurrentTime);
  XUngrabKeyboard(system_.display(), CurrentTime);
  system_.Flush();
}

void X11Native::SetTitle(const std::string& utf8) {
  WriteX11WindowName(system_.display(), window_, utf8);
  system_.Flush();
}

// _NET_WM_ICON: width, height, then the pixels as plain (not premultiplied)
// 0xAARRGGBB, each in a long as Xlib's 32-bit properties are.
bool X11Native::SetIcon(const Image& icon) {
  std::vector<long> cardinals;
  cardinals.reserve(2 + static_cast<size_t>(icon.width()) * static_cast<size_t>(icon.height()));
  cardinals.push_back(icon.width());
  cardinals.push_back(icon.height());
  for (int y = 0; y < icon.height(); ++y) {
    for (int x = 0; x < icon.width(); ++x) cardinals.push_back(static_cast<long>(icon.GetPixel(x, y)));
  }
  XChangeProperty(system_.display(), window_, system_.atom("_NET_WM_ICON"), XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(cardinals.data()), static_cast<int>(cardinals.size()));
  system_.Flush();
  return true;
}

void X11Native::UpdateHostOrigin() {
  if (host_ == 0) return;
  Display* d = system_.display();
  X11ErrorTrap trap(d);
  ::Window child = 0;
  int x = 0, y = 0;
  const bool known = XTranslateCoordinates(d, host_, system_.root(), 0, 0, &x, &y, &child) != 0;
  if (!trap.Failed() && known) host_origin_ = {x, y};
  system_.DrainSoon();
}

std::optional<bool> X11Native::ReadMinimized() {
  Display* d = system_.display();
  std::optional<bool> minimized;
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  const Atom wm_state = system_.atom("WM_STATE");
  if (XGetWindowProperty(d, window_, wm_state, 0, 2, False, wm_state, &type, &format, &count, &after, &data) ==
          Success &&
      data != nullptr) {
    if (format == 32 && count >= 1) {
      const long state = reinterpret_cast<const long*>(data)[0];
      if (state == IconicState) minimized = true;
      if (state == NormalState) minimized = false;
    }
    XFree(data);
  }
  data = nullptr;
  // A manager of the newer conventions may say it only as a hidden state.
  if (XGetWindowProperty(d, window_, system_.atom("_NET_WM_STATE"), 0, 64, False, XA_ATOM, &type, &format, &count,
                         &after, &data) == Success &&
      data != nullptr) {
    const Atom hidden = system_.atom("_NET_WM_STATE_HIDDEN");
    if (format == 32) {
      const auto* atoms = reinterpret_cast<const Atom*>(data);
      for (unsigned long i = 0; i < count; ++i) {
        if (atoms[i] == hidden) minimized = true;
      }
    }
    XFree(data);
  }
  system_.DrainSoon();
  return minimized;
}

}  // namespace vz

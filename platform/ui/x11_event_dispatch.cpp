// The X11 events of a display connection, served from the UI thread's run
// loop and handed to the windows they are for: exposures, configuration,
// mapping, focus, pointer, keys, the manager's state and close requests,
// and the user's time that input carries.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "platform/text.h"
#include "platform/ui/x11_system.h"

namespace vz {

namespace {

uint32_t Modifiers(unsigned int state) {
  uint32_t m = 0;
  if (state & ShiftMask) m |= kModShift;
  if (state & ControlMask) m |= kModControl;
  if (state & Mod1Mask) m |= kModAlt;
  if (state & Button1Mask) m |= kModButtonLeft;
  if (state & Button2Mask) m |= kModButtonMiddle;
  if (state & Button3Mask) m |= kModButtonRight;
  return m;
}

MouseButton ButtonOf(unsigned int button) {
  switch (button) {
    case Button1:
      return MouseButton::kLeft;
    case Button2:
      return MouseButton::kMiddle;
    case Button3:
      return MouseButton::kRight;
    default:
      return MouseButton::kNone;
  }
}

// Text of a key without an input method: Latin-1 and Unicode keysyms.
std::string KeysymText(KeySym keysym) {
  uint32_t code = 0;
  if ((keysym >= 0x20 && keysym <= 0x7E) || (keysym >= 0xA0 && keysym <= 0xFF)) code = static_cast<uint32_t>(keysym);
  if ((keysym & 0xFF000000UL) == 0x01000000UL) code = static_cast<uint32_t>(keysym & 0x00FFFFFF);
  if (code == 0 || code > 0x10FFFF) return "";
  std::string text;
  AppendUtf8(text, code);
  return text;
}

}  // namespace

Time X11System::UserTime() {
  if (user_time_ != CurrentTime) return user_time_;
  // The server's time: an empty append to a property of our own window,
  // whose notice carries it.
  const Atom stamp = atom("VZ_TIME_STAMP");
  XChangeProperty(display_, utility_, stamp, XA_STRING, 8, PropModeAppend, nullptr, 0);
  struct Match {
    ::Window window;
    Atom atom;
  } match{utility_, stamp};
  XEvent event;
  XIfEvent(
      display_, &event,
      [](Display*, XEvent* e, XPointer arg) -> Bool {
        const auto* m = reinterpret_cast<const Match*>(arg);
        return e->type == PropertyNotify && e->xproperty.window == m->window && e->xproperty.atom == m->atom;
      },
      reinterpret_cast<XPointer>(&match));
  DrainSoon();
  return event.xproperty.time;
}

::Window X11System::ActiveNative() {
  WindowNode* active = core_.active();
  return active != nullptr ? static_cast<::Window>(active->NativeId()) : 0;
}

void X11System::DrainSoon() {
  if (drain_posted_ || XQLength(display_) == 0) return;
  drain_posted_ = true;
  std::shared_ptr<bool> alive = alive_;
  core_.loop().Post([this, alive] {
    if (!*alive) return;
    drain_posted_ = false;
    Drain();
  });
}

void X11System::OnReadable() { Drain(); }

void X11System::Drain() {
  std::shared_ptr<bool> alive = alive_;
  // Only what is queued now: a handler may run a nested loop, which serves
  // the rest through the descriptor watch.
  int budget = 1000;
  while (*alive && budget-- > 0 && XPending(display_) > 0) {
    XEvent event;
    XNextEvent(display_, &event);
    if (XFilterEvent(&event, None)) continue;
    Dispatch(event);
  }
  if (*alive) Flush();
}

WindowNode* X11System::NodeOf(::Window window) {
  auto it = natives_.find(window);
  if (it == natives_.end()) return nullptr;
  return core_.FindByNative(it->second);
}

void X11System::Dispatch(XEvent& event) {
  switch (event.type) {
    case SelectionNotify:
      OnSelectionNotify(event.xselection);
      return;
    case SelectionRequest:
      AnswerSelectionRequest(event.xselectionrequest);
      return;
    case SelectionClear:
      return;
    default:
      break;
  }
  WindowNode* node = NodeOf(event.xany.window);
  if (node == nullptr) {
    auto frame = frames_.find(event.xany.window);
    if (frame != frames_.end()) {
      DispatchFrameEvent(*frame->second, event);
      return;
    }
    DispatchHostEvent(event);
    return;
  }
  auto* native = static_cast<X11Native*>(node->native());
  switch (event.type) {
    case ButtonPress:
    case ButtonRelease:
      NoteUserTime(event.xbutton.time);
      break;
    case KeyPress:
    case KeyRelease:
      NoteUserTime(event.xkey.time);
      break;
    default:
      break;
  }
  switch (event.type) {
    case Expose: {
      native->FocusIfAskedAndViewable();
      const Rect area = Rect::FromXYWH(event.xexpose.x, event.xexpose.y, event.xexpose.width, event.xexpose.height);
      node->Invalidate(area);
      break;
    }
    case ConfigureNotify: {
      if (!native->mapped() && native->host() == 0) break;
      const XConfigureEvent& c = event.xconfigure;
      // Inside a host the bounds are the host's coordinates, as given, and
      // a manager's own notice gives the place on the root; a real one
      // gives the place inside the manager's frame, so the place is read.
      if (!c.send_event && !(node->flags() & kWindowOverrideRedirect) && native->host() == 0) {
        TakeReadPlace(*node, *native, Size{c.width, c.height});
      } else {
        TakeBounds(*node, *native, Rect::FromXYWH(c.x, c.y, c.width, c.height));
      }
      if (native->holding()) native->JudgeHold(event);
      break;
    }
    case ReparentNotify:
      // Into a manager's frame, or out of it: the frames to watch change,
      // and the place on the screen with them.
      native->WatchFrames();
      if (native->mapped() && native->host() == 0 && !(node->flags() & kWindowOverrideRedirect)) {
        TakeReadPlace(*node, *native, node->bounds().GetSize());
      }
      break;
    case DestroyNotify:
      // Ours are destroyed after they leave the registry: this one went
      // with its host.
      if (event.xdestroywindow.window != native->window()) break;
      native->MarkDestroyed();
      node->OnNativeGone();  // may delete the window's owner: nothing after
      return;
    case PropertyNotify:
      if (event.xproperty.atom == atom("WM_STATE") || event.xproperty.atom == atom("_NET_WM_STATE")) {
        if (std::optional<bool> minimized = native->ReadMinimized()) node->OnNativeMinimized(*minimized);
      }
      break;
    case MapNotify:
      if (native->holding()) native->JudgeHold(event);
      native->FocusIfAskedAndViewable();
      node->Invalidate({});
      break;
    case FocusIn:
      if (event.xfocus.mode == NotifyGrab || event.xfocus.mode == NotifyUngrab) break;
      if (native->ic() != nullptr) XSetICFocus(native->ic());
      if (core_.active() != node) {
        if (WindowNode* old = core_.active()) core_.FocusChanged(old, false);
        core_.FocusChanged(node, true);
      }
      break;
    case FocusOut:
      if (event.xfocus.mode == NotifyGrab || event.xfocus.mode == NotifyUngrab) break;
      if (event.xfocus.detail == NotifyInferior) break;
      if (native->ic() != nullptr) XUnsetICFocus(native->ic());
      if (core_.active() == node) core_.FocusChanged(node, false);
      break;
    case ButtonPress:
    case ButtonRelease: {
      // A click may open a menu placed on the screen: inside a host, where
      // the host is now (a move of its ancestors sends us nothing).
      if (event.type == ButtonPress && native->host() != 0) native->UpdateHostOrigin();
      MouseEvent m;
      m.position = {event.xbutton.x, event.xbutton.y};
      m.modifiers = Modifiers(event.xbutton.state);
      if (event.xbutton.button == Button4 || event.xbutton.button == Button5) {
        if (event.type == ButtonRelease) break;
        m.action = MouseAction::kWheel;
        m.wheel_delta = event.xbutton.button == Button4 ? 1 : -1;
      } else {
        m.action = event.type == ButtonPress ? MouseAction::kPress : MouseAction::kRelease;
        m.button = ButtonOf(event.xbutton.button);
        if (m.button == MouseButton::kNone) break;
      }
      core_.DispatchMouse(node, m);
      break;
    }
    case MotionNotify: {
      // Only the latest of a run of moves matters; a move is never taken
      // from beyond a press or release, which would reorder them. A run that
      // went away and came back (A, B, A) still tells that the pointer
      // moved: its last other place goes first, so a receiver that compares
      // with the place it saw before is not left thinking it stood still.
      std::optional<Point> away;  // the place before the run's last change
      while (XEventsQueued(display_, QueuedAlready) > 0) {
        XEvent next;
        XPeekEvent(display_, &next);
        if (next.type != MotionNotify || next.xmotion.window != event.xmotion.window) break;
        const Point before{event.xmotion.x, event.xmotion.y};
        XNextEvent(display_, &event);
        if (Point{event.xmotion.x, event.xmotion.y} != before) away = before;
      }
      MouseEvent m;
      m.action = MouseAction::kMove;
      m.modifiers = Modifiers(event.xmotion.state);
      const Point last{event.xmotion.x, event.xmotion.y};
      if (away) {
        m.position = *away;
        std::shared_ptr<const bool> alive = node->Alive();
        core_.DispatchMouse(node, m);
        if (!*alive) return;
      }
      m.position = last;
      core_.DispatchMouse(node, m);
      break;
    }
    case EnterNotify:
      break;  // the first move makes the enter, per child
    case LeaveNotify:
      if (event.xcrossing.mode == NotifyNormal) core_.PointerLeft(node);
      break;
    case KeyPress:
    case KeyRelease: {
      KeyEvent k;
      k.pressed = event.type == KeyPress;
      k.modifiers = Modifiers(event.xkey.state);
      KeySym keysym = NoSymbol;
      if (k.pressed && native->ic() != nullptr) {
        char buffer[64];
        Status status = 0;
        int length = Xutf8LookupString(native->ic(), &event.xkey, buffer, sizeof(buffer), &keysym, &status);
        if (status == XBufferOverflow) {
          std::string big(static_cast<size_t>(length), '\0');
          length = Xutf8LookupString(native->ic(), &event.xkey, big.data(), length, &keysym, &status);
          if (status == XLookupChars || status == XLookupBoth) k.text = big.substr(0, static_cast<size_t>(length));
        } else if (status == XLookupChars || status == XLookupBoth) {
          k.text.assign(buffer, static_cast<size_t>(std::max(0, length)));
        }
        if (status == XLookupChars) keysym = NoSymbol;
      } else {
        char buffer[32];
        XLookupString(&event.xkey, buffer, sizeof(buffer), &keysym, nullptr);
        if (k.pressed) k.text = KeysymText(keysym);
      }
      // Control characters are keys, not text.
      if (!k.text.empty() && static_cast<unsigned char>(k.text[0]) < 0x20) k.text.clear();
      if (!k.text.empty() && k.text[0] == 0x7F) k.text.clear();
      k.keysym = static_cast<uint32_t>(keysym);
      core_.DispatchKey(node, k);
      break;
    }
    case ClientMessage:
      if (static_cast<Atom>(event.xclient.data.l[0]) == atom("WM_DELETE_WINDOW")) {
        node->delegate()->OnCloseRequest();
      }
      break;
    default:
      break;
  }
}

void X11System::TakeBounds(WindowNode& node, X11Native& native, const Rect& bounds) {
  native.set_known_bounds(bounds);
  if (bounds != node.bounds()) node.OnNativeBounds(bounds);
}

void X11System::TakeReadPlace(WindowNode& node, X11Native& native, Size size) {
  // Unread (the server refused the read): the last known place stands.
  const std::optional<Point> origin = native.ReadRootOrigin();
  const Point at = origin ? *origin : Point{node.bounds().left, node.bounds().top};
  TakeBounds(node, native, Rect::FromXYWH(at.x, at.y, size.width, size.height));
}

void X11System::DispatchFrameEvent(X11Native& native, const XEvent& event) {
  switch (event.type) {
    case DestroyNotify:
      // The window left it first (a frame's window is put back on the
      // root before the frame goes), which watched the frames anew.
      frames_.erase(event.xdestroywindow.window);
      return;
    case ReparentNotify:
      native.WatchFrames();
      break;
    case ConfigureNotify:
    case GravityNotify:
      break;
    default:
      return;
  }
  WindowNode* node = core_.FindByNative(&native);
  // Hidden, the window is the program's to place, wherever its frame goes.
  if (node == nullptr || !native.mapped()) return;
  TakeReadPlace(*node, native, node->bounds().GetSize());
}

void X11System::DispatchHostEvent(const XEvent& event) {
  if (event.type != ConfigureNotify) return;  // a host's destruction arrives as our window's
  const ::Window host = event.xconfigure.window;
  std::vector<::Window> inside;
  for (const auto& [window, native] : natives_) {
    if (native->host() == host) inside.push_back(window);
  }
  // Each callback may destroy windows: look each one up again.
  for (::Window window : inside) {
    auto it = natives_.find(window);
    if (it == natives_.end()) continue;
    X11Native* native = it->second;
    const Size before = native->HostSize();
    const Size after{event.xconfigure.width, event.xconfigure.height};
    native->set_host_size(after);
    native->UpdateHostOrigin();
    WindowNode* node = core_.FindByNative(native);
    if (node != nullptr && after != before) node->OnHostResized(after);
  }
}

}  // namespace vz

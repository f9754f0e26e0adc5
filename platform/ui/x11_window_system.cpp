// The X11 backend: one display connection per UI thread, its events
// dispatched on that thread's run loop; windows presented through cairo.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/extensions/Xrandr.h>
#include <X11/extensions/Xrender.h>
#include <X11/extensions/shape.h>
#include <cairo-xlib.h>
#include <cairo.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <vector>

#include "platform/platform_log.h"
#include "platform/ui/xlib_threads.h"
#include "platform/run_loop.h"
#include "platform/text.h"
#include "platform/ui/opaque_translucency.h"
#include "platform/ui/window_core.h"
#include "platform/ui/x11_client_identity.h"
#include "platform/ui/x11_error_trap.h"
#include "platform/ui/x11_window_name.h"

namespace vz {

namespace {

constexpr uintptr_t kClipboardTimer = 1;
constexpr uint32_t kClipboardTimeoutMs = 2000;

int OnXError(Display* display, XErrorEvent* error) {
  char text[256] = {};
  XGetErrorText(display, error->error_code, text, sizeof(text) - 1);
  PlatformLog("X error: %s (request %d.%d, resource 0x%lx)", text, error->request_code, error->minor_code,
              error->resourceid);
  return 0;
}

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

std::vector<XRectangle> ToXRects(const WindowRegion& region) {
  std::vector<XRectangle> out;
  for (const Rect& r : region) {
    if (r.IsEmpty()) continue;
    XRectangle x;
    x.x = static_cast<short>(std::clamp(r.left, -32768, 32767));
    x.y = static_cast<short>(std::clamp(r.top, -32768, 32767));
    x.width = static_cast<unsigned short>(std::clamp(r.Width(), 0, 65535));
    x.height = static_cast<unsigned short>(std::clamp(r.Height(), 0, 65535));
    out.push_back(x);
  }
  return out;
}

class X11System;

class X11Native : public NativeWindow {
 public:
  // `host`: the display window this one was made inside (0: the root).
  X11Native(X11System& system, ::Window window, Visual* visual, int depth, Colormap colormap, uint32_t flags,
            Rect bounds, ::Window host);
  ~X11Native() override;

  ::Window window() const { return window_; }
  uint64_t Id() const override { return window_; }
  void Show(bool activate) override;
  void Hide() override;
  void SetBounds(const Rect& screen_bounds) override;
  void Raise() override;
  void Lower() override;
  void StackBelow(NativeWindow* sibling) override;
  bool StackBelowNative(uint64_t native_id) override;
  void Focus() override;
  bool Grab() override;
  void Ungrab() override;
  void SetShape(const WindowRegion* region) override;
  void SetInputShape(const WindowRegion* region) override;
  void SetOpacity(uint8_t alpha) override;
  void SetCursor(CursorKind shape) override;
  bool SetCursorImage(const Image& image, Point hotspot) override;
  void SetTitle(const std::string& utf8) override;
  bool SetIcon(const Image& icon) override;
  bool SetFullScreen(bool full, const Rect& screen_bounds) override;
  Point HostOrigin() const override { return host_origin_; }
  void Present(const Image& buffer, const Rect& area) override;

  ::Window host() const { return host_; }
  // Shown by the program (not hidden since): a window it hid is its own to
  // place, whatever a manager letting it go does to it.
  bool mapped() const { return mapped_; }
  // Reads where the host's client area is on the screen now (its ancestors
  // may move without telling us).
  void UpdateHostOrigin();
  void set_host_size(Size size) { host_size_ = size; }
  Size HostSize() const override { return host_size_; }
  // The server destroyed the window (its host went): nothing of it is
  // touched again.
  void MarkDestroyed() { destroyed_ = true; }
  // Reads the window manager's state properties: minimised, restored, or
  // nothing said (withdrawn, no manager).
  std::optional<bool> ReadMinimized();

  XIC ic() const { return ic_; }
  // The focus asked for (Show with activate, or Focus) before the window was
  // viewable: given once it is (its map, or its first exposure under a
  // window manager that maps its frame later).
  void FocusIfAskedAndViewable();
  void set_known_bounds(const Rect& r) { bounds_ = r; }
  // The manager placed the window (it mapped or configured it): where its
  // client area is on the root now. A window the manager let go and maps
  // again, or made full screen, that it left elsewhere than the program
  // has it is asked there again, a few times at most (xfwm4 and jwm keep a
  // frame on the screen when they map it, fluxbox may keep the title bar's
  // place inside a full-screen frame).
  void OnManagerPlaced(const Rect& client_on_root);
  bool holding() const { return hold_to_.has_value(); }

 private:
  void ShapeFromAlpha(const Image& buffer);
  bool Viewable();
  // The full-screen state in the window's own _NET_WM_STATE (before it is
  // mapped), or asked of the window manager (once it is).
  void WriteFullScreenState(bool full);
  void AskFullScreenState(bool full);
  // Names the monitor `r` is (by the index managers know it by) as the one
  // the window is full screen on: a manager may otherwise choose by its own
  // rules (xfwm4 takes the first). Nothing when `r` is no monitor.
  void NameFullScreenMonitor(const Rect& r, bool shown);
  void SetOverrideRedirect(bool on);
  // Managed by the window manager (not inside a host, not unmanaged).
  bool Managed() const {
    return host_ == 0 && !(flags_ & kWindowOverrideRedirect) && !unmanaged_full_screen_;
  }
  // Gives the window the focus: under a manager of the desktop conventions
  // it is asked to activate it (with the time of the user's last input, by
  // which it decides whether the window may take the focus), and the
  // server is asked too, as without one.
  void Activate();

  X11System& system_;
  ::Window window_;
  Visual* visual_;
  int depth_;
  Colormap colormap_;
  uint32_t flags_;
  Rect bounds_;
  XIC ic_ = nullptr;
  Cursor image_cursor_ = 0;  // owned: made from an image
  bool focus_on_map_ = false;
  bool has_shape_ = false;
  bool mapped_ = false;  // mapped by us (Show), not withdrawn since (Hide)
  bool shown_before_ = false;  // mapped by us at some time
  bool full_screen_ = false;   // the full-screen state asked for
  // The place the manager is held to (see OnManagerPlaced), and how often
  // it may still be asked.
  std::optional<Rect> hold_to_;
  int asks_left_ = 0;
  // Set while full screen under a manager without the conventions for it.
  bool unmanaged_full_screen_ = false;
  ::Window host_ = 0;
  Point host_origin_{0, 0};
  Size host_size_{0, 0};
  bool destroyed_ = false;
};

class X11System : public WindowSystem {
 public:
  static std::unique_ptr<X11System> Open(const char* name);
  X11System(Display* display, RunLoop& loop);
  ~X11System() override;

  bool IsHeadless() const override { return false; }
  std::string DisplayName() const override { return DisplayString(display_); }
  bool BelongsToCurrentThread() const override { return core_.BelongsToCurrentThread(); }
  std::unique_ptr<Window> CreateWindow(const WindowParams& params, WindowDelegate* delegate) override;
  Rect ScreenBounds() override;
  Rect WorkArea() override;
  std::vector<MonitorArea> Monitors() override;
  bool HasCompositor() override;
  Point PointerPosition() override;
  Window* ActiveWindow() override { return core_.active(); }
  std::vector<Window*> VisibleTopLevels() override { return core_.VisibleTopLevels(); }
  void RequestClipboardText(std::function<void(std::string)> done) override;
  void SetClipboardText(const std::string& utf8) override;
  void Sync() override;

  Display* display() const { return display_; }
  Atom atom(const char* name) {
    auto it = atoms_.find(name);
    if (it != atoms_.end()) return it->second;
    const Atom a = XInternAtom(display_, name, False);
    atoms_[name] = a;
    return a;
  }
  XIM im() const { return im_; }
  Cursor cursor(CursorKind shape);
  enum class Manager { kNone, kFullScreenAware, kOther };
  // Who manages the screen now: nobody (nobody redirects the root's
  // windows), a manager of the desktop conventions that knows the
  // full-screen state, or another one (twm).
  Manager ScreenManager();
  // Up to `most` 32-bit items of a property of that type (a window that is
  // gone, or another type, gives none).
  std::vector<long> ReadCardinals(::Window window, Atom property, Atom type, long most);
  // Whether the manager of the desktop conventions now running says it
  // supports the hint `name` (false with none, or a stale one).
  bool ManagerSupports(const char* name);
  // The time of the user's last input to this program (a key or button
  // pressed or released), by which a manager judges a window's asking for
  // the focus; before any, the server's time now, read with a round trip.
  Time UserTime();
  void NoteUserTime(Time time) {
    if (time != CurrentTime && (user_time_ == CurrentTime || static_cast<long>(time - user_time_) > 0)) {
      user_time_ = time;
    }
  }
  // The window the program's focus is in (0: none of ours).
  ::Window ActiveNative();
  ::Window root() const { return root_; }
  int screen() const { return screen_; }
  // Sends what is buffered. Any call may have read events into Xlib's queue
  // (cairo and the input method make round trips), where the descriptor
  // does not show them: they are served from the loop.
  void Flush() {
    XFlush(display_);
    DrainSoon();
  }
  // Events may have been read into Xlib's queue by a round trip: serve them
  // from the loop, since the descriptor will not wake it for those.
  void DrainSoon();

 private:
  void OnReadable();
  void Drain();
  void Dispatch(XEvent& event);
  WindowNode* NodeOf(::Window window);
  std::unique_ptr<NativeWindow> CreateHostedWindow(const WindowParams& p, Visual* visual, int depth,
                                                   unsigned long mask, XSetWindowAttributes attributes);
  // An event on a host of our windows (not one of ours).
  void DispatchHostEvent(const XEvent& event);
  void FinishClipboardRequest(std::string text);
  void AnswerSelectionRequest(const XSelectionRequestEvent& request);

  Display* display_;
  int screen_;
  ::Window root_;
  ::Window utility_ = 0;  // unmapped: owns and receives selections
  WindowCore core_;
  XIM im_ = nullptr;
  std::map<std::string, Atom> atoms_;
  std::map<int, Cursor> cursors_;
  std::map<::Window, X11Native*> natives_;
  std::function<void(std::string)> clipboard_done_;
  std::string clipboard_text_;
  bool drain_posted_ = false;
  Time user_time_ = CurrentTime;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);

  friend class X11Native;
};

// ---------------------------------------------------------------------------

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
      if (!again && (shown_before_ || full_screen_)) {
        hold_to_ = bounds_;
        asks_left_ = 3;
      }
      // The user's time of the input that asked for it, by which a manager
      // decides whether a new window may take the focus from another's.
      if (focus_on_map_ && !again) {
        const long time = static_cast<long>(system_.UserTime());
        XChangeProperty(system_.display(), window_, system_.atom("_NET_WM_USER_TIME"), XA_CARDINAL, 32,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(&time), 1);
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
  if (Managed()) {
    XWithdrawWindow(system_.display(), window_, system_.screen());
  } else {
    XUnmapWindow(system_.display(), window_);
  }
  system_.Flush();
}

void X11Native::SetBounds(const Rect& r) {
  bounds_ = r;
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
  // the focus is then given once it is.
  if (!Viewable()) {
    focus_on_map_ = true;
    return;
  }
  Activate();
}

void X11Native::Activate() {
  Display* d = system_.display();
  const Time time = system_.UserTime();
  if (Managed() && system_.ManagerSupports("_NET_ACTIVE_WINDOW")) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window_;
    event.xclient.message_type = system_.atom("_NET_ACTIVE_WINDOW");
    event.xclient.format = 32;
    event.xclient.data.l[0] = 1;  // asked by an application
    event.xclient.data.l[1] = static_cast<long>(time);
    event.xclient.data.l[2] = static_cast<long>(system_.ActiveNative());
    XSendEvent(d, system_.root(), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
  }
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

void X11Native::FocusIfAskedAndViewable() {
  if (!focus_on_map_ || !Viewable()) return;
  focus_on_map_ = false;
  Activate();
}

void X11Native::OnManagerPlaced(const Rect& client_on_root) {
  if (!hold_to_ || !mapped_) return;
  // A full-screen window is held while it is one (a manager may move it
  // inside its frame after it first put it right); another, until it is
  // where the program has it, after which it is the user's to move.
  if (client_on_root == *hold_to_) {
    if (!full_screen_) hold_to_.reset();
    return;
  }
  if (asks_left_ <= 0) {
    hold_to_.reset();
    return;
  }
  --asks_left_;
  const Rect& r = *hold_to_;
  PlatformLog("window layer: the manager put window 0x%lx at %d,%d %dx%d, not %d,%d %dx%d: asked again",
              static_cast<unsigned long>(window_), client_on_root.left, client_on_root.top, client_on_root.Width(),
              client_on_root.Height(), r.left, r.top, r.Width(), r.Height());
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

void X11Native::SetShape(const WindowRegion* region) {
  has_shape_ = region != nullptr;
  if (region == nullptr) {
    XShapeCombineMask(system_.display(), window_, ShapeBounding, 0, 0, None, ShapeSet);
  } else {
    std::vector<XRectangle> rects = ToXRects(*region);
    XShapeCombineRectangles(system_.display(), window_, ShapeBounding, 0, 0, rects.data(),
                            static_cast<int>(rects.size()), ShapeSet, Unsorted);
  }
  system_.Flush();
}

void X11Native::SetInputShape(const WindowRegion* region) {
  if (region == nullptr) {
    XShapeCombineMask(system_.display(), window_, ShapeInput, 0, 0, None, ShapeSet);
  } else {
    std::vector<XRectangle> rects = ToXRects(*region);
    XShapeCombineRectangles(system_.display(), window_, ShapeInput, 0, 0, rects.data(),
                            static_cast<int>(rects.size()), ShapeSet, Unsorted);
  }
  system_.Flush();
}

void X11Native::SetOpacity(uint8_t alpha) {
  const Atom property = system_.atom("_NET_WM_WINDOW_OPACITY");
  if (alpha == 255) {
    XDeleteProperty(system_.display(), window_, property);
  } else {
    const unsigned long value = static_cast<unsigned long>(alpha) * 0x01010101UL;
    XChangeProperty(system_.display(), window_, property, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&value), 1);
  }
  system_.Flush();
}

void X11Native::SetCursor(CursorKind shape) {
  XDefineCursor(system_.display(), window_, system_.cursor(shape));
  if (image_cursor_ != 0) {
    XFreeCursor(system_.display(), image_cursor_);
    image_cursor_ = 0;
  }
  system_.Flush();
}

// An ARGB cursor through the render extension: the image's premultiplied
// pixels are the extension's standard ARGB32 format as they stand.
bool X11Native::SetCursorImage(const Image& image, Point hotspot) {
  Display* d = system_.display();
  XRenderPictFormat* format = XRenderFindStandardFormat(d, PictStandardARGB32);
  if (format == nullptr) {
    PlatformLog("window layer: the display cannot make image cursors");
    return false;
  }
  const Pixmap pixmap = XCreatePixmap(d, window_, static_cast<unsigned>(image.width()),
                                      static_cast<unsigned>(image.height()), 32);
  XImage* ximage = XCreateImage(d, DefaultVisual(d, DefaultScreen(d)), 32, ZPixmap, 0,
                                reinterpret_cast<char*>(const_cast<uint32_t*>(image.data())),
                                static_cast<unsigned>(image.width()), static_cast<unsigned>(image.height()), 32,
                                image.width() * 4);
  const GC gc = XCreateGC(d, pixmap, 0, nullptr);
  XPutImage(d, pixmap, gc, ximage, 0, 0, 0, 0, static_cast<unsigned>(image.width()),
            static_cast<unsigned>(image.height()));
  ximage->data = nullptr;  // the pixels are the image's, not Xlib's to free
  XDestroyImage(ximage);
  XFreeGC(d, gc);
  const Picture picture = XRenderCreatePicture(d, pixmap, format, 0, nullptr);
  const Cursor cursor = XRenderCreateCursor(d, picture, static_cast<unsigned>(hotspot.x),
                                            static_cast<unsigned>(hotspot.y));
  XRenderFreePicture(d, picture);
  XFreePixmap(d, pixmap);
  if (cursor == 0) return false;
  XDefineCursor(d, window_, cursor);
  if (image_cursor_ != 0) XFreeCursor(d, image_cursor_);
  image_cursor_ = cursor;
  system_.Flush();
  return true;
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
  if (!ask) WriteFullScreenState(full);
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

void X11Native::WriteFullScreenState(bool full) {
  const Atom state = system_.atom("_NET_WM_STATE");
  const long fullscreen = static_cast<long>(system_.atom("_NET_WM_STATE_FULLSCREEN"));
  std::vector<long> states = system_.ReadCardinals(window_, state, XA_ATOM, 64);
  states.erase(std::remove(states.begin(), states.end(), fullscreen), states.end());
  if (full) states.push_back(fullscreen);
  XChangeProperty(system_.display(), window_, state, XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(states.data()), static_cast<int>(states.size()));
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

void X11Native::Present(const Image& buffer, const Rect& area) {
  if (buffer.IsEmpty() || area.IsEmpty()) return;
  // Translucent without a compositor: shown opaque and cut to a stippled
  // shape (opaque_translucency.h).
  const bool opaque_stand_in = (flags_ & kWindowTranslucent) && depth_ != 32;
  const Rect shown = area.Intersect(Rect::FromXYWH(0, 0, buffer.width(), buffer.height()));
  if (shown.IsEmpty()) return;
  std::vector<uint32_t> opaque;
  if (opaque_stand_in) opaque = OpaqueColours(buffer, shown);
  cairo_surface_t* target =
      cairo_xlib_surface_create(system_.display(), window_, visual_, buffer.width(), buffer.height());
  cairo_surface_t* source =
      opaque_stand_in
          ? cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(opaque.data()), CAIRO_FORMAT_ARGB32,
                                                shown.Width(), shown.Height(), shown.Width() * 4)
          : cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(const_cast<uint32_t*>(buffer.data())),
                                                CAIRO_FORMAT_ARGB32, buffer.width(), buffer.height(),
                                                buffer.width() * 4);
  cairo_t* cr = cairo_create(target);
  cairo_rectangle(cr, shown.left, shown.top, shown.Width(), shown.Height());
  cairo_clip(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  if (opaque_stand_in) {
    cairo_set_source_surface(cr, source, shown.left, shown.top);
  } else {
    cairo_set_source_surface(cr, source, 0, 0);
  }
  cairo_paint(cr);
  cairo_destroy(cr);
  cairo_surface_flush(target);
  cairo_surface_destroy(source);
  cairo_surface_destroy(target);
  if (opaque_stand_in) ShapeFromAlpha(buffer);
  system_.Flush();
}

void X11Native::ShapeFromAlpha(const Image& buffer) {
  Display* d = system_.display();
  std::vector<uint8_t> mask = StippleMask(buffer);
  const unsigned width = static_cast<unsigned>(buffer.width());
  const unsigned height = static_cast<unsigned>(buffer.height());
  Pixmap bitmap = XCreatePixmap(d, window_, width, height, 1);
  // A bitmap image is drawn in the GC's colours: 1 bits as foreground.
  XGCValues colours{};
  colours.foreground = 1;
  colours.background = 0;
  GC gc = XCreateGC(d, bitmap, GCForeground | GCBackground, &colours);
  XImage* image = XCreateImage(d, nullptr, 1, XYBitmap, 0, reinterpret_cast<char*>(mask.data()), width, height, 8,
                               static_cast<int>((width + 7) / 8));
  if (image != nullptr) {
    image->byte_order = LSBFirst;
    image->bitmap_bit_order = LSBFirst;
    XPutImage(d, bitmap, gc, image, 0, 0, 0, 0, width, height);
    image->data = nullptr;  // the vector's; XDestroyImage must not free it
    XDestroyImage(image);
    XShapeCombineMask(d, window_, ShapeBounding, 0, 0, bitmap, ShapeSet);
  } else {
    PlatformLog("window layer: no shape image of %ux%u", width, height);
  }
  XFreeGC(d, gc);
  XFreePixmap(d, bitmap);
}

// ---------------------------------------------------------------------------

std::unique_ptr<X11System> X11System::Open(const char* name) {
  EnsureXlibThreads();
  static bool handler_set = false;
  if (!handler_set) {
    XSetErrorHandler(OnXError);
    handler_set = true;
  }
  Display* display = XOpenDisplay(name);
  if (display == nullptr) {
    const char* shown = name != nullptr ? name : getenv("DISPLAY");
    PlatformLog("window layer: cannot open the display \"%s\"", shown != nullptr ? shown : "");
    return nullptr;
  }
  int event_base = 0, error_base = 0;
  if (!XShapeQueryExtension(display, &event_base, &error_base)) {
    PlatformLog("window layer: the display has no shape extension");
  }
  return std::make_unique<X11System>(display, RunLoop::ForCurrentThread());
}

X11System::X11System(Display* display, RunLoop& loop)
    : display_(display), screen_(DefaultScreen(display)), root_(RootWindow(display, screen_)), core_(*this, loop) {
  utility_ = XCreateSimpleWindow(display_, root_, -10, -10, 1, 1, 0, 0, 0);
  XSelectInput(display_, utility_, PropertyChangeMask);
  im_ = XOpenIM(display_, nullptr, nullptr, nullptr);
  if (im_ == nullptr) {
    XSetLocaleModifiers("@im=none");
    im_ = XOpenIM(display_, nullptr, nullptr, nullptr);
  }
  if (im_ == nullptr) PlatformLog("window layer: no input method; keys type Latin-1 and Unicode keysyms only");
  std::shared_ptr<bool> alive = alive_;
  loop.WatchFd(ConnectionNumber(display_), RunLoop::kFdReadable, [this, alive](int, uint32_t events) {
    if (!*alive) return;
    if (events & RunLoop::kFdHangup) {
      PlatformLog("window layer: the display connection was lost");
      core_.loop().UnwatchFd(ConnectionNumber(display_));
      return;
    }
    OnReadable();
  });
  Flush();
}

X11System::~X11System() {
  *alive_ = false;
  core_.loop().UnwatchFd(ConnectionNumber(display_));
  core_.loop().KillTimers(this);
  for (auto& [shape, cursor] : cursors_) XFreeCursor(display_, cursor);
  if (im_ != nullptr) XCloseIM(im_);
  XDestroyWindow(display_, utility_);
  XCloseDisplay(display_);
}

std::unique_ptr<Window> X11System::CreateWindow(const WindowParams& params, WindowDelegate* delegate) {
  return core_.CreateWindow(params, delegate, [this](WindowNode*, const WindowParams& p) -> std::unique_ptr<NativeWindow> {
    Visual* visual = DefaultVisual(display_, screen_);
    int depth = DefaultDepth(display_, screen_);
    Colormap colormap = 0;
    XSetWindowAttributes attributes{};
    unsigned long mask = CWEventMask | CWBitGravity;
    attributes.event_mask = ExposureMask | StructureNotifyMask | ButtonPressMask | ButtonReleaseMask |
                            PointerMotionMask | EnterWindowMask | LeaveWindowMask | KeyPressMask | KeyReleaseMask |
                            FocusChangeMask;
    attributes.bit_gravity = NorthWestGravity;
    if ((p.flags & kWindowTranslucent) && HasCompositor()) {
      XVisualInfo info;
      if (XMatchVisualInfo(display_, screen_, 32, TrueColor, &info)) {
        visual = info.visual;
        depth = 32;
        colormap = XCreateColormap(display_, root_, visual, AllocNone);
        attributes.colormap = colormap;
        attributes.border_pixel = 0;
        attributes.background_pixel = 0;
        mask |= CWColormap | CWBorderPixel | CWBackPixel;
      }
    }
    if (p.flags & kWindowOverrideRedirect) {
      attributes.override_redirect = True;
      mask |= CWOverrideRedirect;
    }
    const Rect& b = p.bounds;
    if (p.host != 0) return CreateHostedWindow(p, visual, depth, mask, attributes);
    // A manager that minimises the window says so in its state properties.
    attributes.event_mask |= PropertyChangeMask;
    const ::Window window = XCreateWindow(display_, root_, b.left, b.top, static_cast<unsigned>(std::max(1, b.Width())),
                                          static_cast<unsigned>(std::max(1, b.Height())), 0, depth, InputOutput,
                                          visual, mask, &attributes);
    if (window == 0) return nullptr;
    // What the window manager should know.
    Atom protocols[] = {atom("WM_DELETE_WINDOW")};
    XSetWMProtocols(display_, window, protocols, 1);
    XWMHints hints{};
    hints.flags = InputHint;
    hints.input = (p.flags & kWindowNoActivate) ? False : True;
    XSetWMHints(display_, window, &hints);
    XSizeHints size_hints{};
    // Static gravity: a position asked for (at creation and by every move)
    // is the client area's, the one read back, not the decorated frame's.
    // Otherwise a window the program moves itself slides by the title bar's
    // height on each move under a manager that decorates.
    size_hints.flags = PPosition | PSize | USPosition | PWinGravity;
    size_hints.win_gravity = StaticGravity;
    size_hints.x = b.left;
    size_hints.y = b.top;
    size_hints.width = b.Width();
    size_hints.height = b.Height();
    if (p.flags & kWindowDialog) {
      size_hints.flags |= PMinSize | PMaxSize;
      size_hints.min_width = size_hints.max_width = b.Width();
      size_hints.min_height = size_hints.max_height = b.Height();
    } else if (p.min_size.width > 0 || p.min_size.height > 0) {
      size_hints.flags |= PMinSize;
      size_hints.min_width = std::clamp(p.min_size.width, 0, 16384);
      size_hints.min_height = std::clamp(p.min_size.height, 0, 16384);
    }
    XSetWMNormalHints(display_, window, &size_hints);
    XClassHint class_hint{};
    std::string res_name = p.class_name.empty() ? "velzar" : p.class_name;
    std::string res_class = "VelzarHub";
    class_hint.res_name = res_name.data();
    class_hint.res_class = res_class.data();
    XSetClassHint(display_, window, &class_hint);
    PublishClientIdentity(display_, window);
    const char* type = (p.flags & kWindowDialog)  ? "_NET_WM_WINDOW_TYPE_DIALOG"
                       : (p.flags & kWindowTool) ? "_NET_WM_WINDOW_TYPE_UTILITY"
                                                 : "_NET_WM_WINDOW_TYPE_NORMAL";
    const Atom window_type = atom(type);
    XChangeProperty(display_, window, atom("_NET_WM_WINDOW_TYPE"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&window_type), 1);
    std::vector<Atom> states;
    if (p.flags & kWindowTopmost) states.push_back(atom("_NET_WM_STATE_ABOVE"));
    if (p.flags & kWindowTool) states.push_back(atom("_NET_WM_STATE_SKIP_TASKBAR"));
    if (!states.empty()) {
      XChangeProperty(display_, window, atom("_NET_WM_STATE"), XA_ATOM, 32, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(states.data()), static_cast<int>(states.size()));
    }
    if (p.owner != nullptr && p.owner->NativeId() != 0) {
      XSetTransientForHint(display_, window, static_cast<::Window>(p.owner->NativeId()));
    }
    auto native = std::make_unique<X11Native>(*this, window, visual, depth, colormap, p.flags, b, 0);
    if (!p.title.empty()) native->SetTitle(p.title);
    Flush();
    return native;
  });
}

// The host may be another program's window that goes at any moment: every
// request on it is made under a trap, and a host that is not there (or goes
// before our window is made) fails the creation with a log line, never an
// X error.
std::unique_ptr<NativeWindow> X11System::CreateHostedWindow(const WindowParams& p, Visual* visual, int depth,
                                                            unsigned long mask, XSetWindowAttributes attributes) {
  const auto host = static_cast<::Window>(p.host);
  X11ErrorTrap trap(display_);
  XWindowAttributes host_attributes{};
  if (XGetWindowAttributes(display_, host, &host_attributes) == 0 || trap.Failed()) {
    PlatformLog("window layer: no host window 0x%lx on the display", static_cast<unsigned long>(host));
    DrainSoon();
    return nullptr;
  }
  // The host's size and place are followed; one of our own windows as host
  // keeps the events it selected (they include these).
  if (natives_.count(host) == 0) XSelectInput(display_, host, StructureNotifyMask);
  // A host of another visual would refuse a child that borrows its colormap.
  if (!(mask & CWColormap)) {
    attributes.colormap = DefaultColormap(display_, screen_);
    attributes.border_pixel = 0;
    mask |= CWColormap | CWBorderPixel;
  }
  const Rect b = p.bounds.IsEmpty() ? Rect{0, 0, host_attributes.width, host_attributes.height} : p.bounds;
  const ::Window window = XCreateWindow(display_, host, b.left, b.top, static_cast<unsigned>(std::max(1, b.Width())),
                                        static_cast<unsigned>(std::max(1, b.Height())), 0, depth, InputOutput, visual,
                                        mask, &attributes);
  if (window == 0 || trap.Failed()) {
    PlatformLog("window layer: the host window 0x%lx refused a window inside it", static_cast<unsigned long>(host));
    DrainSoon();
    return nullptr;
  }
  XClassHint class_hint{};
  std::string res_name = p.class_name.empty() ? "velzar" : p.class_name;
  std::string res_class = "VelzarHub";
  class_hint.res_name = res_name.data();
  class_hint.res_class = res_class.data();
  XSetClassHint(display_, window, &class_hint);
  auto native = std::make_unique<X11Native>(*this, window, visual, depth, 0, p.flags, b, host);
  native->set_host_size({host_attributes.width, host_attributes.height});
  native->UpdateHostOrigin();
  if (!p.title.empty()) native->SetTitle(p.title);
  Flush();
  return native;
}

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

void X11System::RequestClipboardText(std::function<void(std::string)> done) {
  if (clipboard_done_) FinishClipboardRequest("");  // one request at a time
  const Atom clipboard = atom("CLIPBOARD");
  const ::Window owner = XGetSelectionOwner(display_, clipboard);
  if (owner == None) {
    core_.loop().Post([done = std::move(done)] { done(""); });
    DrainSoon();
    return;
  }
  if (owner == utility_) {
    core_.loop().Post([done = std::move(done), text = clipboard_text_] { done(text); });
    return;
  }
  clipboard_done_ = std::move(done);
  XConvertSelection(display_, clipboard, atom("UTF8_STRING"), atom("VZ_CLIPBOARD"), utility_, CurrentTime);
  Flush();
  // An owner that never answers must not leave the paste hanging.
  core_.loop().StartTimer(this, kClipboardTimer, kClipboardTimeoutMs, [this] {
    PlatformLog("window layer: the clipboard owner did not answer");
    FinishClipboardRequest("");
  });
}

void X11System::FinishClipboardRequest(std::string text) {
  core_.loop().KillTimer(this, kClipboardTimer);
  std::function<void(std::string)> done = std::move(clipboard_done_);
  clipboard_done_ = nullptr;
  if (done) done(std::move(text));
}

void X11System::SetClipboardText(const std::string& utf8) {
  clipboard_text_ = utf8;
  XSetSelectionOwner(display_, atom("CLIPBOARD"), utility_, CurrentTime);
  Flush();
}

void X11System::AnswerSelectionRequest(const XSelectionRequestEvent& request) {
  XSelectionEvent reply{};
  reply.type = SelectionNotify;
  reply.requestor = request.requestor;
  reply.selection = request.selection;
  reply.target = request.target;
  reply.time = request.time;
  reply.property = None;
  if (request.target == atom("TARGETS")) {
    Atom targets[] = {atom("UTF8_STRING"), XA_STRING, atom("TARGETS")};
    XChangeProperty(display_, request.requestor, request.property, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(targets), 3);
    reply.property = request.property;
  } else if (request.target == atom("UTF8_STRING") || request.target == XA_STRING) {
    XChangeProperty(display_, request.requestor, request.property, request.target, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(clipboard_text_.data()),
                    static_cast<int>(clipboard_text_.size()));
    reply.property = request.property;
  }
  XSendEvent(display_, request.requestor, False, 0, reinterpret_cast<XEvent*>(&reply));
  Flush();
}

void X11System::Sync() {
  XSync(display_, False);
  DrainSoon();
}

Cursor X11System::cursor(CursorKind shape) {
  const int key = static_cast<int>(shape);
  auto it = cursors_.find(key);
  if (it != cursors_.end()) return it->second;
  unsigned int glyph = XC_left_ptr;
  switch (shape) {
    case CursorKind::kHand:
      glyph = XC_hand2;
      break;
    case CursorKind::kIBeam:
      glyph = XC_xterm;
      break;
    case CursorKind::kCross:
      glyph = XC_crosshair;
      break;
    case CursorKind::kMove:
      glyph = XC_fleur;
      break;
    case CursorKind::kWait:
      glyph = XC_watch;
      break;
    case CursorKind::kArrow:
      break;
  }
  const Cursor c = XCreateFontCursor(display_, glyph);
  cursors_[key] = c;
  return c;
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
      if (event.xselection.requestor == utility_ && clipboard_done_) {
        std::string text;
        if (event.xselection.property != None) {
          Atom type = 0;
          int format = 0;
          unsigned long count = 0, after = 0;
          unsigned char* data = nullptr;
          if (XGetWindowProperty(display_, utility_, event.xselection.property, 0, 1 << 16, True, AnyPropertyType,
                                 &type, &format, &count, &after, &data) == Success &&
              data != nullptr) {
            if (format == 8) text.assign(reinterpret_cast<const char*>(data), count);
            XFree(data);
          }
        }
        FinishClipboardRequest(std::move(text));
      }
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
      int x = event.xconfigure.x, y = event.xconfigure.y;
      // Inside a host the bounds are the host's coordinates, as given.
      if (!event.xconfigure.send_event && !(node->flags() & kWindowOverrideRedirect) && native->host() == 0) {
        ::Window child = 0;
        XTranslateCoordinates(display_, native->window(), root_, 0, 0, &x, &y, &child);
      }
      const Rect bounds = Rect::FromXYWH(x, y, event.xconfigure.width, event.xconfigure.height);
      native->set_known_bounds(bounds);
      if (bounds != node->bounds()) node->OnNativeBounds(bounds);
      // Where it really is: a manager's own notice may tell the place it
      // meant, not the one the window has in its frame.
      if (native->holding()) {
        ::Window child = 0;
        if (XTranslateCoordinates(display_, native->window(), root_, 0, 0, &x, &y, &child)) {
          native->OnManagerPlaced(Rect::FromXYWH(x, y, event.xconfigure.width, event.xconfigure.height));
        }
      }
      break;
    }
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

}  // namespace

std::unique_ptr<WindowSystem> OpenDisplayWindowSystem(const char* display_name) {
  return X11System::Open(display_name);
}

}  // namespace vz

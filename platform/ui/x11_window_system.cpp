// The X11 backend: one display connection per UI thread, its events
// dispatched on that thread's run loop (x11_event_dispatch.cpp); windows
// made here, each an X11Native (x11_native_window.cpp, x11_full_screen.cpp,
// x11_window_present.cpp, x11_cursors.cpp); the desk (x11_monitors.cpp) and
// the clipboard (x11_clipboard.cpp).
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/platform_log.h"
#include "platform/ui/x11_client_identity.h"
#include "platform/ui/x11_error_trap.h"
#include "platform/ui/xlib_threads.h"
#include "platform/ui/x11_system.h"

namespace vz {

namespace {

int OnXError(Display* display, XErrorEvent* error) {
  char text[256] = {};
  XGetErrorText(display, error->error_code, text, sizeof(text) - 1);
  PlatformLog("X error: %s (request %d.%d, resource 0x%lx)", text, error->request_code, error->minor_code,
              error->resourceid);
  return 0;
}

}  // namespace

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

void X11System::Sync() {
  XSync(display_, False);
  DrainSoon();
}

std::unique_ptr<WindowSystem> OpenDisplayWindowSystem(const char* display_name) {
  return X11System::Open(display_name);
}

}  // namespace vz

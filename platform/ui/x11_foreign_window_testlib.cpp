#include "platform/ui/x11_foreign_window_testlib.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>


namespace vz {

namespace {

Display* D(void* display) { return static_cast<Display*>(display); }

// One short-lived connection for a single request.
template <typename F>
bool WithDisplay(const std::string& name, F&& f) {
  Display* display = XOpenDisplay(name.c_str());
  if (display == nullptr) return false;
  f(display);
  XSync(display, False);
  XCloseDisplay(display);
  return true;
}

}  // namespace

std::unique_ptr<X11ForeignWindow> X11ForeignWindow::Create(const std::string& display_name, const Rect& bounds,
                                                           uint32_t rgb) {
  Display* display = XOpenDisplay(display_name.c_str());
  if (display == nullptr) return nullptr;
  const int screen = DefaultScreen(display);
  XSetWindowAttributes attributes{};
  attributes.background_pixel = rgb;
  // Placed where asked even under a window manager.
  attributes.override_redirect = True;
  const ::Window window =
      XCreateWindow(display, RootWindow(display, screen), bounds.left, bounds.top,
                    static_cast<unsigned>(bounds.Width()), static_cast<unsigned>(bounds.Height()), 0, CopyFromParent,
                    InputOutput, CopyFromParent, CWBackPixel | CWOverrideRedirect, &attributes);
  XMapWindow(display, window);
  XSync(display, False);
  return std::unique_ptr<X11ForeignWindow>(new X11ForeignWindow(display, window));
}

X11ForeignWindow::~X11ForeignWindow() {
  Destroy();
  XCloseDisplay(D(display_));
}

void X11ForeignWindow::Resize(int width, int height) {
  if (window_ == 0) return;
  XResizeWindow(D(display_), window_, static_cast<unsigned>(width), static_cast<unsigned>(height));
  XSync(D(display_), False);
}

void X11ForeignWindow::Destroy() {
  if (window_ == 0) return;
  XDestroyWindow(D(display_), window_);
  XSync(D(display_), False);
  window_ = 0;
}

std::vector<uint64_t> X11ForeignWindow::Children() {
  std::vector<uint64_t> out;
  ::Window root = 0, parent = 0;
  ::Window* children = nullptr;
  unsigned int count = 0;
  if (window_ != 0 && XQueryTree(D(display_), window_, &root, &parent, &children, &count)) {
    for (unsigned int i = 0; i < count; ++i) out.push_back(children[i]);
  }
  if (children != nullptr) XFree(children);
  return out;
}

bool IconifyDisplayWindow(const std::string& display, uint64_t window) {
  return WithDisplay(display, [&](Display* d) { XIconifyWindow(d, static_cast<::Window>(window), DefaultScreen(d)); });
}

bool MapDisplayWindow(const std::string& display, uint64_t window) {
  return WithDisplay(display, [&](Display* d) { XMapWindow(d, static_cast<::Window>(window)); });
}

std::optional<Image> ReadDisplayWindowIcon(const std::string& display, uint64_t window) {
  std::optional<Image> icon;
  WithDisplay(display, [&](Display* d) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d, static_cast<::Window>(window), XInternAtom(d, "_NET_WM_ICON", False), 0, 1 << 20, False,
                           XA_CARDINAL, &type, &format, &count, &after, &data) != Success ||
        data == nullptr) {
      return;
    }
    const auto* v = reinterpret_cast<const long*>(data);
    if (format == 32 && count >= 2 && v[0] > 0 && v[1] > 0 && v[0] <= 4096 && v[1] <= 4096 &&
        count >= 2 + static_cast<unsigned long>(v[0] * v[1])) {
      Image image(static_cast<int>(v[0]), static_cast<int>(v[1]));
      for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
          image.SetPixel(x, y, static_cast<Color>(v[2 + y * image.width() + x] & 0xFFFFFFFF));
        }
      }
      icon = std::move(image);
    }
    XFree(data);
  });
  return icon;
}

std::optional<Size> ReadDisplayWindowMinimumSize(const std::string& display, uint64_t window) {
  std::optional<Size> size;
  WithDisplay(display, [&](Display* d) {
    XSizeHints hints{};
    long supplied = 0;
    if (XGetWMNormalHints(d, static_cast<::Window>(window), &hints, &supplied) && (hints.flags & PMinSize)) {
      size = Size{hints.min_width, hints.min_height};
    }
  });
  return size;
}

}  // namespace vz

#include "platform/screen/x11_click_window_testlib.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>

#include <string>

#include "platform/clock.h"
#include "platform/screen/x11_user_placed_window_testlib.h"

namespace vz {

std::unique_ptr<X11ClickWindow> X11ClickWindow::Open(const std::string& display, int x, int y, int width,
                                                     int height, uint32_t rgb) {
  Display* d = XOpenDisplay(display.c_str());
  if (d == nullptr) return nullptr;
  if (width <= 0 || height <= 0) {
    XCloseDisplay(d);
    return nullptr;
  }
  XSetWindowAttributes attributes{};
  attributes.background_pixel = rgb;  // 24-bit TrueColor: the pixel is the colour
  attributes.event_mask = ButtonPressMask;
  const Window window = XCreateWindow(d, DefaultRootWindow(d), x, y, static_cast<unsigned>(width),
                                      static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, CopyFromParent,
                                      CWBackPixel | CWEventMask, &attributes);
  if (!window) {
    XCloseDisplay(d);
    return nullptr;
  }
  SetUserPlacedWindowHints(d, window, x, y, width, height, kX11ClickWindowTitle, "click-target", "VelzarDemo");
  XMapRaised(d, window);
  XSync(d, False);
  return std::unique_ptr<X11ClickWindow>(new X11ClickWindow(d, window));
}

X11ClickWindow::~X11ClickWindow() {
  Display* d = static_cast<Display*>(display_);
  XDestroyWindow(d, static_cast<Window>(window_));
  XCloseDisplay(d);
}

void X11ClickWindow::Raise() {
  Display* d = static_cast<Display*>(display_);
  XRaiseWindow(d, static_cast<Window>(window_));
  XSync(d, False);
}

bool X11ClickWindow::ClientArea(int* x, int* y, int* width, int* height) {
  return ReadClientArea(static_cast<Display*>(display_), static_cast<Window>(window_), x, y, width, height);
}

bool X11ClickWindow::WaitClick(int timeout_ms, Click* click) {
  Display* d = static_cast<Display*>(display_);
  const uint64_t deadline = MonotonicMs() + static_cast<uint64_t>(timeout_ms > 0 ? timeout_ms : 0);
  for (;;) {
    while (XPending(d) > 0) {
      XEvent event;
      XNextEvent(d, &event);
      if (event.type == ButtonPress && event.xbutton.window == static_cast<Window>(window_)) {
        click->x = event.xbutton.x;
        click->y = event.xbutton.y;
        click->root_x = event.xbutton.x_root;
        click->root_y = event.xbutton.y_root;
        click->button = static_cast<int>(event.xbutton.button);
        return true;
      }
    }
    const uint64_t now = MonotonicMs();
    if (now >= deadline) return false;
    pollfd item{ConnectionNumber(d), POLLIN, 0};
    poll(&item, 1, static_cast<int>(deadline - now < 100 ? deadline - now : 100));
  }
}

}  // namespace vz

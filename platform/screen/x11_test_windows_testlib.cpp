#include "platform/screen/x11_test_windows_testlib.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <vector>

namespace vz {

namespace {
Display* AsDisplay(void* display) { return static_cast<Display*>(display); }
}  // namespace

std::unique_ptr<X11TestWindows> X11TestWindows::Open(const std::string& display) {
  Display* d = XOpenDisplay(display.c_str());
  if (!d) return nullptr;
  return std::unique_ptr<X11TestWindows>(new X11TestWindows(d));
}

X11TestWindows::~X11TestWindows() {
  Display* d = AsDisplay(display_);
  XDeleteProperty(d, DefaultRootWindow(d), XInternAtom(d, "_NET_CLIENT_LIST_STACKING", False));
  for (uint64_t window : windows_) XDestroyWindow(d, window);
  XCloseDisplay(d);
}

uint64_t X11TestWindows::Create(int x, int y, int width, int height, uint32_t rgb, int pid) {
  Display* d = AsDisplay(display_);
  const Window window = XCreateSimpleWindow(d, DefaultRootWindow(d), x, y, width, height, 0, 0, rgb);
  if (!window) return 0;
  long value = pid;
  XChangeProperty(d, window, XInternAtom(d, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&value), 1);
  XMapRaised(d, window);
  XSync(d, False);
  windows_.push_back(window);
  return window;
}

void X11TestWindows::Move(uint64_t window, int x, int y) {
  Display* d = AsDisplay(display_);
  XMoveWindow(d, window, x, y);
  XSync(d, False);
}

void X11TestWindows::SetIcons(uint64_t window, const std::vector<uint32_t>& items) {
  Display* d = AsDisplay(display_);
  std::vector<long> longs(items.begin(), items.end());  // format-32 data goes to Xlib as longs
  XChangeProperty(d, window, XInternAtom(d, "_NET_WM_ICON", False), XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(longs.data()), static_cast<int>(longs.size()));
  XSync(d, False);
}

void X11TestWindows::PublishStacking(const std::vector<uint64_t>& bottom_first) {
  Display* d = AsDisplay(display_);
  std::vector<Window> ids(bottom_first.begin(), bottom_first.end());
  for (Window id : ids) XRaiseWindow(d, id);
  XChangeProperty(d, DefaultRootWindow(d), XInternAtom(d, "_NET_CLIENT_LIST_STACKING", False), XA_WINDOW, 32,
                  PropModeReplace, reinterpret_cast<unsigned char*>(ids.data()), static_cast<int>(ids.size()));
  XSync(d, False);
}

}  // namespace vz

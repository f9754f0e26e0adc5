#include "platform/ui/x11_video_surface.h"

#include <X11/Xlib.h>

#include "platform/platform_log.h"
#include "platform/ui/x11_error_trap.h"
#include "platform/ui/xlib_threads.h"

namespace vz {
namespace {

class X11VideoSurfaceImpl : public X11VideoSurface {
 public:
  X11VideoSurfaceImpl(Display* display, Window window) : display_(display), window_(window) {}
  ~X11VideoSurfaceImpl() override {
    XDestroyWindow(display_, window_);
    XCloseDisplay(display_);
  }
  uint64_t Id() const override { return window_; }
  void SetBounds(const Rect& bounds) override {
    if (bounds.IsEmpty()) {
      XUnmapWindow(display_, window_);
    } else {
      XMoveResizeWindow(display_, window_, bounds.left, bounds.top, static_cast<unsigned>(bounds.Width()),
                        static_cast<unsigned>(bounds.Height()));
      XMapWindow(display_, window_);
    }
    XFlush(display_);
  }

 private:
  Display* display_;
  Window window_;
};

}  // namespace

std::unique_ptr<X11VideoSurface> X11VideoSurface::Create(const std::string& display_name, uint64_t parent,
                                                         const Rect& bounds) {
  EnsureXlibThreads();
  Display* display = XOpenDisplay(display_name.empty() ? nullptr : display_name.c_str());
  if (display == nullptr) {
    PlatformLog("video surface: cannot open the display \"%s\"", display_name.c_str());
    return nullptr;
  }
  const Rect placed = bounds.IsEmpty() ? Rect{0, 0, 1, 1} : bounds;
  XSetWindowAttributes attributes{};
  attributes.background_pixmap = None;  // no flash of a background before the first picture
  attributes.event_mask = 0;            // input goes to the window below
  Window window = 0;
  {
    X11ErrorTrap trap(display);
    window = XCreateWindow(display, static_cast<Window>(parent), placed.left, placed.top,
                           static_cast<unsigned>(placed.Width()), static_cast<unsigned>(placed.Height()), 0,
                           CopyFromParent, InputOutput, CopyFromParent, CWBackPixmap | CWEventMask, &attributes);
    if (trap.Failed()) window = 0;
  }
  if (window == 0) {
    PlatformLog("video surface: no child window in 0x%llx", static_cast<unsigned long long>(parent));
    XCloseDisplay(display);
    return nullptr;
  }
  if (!bounds.IsEmpty()) XMapWindow(display, window);
  XSync(display, False);
  return std::make_unique<X11VideoSurfaceImpl>(display, window);
}

}  // namespace vz

#include "platform/ui/x11_video_surface.h"

#include <X11/Xlib.h>
#include <X11/extensions/shape.h>

#include <limits>

#include "platform/platform_log.h"
#include "platform/ui/x11_error_trap.h"
#include "platform/ui/xlib_threads.h"

namespace vz {
namespace {

class X11VideoSurfaceImpl : public X11VideoSurface {
 public:
  X11VideoSurfaceImpl(Display* display, Window window, bool has_shape, Size size)
      : display_(display), window_(window), has_shape_(has_shape), size_(size) {}
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
      size_ = bounds.GetSize();
    }
    XFlush(display_);
  }
  void SetVisibleRegion(const std::vector<Rect>& region) override {
    if (!has_shape_) {
      if (!told_no_shape_) PlatformLog("video surface: the display has no Shape extension; controls stay under video");
      told_no_shape_ = true;
      return;
    }
    if (region.size() == 1 && region[0] == Rect{0, 0, size_.width, size_.height}) {
      // Whole: no shape at all, so a later growth of the window is not cut.
      XShapeCombineMask(display_, window_, ShapeBounding, 0, 0, None, ShapeSet);
      XFlush(display_);
      return;
    }
    std::vector<XRectangle> rects;
    rects.reserve(region.size());
    constexpr int kMax = std::numeric_limits<short>::max();
    for (const Rect& r : region) {
      if (r.IsEmpty() || r.left < -kMax || r.top < -kMax || r.Width() > kMax || r.Height() > kMax) continue;
      rects.push_back({static_cast<short>(r.left), static_cast<short>(r.top), static_cast<unsigned short>(r.Width()),
                       static_cast<unsigned short>(r.Height())});
    }
    // An empty list of rectangles is an empty shape: nothing of the window shows.
    XShapeCombineRectangles(display_, window_, ShapeBounding, 0, 0, rects.data(), static_cast<int>(rects.size()),
                            ShapeSet, Unsorted);
    XFlush(display_);
  }

 private:
  Display* display_;
  Window window_;
  const bool has_shape_;
  bool told_no_shape_ = false;
  Size size_;
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
  int shape_event = 0, shape_error = 0;
  const bool has_shape = XShapeQueryExtension(display, &shape_event, &shape_error) != 0;
  return std::make_unique<X11VideoSurfaceImpl>(display, window, has_shape, placed.GetSize());
}

}  // namespace vz

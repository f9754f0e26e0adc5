#include "platform/ui/x11_render_presenter.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrender.h>

#include <vector>

#include "platform/platform_log.h"
#include "platform/ui/x11_error_trap.h"
#include "platform/ui/xlib_threads.h"

namespace vz {
namespace {

constexpr int kMaxSide = 8192;

class X11RenderPresenterImpl : public X11RenderPresenter {
 public:
  X11RenderPresenterImpl(Display* display, Window window, Visual* visual, int depth)
      : display_(display), window_(window), visual_(visual), depth_(depth) {
    XRenderPictFormat* format = XRenderFindVisualFormat(display_, visual_);
    window_picture_ = XRenderCreatePicture(display_, window_, format, 0, nullptr);
    gc_ = XCreateGC(display_, window_, 0, nullptr);
  }
  ~X11RenderPresenterImpl() override {
    DropPicture();
    XRenderFreePicture(display_, window_picture_);
    XFreeGC(display_, gc_);
    XCloseDisplay(display_);
  }

  uint32_t* PictureBuffer(int width, int height) override {
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return nullptr;
    if (pixmap_ != 0 && width == width_ && height == height_) return pixels_.data();
    DropPicture();
    pixels_.assign(static_cast<size_t>(width) * height, 0);
    pixmap_ = XCreatePixmap(display_, window_, static_cast<unsigned>(width), static_cast<unsigned>(height),
                            static_cast<unsigned>(depth_));
    XRenderPictFormat* format = XRenderFindVisualFormat(display_, visual_);
    picture_ = XRenderCreatePicture(display_, pixmap_, format, 0, nullptr);
    image_ = XCreateImage(display_, visual_, static_cast<unsigned>(depth_), ZPixmap, 0,
                          reinterpret_cast<char*>(pixels_.data()), static_cast<unsigned>(width),
                          static_cast<unsigned>(height), 32, width * 4);
    width_ = width, height_ = height;
    return pixels_.data();
  }

  bool Upload() override {
    if (image_ == nullptr) return false;
    X11ErrorTrap trap(display_);
    XPutImage(display_, pixmap_, gc_, image_, 0, 0, 0, 0, static_cast<unsigned>(width_),
              static_cast<unsigned>(height_));
    return !trap.Failed();
  }

  bool Compose(const Rect& target, const Rect& placed, uint32_t background_rgb, uint32_t effects,
               bool with_picture) override {
    X11ErrorTrap trap(display_);
    XRenderColor colour{static_cast<unsigned short>(((background_rgb >> 16) & 0xFF) * 257),
                        static_cast<unsigned short>(((background_rgb >> 8) & 0xFF) * 257),
                        static_cast<unsigned short>((background_rgb & 0xFF) * 257), 0xFFFF};
    // The background only outside the picture, so nothing flickers.
    const bool show = with_picture && picture_ != 0 && !placed.IsEmpty();
    const Rect inner = show ? placed.Intersect(target) : Rect{};
    const Rect bands[4] = {Rect{target.left, target.top, target.right, inner.IsEmpty() ? target.bottom : inner.top},
                           Rect{target.left, inner.bottom, target.right, target.bottom},
                           Rect{target.left, inner.top, inner.left, inner.bottom},
                           Rect{inner.right, inner.top, target.right, inner.bottom}};
    for (const Rect& band : bands) {
      if (band.IsEmpty()) continue;
      XRenderFillRectangle(display_, PictOpSrc, window_picture_, &colour, band.left, band.top,
                           static_cast<unsigned>(band.Width()), static_cast<unsigned>(band.Height()));
    }
    if (show) {
      const double sx = static_cast<double>(width_) / placed.Width();
      const double sy = static_cast<double>(height_) / placed.Height();
      // Destination to source: scaled, and mirrored or flipped about the
      // picture's far edge.
      XTransform transform{};
      transform.matrix[0][0] = XDoubleToFixed((effects & 1u) ? -sx : sx);
      transform.matrix[0][2] = XDoubleToFixed((effects & 1u) ? width_ : 0);
      transform.matrix[1][1] = XDoubleToFixed((effects & 2u) ? -sy : sy);
      transform.matrix[1][2] = XDoubleToFixed((effects & 2u) ? height_ : 0);
      transform.matrix[2][2] = XDoubleToFixed(1.0);
      XRenderSetPictureTransform(display_, picture_, &transform);
      XRenderSetPictureFilter(display_, picture_, FilterNearest, nullptr, 0);
      XRenderComposite(display_, PictOpSrc, picture_, None, window_picture_, 0, 0, 0, 0, placed.left, placed.top,
                       static_cast<unsigned>(placed.Width()), static_cast<unsigned>(placed.Height()));
    }
    return !trap.Failed();
  }

 private:
  void DropPicture() {
    if (image_ != nullptr) {
      image_->data = nullptr;  // ours, not Xlib's to free
      XDestroyImage(image_);
      image_ = nullptr;
    }
    if (picture_ != 0) XRenderFreePicture(display_, picture_);
    if (pixmap_ != 0) XFreePixmap(display_, pixmap_);
    picture_ = 0;
    pixmap_ = 0;
    width_ = height_ = 0;
  }

  Display* display_;
  Window window_;
  Visual* visual_;
  int depth_;
  ::Picture window_picture_ = 0;
  GC gc_ = nullptr;
  Pixmap pixmap_ = 0;
  ::Picture picture_ = 0;
  XImage* image_ = nullptr;
  std::vector<uint32_t> pixels_;
  int width_ = 0, height_ = 0;
};

}  // namespace

std::unique_ptr<X11RenderPresenter> X11RenderPresenter::Open(const std::string& display_name, uint64_t window) {
  EnsureXlibThreads();
  Display* display = XOpenDisplay(display_name.empty() ? nullptr : display_name.c_str());
  if (display == nullptr) {
    PlatformLog("render presenter: cannot open the display \"%s\"", display_name.c_str());
    return nullptr;
  }
  int event_base = 0, error_base = 0;
  XWindowAttributes attributes{};
  bool ok = XRenderQueryExtension(display, &event_base, &error_base);
  if (ok) {
    X11ErrorTrap trap(display);
    ok = XGetWindowAttributes(display, static_cast<Window>(window), &attributes) && !trap.Failed();
  }
  if (!ok || attributes.depth != 24 || attributes.visual->red_mask != 0xFF0000 ||
      attributes.visual->blue_mask != 0xFF || XRenderFindVisualFormat(display, attributes.visual) == nullptr) {
    PlatformLog("render presenter: no RENDER extension or 24-bit RGB window 0x%llx",
                static_cast<unsigned long long>(window));
    XCloseDisplay(display);
    return nullptr;
  }
  return std::make_unique<X11RenderPresenterImpl>(display, static_cast<Window>(window), attributes.visual,
                                                  attributes.depth);
}

}  // namespace vz

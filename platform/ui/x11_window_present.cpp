// An X11 window's pixels and shape: the buffer presented through cairo,
// the shapes that cut it (and the stippled stand-in for translucency
// without a compositor), its opacity.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/shape.h>
#include <cairo-xlib.h>
#include <cairo.h>

#include <algorithm>
#include <vector>

#include "platform/platform_log.h"
#include "platform/ui/opaque_translucency.h"
#include "platform/ui/x11_system.h"

namespace vz {

namespace {

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

}  // namespace

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

}  // namespace vz

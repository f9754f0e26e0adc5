// Cursors on X11: the font cursors by shape (made once per display) and
// cursors made from an image.
#include <X11/Xlib.h>
#include <X11/cursorfont.h>
#include <X11/extensions/Xrender.h>

#include "platform/platform_log.h"
#include "platform/ui/x11_system.h"

namespace vz {

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

}  // namespace vz

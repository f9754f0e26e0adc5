#include "platform/screen/x11_picture_windows_testlib.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstring>

#include "platform/screen/x11_user_placed_window_testlib.h"
#include "platform/ui/x11_error_trap.h"

namespace vz {

namespace {

Display* AsDisplay(void* display) { return static_cast<Display*>(display); }

// The root's properties that name the desktop's picture, the first the one
// compositing managers read.
constexpr const char* kRootPictureProperties[2] = {"_XROOTPMAP_ID", "ESETROOT_PMAP_ID"};

}  // namespace

unsigned long ReadRootPictureProperty(void* display, const char* name) {
  Display* d = AsDisplay(display);
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  unsigned long pixmap = 0;
  if (XGetWindowProperty(d, DefaultRootWindow(d), XInternAtom(d, name, False), 0, 1, False, XA_PIXMAP, &type,
                         &format, &count, &after, &data) == Success &&
      data != nullptr && type == XA_PIXMAP && format == 32 && count == 1) {
    pixmap = *reinterpret_cast<const unsigned long*>(data);
  }
  if (data) XFree(data);
  return pixmap;
}

void WriteRootPictureProperty(void* display, const char* name, unsigned long pixmap) {
  Display* d = AsDisplay(display);
  const Atom property = XInternAtom(d, name, False);
  if (pixmap == 0) {
    XDeleteProperty(d, DefaultRootWindow(d), property);
    return;
  }
  const long value = static_cast<long>(pixmap);  // format-32 items go to Xlib as longs
  XChangeProperty(d, DefaultRootWindow(d), property, XA_PIXMAP, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&value), 1);
}

std::unique_ptr<X11PictureWindows> X11PictureWindows::Open(const std::string& display) {
  Display* connection = XOpenDisplay(display.c_str());
  if (connection == nullptr) return nullptr;
  return std::unique_ptr<X11PictureWindows>(new X11PictureWindows(connection));
}

X11PictureWindows::X11PictureWindows(void* display) : display_(display) {
  Display* d = AsDisplay(display_);
  width_ = DisplayWidth(d, DefaultScreen(d));
  height_ = DisplayHeight(d, DefaultScreen(d));
}

X11PictureWindows::~X11PictureWindows() {
  Display* d = AsDisplay(display_);
  for (uint64_t window : windows_) XDestroyWindow(d, window);
  bool shown_again = false;
  if (root_published_) {
    for (int i = 0; i < 2; ++i) WriteRootPictureProperty(d, kRootPictureProperties[i], previous_root_pictures_[i]);
    if (previous_root_pictures_[0] != 0) {
      X11ErrorTrap trap(d);  // its pixmap may be gone
      XSetWindowBackgroundPixmap(d, DefaultRootWindow(d), previous_root_pictures_[0]);
      shown_again = !trap.Failed();
    }
  }
  if (!shown_again) XSetWindowBackground(d, DefaultRootWindow(d), BlackPixel(d, DefaultScreen(d)));
  XClearWindow(d, DefaultRootWindow(d));
  for (unsigned long pixmap : pixmaps_) {
    if (pixmap != 0) XFreePixmap(d, pixmap);
  }
  XSync(d, False);
  XCloseDisplay(d);
}

// The image's premultiplied 0xAARRGGBB pixels are the server's 32-bit
// little-endian true-colour layout for opaque pictures.
unsigned long X11PictureWindows::MakePixmap(const Image& picture) {
  Display* d = AsDisplay(display_);
  const int screen = DefaultScreen(d);
  if (picture.IsEmpty() || DefaultDepth(d, screen) < 24) return 0;
  const Window root = DefaultRootWindow(d);
  const Pixmap pixmap = XCreatePixmap(d, root, static_cast<unsigned>(picture.width()),
                                      static_cast<unsigned>(picture.height()), DefaultDepth(d, screen));
  XImage* image = XCreateImage(d, DefaultVisual(d, screen), DefaultDepth(d, screen), ZPixmap, 0,
                               const_cast<char*>(reinterpret_cast<const char*>(picture.data())),
                               static_cast<unsigned>(picture.width()), static_cast<unsigned>(picture.height()), 32,
                               picture.width() * 4);
  if (image == nullptr) {
    XFreePixmap(d, pixmap);
    return 0;
  }
  GC gc = XCreateGC(d, pixmap, 0, nullptr);
  XPutImage(d, pixmap, gc, image, 0, 0, 0, 0, static_cast<unsigned>(picture.width()),
            static_cast<unsigned>(picture.height()));
  XFreeGC(d, gc);
  image->data = nullptr;  // the picture's pixels are not the image's to free
  XDestroyImage(image);
  return pixmap;
}

bool X11PictureWindows::SetRootPicture(const Image& picture) {
  Display* d = AsDisplay(display_);
  const unsigned long pixmap = MakePixmap(picture);
  if (pixmap == 0) return false;
  XSetWindowBackgroundPixmap(d, DefaultRootWindow(d), pixmap);
  XClearWindow(d, DefaultRootWindow(d));
  if (!root_published_) {
    for (int i = 0; i < 2; ++i) previous_root_pictures_[i] = ReadRootPictureProperty(d, kRootPictureProperties[i]);
    root_published_ = true;
  }
  for (const char* name : kRootPictureProperties) WriteRootPictureProperty(d, name, pixmap);
  pixmaps_.push_back(pixmap);
  XSync(d, False);
  return true;
}

uint64_t X11PictureWindows::CreateWindow(int x, int y, int width, int height, const std::string& title) {
  Display* d = AsDisplay(display_);
  const Window window = XCreateSimpleWindow(d, DefaultRootWindow(d), x, y, static_cast<unsigned>(width),
                                            static_cast<unsigned>(height), 0, 0, WhitePixel(d, DefaultScreen(d)));
  if (!window) return 0;
  SetUserPlacedWindowHints(d, window, x, y, width, height, title, title, kWindowClass);
  XMapRaised(d, window);
  XSync(d, False);
  windows_.push_back(window);
  return window;
}

bool X11PictureWindows::ShowPicture(uint64_t window, const Image& picture) {
  Display* d = AsDisplay(display_);
  const unsigned long pixmap = MakePixmap(picture);
  if (pixmap == 0) return false;
  XSetWindowBackgroundPixmap(d, window, pixmap);
  XClearWindow(d, window);
  // The server keeps the pixmap while the window uses it.
  XFreePixmap(d, pixmap);
  XSync(d, False);
  return true;
}

void X11PictureWindows::Move(uint64_t window, int x, int y) {
  Display* d = AsDisplay(display_);
  XMoveWindow(d, window, x, y);
  XSync(d, False);
}

bool X11PictureWindows::ClientArea(uint64_t window, int* x, int* y, int* width, int* height) {
  return ReadClientArea(AsDisplay(display_), static_cast<Window>(window), x, y, width, height);
}

}  // namespace vz

#pragma once
// Support for demonstrations and display tests above the platform: a desktop
// picture on an X server, painted by a client of its own. The root window's
// background and each window show an Image (platform/ui/image.h) kept as
// their background pixmap, so the server repaints them on exposure without
// the client's help. Windows ask for their place, size, name and class as a
// user's program does; a window manager may still place, frame or resize
// them as it likes, so where one really is is asked with ClientArea. One
// thread at a time; every call waits until the server has done it.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/image.h"

namespace vz {

class X11PictureWindows {
 public:
  // Null when the display cannot be opened.
  static std::unique_ptr<X11PictureWindows> Open(const std::string& display);
  ~X11PictureWindows();
  X11PictureWindows(const X11PictureWindows&) = delete;
  X11PictureWindows& operator=(const X11PictureWindows&) = delete;

  int screen_width() const { return width_; }
  int screen_height() const { return height_; }

  // The root window shows the image from its top-left corner, and it is
  // published as the desktop's picture (_XROOTPMAP_ID and ESETROOT_PMAP_ID,
  // as desktop-picture setters do), which compositing managers draw where
  // no window is. The pixmap is this connection's and goes with the object,
  // which then publishes again the desktop picture that was there before
  // (and shows it, where its pixmap is still there; else a black root).
  bool SetRootPicture(const Image& picture);
  // The WM_CLASS class of every window made here.
  static constexpr char kWindowClass[] = "VelzarDemo";

  // A mapped top-level window on top of the others, titled `title` (its
  // WM_CLASS instance name too), asking for its place and size as the
  // user's (USPosition, USSize); 0 on failure.
  uint64_t CreateWindow(int x, int y, int width, int height, const std::string& title);
  // The window shows the image (cut or padded to its size).
  bool ShowPicture(uint64_t window, const Image& picture);
  // Asks for the window at x, y (its manager, if any, places the frame so).
  void Move(uint64_t window, int x, int y);
  // The window's client area on the root as it is now, wherever a window
  // manager put it; false when the window is gone.
  bool ClientArea(uint64_t window, int* x, int* y, int* width, int* height);

 private:
  explicit X11PictureWindows(void* display);
  unsigned long MakePixmap(const Image& picture);

  void* display_;
  int width_ = 0;
  int height_ = 0;
  std::vector<uint64_t> windows_;
  std::vector<unsigned long> pixmaps_;  // one per window, then the root's; freed with the object
  bool root_published_ = false;
  unsigned long previous_root_pictures_[2] = {};  // _XROOTPMAP_ID and ESETROOT_PMAP_ID before ours
};

// On a connection (an Xlib Display*) of the caller's: the pixmap a root
// property of the desktop's picture (`name`: "_XROOTPMAP_ID" or
// "ESETROOT_PMAP_ID") names, 0 when it names none; and naming one in it
// (0 removes the property), as a desktop-picture setter does.
unsigned long ReadRootPictureProperty(void* display, const char* name);
void WriteRootPictureProperty(void* display, const char* name, unsigned long pixmap);

}  // namespace vz

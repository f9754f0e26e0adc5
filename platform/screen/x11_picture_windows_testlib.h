#pragma once
// Support for demonstrations and display tests above the platform: a desktop
// picture on an X server, painted by a client of its own. The root window's
// background and each window show an Image (platform/ui/image.h) kept as
// their background pixmap, so the server repaints them on exposure without
// the client's help. Windows are mapped plainly (Xvfb runs no window
// manager). One thread at a time; every call waits until the server has done it.
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

  // The root window shows the image from its top-left corner.
  bool SetRootPicture(const Image& picture);
  // A mapped top-level window on top of the others; 0 on failure.
  uint64_t CreateWindow(int x, int y, int width, int height);
  // The window shows the image (cut or padded to its size).
  bool ShowPicture(uint64_t window, const Image& picture);
  void Move(uint64_t window, int x, int y);

 private:
  explicit X11PictureWindows(void* display);
  unsigned long MakePixmap(const Image& picture);

  void* display_;
  int width_ = 0;
  int height_ = 0;
  std::vector<uint64_t> windows_;
  std::vector<unsigned long> pixmaps_;  // one per window, then the root's; freed with the object
};

}  // namespace vz

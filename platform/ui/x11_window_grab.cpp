#include "platform/ui/x11_window_grab.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "platform/platform_log.h"
#include "platform/ui/x11_error_trap.h"
#include "platform/ui/xlib_threads.h"

namespace vz {

std::optional<Image> GrabX11Window(const std::string& display_name, uint64_t window) {
  EnsureXlibThreads();
  Display* display = XOpenDisplay(display_name.empty() ? nullptr : display_name.c_str());
  if (display == nullptr) {
    PlatformLog("window grab: cannot open the display \"%s\"", display_name.c_str());
    return std::nullopt;
  }
  std::optional<Image> result;
  {
    X11ErrorTrap trap(display);
    XWindowAttributes attributes{};
    XImage* image = nullptr;
    if (XGetWindowAttributes(display, static_cast<Window>(window), &attributes) && !trap.Failed() &&
        attributes.visual->red_mask == 0xFF0000 && attributes.visual->blue_mask == 0xFF) {
      image = XGetImage(display, static_cast<Window>(window), 0, 0, static_cast<unsigned>(attributes.width),
                        static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    }
    if (image != nullptr && !trap.Failed() && image->bits_per_pixel == 32) {
      Image out(image->width, image->height);
      for (int y = 0; y < image->height; ++y) {
        const auto* row =
            reinterpret_cast<const uint32_t*>(image->data + static_cast<size_t>(y) * image->bytes_per_line);
        for (int x = 0; x < image->width; ++x) out.SetPixel(x, y, 0xFF000000u | (row[x] & 0xFFFFFF));
      }
      result = std::move(out);
    }
    if (image != nullptr) XDestroyImage(image);
  }
  if (!result) PlatformLog("window grab: 0x%llx could not be read", static_cast<unsigned long long>(window));
  XCloseDisplay(display);
  return result;
}

}  // namespace vz

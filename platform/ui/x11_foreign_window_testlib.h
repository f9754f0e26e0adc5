#pragma once
// Test support for display tests: what another program does to windows on
// the display, through a connection of its own. A plain window that stands
// for another program's container window; a window manager (twm) started
// for a test's own server; and the requests a user makes through the
// manager (minimise, map again), and the properties the manager reads.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/image.h"
#include "platform/ui/ui_types.h"

namespace vz {

class X11ForeignWindow {
 public:
  // A mapped window on the root filled with 0xRRGGBB; null when the display
  // cannot be opened.
  static std::unique_ptr<X11ForeignWindow> Create(const std::string& display, const Rect& bounds, uint32_t rgb);
  ~X11ForeignWindow();  // destroys the window if it is still there
  X11ForeignWindow(const X11ForeignWindow&) = delete;
  X11ForeignWindow& operator=(const X11ForeignWindow&) = delete;

  uint64_t id() const { return window_; }
  // Each waits until the server has done it.
  void Resize(int width, int height);
  void Destroy();
  // The windows made inside it, bottom to top.
  std::vector<uint64_t> Children();

 private:
  X11ForeignWindow(void* display, unsigned long window) : display_(display), window_(window) {}
  void* display_;
  unsigned long window_;
};

// Asks the window manager to minimise a top-level window (as its frame's
// button would); false when the display cannot be opened.
bool IconifyDisplayWindow(const std::string& display, uint64_t window);
// Maps a window again (a minimised one is brought back by its manager).
bool MapDisplayWindow(const std::string& display, uint64_t window);

// A window's _NET_WM_ICON as an image (plain colours); nothing when it has
// none or it is malformed.
std::optional<Image> ReadDisplayWindowIcon(const std::string& display, uint64_t window);
// The minimum size of a window's WM_NORMAL_HINTS; nothing without one.
std::optional<Size> ReadDisplayWindowMinimumSize(const std::string& display, uint64_t window);

}  // namespace vz

#pragma once
// Support for demonstrations and display tests above the platform: a window
// that records the mouse button presses it gets, through a display
// connection of its own (so it may live beside another client of the same
// process on another thread). It asks for its place, size, name and class as
// a user's program does; a window manager may still place or frame it as it
// likes, so where it really is is asked with ClientArea. One thread at a time.
#include <cstdint>
#include <memory>
#include <string>

namespace vz {

// The title (WM_NAME) of every click window.
inline constexpr char kX11ClickWindowTitle[] = "click target";

class X11ClickWindow {
 public:
  struct Click {
    int x = 0;  // in the window
    int y = 0;
    int root_x = 0;  // on the screen
    int root_y = 0;
    int button = 0;  // 1 left, 2 middle, 3 right
  };

  // A mapped top-level window on top of the others, filled with 0xRRGGBB
  // (its client area asked at x, y);
  // null when the display cannot be opened or the window not made.
  static std::unique_ptr<X11ClickWindow> Open(const std::string& display, int x, int y, int width, int height,
                                              uint32_t rgb);
  ~X11ClickWindow();
  X11ClickWindow(const X11ClickWindow&) = delete;
  X11ClickWindow& operator=(const X11ClickWindow&) = delete;

  uint64_t id() const { return window_; }
  // The next button press on the window, oldest first; false when none
  // came within the time-out.
  bool WaitClick(int timeout_ms, Click* click);
  // Raises the window on top of every other again.
  void Raise();
  // The window's client area on the root as it is now; false when it is gone.
  bool ClientArea(int* x, int* y, int* width, int* height);

 private:
  X11ClickWindow(void* display, uint64_t window) : display_(display), window_(window) {}
  void* display_;
  uint64_t window_;
};

}  // namespace vz

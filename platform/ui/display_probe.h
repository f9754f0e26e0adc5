#pragma once
// The top-level windows of a display as another client sees them (tests
// and tools that watch a program's windows). Opens a connection of its own
// for each call; any thread.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/image.h"
#include "platform/ui/ui_types.h"

namespace vz {

struct DisplayWindowInfo {
  uint64_t id = 0;
  std::string title;  // UTF-8 (_NET_WM_NAME, else WM_NAME)
  Rect bounds;        // on the screen
  bool viewable = false;
  int depth = 0;           // 32 for a window with per-pixel alpha
  Rect shape_extents;      // bounding box of the window's shape (its own rectangle when unshaped)
  int shape_rectangles = 0;
};

// The root's children, bottom to top; empty when the display cannot be opened.
std::vector<DisplayWindowInfo> ListDisplayWindows(const char* display_name);

// The screen's pixels in an area (opaque), as a person would see them;
// nothing when the display cannot be opened or the area is off the screen.
std::optional<Image> CaptureDisplayArea(const char* display_name, const Rect& area);

// Sets the desktop's work area on the display (what a desktop with panels
// announces); an empty rectangle removes it. False when the display cannot
// be opened.
bool SetDisplayWorkArea(const char* display_name, const Rect& work_area);

// Moves another client's top-level window to `to` (what a window manager
// would do; meant for displays without one). False when the display cannot
// be opened or the window is gone.
bool MoveDisplayWindow(const char* display_name, uint64_t window, Point to);

// Plays a compositing manager for tests: owns the display's compositor
// selection while it lives (nothing is composited).
class FakeCompositor {
 public:
  explicit FakeCompositor(const char* display_name);
  ~FakeCompositor();
  FakeCompositor(const FakeCompositor&) = delete;
  FakeCompositor& operator=(const FakeCompositor&) = delete;
  bool ok() const { return display_ != nullptr; }

 private:
  void* display_ = nullptr;
  unsigned long window_ = 0;
};

}  // namespace vz

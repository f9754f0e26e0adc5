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

// What came of a move asked with MoveDisplayWindow.
enum class DisplayMoveResult {
  kFailed,      // the display cannot be opened or the window is gone
  kAnswered,    // the window's configuration came back: moved, or kept or
                // placed elsewhere by its window manager
  kUnanswered,  // asked, but no answer came in time (a manager that says nothing)
};

// Asks for another client's top-level window at `to` (its client area's
// top left), as a program moving its own window does: without a window
// manager it moves at once; under one, the manager decides, and answers
// with the window's configuration whether it moved it, kept it or put it
// elsewhere (as ICCCM has managers answer). Waits up to `answer_ms` for
// that answer; where the window then is, the caller reads. A window already
// at `to` is not asked to move, and counts as answered.
DisplayMoveResult MoveDisplayWindow(const char* display_name, uint64_t window, Point to, int answer_ms);

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

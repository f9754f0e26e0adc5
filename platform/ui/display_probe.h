#pragma once
// The top-level windows of a display as another client sees them (tests
// and tools that watch a program's windows). Opens a connection of its own
// for each call; any thread.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/ui/ui_types.h"

namespace vz {

struct DisplayWindowInfo {
  uint64_t id = 0;
  std::string title;  // UTF-8 (_NET_WM_NAME, else WM_NAME)
  Rect bounds;        // on the screen
  bool viewable = false;
};

// The root's children, bottom to top; empty when the display cannot be opened.
std::vector<DisplayWindowInfo> ListDisplayWindows(const char* display_name);

}  // namespace vz

#pragma once
// A child window of the display for video: a plain X window inside a
// top-level window of the window layer, where the video draws put their
// pixels. Being a window of its own, it is not painted over when the
// top-level window repaints its canvas; it selects no input, so clicks go
// on to the window below it. It has its own connection to the display.
//
// Controls that the window layer paints over the video's area would lie
// under this window; SetVisibleRegion cuts their places out of it (the
// X Shape extension), so they show through.
//
// Threads: made, moved, shaped and destroyed on one thread (the window's);
// Id() from any thread.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/ui_types.h"

namespace vz {

class X11VideoSurface {
 public:
  // A mapped child of `parent` (a window id of the display named, "" for
  // $DISPLAY) at `bounds` in the parent. Null, logged, when the display
  // cannot be opened or the parent is not a window.
  static std::unique_ptr<X11VideoSurface> Create(const std::string& display_name, uint64_t parent,
                                                 const Rect& bounds);
  virtual ~X11VideoSurface() = default;
  virtual uint64_t Id() const = 0;
  // An empty rectangle hides the window (a window cannot have no size).
  virtual void SetBounds(const Rect& bounds) = 0;
  // The part of the window that shows (window coordinates, disjoint
  // rectangles); the rest shows what lies below. One rectangle covering the
  // whole window restores the plain window. Without the Shape extension on
  // the display, logged once, the window stays whole.
  virtual void SetVisibleRegion(const std::vector<Rect>& region) = 0;
};

}  // namespace vz

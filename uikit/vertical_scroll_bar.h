#pragma once
// A vertical scroll bar along a control's right edge, for a control that
// draws more than it shows: a track as high as the control and a thumb
// whose length is the shown share of the content and whose place is the
// scroll offset's. It is there only while the content is taller than the
// view. It keeps no offset of its own: the control lays one out from its
// state whenever it paints or takes a press, and asks it where the press
// landed and where a drag of the thumb leads.
//
// UI thread only.
#include "platform/ui/canvas.h"

class CVerticalScrollBar {
 public:
  static constexpr int kWidth = 12;
  static constexpr int kMinThumbLength = 24;

  enum class Part { kNone, kAbove, kThumb, kBelow };

  // `view`: the control's client area; `content_height`: what it draws in
  // all; `offset`: how far down that is scrolled (0 to content - view).
  CVerticalScrollBar(const vz::Rect& view, int content_height, int offset);

  bool visible() const { return visible_; }
  const vz::Rect& track() const { return track_; }
  const vz::Rect& thumb() const { return thumb_; }
  // What a press at `p` (control coordinates) lands on; kNone when the bar
  // is not there or the point is off it.
  Part HitTest(vz::Point p) const;
  // The offset that puts the thumb `dy` pixels from where it was when the
  // offset was `from_offset`, within 0 to the largest offset.
  int DragOffset(int from_offset, int dy) const;
  // Draws the bar (nothing when it is not there); a thumb being dragged is
  // drawn darker.
  void Paint(vz::Canvas& canvas, bool dragging) const;

 private:
  bool visible_ = false;
  vz::Rect track_;
  vz::Rect thumb_;
  int max_offset_ = 0;
};

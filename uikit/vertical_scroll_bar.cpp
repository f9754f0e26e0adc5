#include "uikit/vertical_scroll_bar.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr vz::Color kTrack = 0xFFF0F0F0;
constexpr vz::Color kThumb = 0xFFC1C1C1;
constexpr vz::Color kThumbDragged = 0xFF8C8C8C;
constexpr int kThumbInset = 2;

}  // namespace

CVerticalScrollBar::CVerticalScrollBar(const vz::Rect& view, int content_height, int offset) {
  const int height = view.Height();
  if (height <= 0 || content_height <= height || view.Width() < kWidth) return;
  visible_ = true;
  max_offset_ = content_height - height;
  track_ = vz::Rect{view.right - kWidth, view.top, view.right, view.bottom};
  // 64-bit products: a content of any height keeps its share.
  const int length = std::clamp(static_cast<int>(static_cast<int64_t>(height) * height / content_height),
                                std::min(kMinThumbLength, height), height);
  const int travel = height - length;
  const int place = static_cast<int>(static_cast<int64_t>(std::clamp(offset, 0, max_offset_)) * travel / max_offset_);
  thumb_ = vz::Rect{track_.left + kThumbInset, view.top + place, track_.right - kThumbInset, view.top + place + length};
}

CVerticalScrollBar::Part CVerticalScrollBar::HitTest(vz::Point p) const {
  if (!visible_ || !track_.Contains(p)) return Part::kNone;
  if (p.y < thumb_.top) return Part::kAbove;
  if (p.y >= thumb_.bottom) return Part::kBelow;
  return Part::kThumb;
}

int CVerticalScrollBar::DragOffset(int from_offset, int dy) const {
  const int travel = track_.Height() - thumb_.Height();
  if (!visible_ || travel <= 0) return std::clamp(from_offset, 0, max_offset_);
  const int64_t moved = static_cast<int64_t>(dy) * max_offset_ / travel;
  return static_cast<int>(std::clamp<int64_t>(from_offset + moved, 0, max_offset_));
}

void CVerticalScrollBar::Paint(vz::Canvas& canvas, bool dragging) const {
  if (!visible_) return;
  canvas.FillRect(track_, kTrack);
  canvas.FillRoundRect(thumb_, thumb_.Width() / 2.0, dragging ? kThumbDragged : kThumb);
}

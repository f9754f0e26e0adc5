#include "client/sharingui/thumbnail_list.h"

#include <algorithm>

namespace {

constexpr vz::Color kListBackground = 0xFFFFFFFF;
constexpr vz::Color kSelectedFill = 0xFFCCE8FF;
constexpr vz::Color kSelectedBorder = 0xFF99D1FF;
constexpr int kWheelStep = 48;

}  // namespace

int CThumbnailList::InsertItem(std::u16string text, vz::Image image, uint64_t param) {
  items_.push_back({std::move(text), std::move(image), param});
  Invalidate();
  return GetItemCount() - 1;
}

bool CThumbnailList::DeleteItem(int index) {
  if (index < 0 || index >= GetItemCount()) return false;
  items_.erase(items_.begin() + index);
  if (selected_ == index) {
    selected_ = -1;
    if (on_selection_changed) on_selection_changed();
  } else if (selected_ > index) {
    --selected_;
  }
  ScrollTo(scroll_y_);
  Invalidate();
  return true;
}

void CThumbnailList::DeleteAllItems() {
  items_.clear();
  const bool had_selection = selected_ != -1;
  selected_ = -1;
  scroll_y_ = 0;
  Invalidate();
  if (had_selection && on_selection_changed) on_selection_changed();
}

bool CThumbnailList::SetSelectedIndex(int index) {
  if (index < -1 || index >= GetItemCount()) return false;
  Select(index);
  return true;
}

void CThumbnailList::Select(int index) {
  if (index == selected_) return;
  selected_ = index;
  Invalidate();
  if (on_selection_changed) on_selection_changed();
}

int CThumbnailList::Columns() const {
  // The scroll bar's room is kept whether it shows or not: the columns do
  // not change as rows come and go.
  const int width = ClientRect().Width() - CVerticalScrollBar::kWidth;
  return std::max(1, (width - kMargin) / kCellWidth);
}

CVerticalScrollBar CThumbnailList::ScrollBar() const { return {ClientRect(), ContentHeight(), scroll_y_}; }

int CThumbnailList::ContentHeight() const {
  const int rows = (GetItemCount() + Columns() - 1) / Columns();
  return kMargin + rows * kCellHeight;
}

vz::Rect CThumbnailList::ItemRect(int index) const {
  const int column = index % Columns();
  const int row = index / Columns();
  return vz::Rect::FromXYWH(kMargin + column * kCellWidth, kMargin + row * kCellHeight - scroll_y_,
                            kCellWidth - kMargin, kCellHeight - kMargin);
}

int CThumbnailList::HitTest(vz::Point p) const {
  for (int i = 0; i < GetItemCount(); ++i) {
    if (ItemRect(i).Contains(p)) return i;
  }
  return -1;
}

void CThumbnailList::ScrollTo(int y) {
  const int limit = std::max(0, ContentHeight() - ClientRect().Height());
  scroll_y_ = std::clamp(y, 0, limit);
  Invalidate();
}

void CThumbnailList::EnsureVisible(int index) {
  if (index < 0 || index >= GetItemCount()) return;
  const vz::Rect rect = ItemRect(index);
  if (rect.top < 0) {
    ScrollTo(scroll_y_ + rect.top - kMargin);
  } else if (rect.bottom > ClientRect().Height()) {
    ScrollTo(scroll_y_ + rect.bottom - ClientRect().Height() + kMargin);
  }
}

void CThumbnailList::OnPaint(vz::Canvas& canvas) {
  const vz::Rect client = ClientRect();
  canvas.FillRect(client, kListBackground);
  const bool enabled = IsWindowEnabled();
  for (int i = 0; i < GetItemCount(); ++i) {
    const vz::Rect cell = ItemRect(i);
    if (cell.bottom <= 0 || cell.top >= client.Height()) continue;
    if (i == selected_) {
      canvas.FillRect(cell, kSelectedFill);
      canvas.StrokeRect(cell, kSelectedBorder, 1);
    }
    const Item& item = items_[static_cast<size_t>(i)];
    const int image_x = cell.left + (cell.Width() - kThumbnailSize) / 2;
    canvas.DrawImage(item.image, image_x, cell.top + 2, enabled ? 1.0 : 0.5);
    vz::TextStyle style;
    style.font = font_;
    style.color = enabled ? 0xFF000000 : 0xFF6D6D6D;
    style.align = vz::TextAlign::kCenter;
    style.valign = vz::TextVAlign::kMiddle;
    style.ellipsis = true;
    canvas.DrawText(std::u16string_view(item.text),
                    {cell.left + 2, cell.top + 2 + kThumbnailSize, cell.right - 2, cell.bottom}, style);
  }
  ScrollBar().Paint(canvas, dragging_);
}

bool CThumbnailList::PressScrollBar(vz::Point p) {
  const CVerticalScrollBar bar = ScrollBar();
  switch (bar.HitTest(p)) {
    case CVerticalScrollBar::Part::kNone:
      return false;
    case CVerticalScrollBar::Part::kAbove:
      ScrollTo(scroll_y_ - ClientRect().Height());
      break;
    case CVerticalScrollBar::Part::kBelow:
      ScrollTo(scroll_y_ + ClientRect().Height());
      break;
    case CVerticalScrollBar::Part::kThumb:
      dragging_ = true;
      drag_from_y_ = p.y;
      drag_from_scroll_ = scroll_y_;
      if (window_) window_->SetCapture();
      Invalidate();
      break;
  }
  return true;
}

void CThumbnailList::EndDrag() {
  if (!dragging_) return;
  dragging_ = false;
  if (window_ && window_->HasCapture()) window_->ReleaseCapture();
  Invalidate();
}

void CThumbnailList::OnCaptureLost() {
  dragging_ = false;
  Invalidate();
}

void CThumbnailList::OnMouse(const vz::MouseEvent& event) {
  switch (event.action) {
    case vz::MouseAction::kPress:
      if (event.button != vz::MouseButton::kLeft) break;
      if (window_) window_->Focus();
      if (PressScrollBar(event.position)) break;
      Select(HitTest(event.position));
      break;
    case vz::MouseAction::kMove:
      if (dragging_) ScrollTo(ScrollBar().DragOffset(drag_from_scroll_, event.position.y - drag_from_y_));
      break;
    case vz::MouseAction::kRelease:
      if (event.button == vz::MouseButton::kLeft) EndDrag();
      break;
    case vz::MouseAction::kDoubleClick:
      if (event.button != vz::MouseButton::kLeft) break;
      if (PressScrollBar(event.position)) break;  // the second of two quick presses on it
      if (const int hit = HitTest(event.position); hit >= 0 && on_activate) on_activate(hit);
      break;
    case vz::MouseAction::kWheel:
      ScrollTo(scroll_y_ - event.wheel_delta * kWheelStep);
      break;
    default:
      break;
  }
}

bool CThumbnailList::OnKey(const vz::KeyEvent& event) {
  if (!event.pressed || GetItemCount() == 0) return false;
  const int last = GetItemCount() - 1;
  const int current = selected_;
  int next = current;
  switch (event.keysym) {
    case vz::keys::kLeft:
      next = current < 0 ? 0 : std::max(0, current - 1);
      break;
    case vz::keys::kRight:
      next = current < 0 ? 0 : std::min(last, current + 1);
      break;
    case vz::keys::kUp:
      next = current < 0 ? 0 : (current - Columns() >= 0 ? current - Columns() : current);
      break;
    case vz::keys::kDown:
      next = current < 0 ? 0 : std::min(last, current + Columns());
      break;
    case vz::keys::kHome:
      next = 0;
      break;
    case vz::keys::kEnd:
      next = last;
      break;
    case vz::keys::kReturn:
    case vz::keys::kKpEnter:
      if (current >= 0 && on_activate) on_activate(current);
      return true;
    default:
      return false;
  }
  Select(next);
  EnsureVisible(next);
  return true;
}

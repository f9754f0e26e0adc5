#pragma once
// An icon list of thumbnails: items with an image, a caption below it and a
// 64-bit parameter, laid out left to right in rows of equal cells and
// scrolled by the wheel. While the rows go on below or above what it shows,
// a scroll bar on its right says so; its thumb can be dragged and a press
// beside the thumb scrolls by the list's height. One item at most is
// selected; a click selects (on empty space: nothing), a double click or
// Enter on an item reports it, the arrow keys, Home and End move the
// selection.
//
// UI thread only.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "uikit/vertical_scroll_bar.h"
#include "uikit/vz_control.h"

class CThumbnailList : public CVzControl {
 public:
  static constexpr int kThumbnailSize = 192;
  static constexpr int kCellWidth = 208;
  static constexpr int kCellHeight = 222;
  static constexpr int kMargin = 8;

  struct Item {
    std::u16string text;
    vz::Image image;
    uint64_t param = 0;
  };

  // Appends; returns the new item's index.
  int InsertItem(std::u16string text, vz::Image image, uint64_t param);
  // False for an index outside the list. The selection follows its item.
  bool DeleteItem(int index);
  void DeleteAllItems();
  int GetItemCount() const { return static_cast<int>(items_.size()); }
  const Item& GetItem(int index) const { return items_.at(static_cast<size_t>(index)); }
  // -1 when nothing is selected.
  int GetSelectedIndex() const { return selected_; }
  // -1 clears; an index outside the list is refused.
  bool SetSelectedIndex(int index);
  void EnsureVisible(int index);
  int scroll_y_for_testing() const { return scroll_y_; }
  // The cell of an item in the list's client area (after scrolling).
  vz::Rect ItemRect(int index) const;

  std::function<void()> on_selection_changed;
  std::function<void(int index)> on_activate;

  bool WantsFocus() const override { return true; }
  void OnPaint(vz::Canvas& canvas) override;
  void OnMouse(const vz::MouseEvent& event) override;
  bool OnKey(const vz::KeyEvent& event) override;
  void OnFocus(bool) override { Invalidate(); }
  void OnCaptureLost() override;

 private:
  int Columns() const;
  // The scroll bar as the list stands now.
  CVerticalScrollBar ScrollBar() const;
  // A press on the scroll bar: false when it was not on it.
  bool PressScrollBar(vz::Point p);
  void EndDrag();
  int HitTest(vz::Point p) const;
  int ContentHeight() const;
  void ScrollTo(int y);
  void Select(int index);

  std::vector<Item> items_;
  int selected_ = -1;
  int scroll_y_ = 0;
  bool dragging_ = false;  // the scroll bar's thumb
  int drag_from_y_ = 0;
  int drag_from_scroll_ = 0;
};

#include "uikit/combo_box.h"

#include "uikit/dialog_controls.h"
#include "uikit/vz_popup_menu.h"

namespace {

// The rows as a light owner-drawn menu.
class CComboRowsMenu : public CVzPopupMenuT<CComboRowsMenu> {
 public:
  explicit CComboRowsMenu(vz::Font font) : font_(font) {}
  void MeasureItem(MeasureItemRecord* record) override {
    record->item_width = static_cast<uint32_t>(item_width());
    record->item_height = static_cast<uint32_t>(item_height());
  }
  void DrawItem(const DrawItemRecord& record) override {
    const bool selected = (record.item_state & ODS_SELECTED) != 0;
    record.canvas->FillRect(record.item_rect, selected ? kAccent : 0xFFFFFFFF);
    const MenuItem* item = FindItem(record.item_id);
    if (item == nullptr) return;
    vz::TextStyle style;
    style.font = font_;
    style.color = selected ? 0xFFFFFFFF : kDialogText;
    style.valign = vz::TextVAlign::kMiddle;
    style.ellipsis = true;
    vz::Rect box = record.item_rect;
    box.left += 4;
    record.canvas->DrawText(item->text, box, style);
  }

 private:
  vz::Font font_;
};

}  // namespace

int CComboBox::AddString(const std::u16string& text) {
  rows_.push_back({text});
  Invalidate();
  return static_cast<int>(rows_.size()) - 1;
}

void CComboBox::ResetContent() {
  rows_.clear();
  selected_ = -1;
  Invalidate();
}

bool CComboBox::SetCurSel(int index) {
  if (index < -1 || index >= GetCount()) return false;
  selected_ = index;
  Invalidate();
  return true;
}

std::u16string CComboBox::GetLBText(int index) const {
  return index >= 0 && index < GetCount() ? rows_[static_cast<size_t>(index)].text : std::u16string();
}

void CComboBox::ChooseRow(int index) {
  if (index < 0 || index >= GetCount() || index == selected_) return;
  SetCurSel(index);
  NotifyCommand(kNotifySelChange);
}

int CComboBox::PickWithMenu() {
  if (!window_ || rows_.empty()) return -1;
  CComboRowsMenu menu(font_);
  menu.SetBackgroundColor(0xFFFFFF);
  menu.SetItemMetrics(ClientRect().Width(), 24, 0);
  for (size_t i = 0; i < rows_.size(); ++i) {
    menu.AppendMenu(MF_OWNERDRAW, static_cast<uint32_t>(i + 1), rows_[i].text.c_str());
  }
  const vz::Point below = window_->ToScreen({0, ClientRect().Height()});
  const uint32_t chosen = menu.TrackPopupMenu(below, &window_->system());
  return chosen == 0 ? -1 : static_cast<int>(chosen) - 1;
}

void CComboBox::OnPaint(vz::Canvas& canvas) {
  const vz::Rect r = ClientRect();
  const bool enabled = IsWindowEnabled();
  canvas.FillRect(r, enabled ? 0xFFFFFFFF : 0xFFF0F0F0);
  canvas.StrokeRect(r, kControlBorder, 1);
  // The drop-down mark on the right.
  const int cx = r.right - 12;
  const int cy = r.Height() / 2;
  vz::Path mark;
  mark.MoveTo(cx - 4, cy - 2);
  mark.LineTo(cx + 4, cy - 2);
  mark.LineTo(cx, cy + 3);
  mark.Close();
  canvas.FillPath(mark, enabled ? kDialogText : 0xFF838383);
  vz::TextStyle style;
  style.font = font_;
  style.color = enabled ? kDialogText : 0xFF838383;
  style.valign = vz::TextVAlign::kMiddle;
  style.ellipsis = true;
  canvas.DrawText(std::u16string_view(GetLBText(selected_)), {r.left + 5, r.top, r.right - 24, r.bottom}, style);
}

void CComboBox::OnMouse(const vz::MouseEvent& event) {
  if (event.action != vz::MouseAction::kPress || event.button != vz::MouseButton::kLeft) return;
  if (!IsWindowEnabled()) return;
  const int chosen = pick_row ? pick_row(*this) : PickWithMenu();
  if (chosen >= 0) ChooseRow(chosen);
}

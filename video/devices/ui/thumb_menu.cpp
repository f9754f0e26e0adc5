#include "video/devices/ui/thumb_menu.h"

#include <algorithm>

#include "outside/vzres/vzres.h"
#include "platform/text.h"
#include "video/devices/ui/panel_helpers.h"

namespace vzpanel {

CVzThumbMenu::CVzThumbMenu(const std::vector<ThumbMenuItem>& items) {
  SetBackgroundColor(0x212121);
  SetItemMetrics(kItemWidth, kItemHeight, 0);
  for (const ThumbMenuItem& item : items) {
    const std::u16string text = vzres::LoadResString(item.text_id);
    AppendMenu(MF_OWNERDRAW, item.command, text.c_str());
  }
}

vz::Font CVzThumbMenu::TextFont() { return PanelFont(13, 400); }

void CVzThumbMenu::MeasureItem(MeasureItemRecord* record) {
  if (record == nullptr) return;
  int width = item_width();
  if (measuring_item_ != nullptr && !measuring_item_->text.empty()) {
    const int text = vz::DefaultTextMeasurer().MeasureText(vz::Utf16ToUtf8(measuring_item_->text), TextFont()).width;
    width = std::max(width, kTextLeft + text + kTextLeft);
  }
  record->item_width = static_cast<uint32_t>(width);
  record->item_height = static_cast<uint32_t>(item_height());
}

void CVzThumbMenu::DrawItem(const DrawItemRecord& record) {
  const bool selected = (record.item_state & ODS_SELECTED) != 0;
  record.canvas->FillRect(record.item_rect, selected ? 0xFF3C3C3C : kMenuBackground);
  const MenuItem* item = FindItem(record.item_id);
  if (item == nullptr) return;
  vz::TextStyle style;
  style.font = TextFont();
  style.color = 0xFFFFFFFF;
  style.valign = vz::TextVAlign::kMiddle;
  style.ellipsis = true;
  vz::Rect box = record.item_rect;
  box.left += kTextLeft;
  box.right -= kTextLeft;
  record.canvas->DrawText(item->text, box, style);
}

uint32_t TrackThumbMenu(const std::vector<ThumbMenuItem>& items, vz::Point screen, vz::WindowSystem* system) {
  CVzThumbMenu menu(items);
  // Bottom-aligned at the cursor.
  screen.y -= menu.MenuSize().height;
  return menu.TrackPopupMenu(screen, system);
}

}  // namespace vzpanel

#include "client/annotation/color_popup_menu.h"

#include "client/annotation/annotation_palette.h"
#include "common/trace_client.h"

CDSColorPopupMenu::CDSColorPopupMenu() = default;
CDSColorPopupMenu::~CDSColorPopupMenu() = default;

void CDSColorPopupMenu::AppendColorItem(uint32_t flags, uint32_t id, uint32_t color) {
  if (columnBreak_) {
    flags |= MF_MENUBREAK;
    columnBreak_ = false;
  }
  if (id != 0) swatches_[id] = color & 0x00FFFFFFu;
  AppendMenu(flags, id, u"");
}

void CDSColorPopupMenu::BuildPalette(uint32_t current) {
  SetBackgroundColor(0x212121);
  for (size_t i = 0; i < kAnnotationPalette.size(); ++i) {
    const uint32_t color = kAnnotationPalette[i];
    AppendColorItem(color == current ? MF_CHECKED : MF_STRING, kColorMenuFirstId + static_cast<uint32_t>(i), color);
    if (i == 3 || i == 7 || i == 11) SetColumnBreak();
  }
}

void CDSColorPopupMenu::MeasureItem(MeasureItemRecord* record) {
  if (record == nullptr) return;
  // The check-mark column that the item width compensates for does not
  // exist here: the cell is the swatch's size.
  record->item_width = kSwatchSize;
  record->item_height = kSwatchSize;
}

void CDSColorPopupMenu::DrawItem(const DrawItemRecord& record) {
  if (record.canvas == nullptr) return;
  const uint32_t type = drawing_item_ != nullptr ? drawing_item_->flags : 0;
  VZ_LOGW(u"Thype [0x%08X]CtlID [%d] itemID [%d]", type, 0, static_cast<int>(record.item_id));
  vz::Canvas& canvas = *record.canvas;
  const vz::Rect item = record.item_rect;
  canvas.FillRect(item, vz::ColorFromColorRef(background_color()));
  if (record.item_state & (ODS_SELECTED | ODS_CHECKED)) {
    canvas.FillRoundRect(item, 1.5, vz::ColorFromColorRef(kHighlightFill));
    vz::Pen pen;
    pen.color = vz::ColorFromColorRef(kHighlightOutline);
    pen.width = 1;
    canvas.StrokeRoundRect(item, 1.5, pen);
  }
  auto it = swatches_.find(record.item_id);
  const vz::Color swatch = vz::ColorFromColorRef(it != swatches_.end() ? it->second : 0);
  const vz::Rect inner = item.Inset(2);
  canvas.FillRoundRect(inner, 1.5, swatch);
  vz::Pen pen;
  pen.color = swatch;
  pen.width = 1;
  canvas.StrokeRoundRect(inner, 1.5, pen);
}

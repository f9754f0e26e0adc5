#include "uikit/vz_popup_menu.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>

#include "uikit/color_matrix.h"
#include "common/trace_client.h"
#include "platform/text.h"

std::string MenuOwnerClassName(const std::type_info& type) {
  int status = 0;
  char* name = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
  std::string out = "class ";
  out += (status == 0 && name != nullptr) ? name : type.name();
  std::free(name);
  return out;
}

CVzPopupMenuBase::CVzPopupMenuBase() { font_.pixel_size = 12; }

CVzPopupMenuBase::~CVzPopupMenuBase() { CancelTracking(); }

void CVzPopupMenuBase::CancelTracking() {
  if (tracking_ != nullptr) tracking_->End(0);
}

int CVzPopupMenuBase::AppendMenu(uint32_t flags, uint32_t id, const char16_t* text, uint32_t normal_image,
                                 uint32_t selected_image, uint32_t tint) {
  if (flags & MF_POPUP) {
    VZ_LOG_ERROR("a sub-menu is appended with AppendSubMenu");
    return 0;
  }
  if (id != 0) {
    auto load = [tint](uint32_t image_id) {
      auto image = std::make_unique<CGdiPlusBitmapResource>();
      if (image->Load(image_id) && tint != 0) TintImage(*image, tint);
      return image;  // stored even when empty: an image of size 0
    };
    if (normal_image != 0) normal_images_[id] = load(normal_image);
    if (selected_image != 0) selected_images_[id] = load(selected_image);
  }
  MenuItem item;
  item.flags = flags | MF_OWNERDRAW;
  item.id = (flags & MF_SEPARATOR) ? 0 : id;
  item.text = text != nullptr ? std::u16string(text) : std::u16string();
  items_.push_back(std::move(item));
  return 1;
}

int CVzPopupMenuBase::AppendSubMenuForTesting(uint32_t flags, CVzPopupMenuBase* sub_menu, const char16_t* text) {
  if (sub_menu == nullptr || sub_menu == this) return 0;
  MenuItem item;
  item.flags = flags | MF_POPUP | MF_OWNERDRAW;
  item.text = text != nullptr ? std::u16string(text) : std::u16string();
  item.sub_menu = sub_menu;
  items_.push_back(std::move(item));
  return 1;
}

void CVzPopupMenuBase::SetBackgroundColor(uint32_t colorref) { background_color_ = colorref; }

void CVzPopupMenuBase::SetItemMetrics(int item_width, int item_height, int image_column) {
  item_width_ = std::max(0, item_width);
  item_height_ = std::max(0, item_height);
  image_column_ = image_column;
}

const MenuItem* CVzPopupMenuBase::FindItem(uint32_t id) const {
  for (const MenuItem& item : items_) {
    if (item.id == id && !(item.flags & MF_SEPARATOR)) return &item;
  }
  return nullptr;
}

const CGdiPlusBitmapResource* CVzPopupMenuBase::NormalImage(uint32_t id) const {
  auto it = normal_images_.find(id);
  return it != normal_images_.end() ? it->second.get() : nullptr;
}

const CGdiPlusBitmapResource* CVzPopupMenuBase::SelectedImage(uint32_t id) const {
  auto it = selected_images_.find(id);
  return it != selected_images_.end() ? it->second.get() : nullptr;
}

void CVzPopupMenuBase::LogShouldBeOverridden(const char* operation) const {
  const std::string name = TemplateName() + "::" + operation;
  TraceA("%s [line# %d] : *** ERROR ****** >%s< *************", name.c_str(), __LINE__,
         "\n\nShould be override.\n\n");
}

void CVzPopupMenuBase::MeasureItem(MeasureItemRecord*) { LogShouldBeOverridden("MeasureItem"); }
void CVzPopupMenuBase::DrawItem(const DrawItemRecord&) { LogShouldBeOverridden("DrawItem"); }
void CVzPopupMenuBase::OnNCPaint(int) { LogShouldBeOverridden("OnNCPaint"); }

std::vector<vz::Rect> CVzPopupMenuBase::LayoutItems() {
  std::vector<vz::Rect> rects(items_.size());
  // Columns: an item with MF_MENUBREAK starts a new one; a column is as wide
  // as its widest item.
  size_t column_start = 0;
  int x = 0;
  int y = 0;
  int column_width = 0;
  std::vector<MeasureItemRecord> sizes(items_.size());
  for (size_t i = 0; i < items_.size(); ++i) {
    MeasureItemRecord record;
    record.item_id = items_[i].id;
    // The separator is measured by its position: its id is 0.
    if (items_[i].flags & MF_SEPARATOR) record.item_id = 0;
    measuring_separator_ = (items_[i].flags & MF_SEPARATOR) != 0;
    measuring_item_ = &items_[i];
    MeasureItem(&record);
    measuring_item_ = nullptr;
    measuring_separator_ = false;
    sizes[i] = record;
  }
  auto close_column = [&](size_t end) {
    for (size_t j = column_start; j < end; ++j) {
      rects[j].left = x;
      rects[j].right = x + column_width;
    }
  };
  for (size_t i = 0; i < items_.size(); ++i) {
    if (i > 0 && (items_[i].flags & MF_MENUBREAK)) {
      close_column(i);
      x += column_width;
      column_width = 0;
      column_start = i;
      y = 0;
    }
    rects[i].top = y;
    rects[i].bottom = y + static_cast<int>(sizes[i].item_height);
    y = rects[i].bottom;
    column_width = std::max(column_width, static_cast<int>(sizes[i].item_width));
  }
  close_column(items_.size());
  return rects;
}

vz::Size CVzPopupMenuBase::MenuSize() {
  vz::Size size{0, 0};
  for (const vz::Rect& r : LayoutItems()) {
    size.width = std::max(size.width, r.right);
    size.height = std::max(size.height, r.bottom);
  }
  return size;
}

void CVzPopupMenuBase::PaintMenu(vz::Canvas& canvas, int selected) {
  const vz::Size size = MenuSize();
  canvas.FillRect({0, 0, std::max(size.width, canvas.size().width), std::max(size.height, canvas.size().height)},
                  vz::ColorFromColorRef(background_color_));
  const std::vector<vz::Rect> rects = LayoutItems();
  for (size_t i = 0; i < items_.size(); ++i) {
    const MenuItem& item = items_[i];
    DrawItemRecord record;
    record.canvas = &canvas;
    record.item_rect = rects[i];
    record.item_id = item.id;
    if (static_cast<int>(i) == selected) record.item_state |= ODS_SELECTED;
    if (item.flags & MF_GRAYED) record.item_state |= ODS_GRAYED;
    if (item.flags & (MF_DISABLED | MF_GRAYED)) record.item_state |= ODS_DISABLED;
    if (item.flags & MF_CHECKED) record.item_state |= ODS_CHECKED;
    drawing_item_ = &item;
    canvas.Save();
    canvas.ClipRect(rects[i]);
    DrawItem(record);
    canvas.Restore();
    drawing_item_ = nullptr;
  }
}

// ---------------------------------------------------------------------------

CDSMousePopupMenu::~CDSMousePopupMenu() = default;

void CDSMousePopupMenu::MeasureItem(MeasureItemRecord* record) {
  if (record == nullptr) return;
  if (measuring_separator_) {
    record->item_height = kSeparatorHeight;
    record->item_width = 0;
    return;
  }
  // Windows adds the check-mark width less one to an owner-drawn item's
  // measure, which takes back the "+ 1 - check-mark width": the item width.
  record->item_height = static_cast<uint32_t>(item_height_);
  record->item_width = static_cast<uint32_t>(item_width_);
  // A text wider than the item (another language's) widens the menu rather
  // than being cut: the text's left edge, the text, and the same margin right.
  if (measuring_item_ != nullptr && !measuring_item_->text.empty()) {
    const int left = 4 + (image_column_ ? item_height_ : 0);
    const int text = vz::DefaultTextMeasurer().MeasureText(vz::Utf16ToUtf8(measuring_item_->text), font_).width;
    record->item_width = static_cast<uint32_t>(std::max(item_width_, left + text + 8));
  }
}

void CDSMousePopupMenu::DrawItem(const DrawItemRecord& record) {
  if (record.canvas == nullptr || drawing_item_ == nullptr) return;
  vz::Canvas& canvas = *record.canvas;
  const MenuItem& item = *drawing_item_;
  const vz::Rect& r = record.item_rect;
  const bool disabled = (record.item_state & (ODS_DISABLED | ODS_GRAYED)) != 0;
  const bool selected = (record.item_state & ODS_SELECTED) != 0 && !disabled;
  const bool checked = (record.item_state & ODS_CHECKED) != 0;

  canvas.FillRect(r, vz::ColorFromColorRef(background_color_));
  if (item.flags & MF_SEPARATOR) {
    const int middle = (r.top + r.bottom) / 2;
    canvas.FillRect({r.left, middle, r.right, middle + 1}, vz::ColorFromColorRef(kEtchShadow));
    canvas.FillRect({r.left, middle + 1, r.right, middle + 2}, vz::ColorFromColorRef(kEtchLight));
    return;
  }
  if (selected) {
    canvas.FillRoundRect(r, 1.5, vz::ColorFromColorRef(kSelectedFill));
    canvas.StrokeRoundRect(r, 1.5, vz::Pen{vz::ColorFromColorRef(kSelectedOutline), 1.0, vz::LineCap::kButt});
  }
  const CGdiPlusBitmapResource* image = nullptr;
  if ((selected || checked) && SelectedImage(item.id) != nullptr) {
    image = SelectedImage(item.id);
  } else {
    image = NormalImage(item.id);
  }
  if (image != nullptr && image->bitmap() != nullptr) {
    const vz::Image& bitmap = *image->bitmap();
    const int x = r.left + 4;
    const int y = r.top + (item_height_ - bitmap.height()) / 2;
    if (disabled) {
      canvas.DrawImage(ApplyColorMatrix(kGreyColorMatrix, bitmap), x, y);
    } else {
      canvas.DrawImage(bitmap, x, y);
    }
  }
  if (!item.text.empty()) {
    vz::TextStyle style;
    style.font = font_;
    style.color = vz::ColorFromColorRef(selected ? kSelectedText : disabled ? kDisabledText : kText);
    style.valign = vz::TextVAlign::kMiddle;
    style.ellipsis = true;
    vz::Rect box = r;
    box.left = r.left + 4 + (image_column_ ? item_height_ : 0);
    canvas.DrawText(std::u16string_view(item.text), box, style);
  }
}

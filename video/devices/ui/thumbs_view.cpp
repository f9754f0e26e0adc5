#include "video/devices/ui/thumbs_view.h"

#include <algorithm>

#include "outside/vzres/vzres.h"
#include "platform/text.h"
#include "video/devices/ui/panel_helpers.h"

namespace vzpanel {

CVzThumbItem::CVzThumbItem(ThumbTile* tile) : tile_(tile), container_(&tile->container, false) {}

CVzThumbItem::~CVzThumbItem() {
  container_.Destroy();
  window_.reset();
}

bool CVzThumbItem::Create(vz::Window* parent) {
  vz::WindowParams params;
  params.bounds = tile_->rect;
  params.parent = parent;
  params.class_name = "CVzThumbItem";
  window_ = parent->system().CreateWindow(params, this);
  if (!window_) return false;
  container_.on_mouse = [this](const vz::MouseEvent& event) { Forward(event); };
  if (!container_.Create(window_.get(), {1, 1, kThumbTileSize.width - 1, kThumbTileSize.height - 1})) return false;
  window_->Show(false);
  Sync();
  return true;
}

void CVzThumbItem::Sync() {
  if (!window_) return;
  if (window_->bounds() != tile_->rect) window_->SetBounds(tile_->rect);
  const vz::Size size = tile_->rect.GetSize();
  const int bottom = tile_->label_shown ? size.height - kTileLabelHeight - 1 : size.height - 1;
  container_.SetBounds({1, 1, std::max(1, size.width - 1), std::max(1, bottom)});
  container_.Sync();
  window_->Invalidate();
}

void CVzThumbItem::OnPaint(vz::Canvas& canvas) {
  const vz::Size size = window_ ? window_->ClientRect().GetSize() : canvas.size();
  canvas.FillRect({0, 0, size.width, size.height}, tile_->highlighted ? (tile_->highlight | 0xFF000000) : kTileFrame);
  if (!tile_->label_shown) return;
  const vz::Rect label{1, size.height - kTileLabelHeight, size.width - 1, size.height};
  canvas.FillRect(label, kPanelBackground);
  const std::u16string name = ComposeTileName(
      tile_->record.head.Name, tile_->record.head.IsHost != 0, tile_->record.head.IsPresenter != 0,
      vzres::LoadResString(vzres::IDS_VIDEO_HOST_WORD), vzres::LoadResString(vzres::IDS_VIDEO_PRESENTER_WORD));
  vz::TextStyle style;
  style.font = PanelFont(11);
  style.color = kNameText;
  style.valign = vz::TextVAlign::kMiddle;
  style.ellipsis = true;
  canvas.DrawText(name, {label.left + 2, label.top, label.right - 2, label.bottom}, style);
}

void CVzThumbItem::Forward(const vz::MouseEvent& event) {
  // The handlers come last and nothing of this object is read after them:
  // what they start may delete the tile's window.
  if (on_move && (event.action == vz::MouseAction::kMove || event.action == vz::MouseAction::kDoubleClick)) on_move(event);
  if (event.button != vz::MouseButton::kLeft) return;
  if (event.action == vz::MouseAction::kDoubleClick) {
    if (on_double_tap) on_double_tap(this);
  } else if (event.action == vz::MouseAction::kRelease) {
    if (on_single_tap) on_single_tap(this);
  }
}

void CVzThumbItem::OnMouse(const vz::MouseEvent& event) { Forward(event); }

CVzThumbsView::~CVzThumbsView() { Destroy(); }

bool CVzThumbsView::Create(vz::Window* parent) {
  vz::WindowParams params;
  params.parent = parent;
  params.class_name = "CVzThumbsView";
  window_ = parent->system().CreateWindow(params, this);
  return window_ != nullptr;
}

void CVzThumbsView::Destroy() {
  items_.clear();
  window_.reset();
}

CVzThumbItem* CVzThumbsView::EnsureItem(ThumbTile* tile) {
  if (!window_) return nullptr;
  auto& item = items_[tile];
  if (!item) {
    item = std::make_unique<CVzThumbItem>(tile);
    item->on_single_tap = [this](CVzThumbItem* i) {
      if (on_single_tap) on_single_tap(i->tile());
    };
    item->on_double_tap = [this](CVzThumbItem* i) {
      if (on_double_tap) on_double_tap(i->tile());
    };
    item->on_move = [this](const vz::MouseEvent& e) {
      if (on_mouse) on_mouse(e);
    };
    item->Create(window_.get());
  }
  return item.get();
}

void CVzThumbsView::Sync(bool visible) {
  if (!window_) return;
  if (window_->bounds() != model_->rect()) window_->SetBounds(model_->rect());
  const auto& shown = model_->shownItems();
  // Tiles gone from the page (or from the strip) lose their windows; their
  // pointers are only compared here, never read.
  for (auto it = items_.begin(); it != items_.end();) {
    if (std::find(shown.begin(), shown.end(), it->first) == shown.end()) {
      it = items_.erase(it);
    } else {
      ++it;
    }
  }
  for (ThumbTile* tile : shown) {
    if (CVzThumbItem* item = EnsureItem(tile)) item->Sync();
  }
  if (visible && !model_->rect().IsEmpty()) {
    if (!window_->IsVisible()) window_->Show(false);
  } else if (window_->IsVisible()) {
    window_->Hide();
  }
  window_->Invalidate();
}

void CVzThumbsView::OnPaint(vz::Canvas& canvas) {
  canvas.FillRect(window_ ? window_->ClientRect() : vz::Rect{}, kPanelBackground);
}

void CVzThumbsView::OnMouse(const vz::MouseEvent& event) {
  if (on_mouse) on_mouse(event);
}

}  // namespace vzpanel

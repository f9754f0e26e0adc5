#include "video/devices/ui/thumbs_strip_model.h"

#include <algorithm>

#include "common/trace_client.h"

namespace vzpanel {

ThumbsStripModel::ThumbsStripModel(std::string my_roster_id, CVzThumbsPager::Sink on_page)
    : my_roster_id_(std::move(my_roster_id)), pager_(std::move(on_page)) {}

ThumbTile* ThumbsStripModel::addVideoRoster(const VideoRosterInfo& record) {
  if (ThumbTile* existing = itemOf(record.rosterId)) return existing;
  auto tile = std::make_unique<ThumbTile>();
  tile->record = record;
  tile->rect = vz::Rect::FromXYWH(0, 0, kThumbTileSize.width, kThumbTileSize.height);
  ThumbTile* raw = tile.get();
  tiles_.push_back(std::move(tile));
  pager_.addItem(raw);
  return raw;
}

void ThumbsStripModel::removeVideoRoster(const VideoRosterInfo& record) {
  ThumbTile* tile = itemOf(record.rosterId);
  if (tile == nullptr) return;
  shown_.erase(std::remove(shown_.begin(), shown_.end(), tile), shown_.end());
  pager_.removeItem(tile);
  tiles_.erase(std::remove_if(tiles_.begin(), tiles_.end(), [&](const auto& t) { return t.get() == tile; }),
               tiles_.end());
}

void ThumbsStripModel::updateVideoRoster(const VideoRosterInfo& record) {
  ThumbTile* tile = itemOf(record.rosterId);
  if (tile != nullptr && tile->record.rosterId == record.rosterId) tile->record = record;
}

void ThumbsStripModel::layoutItems(const vz::Rect& strip, int cell_width, int cell_height, int rows, int columns,
                                   bool labels) {
  if (cell_width == 0 || cell_height == 0) {
    rows = 0;
    columns = 0;
  }
  rect_ = strip;
  cell_width_ = cell_width;
  cell_height_ = cell_height;
  rows_ = rows;
  columns_ = columns;
  labels_ = labels;
  pager_.setPageSize(rows * columns, specified_);
  layoutTiles();
}

void ThumbsStripModel::showThumbItems(const std::vector<ThumbTile*>& tiles) {
  for (ThumbTile* tile : shown_) tile->shown = false;
  shown_.clear();
  for (ThumbTile* tile : tiles) {
    tile->shown = true;
    shown_.push_back(tile);
  }
  layoutTiles();
}

void ThumbsStripModel::layoutTiles() {
  for (size_t k = 0; k < shown_.size(); ++k) {
    ThumbTile* tile = shown_[k];
    // No columns (a cell of 0) leaves every tile without a place.
    if (columns_ <= 0 || cell_width_ <= 0 || cell_height_ <= 0) {
      tile->rect = vz::Rect{};
    } else {
      const int column = static_cast<int>(k) % columns_;
      const int row = static_cast<int>(k) / columns_;
      tile->rect = {cell_width_ * column, cell_height_ * row, cell_width_ * (column + 1), cell_height_ * (row + 1)};
    }
    tile->label_shown = labels_;
  }
}

void ThumbsStripModel::updatePageButtons(bool show) {
  prev_shown_ = show && !pager_.isFirstPage();
  next_shown_ = show && !pager_.isLastPage();
}

void ThumbsStripModel::setHighlight(const VideoRosterInfo* record, vz::Color colour) {
  for (ThumbTile* tile : pager_.items()) {
    tile->highlighted = record != nullptr && tile->record.rosterId == record->rosterId;
    tile->highlight = colour;
  }
}

const VideoRosterInfo* ThumbsStripModel::activeRecord() const {
  const auto& items = pager_.items();
  for (ThumbTile* tile : items) {
    if (tile->record.head.IsPresenter) return &tile->record;
  }
  for (ThumbTile* tile : items) {
    if (tile->record.head.IsHost) return &tile->record;
  }
  if (ThumbTile* mine = myItem()) return &mine->record;
  return items.empty() ? nullptr : &items.front()->record;
}

ThumbTile* ThumbsStripModel::itemOf(const std::string& roster_id) const {
  for (const auto& tile : tiles_) {
    if (tile->record.rosterId == roster_id) return tile.get();
  }
  return nullptr;
}

ThumbTile* ThumbsStripModel::shownItemOf(const std::string& roster_id) const {
  ThumbTile* tile = itemOf(roster_id);
  return tile != nullptr && tile->shown ? tile : nullptr;
}

const VideoRosterInfo* ThumbsStripModel::recordOf(const std::string& roster_id) const {
  ThumbTile* tile = itemOf(roster_id);
  return tile != nullptr ? &tile->record : nullptr;
}

vz::Point ThumbsStripModel::leftMostShownCorner() const {
  vz::Point corner{9999, 9999};
  for (ThumbTile* tile : shown_) {
    if (tile->rect.left < corner.x) corner = {tile->rect.left, tile->rect.top};
  }
  return corner;
}

}  // namespace vzpanel

#pragma once
// The thumbnail strip without its windows: the tiles (one per participant
// that sends video, in the order they came), the pager, the tiles now shown
// and where each one sits, the page buttons' visibility and the look-ups
// the main view asks for. The strip window draws from it. UI thread only.
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/ui_types.h"
#include "video/devices/ui/thumbs_pager.h"
#include "video/devices/ui/video_container_state.h"
#include "video/engine/client/video_roster_info.h"

namespace vzpanel {

// One tile: its own copy of the participant, its container and its frame.
struct ThumbTile {
  VideoRosterInfo record;
  VideoContainerState container;
  bool highlighted = false;
  vz::Color highlight = 0;
  bool label_shown = true;
  bool shown = false;
  vz::Rect rect;  // in the strip's client coordinates while shown
};

inline constexpr vz::Size kThumbTileSize{160, 90};
inline constexpr int kTileLabelHeight = 13;

class ThumbsStripModel {
 public:
  // `my_roster_id` is the local participant's narrow id; `on_page` receives
  // every page the pager chooses (the main view's pagination handler).
  ThumbsStripModel(std::string my_roster_id, CVzThumbsPager::Sink on_page);

  // Adds a tile for the record unless its roster id has one; returns it
  // (the existing one for a duplicate).
  ThumbTile* addVideoRoster(const VideoRosterInfo& record);
  // Takes the tile of the record's roster id out of the shown list and the
  // pager and deletes it. The specified tile is the caller's to clear.
  void removeVideoRoster(const VideoRosterInfo& record);
  // Copies the record into the tile of its roster id.
  void updateVideoRoster(const VideoRosterInfo& record);

  // Page size rows x columns with the specified tile pinned (re-issuing the
  // page), then the tiles of the shown list placed in a grid. A cell of 0
  // makes rows and columns 0: the pager keeps its page size and every shown
  // tile gets an empty rectangle.
  void layoutItems(const vz::Rect& strip, int cell_width, int cell_height, int rows, int columns, bool labels);
  // Shows exactly the tiles of the list, then lays them out again.
  void showThumbItems(const std::vector<ThumbTile*>& tiles);
  void updatePageButtons(bool show);
  void onPrevSlide() { pager_.prevPage(); }
  void onNextSlide() { pager_.nextPage(); }
  void setSpecifiedItem(ThumbTile* tile) { specified_ = tile; }
  ThumbTile* specifiedItem() const { return specified_; }
  // Highlights the tile of the record (by roster id; null highlights none).
  void setHighlight(const VideoRosterInfo* record, vz::Color colour);

  // The record to feature: the first presenter, else the first host, else
  // mine, else the first tile; null without tiles.
  const VideoRosterInfo* activeRecord() const;

  // Look-ups by narrow roster id.
  ThumbTile* itemOf(const std::string& roster_id) const;
  ThumbTile* shownItemOf(const std::string& roster_id) const;
  const VideoRosterInfo* recordOf(const std::string& roster_id) const;
  bool isMine(const VideoRosterInfo& record) const { return record.rosterId == my_roster_id_; }
  ThumbTile* myItem() const { return itemOf(my_roster_id_); }
  int itemCount() const { return static_cast<int>(tiles_.size()); }
  const std::vector<ThumbTile*>& allItems() const { return pager_.items(); }
  const std::vector<ThumbTile*>& shownItems() const { return shown_; }
  vz::Size gridSize(int cell_width, int cell_height, int rows, int columns) const {
    return {cell_width * columns, cell_height * rows};
  }
  // The left-most shown tile's top-left corner in the strip (9999, 9999 when none).
  vz::Point leftMostShownCorner() const;

  CVzThumbsPager& pagerForTesting() { return pager_; }
  const vz::Rect& rect() const { return rect_; }
  bool prevButtonShown() const { return prev_shown_; }
  bool nextButtonShown() const { return next_shown_; }

 private:
  void layoutTiles();

  std::string my_roster_id_;
  std::vector<std::unique_ptr<ThumbTile>> tiles_;
  CVzThumbsPager pager_;
  std::vector<ThumbTile*> shown_;
  ThumbTile* specified_ = nullptr;
  vz::Rect rect_;
  int cell_width_ = 0;
  int cell_height_ = 0;
  int rows_ = 0;
  int columns_ = 0;
  bool labels_ = true;
  bool prev_shown_ = false;
  bool next_shown_ = false;
};

}  // namespace vzpanel

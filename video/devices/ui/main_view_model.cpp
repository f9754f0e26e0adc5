#include "video/devices/ui/main_view_model.h"

#include <algorithm>

#include "common/trace_client.h"
#include "outside/vzres/vzres_ids.h"
#include "video/devices/ui/panel_helpers.h"

namespace vzpanel {
namespace {

constexpr int32_t kSizeStrip = kVideoSize160x90;
constexpr int32_t kSizeGrid = kVideoSize320x180;
constexpr int32_t kSizeLarge = kVideoSize640x360;

bool SendsVideo(const VideoRosterInfo& record) { return record.videoStatus == 1; }

uintptr_t Handle(IVideoRenderer* renderer) { return reinterpret_cast<uintptr_t>(renderer); }

}  // namespace

MainViewModel::MainViewModel(IVideoRenderService* render, IMainViewClient* client, std::string my_roster_id,
                             const vz::Clock& clock)
    : render_(render),
      client_api_(client),
      clock_(clock),
      owner_of_([](VideoContainerState* container) -> void* { return container; }),
      strip_(std::move(my_roster_id), [this](const std::vector<ThumbTile*>& page) { onPagination(page); }) {
  active_.refreshOverlay();
  showOverlayControls();
  restartIdleTimer();
}

MainViewModel::~MainViewModel() { cleanUp(); }

vz::Color MainViewModel::highlightColour() const { return vz::ColorFromColorRef(highlight_ & 0xFFFFFF); }

uint32_t MainViewModel::fullscreenButtonImage() const {
  return fullscreen_ ? vzres::IDB_VIDEO_FULLSCREEN_LEAVE : vzres::IDB_VIDEO_FULLSCREEN;
}

// ---- Participants.

void MainViewModel::addVideoRoster(const VideoRosterInfo* record, bool refresh) {
  if (record == nullptr || cleaned_up_) return;
  VZ_LOG("roster [%s] video [%d]", record->rosterId.c_str(), SendsVideo(*record) ? 1 : 0);
  if (strip_.isMine(*record)) {
    my_presenter_ = record->head.IsPresenter != 0;
    if (selection_ == kSelectionSpotlight) active_.setButtonMode(kSelectionSpotlight, my_presenter_);
  }
  if (record->head.IsInvisible != 0 || !SendsVideo(*record)) return;
  strip_.addVideoRoster(*record);
  if (!refresh) return;
  if (active_.isActiveRecord(nullptr)) showInActiveView(strip_.activeRecord());
  afterRosterChange();
}

void MainViewModel::endRosterChanges() {
  in_roster_changes_ = false;
  if (!roster_layout_due_) return;
  roster_layout_due_ = false;
  afterRosterChange();
}

void MainViewModel::afterRosterChange() {
  if (in_roster_changes_) {
    roster_layout_due_ = true;
    return;
  }
  showOverlayControls();
  pickActiveForTwo();
  pickSpecifiedItem();
  relayoutViewContent();
  showOverlayControls();
  restartIdleTimer();
}

void MainViewModel::updateVideoRoster(const VideoRosterInfo& record) {
  if (cleaned_up_) return;
  VZ_LOG("roster [%s] video [%d]", record.rosterId.c_str(), SendsVideo(record) ? 1 : 0);
  // My presenter flag follows every update of my record, not only the first
  // one: I may become presenter while my tile exists or while I send no video.
  if (strip_.isMine(record)) {
    my_presenter_ = record.head.IsPresenter != 0;
    active_.setButtonMode(active_.buttonMode(), my_presenter_);
  }
  const bool has_tile = strip_.itemOf(record.rosterId) != nullptr;
  if (!SendsVideo(record) || record.head.IsInvisible != 0) {
    if (has_tile) {
      removeVideoRoster(&record);
    } else {
      strip_.updateVideoRoster(record);
      updateActiveVideoRoster(record);
    }
    return;
  }
  if (has_tile) {
    strip_.updateVideoRoster(record);
    updateActiveVideoRoster(record);
  } else {
    addVideoRoster(&record, true);
  }
}

void MainViewModel::updateActiveVideoRoster(const VideoRosterInfo& record) {
  if (!active_.isActiveRecord(&record)) return;
  active_.updateActiveRecord(record);
  if (!SendsVideo(record) && active_.container().renderer != nullptr) destroyActiveVideoRender();
  if (active_shown_ && SendsVideo(record) && active_.container().renderer == nullptr) createActiveVideoRender();
}

void MainViewModel::removeVideoRoster(const VideoRosterInfo* record) {
  if (record == nullptr || cleaned_up_) return;
  VZ_LOG("roster [%s] video [%d]", record->rosterId.c_str(), SendsVideo(*record) ? 1 : 0);
  const bool was_active = active_.isActiveRecord(record);
  if (selection_ == kSelectionSpotlight && was_active) {
    selection_ = kSelectionSpeaker;
    active_.setButtonMode(kSelectionSpeaker, my_presenter_);
  }
  ThumbTile* tile = strip_.itemOf(record->rosterId);
  if (tile == nullptr) return;
  const bool was_specified = strip_.specifiedItem() == tile;
  destroyThumbItemVideoRender(tile);
  strip_.removeVideoRoster(*record);  // deletes the tile
  if (was_active) showInActiveView(strip_.activeRecord());
  if (was_specified) strip_.setSpecifiedItem(nullptr);
  afterRosterChange();
}

void MainViewModel::setActiveSpeakerRoster(const VideoRosterInfo* record) {
  if (record == nullptr || cleaned_up_ || strip_.isMine(*record)) return;
  if (strip_.itemOf(record->rosterId) == nullptr) return;
  last_active_speaker_ = record->rosterId;
  if (selection_ != kSelectionSpeaker || mode_ == kLayoutGrid || active_.isActiveRecord(record)) return;
  showInActiveView(record);
  if (collapsed_ && strip_.itemCount() == 2) {
    pickSpecifiedItem();
    relayoutViewContent();
  }
}

void MainViewModel::setSpotlightRoster(const VideoRosterInfo* record) {
  if (cleaned_up_) return;
  if (record != nullptr && strip_.itemOf(record->rosterId) != nullptr) {
    selection_ = kSelectionSpotlight;
    showInActiveView(record);
  } else {
    selection_ = kSelectionSpeaker;
    // Copy: showing the speaker may change the strip's records.
    if (const VideoRosterInfo* speaker = strip_.recordOf(last_active_speaker_)) {
      const VideoRosterInfo copy = *speaker;
      setActiveSpeakerRoster(&copy);
    }
  }
  active_.setButtonMode(selection_, my_presenter_);
}

void MainViewModel::setRosterVideoBlocked(const VideoRosterInfo* record, bool blocked) {
  if (record == nullptr || cleaned_up_) return;
  VZ_LOG("roster [%s] is blocked [%d]", record->rosterId.c_str(), blocked ? 1 : 0);
  if (active_.isActiveRecord(record)) active_.showBlockedHint(blocked);
  if (ThumbTile* tile = strip_.shownItemOf(record->rosterId)) tile->container.hint_shown = blocked;
}

void MainViewModel::showInActiveView(const VideoRosterInfo* record) {
  // The record may point into a tile or into the active view itself: copy.
  std::optional<VideoRosterInfo> copy;
  if (record != nullptr) copy = *record;
  const VideoRosterInfo* shown = copy ? &*copy : nullptr;
  strip_.setHighlight(shown, highlightColour());
  if (!active_.isActiveRecord(shown)) destroyActiveVideoRender();
  active_.setActiveRecord(shown);
  if (active_shown_ && shown != nullptr && SendsVideo(*shown) && active_.container().renderer == nullptr) {
    createActiveVideoRender();
  }
}

void MainViewModel::pickActiveForTwo() {
  if (mode_ != kLayoutLargeAndStrip) return;
  if (strip_.itemCount() == 2 && strip_.myItem() != nullptr) {
    for (ThumbTile* tile : strip_.allItems()) {
      if (!strip_.isMine(tile->record)) {
        showInActiveView(&tile->record);
        return;
      }
    }
  } else if (active_.isActiveRecord(nullptr)) {
    showInActiveView(strip_.activeRecord());
  }
}

void MainViewModel::pickSpecifiedItem() {
  if (mode_ == kLayoutLargeOnly) {
    const VideoRosterInfo* record = strip_.activeRecord();
    strip_.setSpecifiedItem(record != nullptr ? strip_.itemOf(record->rosterId) : nullptr);
    return;
  }
  if (mode_ == kLayoutGrid) return;
  if (!collapsed_) {
    if (strip_.specifiedItem() != nullptr) strip_.setSpecifiedItem(nullptr);
    return;
  }
  const int count = strip_.itemCount();
  auto first_not_large = [&]() -> ThumbTile* {
    for (ThumbTile* tile : strip_.allItems()) {
      if (!active_.isActiveRecord(&tile->record)) return tile;
    }
    return nullptr;
  };
  if (count <= 1) return;
  if (count == 2) {
    if (ThumbTile* tile = first_not_large()) strip_.setSpecifiedItem(tile);
    return;
  }
  ThumbTile* specified = strip_.specifiedItem();
  if (specified != nullptr && !active_.isActiveRecord(&specified->record)) return;
  ThumbTile* mine = strip_.myItem();
  strip_.setSpecifiedItem(mine != nullptr ? mine : first_not_large());
}

// ---- Layout.

void MainViewModel::setLayoutMode(int32_t mode, const int32_t* rows_columns) {
  if (cleaned_up_ || mode < kLayoutLargeAndStrip || mode > kLayoutGrid) return;
  if (mode_ == kLayoutGrid && rows_columns != nullptr) {
    if (rows_columns[0] > 0) grid_rows_ = rows_columns[0];
    if (rows_columns[1] > 0) grid_columns_ = rows_columns[1];
  } else if (mode_ != kLayoutGrid && mode == mode_) {
    return;
  }
  mode_ = mode;
  if (mode == kLayoutLargeOnly) selection_ = kSelectionSpeaker;
  for (ThumbTile* tile : strip_.allItems()) destroyThumbItemVideoRender(tile);
  showOverlayControls();
  pickActiveForTwo();
  pickSpecifiedItem();
  relayoutViewContent();
}

vz::Size MainViewModel::cellSize(const vz::Rect& large, int tiles) const {
  const int W = large.Width();
  const int H = large.Height();
  const bool labels = !(mode_ == kLayoutLargeAndStrip && collapsed_);
  if (mode_ == kLayoutLargeOnly) return {0, 0};
  if (mode_ == kLayoutGrid) {
    if (grid_rows_ * grid_columns_ <= 0) return {0, 0};
    int width = W;
    if (tiles > grid_rows_ * grid_columns_) width -= 2 * page_button_size_.width;
    const vz::Rect box{0, 0, width / grid_columns_, (H - grid_rows_ * kTileLabelHeight) / grid_rows_};
    const vz::Rect fitted = fitRectangle(box, kThumbTileSize);
    if (fitted.Height() < 90) return {0, kTileLabelHeight};
    return {fitted.Width(), fitted.Height() + kTileLabelHeight};
  }
  const vz::Rect box{0, 0, W * 3 / 9, H * 2 / 9};
  const vz::Rect fitted = fitRectangle(box, kThumbTileSize);
  vz::Size cell;
  if (fitted.Height() > 90) {
    cell = {162, 92};
  } else if (fitted.Height() >= 30) {
    cell = {fitted.Width() + 2, fitted.Height() + 2};
  }
  if (labels) cell.height += kTileLabelHeight;
  return cell;
}

void MainViewModel::notifyRendererPositions() {
  if (render_ == nullptr) return;
  if (active_.container().renderer != nullptr) render_->OnRendererPositionChange(active_.container().renderer);
  for (ThumbTile* tile : strip_.allItems()) {
    if (tile->container.renderer != nullptr) render_->OnRendererPositionChange(tile->container.renderer);
  }
}

void MainViewModel::relayoutViewContent() {
  if (cleaned_up_) return;
  ++layouts_;
  const vz::Rect client{0, 0, client_.width, client_.height};
  MainViewLayout layout;
  layout.large = mode_ == kLayoutLargeAndStrip ? fitRectangle(client, kLargeVideoAspect) : client;
  const vz::Rect& large = layout.large;
  const int tiles = strip_.itemCount();
  layout.cell = cellSize(large, tiles);
  layout.labels = !(mode_ == kLayoutLargeAndStrip && collapsed_);

  if (layout.cell.width < 1 || layout.cell.height < 1) {
    layout.rows = 1;
    layout.columns = 1;
  } else if (mode_ == kLayoutLargeAndStrip && !collapsed_) {
    layout.rows = 1;
    // At least one column: a container narrower than 240 + a cell would give
    // none, and the strip places tiles by column.
    layout.columns = std::max(1, std::min((large.Width() - 240) / layout.cell.width, tiles));
  } else if (mode_ == kLayoutGrid) {
    layout.rows = grid_rows_;
    layout.columns = grid_columns_;
  } else {
    layout.rows = 1;
    layout.columns = 1;
  }

  const vz::Size grid = strip_.gridSize(layout.cell.width, layout.cell.height, layout.rows, layout.columns);
  if (mode_ == kLayoutLargeOnly) {
    layout.strip = {};
  } else if (mode_ == kLayoutGrid) {
    layout.strip = large;
  } else if (!strip_shown_) {
    layout.strip = {};
  } else if (collapsed_) {
    layout.strip = {large.right - layout.cell.width - 4, large.bottom - layout.cell.height - 6, large.right - 4,
                    large.bottom - 6};
  } else {
    const int left = large.left + (large.Width() - grid.width) / 2;
    layout.strip = {left, large.bottom - layout.cell.height - 2, left + grid.width, large.bottom - 2};
  }
  layout_ = layout;
  strip_.layoutItems(layout_.strip, layout_.cell.width, layout_.cell.height, layout_.rows, layout_.columns,
                     layout_.labels);

  const vz::Point corner = strip_.leftMostShownCorner();
  layout_.collapse_button = vz::Rect::FromXYWH(layout_.strip.left + corner.x + 1, layout_.strip.top + corner.y + 1,
                                               collapse_size_.width, collapse_size_.height);
  layout_.fullscreen_button = vz::Rect::FromXYWH(large.right - fullscreen_size_.width - 6, large.top + 6,
                                                 fullscreen_size_.width, fullscreen_size_.height);
  notifyRendererPositions();
  if (toolbar_) {
    layout_.toolbar = vz::Rect::FromXYWH(large.left + 1, large.bottom - toolbar_->height - 1, toolbar_->width,
                                         toolbar_->height);
  }
}

int MainViewModel::largeLabelInset() const {
  if (!toolbar_ || !toolbar_shown_) return 0;
  // The label's bottom 2 pixels above the tool bar's top.
  return std::max(0, layout_.large.bottom - layout_.toolbar.top - 1);
}

int MainViewModel::largeLabelRightLimit() const {
  const vz::Rect& strip = layout_.strip;
  if (!strip_shown_ || mode_ != kLayoutLargeAndStrip || strip.IsEmpty()) return ActiveViewModel::kNoLimit;
  const vz::Rect& large = layout_.large;
  const vz::Rect label = ActiveViewModel::LabelRect(large.GetSize(), 0, largeLabelInset()).Offset(large.left, large.top);
  if (strip.bottom <= label.top || strip.top >= label.bottom) return ActiveViewModel::kNoLimit;
  return strip.left - large.left - 2;
}

// ---- Overlay controls.

void MainViewModel::showOverlayControls() {
  fullscreen_button_shown_ = true;
  active_.refreshOverlay();
  const bool page_buttons = mode_ != kLayoutLargeOnly && !collapsed_;
  strip_.updatePageButtons(page_buttons);
  if (mode_ == kLayoutLargeOnly) {
    strip_.setSpecifiedItem(nullptr);
    strip_shown_ = false;
    collapse_button_shown_ = false;
    toolbar_shown_ = false;
    active_shown_ = true;
    return;
  }
  if (toolbar_) toolbar_shown_ = true;
  if (mode_ == kLayoutGrid) {
    strip_.setSpecifiedItem(nullptr);
    strip_shown_ = true;
    if (active_shown_) {
      active_shown_ = false;
      showInActiveView(nullptr);
    }
    collapse_button_shown_ = false;
    return;
  }
  active_shown_ = true;
  if (active_.isActiveRecord(nullptr)) showInActiveView(strip_.activeRecord());
  const bool several = strip_.itemCount() > 1;
  strip_shown_ = several;
  collapse_button_shown_ = several;
  collapse_image_ = collapsed_ ? vzres::IDB_VIDEO_EXPAND : vzres::IDB_VIDEO_COLLAPSE;
}

void MainViewModel::hideOverlayWhenIdle(std::optional<vz::Point> cursor) {
  if (cursor) {
    const bool over = (toolbar_ && layout_.toolbar.Contains(*cursor)) || layout_.fullscreen_button.Contains(*cursor) ||
                      layout_.collapse_button.Contains(*cursor);
    if (over) {
      restartIdleTimer();
      return;
    }
  }
  toolbar_shown_ = false;
  fullscreen_button_shown_ = false;
  active_.refreshOverlay();
  strip_.updatePageButtons(false);
}

bool MainViewModel::onIdleTick(std::optional<vz::Point> cursor) {
  if (!idle_deadline_ || clock_.NowMs() < *idle_deadline_) return false;
  idle_deadline_.reset();
  hideOverlayWhenIdle(cursor);
  return true;
}

void MainViewModel::onMouseMove(vz::Point point) {
  if (!last_mouse_) {
    last_mouse_ = point;
    return;
  }
  if (*last_mouse_ == point) return;
  last_mouse_ = point;
  showOverlayControls();
  restartIdleTimer();
}

bool MainViewModel::onDoubleClick(std::optional<vz::Point> cursor) {
  if (fullscreen_) return true;
  if (mode_ == kLayoutLargeAndStrip && !collapsed_) {
    onExpandCollapseButtonClicked();
    hideOverlayWhenIdle(cursor);
  }
  return false;
}

void MainViewModel::onExpandCollapseButtonClicked() {
  if (cleaned_up_ || mode_ != kLayoutLargeAndStrip) return;
  collapsed_ = !collapsed_;
  showOverlayControls();
  if (collapsed_) {
    pickSpecifiedItem();
  } else {
    strip_.setSpecifiedItem(nullptr);
  }
  relayoutViewContent();
}

// ---- Selection and the thumbnail menu.

void MainViewModel::onActiveSpeakerButtonTapped() {
  if (client_api_ == nullptr || cleaned_up_) return;
  if (my_presenter_) {
    if (selection_ == kSelectionSpotlight) client_api_->SetSpotlight("");
    selection_ = kSelectionSpeaker;
  } else if (selection_ != kSelectionSpotlight) {
    selection_ = kSelectionSpeaker;
  }
  if (selection_ == kSelectionSpeaker) {
    if (const VideoRosterInfo* speaker = strip_.recordOf(last_active_speaker_)) {
      const VideoRosterInfo copy = *speaker;
      setActiveSpeakerRoster(&copy);
    }
  }
  active_.setButtonMode(selection_, my_presenter_);
}

std::vector<ThumbMenuItem> MainViewModel::onThumbItemSingleTapped(ThumbTile* tile) {
  if (tile == nullptr || cleaned_up_ || mode_ == kLayoutLargeOnly || mode_ == kLayoutGrid) return {};
  if (my_presenter_) {
    menu_roster_id_ = tile->record.rosterId;
    if (selection_ == kSelectionSpotlight) {
      if (active_.isActiveRecord(&tile->record)) return {{kCmdCancelSpotlight, vzres::IDS_VIDEO_CANCEL_SPOTLIGHT}};
      return {{kCmdSpotlightForAll, vzres::IDS_VIDEO_MENU_SPOTLIGHT}};
    }
    return {{kCmdSpotlightForAll, vzres::IDS_VIDEO_MENU_SPOTLIGHT}, {kCmdShowHere, vzres::IDS_VIDEO_MENU_SHOW_HERE}};
  }
  if (selection_ == kSelectionSpotlight) return {};
  selection_ = kSelectionLocal;
  active_.setButtonMode(kSelectionLocal, false);
  if (!collapsed_) {
    if (!active_.isActiveRecord(&tile->record)) showInActiveView(&tile->record);
  } else if (strip_.itemCount() == 2 && strip_.specifiedItem() != nullptr) {
    showInActiveView(&strip_.specifiedItem()->record);
    pickSpecifiedItem();
    relayoutViewContent();
  }
  return {};
}

void MainViewModel::onCommand(uint32_t command) {
  // The menu's participant is looked up again: it may have left while the
  // menu was open.
  const VideoRosterInfo* menu_record = menu_roster_id_.empty() ? nullptr : strip_.recordOf(menu_roster_id_);
  std::optional<VideoRosterInfo> record;
  if (menu_record != nullptr) record = *menu_record;
  switch (command) {
    case kCmdCancelSpotlight:
      if (client_api_ != nullptr) client_api_->SetSpotlight("");
      selection_ = kSelectionSpeaker;
      active_.setButtonMode(kSelectionSpeaker, my_presenter_);
      break;
    case kCmdSpotlightForAll:
      if (record) {
        if (client_api_ != nullptr) client_api_->SetSpotlight(record->rosterId);
        setSpotlightRoster(&*record);
      }
      break;
    case kCmdShowHere:
      if (record) {
        showInActiveView(&*record);
        selection_ = kSelectionLocal;
        active_.setButtonMode(kSelectionLocal, my_presenter_);
      }
      break;
    default:
      break;
  }
  menu_roster_id_.clear();
}

void MainViewModel::setHeaderColors(uint32_t background, uint32_t) {
  highlight_ = background;
  for (ThumbTile* tile : strip_.allItems()) tile->highlight = highlightColour();
}

// ---- Renderers.

bool MainViewModel::mirrorFlag(const VideoRosterInfo& record) {
  return client_api_ != nullptr && strip_.isMine(record) && client_api_->IsCurrentCameraHardware();
}

void MainViewModel::refreshMyVideoMirror() {
  ThumbTile* mine = strip_.myItem();
  if (mine == nullptr) return;
  const bool mirror = mirrorFlag(mine->record);
  mine->container.SetVideoViewFlag(mirror);
  if (active_.isActiveRecord(&mine->record)) active_.container().SetVideoViewFlag(mirror);
}

void MainViewModel::createRenderHandle(VideoContainerState& container, bool mirror) {
  if (render_ == nullptr) return;
  if (container.renderer != nullptr) destroyRenderHandle(container);
  IVideoRenderer* renderer = nullptr;
  if (render_->CreateVideoRenderer(&renderer, owner_of_(&container)) != 0) renderer = nullptr;
  container.renderer = renderer;
  container.SetVideoViewFlag(mirror);
}

void MainViewModel::destroyRenderHandle(VideoContainerState& container) {
  if (render_ == nullptr || container.renderer == nullptr) return;
  render_->DestroyVideoRenderer(container.renderer);
  container.renderer = nullptr;
}

void MainViewModel::createActiveVideoRender() {
  const VideoRosterInfo& record = active_.record();
  if (record.rosterId.empty() || !SendsVideo(record) || active_.container().renderer != nullptr) return;
  createRenderHandle(active_.container(), mirrorFlag(record));
  // No renderer, no subscription: nothing would ever take it back.
  if (active_.container().renderer == nullptr) {
    VZ_LOG_ERROR("no renderer for [%s]", record.rosterId.c_str());
    return;
  }
  active_.container().StartWaiting(false);
  if (client_api_ != nullptr) {
    client_api_->RequestSourceVideo(record.rosterId, kSizeLarge, Handle(active_.container().renderer));
  }
}

void MainViewModel::destroyActiveVideoRender() {
  VideoContainerState& container = active_.container();
  if (container.renderer == nullptr) return;
  container.StopWaiting();
  if (client_api_ != nullptr) client_api_->UnRequestSourceVideo(active_.record().rosterId, Handle(container.renderer));
  destroyRenderHandle(container);
}

void MainViewModel::createThumbItemVideoRender(ThumbTile* tile) {
  if (tile == nullptr || tile->record.rosterId.empty() || !SendsVideo(tile->record) ||
      tile->container.renderer != nullptr) {
    return;
  }
  createRenderHandle(tile->container, mirrorFlag(tile->record));
  if (tile->container.renderer == nullptr) {
    VZ_LOG_ERROR("no renderer for [%s]", tile->record.rosterId.c_str());
    return;
  }
  tile->container.StartWaiting(true);
  if (client_api_ != nullptr) {
    client_api_->RequestSourceVideo(tile->record.rosterId, mode_ == kLayoutGrid ? kSizeGrid : kSizeStrip,
                                    Handle(tile->container.renderer));
  }
}

void MainViewModel::destroyThumbItemVideoRender(ThumbTile* tile) {
  if (tile == nullptr || tile->container.renderer == nullptr) return;
  tile->container.StopWaiting();
  if (client_api_ != nullptr) client_api_->UnRequestSourceVideo(tile->record.rosterId, Handle(tile->container.renderer));
  destroyRenderHandle(tile->container);
}

void MainViewModel::onPagination(const std::vector<ThumbTile*>& page) {
  VZ_LOG("page items [%d]", static_cast<int>(page.size()));
  // Every layout issues the page again: the page buttons follow the page
  // while the overlay shows, and stay hidden with it.
  strip_.updatePageButtons(fullscreen_button_shown_ && mode_ != kLayoutLargeOnly && !collapsed_);
  if (render_ == nullptr || cleaned_up_) return;
  for (ThumbTile* tile : strip_.allItems()) {
    if (std::find(page.begin(), page.end(), tile) == page.end()) destroyThumbItemVideoRender(tile);
  }
  for (ThumbTile* tile : page) createThumbItemVideoRender(tile);
  strip_.showThumbItems(page);
}

void MainViewModel::cleanAllVideoRender() {
  VZ_LOG("release every renderer");
  destroyActiveVideoRender();
  for (ThumbTile* tile : strip_.allItems()) destroyThumbItemVideoRender(tile);
}

void MainViewModel::restoreAllVideoRender() {
  VZ_LOG("restore");
  if (cleaned_up_) return;
  const VideoRosterInfo record = active_.record();
  updateActiveVideoRoster(record);
}

void MainViewModel::cleanUp() {
  if (cleaned_up_ || (render_ == nullptr && client_api_ == nullptr)) {
    cleaned_up_ = true;
    return;
  }
  VZ_LOG("begin");
  idle_deadline_.reset();
  cleanAllVideoRender();
  cleaned_up_ = true;
  render_ = nullptr;
  client_api_ = nullptr;
  VZ_LOG("end");
}

}  // namespace vzpanel

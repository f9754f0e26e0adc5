#pragma once
// The main screen view's participant model, without windows: which
// participants have a tile (visible ones that send video), who is in the
// large view and why (active speaker, spotlight or a choice made here), the
// three layout modes and their arithmetic, the collapsed strip, the overlay
// controls that hide after 3.5 s without mouse movement, the presenter's
// thumbnail menu, and a renderer bound to every shown container with the
// subscription size that fits it. The main view window draws from it and
// forwards its input; the controller calls it on the panel's UI thread.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/ui/ui_types.h"
#include "video/devices/ui/active_view_model.h"
#include "video/devices/ui/thumbs_strip_model.h"
#include "video/engine/core/video_options_interfaces.h"

namespace vzpanel {

// The conference client and the camera, as the main view uses them.
class IMainViewClient {
 public:
  // Subscribe a participant's video at a size type for a renderer, and take
  // the subscription back.
  virtual int32_t RequestSourceVideo(const std::string& roster_id, int32_t size_type, uintptr_t renderer) = 0;
  virtual int32_t UnRequestSourceVideo(const std::string& roster_id, uintptr_t renderer) = 0;
  // Spotlight a participant for everybody; "" clears the spotlight.
  virtual int32_t SetSpotlight(const std::string& roster_id) = 0;
  // Whether the current camera is a hardware device (false without one):
  // only then is my own picture mirrored.
  virtual bool IsCurrentCameraHardware() = 0;

 protected:
  ~IMainViewClient() = default;
};

// Layout modes.
enum PanelLayoutMode : int32_t { kLayoutLargeAndStrip = 0, kLayoutLargeOnly = 1, kLayoutGrid = 2 };

// Thumbnail menu commands.
inline constexpr uint32_t kCmdCancelSpotlight = 8920;
inline constexpr uint32_t kCmdSpotlightForAll = 8921;
inline constexpr uint32_t kCmdShowHere = 8922;

struct ThumbMenuItem {
  uint32_t command = 0;
  uint32_t text_id = 0;
};

inline constexpr uint64_t kOverlayIdleMs = 3500;
inline constexpr vz::Size kLargeVideoAspect{642, 362};

// What relayoutViewContent decided, for the window and for tests.
struct MainViewLayout {
  vz::Rect large;
  vz::Size cell;
  int rows = 0;
  int columns = 0;
  bool labels = true;
  vz::Rect strip;
  vz::Rect collapse_button;
  vz::Rect fullscreen_button;
  vz::Rect toolbar;
};

class MainViewModel {
 public:
  // `render` and `client` are not owned and may be null (nothing is then
  // rendered or subscribed). `owner_of` gives the window a renderer is made
  // for (the container's window); by default the container state itself.
  MainViewModel(IVideoRenderService* render, IMainViewClient* client, std::string my_roster_id,
                const vz::Clock& clock);
  ~MainViewModel();
  MainViewModel(const MainViewModel&) = delete;
  MainViewModel& operator=(const MainViewModel&) = delete;

  void setRendererOwner(std::function<void*(VideoContainerState*)> owner_of) { owner_of_ = std::move(owner_of); }

  // Sizes the window gives: the client area, the overlay buttons' images,
  // the strip's page button, and the toolbar's preferred size (none: no toolbar).
  void setClientSize(vz::Size size) { client_ = size; }
  void setButtonSizes(vz::Size fullscreen, vz::Size collapse, vz::Size page_button) {
    fullscreen_size_ = fullscreen;
    collapse_size_ = collapse;
    page_button_size_ = page_button;
  }
  // A toolbar given while the overlay shows is shown with it.
  void setToolbar(std::optional<vz::Size> preferred) {
    toolbar_ = preferred;
    toolbar_shown_ = toolbar_.has_value() && fullscreen_button_shown_ && mode_ != kLayoutLargeOnly;
  }

  // Called by the controller.
  void addVideoRoster(const VideoRosterInfo* record, bool refresh);
  void updateVideoRoster(const VideoRosterInfo& record);
  void removeVideoRoster(const VideoRosterInfo* record);
  // Between these, participants' changes only mark that a layout is due;
  // the end lays the view out once if any was (several changes in one turn
  // cost one layout).
  void beginRosterChanges() { in_roster_changes_ = true; }
  void endRosterChanges();
  void setActiveSpeakerRoster(const VideoRosterInfo* record);
  void setSpotlightRoster(const VideoRosterInfo* record);
  void setRosterVideoBlocked(const VideoRosterInfo* record, bool blocked);
  // Modes other than 0, 1 and 2 are ignored; rows and columns (or null)
  // replace the grid size only while in mode 2.
  void setLayoutMode(int32_t mode, const int32_t* rows_columns);
  // The highlight frame takes the header's background (a COLORREF).
  void setHeaderColors(uint32_t background, uint32_t text);
  void refreshMyVideoMirror();
  void showProgressingAnimation(bool show) { progress_shown_ = show; }
  void setFullscreenState(bool on) { fullscreen_ = on; }
  void cleanAllVideoRender();
  void restoreAllVideoRender();
  // Releases every renderer and forgets the client and the render service;
  // a second call does nothing.
  void cleanUp();
  void relayoutViewContent();
  // Tells every bound renderer that its container may have moved (the
  // window shell calls it once the containers' windows are in place, since
  // a renderer reads its container's place from the window).
  void notifyRendererPositions();

  // Input from the window.
  void onActiveSpeakerButtonTapped();
  // The items of the thumbnail menu to show (empty: no menu).
  std::vector<ThumbMenuItem> onThumbItemSingleTapped(ThumbTile* tile);
  void onCommand(uint32_t command);
  void onExpandCollapseButtonClicked();
  // A mouse move at a point of the client area: a new position shows the
  // overlay controls and restarts the idle timer.
  void onMouseMove(vz::Point point);
  // Hides the overlay controls once the idle time has passed (`cursor`: the
  // pointer in client coordinates, when known). True when it was due.
  bool onIdleTick(std::optional<vz::Point> cursor);
  // The double click: the full-screen toggle while in full screen (true is
  // returned to ask for it), else collapse in mode 0 when expanded.
  bool onDoubleClick(std::optional<vz::Point> cursor);

  // State for the window and for tests.
  ThumbsStripModel& strip() { return strip_; }
  ActiveViewModel& activeView() { return active_; }
  const MainViewLayout& layout() const { return layout_; }
  int32_t layoutMode() const { return mode_; }
  int32_t selectionForTesting() const { return selection_; }
  bool collapsedForTesting() const { return collapsed_; }
  bool myPresenterFlagForTesting() const { return my_presenter_; }
  int32_t gridRowsForTesting() const { return grid_rows_; }
  int32_t gridColumnsForTesting() const { return grid_columns_; }
  vz::Color highlightColour() const;
  bool stripShown() const { return strip_shown_; }
  bool activeViewShown() const { return active_shown_; }
  bool fullscreenButtonShown() const { return fullscreen_button_shown_; }
  bool collapseButtonShown() const { return collapse_button_shown_; }
  bool toolbarShown() const { return toolbar_shown_; }
  // How far the large view's name label moves up to clear the tool bar
  // (0 while the tool bar is hidden or there is none).
  int largeLabelInset() const;
  // Where the label must end (in the large view) not to run under the
  // strip beside it; ActiveViewModel::kNoLimit when the strip is not there.
  int largeLabelRightLimit() const;
  uint32_t fullscreenButtonImage() const;
  uint32_t collapseButtonImage() const { return collapse_image_; }
  bool progressShown() const { return progress_shown_; }
  bool idleTimerRunningForTesting() const { return idle_deadline_.has_value(); }
  const std::string& menuRosterIdForTesting() const { return menu_roster_id_; }
  int layoutsForTesting() const { return layouts_; }

 private:
  void showInActiveView(const VideoRosterInfo* record);
  void pickActiveForTwo();
  void pickSpecifiedItem();
  void showOverlayControls();
  void hideOverlayWhenIdle(std::optional<vz::Point> cursor);
  void restartIdleTimer() { idle_deadline_ = clock_.NowMs() + kOverlayIdleMs; }
  void onPagination(const std::vector<ThumbTile*>& page);
  bool mirrorFlag(const VideoRosterInfo& record);
  void createRenderHandle(VideoContainerState& container, bool mirror);
  void destroyRenderHandle(VideoContainerState& container);
  void createActiveVideoRender();
  void destroyActiveVideoRender();
  void createThumbItemVideoRender(ThumbTile* tile);
  void destroyThumbItemVideoRender(ThumbTile* tile);
  void updateActiveVideoRoster(const VideoRosterInfo& record);
  void afterRosterChange();
  vz::Size cellSize(const vz::Rect& large, int tiles) const;

  IVideoRenderService* render_;
  IMainViewClient* client_api_;
  const vz::Clock& clock_;
  std::function<void*(VideoContainerState*)> owner_of_;
  ActiveViewModel active_;
  ThumbsStripModel strip_;
  MainViewLayout layout_;
  vz::Size client_;
  vz::Size fullscreen_size_{24, 24};
  vz::Size collapse_size_{20, 20};
  vz::Size page_button_size_{16, 40};
  std::optional<vz::Size> toolbar_;

  int32_t mode_ = kLayoutLargeAndStrip;
  bool collapsed_ = false;
  int32_t grid_rows_ = 2;
  int32_t grid_columns_ = 1;
  uint32_t highlight_ = 0xFF0084FF;  // COLORREF; only the low 24 bits are a colour
  bool my_presenter_ = false;
  int32_t selection_ = kSelectionSpeaker;
  std::string last_active_speaker_;
  // The participant whose thumbnail menu is open: kept by roster id, so a
  // tile deleted while the menu runs is never read.
  std::string menu_roster_id_;
  std::optional<vz::Point> last_mouse_;
  std::optional<uint64_t> idle_deadline_;
  bool cleaned_up_ = false;
  bool in_roster_changes_ = false;
  bool roster_layout_due_ = false;
  int layouts_ = 0;

  bool strip_shown_ = false;
  bool active_shown_ = true;
  bool fullscreen_button_shown_ = false;
  bool collapse_button_shown_ = false;
  bool toolbar_shown_ = false;
  bool fullscreen_ = false;
  bool progress_shown_ = false;
  uint32_t collapse_image_ = 267;
};

}  // namespace vzpanel

#pragma once
// CVzMainScreenView: the child window that fills the video panel. It owns
// the main view's model and the windows that show it (the large view, the
// strip with its tiles and page buttons, the full-screen and collapse
// buttons), turns their input into model calls, and after every change
// brings the windows in line with the model (Sync). The presenter's
// thumbnail menu is a popup menu of the UI kit. UI thread only.
#include <functional>
#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/ui/window.h"
#include "uikit/gdip_button.h"
#include "video/devices/ui/active_video_view.h"
#include "video/devices/ui/main_view_model.h"
#include "video/devices/ui/thumbs_view.h"
#include "video/devices/ui/waiting_animation_window.h"

namespace vzpanel {

class CVzMainScreenView : public vz::WindowDelegate {
 public:
  CVzMainScreenView(IVideoRenderService* render, IMainViewClient* client, std::string my_roster_id,
                    const vz::Clock& clock);
  ~CVzMainScreenView() override;

  // Makes the window and its children under `parent` over `rect`.
  bool Create(vz::Window* parent, const vz::Rect& rect);
  // Releases every renderer and destroys the windows; the model stays.
  void Destroy();
  vz::Window* window() const { return window_.get(); }
  MainViewModel& model() { return model_; }
  CVzActiveVideoView& activeViewForTesting() { return active_; }
  const CVzWaitingAnimation& progressAnimationForTesting() const { return progress_; }
  void SetBounds(const vz::Rect& rect);
  // The toolbar's window (a sibling the view places), or null.
  void SetToolbar(vz::Window* toolbar, vz::Size preferred);
  // Brings every window in line with the model.
  void Sync();

  // The full-screen toggle (the panel's listener).
  std::function<void()> on_fullscreen_toggle;
  // The thumbnail menu's tracking; by default the UI kit's popup menu. Given
  // the items and the screen point, returns the command chosen (0: none).
  std::function<uint32_t(const std::vector<ThumbMenuItem>&, vz::Point)> track_menu;

  void OnPaint(vz::Canvas& canvas) override;
  void OnMouse(const vz::MouseEvent& event) override;
  void OnResize(vz::Size size) override;

 private:
  void OnChildMouse(const vz::MouseEvent& event, vz::Window* from);
  void OnTileTapped(ThumbTile* tile);
  void ShowTileMenu(const std::string& roster_id);
  void OnIdleTimer();
  std::optional<vz::Point> CursorInView();
  void MakeButton(CGdipButton& button, uint32_t id, std::initializer_list<uint32_t> images);

  MainViewModel model_;
  std::unique_ptr<vz::Window> window_;
  CVzActiveVideoView active_;
  CVzThumbsView strip_;
  CGdipButton fullscreen_button_;
  CGdipButton collapse_button_;
  CGdipButton prev_button_;
  CGdipButton next_button_;
  vz::Window* toolbar_ = nullptr;
  // The join's waiting animation while the model shows it.
  CVzWaitingAnimation progress_;
  // What the log last said of the overlay controls.
  bool overlay_logged_ = false;
  // False once the view is gone, for work it posted to itself.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace vzpanel

#pragma once
// VideoMainPanelWindow: the video panel. A top-level window holding the main
// screen view and the toolbar, or, when the meeting client names a container
// window, a window inside it that follows its size; full screen moves both
// into a window that covers the monitor the panel is on ("Velzar
// Full-Screen Video", the window layer's full-screen state), which Escape
// leaves; the panel is hidden once that window has the focus. The frame's
// close box, and the container going away, ask the controller to leave
// (WMVC_STATUS 4); the window goes when the controller destroys the panel. Minimised, the panel releases every
// renderer (and so every subscription); restored, it takes them again.
// UI thread only.
#include <memory>
#include <string>

#include "platform/ui/window.h"
#include "video/devices/ui/main_screen_view.h"
#include "video/devices/ui/video_panel.h"
#include "video/devices/ui/video_panel_toolbar.h"

namespace vzpanel {

class CWinVideoController;

class VideoMainPanelWindow : public vz::WindowDelegate, public IVideoPanel {
 public:
  static constexpr const char* kFullScreenTitle = "Velzar Full-Screen Video";
  static constexpr vz::Size kDefaultSize{640, 480};
  // The smallest client area the user may resize the top-level panel to.
  static constexpr vz::Size kMinimumSize{642, 474};

  // `controller` may be null (pictures, tests): commands then do nothing.
  VideoMainPanelWindow(CWinVideoController* controller, IVideoRenderService* render, IMainViewClient* client,
                       const std::u16string& my_roster_id, vz::WindowSystem* system, const vz::Clock& clock);
  ~VideoMainPanelWindow() override;

  // IVideoPanel.
  // A container the display does not have (or refuses) is logged, and the
  // panel opens as its own window instead.
  bool createVideoWindow(uint64_t container, int32_t layout) override;
  MainViewModel* mainView() override { return main_view_ ? &main_view_->model() : nullptr; }
  IVideoPanelToolbar* toolbar() override { return toolbar_.get(); }
  void removeToolbar() override;
  void setMyVideoStatus(bool started) override;
  void setTitle(const std::u16string& title) override;
  void activate() override;
  void onOptionsCommand() override;
  void refresh() override;
  void destroyVideoWindow() override;

  // The full-screen toggle: leaves full screen when in it, else enters it.
  void toggleFullScreen();
  bool isFullScreen() const { return fullscreen_ != nullptr; }
  // The container window the panel lives in; 0 for a top-level panel.
  uint64_t container() const { return container_; }
  bool isHiddenForTesting() const { return hidden_; }
  vz::Window* window() const { return window_.get(); }
  vz::Window* fullScreenWindow() const { return fullscreen_ ? fullscreen_->window.get() : nullptr; }
  CVzMainScreenView* mainScreenViewForTesting() const { return main_view_.get(); }
  VideoMainPanelToolbar* panelToolbar() const { return toolbar_.get(); }
  // The default place of the top-level panel on a screen.
  static vz::Rect DefaultBounds(const vz::Rect& screen);

  // vz::WindowDelegate (the panel window).
  void OnPaint(vz::Canvas&) override {}
  void OnResize(vz::Size size) override;
  void OnCloseRequest() override;
  void OnMinimize(bool minimized) override;
  void OnHostResize(vz::Size size) override;
  void OnHostGone() override;

 private:
  struct FullScreenWindow : vz::WindowDelegate {
    explicit FullScreenWindow(VideoMainPanelWindow* panel) : panel(panel) {}
    void OnPaint(vz::Canvas&) override {}
    bool OnKey(const vz::KeyEvent& event) override;
    void OnFocus(bool focused) override;
    void OnResize(vz::Size size) override;
    void OnCloseRequest() override;
    VideoMainPanelWindow* panel;
    std::unique_ptr<vz::Window> window;
  };

  // Makes the main view's and the toolbar's windows under `host`.
  void BuildViews(vz::Window* host);
  // Icon 309 of the bundle; a missing one is logged, not fatal.
  void SetPanelIcon();
  void OnToolbarCommand(uint32_t id);
  void PostToggle();
  // Entering full screen, the panel is hidden once the full-screen window
  // has the focus, or after kPanelHideDeadlineMs without it (a manager that
  // refuses it the focus must not leave the panel shown for ever).
  void AwaitFullScreenFocus();
  void HidePanelBehindFullScreen();
  void CancelPanelHide();

  CWinVideoController* controller_;
  vz::WindowSystem* system_;
  std::unique_ptr<vz::Window> window_;
  std::unique_ptr<CVzMainScreenView> main_view_;
  std::unique_ptr<VideoMainPanelToolbar> toolbar_;
  bool toolbar_removed_ = false;
  bool my_video_started_ = false;
  bool hidden_ = false;     // minimised: every renderer released
  uint64_t container_ = 0;  // the container window holding the panel
  std::unique_ptr<FullScreenWindow> fullscreen_;
  static constexpr uintptr_t kPanelHideTimer = 1;
  static constexpr uint32_t kPanelHideDeadlineMs = 5000;
  bool panel_hide_pending_ = false;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// The factory the controller uses: a panel on the process's window system
// (null, logged, when there is none).
VideoPanelFactory MakeWindowPanelFactory();

}  // namespace vzpanel

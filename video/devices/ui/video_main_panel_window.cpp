#include "video/devices/ui/video_main_panel_window.h"

#include <optional>
#include <vector>

#include "common/trace_client.h"
#include "outside/vzres/vzres.h"
#include "platform/run_loop.h"
#include "platform/text.h"
#include "video/devices/ui/panel_helpers.h"
#include "video/devices/ui/win_video_controller.h"
#include "video/engine/client/video_client_controller.h"

namespace vzpanel {

VideoMainPanelWindow::VideoMainPanelWindow(CWinVideoController* controller, IVideoRenderService* render,
                                           IMainViewClient* client, const std::u16string& my_roster_id,
                                           vz::WindowSystem* system, const vz::Clock& clock)
    : controller_(controller), system_(system) {
  VZ_LOG("VideoMainPanelWindow::VideoMainPanelWindow");
  main_view_ = std::make_unique<CVzMainScreenView>(render, client, ConvertWideToNarrow(my_roster_id), clock);
  main_view_->on_fullscreen_toggle = [this] { PostToggle(); };
  toolbar_ = std::make_unique<VideoMainPanelToolbar>();
  toolbar_->on_command = [this](uint32_t id) { OnToolbarCommand(id); };
}

VideoMainPanelWindow::~VideoMainPanelWindow() {
  VZ_LOG("VideoMainPanelWindow::~VideoMainPanelWindow");
  *alive_ = false;
  destroyVideoWindow();
}

vz::Rect VideoMainPanelWindow::DefaultBounds(const vz::Rect& screen) {
  return vz::Rect::FromXYWH(screen.left + (screen.Width() - kDefaultSize.width) / 4,
                            screen.top + (screen.Height() - kDefaultSize.height) / 2, kDefaultSize.width,
                            kDefaultSize.height);
}

bool VideoMainPanelWindow::createVideoWindow(uint64_t container, int32_t layout) {
  VZ_LOG("");
  if (system_ == nullptr) return false;
  vz::WindowParams params;
  params.class_name = "VideoMainPanelWindow";
  params.title = "";
  if (container != 0) {
    // Over the container's whole client area; it follows the container's size.
    params.host = container;
    window_ = system_->CreateWindow(params, this);
    if (window_) {
      container_ = container;
    } else {
      VZ_LOG_WARN("container window 0x%llx cannot hold the panel: it opens as its own window",
                  static_cast<unsigned long long>(container));
    }
  }
  if (!window_) {
    params.host = 0;
    params.bounds = DefaultBounds(system_->ScreenBounds());
    params.min_size = kMinimumSize;
    window_ = system_->CreateWindow(params, this);
  }
  if (!window_) return false;
  SetPanelIcon();
  BuildViews(window_.get());
  if (MainViewModel* view = mainView()) view->setLayoutMode(layout, nullptr);
  refresh();
  window_->Show(true);
  return true;
}

void VideoMainPanelWindow::BuildViews(vz::Window* host) {
  const vz::Rect client = host->ClientRect();
  if (main_view_) main_view_->Create(host, client);
  if (toolbar_ && !toolbar_removed_) {
    toolbar_->Create(host);
    toolbar_->setMyVideoImage(my_video_started_);
    if (main_view_) main_view_->SetToolbar(toolbar_->window(), toolbar_->preferredSize());
  }
}

void VideoMainPanelWindow::removeToolbar() {
  toolbar_removed_ = true;
  if (main_view_) main_view_->SetToolbar(nullptr, {});
  toolbar_.reset();
}

void VideoMainPanelWindow::setMyVideoStatus(bool started) {
  my_video_started_ = started;
  if (toolbar_) toolbar_->setMyVideoImage(started);
}

void VideoMainPanelWindow::setTitle(const std::u16string& title) {
  if (window_) window_->SetTitle(vz::Utf16ToUtf8(title));
}

void VideoMainPanelWindow::activate() {
  if (!window_) return;
  window_->Raise();
  if (!fullscreen_) window_->Focus();
}

void VideoMainPanelWindow::onOptionsCommand() {
  VZ_LOG("VideoMainPanelWindow::OnVideoOptionsClicked");
  if (controller_ == nullptr) return;
  if (controller_->IsOptionsWindowOpening() != 0) {
    controller_->CloseOptionsWindow();
  } else {
    controller_->OpenOptionsWindow(window_.get());
  }
}

void VideoMainPanelWindow::OnToolbarCommand(uint32_t id) {
  if (controller_ == nullptr) return;
  if (id == vzres::IDC_VIDEO_MY_VIDEO) {
    VZ_LOG("VideoMainPanelWindow::OnVideoBroadcastClicked");
    if (!controller_->HasClient()) return;
    if (controller_->IsMyVideoStarted() != 0) {
      controller_->StopMyVideo();
    } else {
      controller_->StartMyVideo(0);
    }
  } else if (id == vzres::IDC_VIDEO_OPTIONS) {
    onOptionsCommand();
  } else if (id == vzres::IDC_VIDEO_STATUS) {
    CVideoClientController* client = controller_->client();
    if (!toolbar_ || client == nullptr) return;
    auto mine = std::make_unique<VideoRosterInfo>();
    if (!client->CopyUser(client->my_roster_id(), mine.get())) return;
    auto* record = new RosterRecord(mine->head);
    controller_->PostMessage(WMVC_MY_ROSTER_STATUS, reinterpret_cast<uintptr_t>(record), toolbar_->status(),
                             [](uintptr_t wParam, intptr_t) { delete reinterpret_cast<RosterRecord*>(wParam); });
  }
}

void VideoMainPanelWindow::refresh() {
  if (!main_view_) return;
  if (toolbar_ && main_view_->window()) main_view_->SetToolbar(toolbar_->window(), toolbar_->preferredSize());
  main_view_->Sync();
}

void VideoMainPanelWindow::OnResize(vz::Size size) {
  VZ_LOG("size.cx=[%d], size.cy=[%d]", size.width, size.height);
  if (fullscreen_ || !main_view_ || !main_view_->window()) return;
  main_view_->SetBounds({0, 0, size.width, size.height});
}

void VideoMainPanelWindow::SetPanelIcon() {
  const std::vector<uint8_t> png = vzres::LoadResPng(vzres::IDI_VIDEO_PANEL);
  std::optional<vz::Image> icon = png.empty() ? std::nullopt : vz::Image::DecodePng(png);
  if (!icon || !window_->SetIcon(*icon)) VZ_LOG_WARN("the panel has no icon");
}

void VideoMainPanelWindow::OnMinimize(bool minimized) {
  const vz::Size size = window_ ? window_->bounds().GetSize() : vz::Size{};
  // The Windows size flags: 1 minimised, 0 restored.
  VZ_LOG("flags=[%d], size.cx=[%d], size.cy=[%d]", minimized ? 1 : 0, size.width, size.height);
  // In full screen the views are not the panel's.
  if (fullscreen_ || !main_view_ || !main_view_->window()) return;
  if (minimized) {
    hidden_ = true;
    main_view_->model().cleanAllVideoRender();
    return;
  }
  // The large view's renderer first, then the layout, which gives the
  // page's tiles theirs.
  if (hidden_) {
    hidden_ = false;
    main_view_->model().restoreAllVideoRender();
  }
  main_view_->SetBounds({0, 0, size.width, size.height});
  refresh();
}

void VideoMainPanelWindow::OnHostResize(vz::Size size) {
  VZ_LOG("container size.cx=[%d], size.cy=[%d]", size.width, size.height);
  if (window_ && window_->bounds().GetSize() != size) window_->SetBounds({0, 0, size.width, size.height});
}

void VideoMainPanelWindow::OnHostGone() {
  // The container took the panel's window with it, and the renderers'
  // windows too: the renderers are released at once, the views and windows
  // from the loop (this runs inside the window's own notification), and the
  // controller leaves the conference.
  VZ_LOG_WARN("the container window 0x%llx is gone: the panel closes", static_cast<unsigned long long>(container_));
  if (main_view_) main_view_->model().cleanAllVideoRender();
  if (controller_ != nullptr) {
    // The options window was made over the panel's window: it goes first.
    controller_->CloseOptionsWindow();
    controller_->PostMessage(WMVC_STATUS, 4, 0);
  }
  vz::RunLoop* loop = vz::RunLoop::Current();
  if (loop == nullptr) return;
  std::weak_ptr<bool> alive = alive_;
  loop->Post([this, alive] {
    if (alive.lock()) destroyVideoWindow();
  });
}

void VideoMainPanelWindow::OnCloseRequest() {
  // The controller leaves the conference; its leave destroys the panel.
  if (controller_ != nullptr) controller_->PostMessage(WMVC_STATUS, 4, 0);
}

void VideoMainPanelWindow::PostToggle() {
  // From the loop: the toggle rebuilds the windows whose handler asked for it.
  vz::RunLoop* loop = vz::RunLoop::Current();
  if (loop == nullptr) {
    toggleFullScreen();
    return;
  }
  std::weak_ptr<bool> alive = alive_;
  loop->Post([this, alive] {
    if (alive.lock()) toggleFullScreen();
  });
}

void VideoMainPanelWindow::toggleFullScreen() {
  if (!main_view_ || !window_) return;
  // The views' windows are made again under their new host; the renderers
  // go with the old windows and come back with the layout.
  main_view_->Destroy();
  if (toolbar_) toolbar_->Destroy();
  if (!fullscreen_) {
    fullscreen_ = std::make_unique<FullScreenWindow>(this);
    vz::WindowParams params;
    // Made where the panel is, full screen on the monitor it is on.
    const vz::Point origin = window_->ToScreen({0, 0});
    params.bounds = vz::Rect::FromXYWH(origin.x, origin.y, window_->bounds().Width(), window_->bounds().Height());
    params.title = kFullScreenTitle;
    params.class_name = "VzFullScreenVideo";
    fullscreen_->window = system_->CreateWindow(params, fullscreen_.get());
    if (fullscreen_->window && !fullscreen_->window->SetFullScreen(true)) fullscreen_->window.reset();
    if (!fullscreen_->window) {
      VZ_LOG_ERROR("no full-screen window");
      fullscreen_.reset();
      BuildViews(window_.get());
      refresh();
      return;
    }
    BuildViews(fullscreen_->window.get());
    main_view_->model().setFullscreenState(true);
    fullscreen_->window->Show(true);
    fullscreen_->window->Focus();
    // The panel goes once the full-screen window has the focus: hidden
    // before, it would hand the focus back to whatever window had it
    // before the panel, and a manager keeps a full-screen window above
    // docks and other windows only while it is the active one.
    if (fullscreen_->window->HasFocus()) {
      window_->Hide();
    } else {
      AwaitFullScreenFocus();
    }
  } else {
    CancelPanelHide();
    window_->Show(true);
    BuildViews(window_.get());
    fullscreen_.reset();
    main_view_->model().setFullscreenState(false);
  }
  main_view_->model().relayoutViewContent();
  main_view_->model().restoreAllVideoRender();
  refresh();
}

void VideoMainPanelWindow::AwaitFullScreenFocus() {
  panel_hide_pending_ = true;
  vz::RunLoop* loop = vz::RunLoop::Current();
  if (loop == nullptr) return;
  std::weak_ptr<bool> alive = alive_;
  loop->StartTimer(this, kPanelHideTimer, kPanelHideDeadlineMs, [this, alive] {
    if (!alive.lock()) return;
    VZ_LOG_WARN("the full-screen window has not had the focus for %u ms: the panel goes all the same",
                kPanelHideDeadlineMs);
    HidePanelBehindFullScreen();
  });
}

void VideoMainPanelWindow::HidePanelBehindFullScreen() {
  if (!panel_hide_pending_) return;
  CancelPanelHide();
  if (fullscreen_ && window_) window_->Hide();
}

void VideoMainPanelWindow::CancelPanelHide() {
  panel_hide_pending_ = false;
  if (vz::RunLoop* loop = vz::RunLoop::Current()) loop->KillTimer(this, kPanelHideTimer);
}

void VideoMainPanelWindow::FullScreenWindow::OnFocus(bool focused) {
  if (focused && window && window->system().ActiveWindow() == window.get()) panel->HidePanelBehindFullScreen();
}

bool VideoMainPanelWindow::FullScreenWindow::OnKey(const vz::KeyEvent& event) {
  if (event.keysym == vz::keys::kEscape && event.pressed) panel->PostToggle();
  return true;  // every other key is taken too
}

void VideoMainPanelWindow::FullScreenWindow::OnResize(vz::Size size) {
  if (panel->main_view_ && panel->main_view_->window()) panel->main_view_->SetBounds({0, 0, size.width, size.height});
}

void VideoMainPanelWindow::FullScreenWindow::OnCloseRequest() { panel->PostToggle(); }

void VideoMainPanelWindow::destroyVideoWindow() {
  VZ_LOG("");
  CancelPanelHide();
  // Each part is cleared as it goes, so a second call (the destructor after
  // the controller's leave) finds nothing to delete again.
  if (main_view_) {
    main_view_->model().cleanUp();
    main_view_.reset();
  }
  toolbar_.reset();
  fullscreen_.reset();
  window_.reset();
}

VideoPanelFactory MakeWindowPanelFactory() {
  return [](CWinVideoController* controller, const std::u16string& me) -> std::unique_ptr<IVideoPanel> {
    vz::WindowSystem* system = vz::WindowSystem::Current();
    if (system == nullptr) {
      VZ_LOG_ERROR("no window system: the video panel cannot open");
      return nullptr;
    }
    // The panel's images and texts; without the bundle they are missing, not fatal.
    if (!vzres::IsResourceLibraryLoaded()) vzres::LoadResourceLibrary("vzres");
    return std::make_unique<VideoMainPanelWindow>(controller, controller, controller, me, system, vz::SystemClock());
  };
}

}  // namespace vzpanel

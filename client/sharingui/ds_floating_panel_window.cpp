#include "client/sharingui/ds_floating_panel_window.h"

#include "client/sharingui/panel_geometry.h"
#include "common/trace_client.h"
#include "outside/vzres/vzres.h"
#include "outside/vzres/vzres_ids.h"
#include "platform/run_loop.h"

namespace {

using namespace vzres;

// The tinted part of the background image: the bar, not the tab.
constexpr vz::Rect kTintArea{2, 0, 426, 52};

struct ButtonImages {
  uint32_t id;
  std::initializer_list<std::pair<uint32_t, uint32_t>> images;  // (state, PNG)
  uint32_t text;
};

const ButtonImages kButtons[] = {
    {IDC_PANEL_AUDIO,
     {{1, IDB_AUDIO_OFF}, {2, IDB_AUDIO_OFF}, {3, IDB_AUDIO_UNMUTED}, {4, IDB_AUDIO_MUTED}, {5, IDB_AUDIO_STATE5},
      {6, IDB_AUDIO_STATE6}},
     IDS_PANEL_AUDIO},
    {IDC_PANEL_SHARE, {{2, IDB_SHARE_OFF}, {3, IDB_SHARE_ON}}, IDS_PANEL_SHARE},
    {IDC_PANEL_CONTROL, {{2, IDB_CONTROL_OFF}, {3, IDB_CONTROL_ON}}, IDS_PANEL_CONTROL},
    {IDC_PANEL_LASER, {{2, IDB_LASER_OFF}, {3, IDB_LASER_ON}}, IDS_PANEL_LASER},
    {IDC_PANEL_ANNOTATE, {{2, IDB_ANNOTATE_OFF}, {3, IDB_ANNOTATE_ON}}, IDS_PANEL_ANNOTATE},
    {IDC_PANEL_STOP, {}, IDS_STOP_SHARING},
};

const uint32_t kRowIds[panel_geometry::kRowButtonCount] = {IDC_PANEL_AUDIO, IDC_PANEL_SHARE, IDC_PANEL_CONTROL,
                                                            IDC_PANEL_LASER, IDC_PANEL_ANNOTATE};

vz::Font PanelFont(double pixels, int weight) {
  vz::Font font = DefaultControlFont();
  font.pixel_size = pixels;
  font.weight = weight;
  return font;
}

}  // namespace

CDSFloatingPanelWindow::CDSFloatingPanelWindow() : CVzDialog(IDD_SHARING_PANEL) {}

CDSFloatingPanelWindow::~CDSFloatingPanelWindow() { DestroyPanel(); }

void CDSFloatingPanelWindow::PrepareWindow(vz::WindowParams& params) {
  params.flags = vz::kWindowTopmost | vz::kWindowTool | vz::kWindowNoActivate | vz::kWindowOverrideRedirect;
  params.title = "";
  params.class_name = "CDSFloatingPanelWindow";
}

bool CDSFloatingPanelWindow::CreatePanel(vz::WindowSystem* system) {
  if (IsWindow()) return true;
  if (!CreateHidden(nullptr, system)) {
    VZ_LOG_ERROR("sharing panel not created");
    return false;
  }
  return true;
}

void CDSFloatingPanelWindow::DestroyPanel() {
  vz::RunLoop* loop = vz::RunLoop::Current();
  if (loop != nullptr) loop->KillTimers(this);
  background_window_.Destroy();
  DestroyWindow();
}

bool CDSFloatingPanelWindow::OnInitDialog() {
  for (const ButtonImages& entry : kButtons) {
    CImageButton* button = Button(entry.id);
    if (button == nullptr) {
      VZ_LOG_ERROR("panel control [%u] missing", entry.id);
      continue;
    }
    for (const auto& [state, png] : entry.images) button->AddImage(png, state);
    button->SetWindowText(LoadResString(entry.text));
    button->LoadHighlightImage(IDB_PANEL_HIGHLIGHT);
    button->text_color = text_color_;
  }
  // Touching the tab of the hidden panel (mostly the Stop button) slides it down.
  if (CImageButton* stop = Button(IDC_PANEL_STOP); stop != nullptr) {
    stop->forward_mouse_moves = true;
    std::shared_ptr<const bool> alive = alive_.Watch();
    stop->on_forwarded_move = [this, alive](const vz::MouseEvent&) {
      if (*alive) OnMouseMoveOver();
    };
    stop->SetFont(PanelFont(13, 700));
  }
  for (uint32_t id : {IDC_PANEL_AUDIO, IDC_PANEL_SHARE, IDC_PANEL_CONTROL, IDC_PANEL_ANNOTATE}) {
    if (CImageButton* button = Button(id); button != nullptr) {
      button->EnableWindow(false);
      button->SetFont(PanelFont(11, 400));
    }
  }
  if (CImageButton* laser = Button(IDC_PANEL_LASER); laser != nullptr) laser->SetFont(PanelFont(11, 400));
  for (uint32_t id : {IDC_PANEL_MEETING_ID, IDC_PANEL_HIDDEN_LABEL}) {
    if (CVzControl* label = GetDlgItem(id); label != nullptr) label->SetFont(PanelFont(13, 700));
  }
  if (auto* label = GetDlgItemAs<CStaticText>(IDC_PANEL_MEETING_ID); label != nullptr) {
    label->text_color = vz::ColorFromColorRef(text_color_ & 0xFFFFFF);
  }
  // The panel takes the background image's size, at the top centre.
  CGdiPlusBitmapResource image;
  image.Load(IDB_PANEL_BACKGROUND);
  vz::Size size = GetImageSize(image);
  if (size.width == 0 || size.height == 0) size = window()->bounds().GetSize();
  const vz::Rect rect = panel_geometry::TopCentre(window()->system().ScreenBounds().Width(), size);
  window()->SetBounds(rect);
  if (!background_window_.Create(&window()->system(), rect)) return false;
  window()->SetTitle("");
  RebuildBackground();
  Layout();
  return true;
}

void CDSFloatingPanelWindow::Layout() {
  if (!window()) return;
  const vz::Rect client = window()->ClientRect();
  const auto rects = panel_geometry::RowButtonRects(client.Width(), audio_visible_, control_visible_);
  for (int i = 0; i < panel_geometry::kRowButtonCount; ++i) {
    CImageButton* button = Button(kRowIds[i]);
    if (button == nullptr || button->window() == nullptr) continue;
    if (rects[i]) button->window()->SetBounds(*rects[i]);
    button->ShowWindow(rects[i].has_value());
  }
  if (CVzControl* label = GetDlgItem(IDC_PANEL_MEETING_ID); label != nullptr && label->window() != nullptr) {
    label->window()->SetBounds(panel_geometry::MeetingIdLabelRect());
  }
  if (CImageButton* stop = Button(IDC_PANEL_STOP); stop != nullptr && stop->window() != nullptr) {
    stop->window()->SetBounds(panel_geometry::StopButtonRect(client.Height()));
  }
  if (CVzControl* hidden = GetDlgItem(IDC_PANEL_HIDDEN_LABEL); hidden != nullptr) hidden->ShowWindow(false);
  // Each button shows the panel's background behind its image.
  for (const ButtonImages& entry : kButtons) {
    if (CImageButton* button = Button(entry.id); button != nullptr) button->CaptureBackground(background_cache_);
  }
}

void CDSFloatingPanelWindow::RebuildBackground() {
  CGdiPlusBitmapResource image;
  if (!image.Load(IDB_PANEL_BACKGROUND)) {
    VZ_LOG_ERROR("panel background image [%u] not loaded", IDB_PANEL_BACKGROUND);
    return;
  }
  TintImageRect(image, background_color_ & 0xFFFFFF, kTintArea);
  background_cache_ = *image.bitmap();
  background_window_.SetImage(background_cache_);
  if (window()) window()->Invalidate();
}

void CDSFloatingPanelWindow::setColors(uint32_t background, uint32_t text) {
  background_color_ = background;
  text_color_ = text;
  for (const ButtonImages& entry : kButtons) {
    if (CImageButton* button = Button(entry.id); button != nullptr) {
      button->text_color = text;
      button->Invalidate();
    }
  }
  if (auto* label = GetDlgItemAs<CStaticText>(IDC_PANEL_MEETING_ID); label != nullptr) {
    label->text_color = vz::ColorFromColorRef(text & 0xFFFFFF);
    label->Invalidate();
  }
  RebuildBackground();
  Layout();
}

void CDSFloatingPanelWindow::SetRemoteControlIndicator(bool active) {
  if (CImageButton* control = Button(IDC_PANEL_CONTROL); control != nullptr) control->SetImageState(active ? 3 : 2);
}

void CDSFloatingPanelWindow::SetLaserPressed(bool pressed) {
  if (CImageButton* laser = Button(IDC_PANEL_LASER); laser != nullptr) {
    laser->SetCheck(pressed);
    laser->SetImageState(pressed ? 3 : 2);
  }
}

void CDSFloatingPanelWindow::SetButtonVisible(uint32_t id, bool visible) {
  if (id == IDC_PANEL_AUDIO) audio_visible_ = visible;
  if (id == IDC_PANEL_CONTROL) control_visible_ = visible;
  Layout();
}

void CDSFloatingPanelWindow::SetMeetingIdText(const std::u16string& text) { SetDlgItemText(IDC_PANEL_MEETING_ID, text); }

void CDSFloatingPanelWindow::MoveBoth(const vz::Rect& bounds) {
  if (!window()) return;
  background_window_.SetBounds(bounds);
  window()->SetBounds(bounds);
}

void CDSFloatingPanelWindow::ShowPanel(bool show) {
  if (!window()) return;
  if (!show) {
    KillPanelTimer(kHideTimer);
    KillPanelTimer(kSlideTimer);
    sliding_ = false;
    background_window_.Show(false);
    window()->Hide();
    return;
  }
  shown_once_ = true;
  const vz::Rect rect =
      panel_geometry::TopCentre(window()->system().ScreenBounds().Width(), window()->bounds().GetSize());
  MoveBoth(rect);
  window()->SetShape(panel_geometry::PanelRegion(rect.Width(), rect.Height()));
  background_window_.Show(true);
  window()->Show(false);
  window()->Raise();
  SetPanelTimer(kHideTimer, kHideDelayMs);
}

bool CDSFloatingPanelWindow::IsPanelVisible() const { return window() != nullptr && window()->IsVisible(); }

bool CDSFloatingPanelWindow::IsSlidingForTesting() const { return sliding_; }

void CDSFloatingPanelWindow::SetPanelTimer(uintptr_t id, uint32_t interval_ms) {
  std::shared_ptr<const bool> alive = alive_.Watch();
  vz::RunLoop::ForCurrentThread().StartTimer(this, id, interval_ms, [this, alive, id] {
    if (*alive) OnTimer(id);
  });
}

void CDSFloatingPanelWindow::KillPanelTimer(uintptr_t id) {
  if (vz::RunLoop* loop = vz::RunLoop::Current(); loop != nullptr) loop->KillTimer(this, id);
}

void CDSFloatingPanelWindow::OnTimer(uintptr_t id) {
  if (!window()) return;
  if (id == kHideTimer) {
    const vz::Point cursor = window()->system().PointerPosition();
    if (window()->bounds().Contains(cursor)) return;  // the timer keeps running
    KillPanelTimer(kHideTimer);
    StartSlide(1);
  } else if (id == kSlideTimer) {
    SlideTick();
  }
}

void CDSFloatingPanelWindow::StartSlide(int direction) {
  slide_direction_ = direction;
  sliding_ = true;
  SetPanelTimer(kSlideTimer, kSlideIntervalMs);
}

void CDSFloatingPanelWindow::SlideTick() {
  if (menu_open_ || !window()) return;
  const vz::Rect bounds = window()->bounds();
  const panel_geometry::SlideStep step =
      slide_direction_ == 1 ? panel_geometry::SlideUp(bounds.top) : panel_geometry::SlideDown(bounds.top);
  MoveBoth(vz::Rect::FromXYWH(bounds.left, step.top, bounds.Width(), bounds.Height()));
  if (step.done) {
    KillPanelTimer(kSlideTimer);
    sliding_ = false;
  }
}

void CDSFloatingPanelWindow::OnMouseMoveOver() {
  if (mouse_tracked_) return;
  mouse_tracked_ = true;
  KillPanelTimer(kHideTimer);
  StartSlide(0);
  SlideTick();
}

void CDSFloatingPanelWindow::OnMouse(const vz::MouseEvent& event) {
  if (!window()) return;
  switch (event.action) {
    case vz::MouseAction::kEnter:
    case vz::MouseAction::kMove:
      OnMouseMoveOver();
      if (dragging_ && window()->HasCapture()) {
        const int dx = event.screen_position.x - drag_origin_.x;
        drag_origin_ = event.screen_position;
        const int primary_width = [&] {
          for (const vz::MonitorArea& monitor : window()->system().Monitors()) {
            if (monitor.primary) return monitor.bounds.Width();
          }
          return window()->system().ScreenBounds().Width();
        }();
        MoveBoth(panel_geometry::Dragged(window()->bounds(), dx, primary_width));
      }
      break;
    case vz::MouseAction::kLeave:
      mouse_tracked_ = false;
      SetPanelTimer(kHideTimer, kHideDelayMs);
      break;
    case vz::MouseAction::kPress:
      if (event.button != vz::MouseButton::kLeft) break;
      drag_origin_ = event.screen_position;
      dragging_ = true;
      window()->SetCapture();
      break;
    case vz::MouseAction::kRelease:
      if (event.button != vz::MouseButton::kLeft) break;
      dragging_ = false;
      window()->ReleaseCapture();
      break;
    default:
      break;
  }
}

void CDSFloatingPanelWindow::OnPaint(vz::Canvas& canvas) {
  const vz::Size size = canvas.size();
  canvas.ClearRect({0, 0, size.width, size.height}, 0);
  canvas.DrawImage(background_cache_, 0, 0);
}

void CDSFloatingPanelWindow::OnCommand(uint32_t id, int code) {
  if (code != kNotifyClicked) return;
  switch (id) {
    case IDC_PANEL_SHARE:
      OnShareClicked();
      break;
    case IDC_PANEL_AUDIO:
      OnAudioClicked();
      break;
    case IDC_PANEL_CONTROL:
      OnControlClicked();
      break;
    case IDC_PANEL_LASER:
      OnLaserpointerClicked();
      break;
    case IDC_PANEL_ANNOTATE:
      OnAnnotateClicked();
      break;
    case IDC_PANEL_STOP:
      OnStopClicked();
      break;
    default:
      break;
  }
}

void CDSFloatingPanelWindow::DispatchMenuCommand(uint32_t id) {
  if (id >= kPanelMenuFirstCommand && id <= kPanelMenuLastCommand) OnPopupMenuCommandClicked(0, id);
}

void CDSFloatingPanelWindow::PostPanelMessage(uint32_t message) {
  std::shared_ptr<const bool> alive = alive_.Watch();
  vz::RunLoop::ForCurrentThread().Post([this, alive, message] {
    if (*alive) HandleMessage(message);
  });
}

void CDSFloatingPanelWindow::HandleMessage(uint32_t message) {
  switch (message) {
    case kPanelSelectionConfirmed:
      OnSelectionConfirmed();
      break;
    case kPanelSelectionClosed:
      OnSelectionClosed();
      break;
    case kPanelWindowListRefresh:
      OnWindowListRefresh();
      break;
    case kPanelAnnotationToolClicked:
      OnAnnotationToolButtonClicked();
      break;
    default:
      VZ_LOG_ERROR("unknown panel message [%u]", message);
      break;
  }
}

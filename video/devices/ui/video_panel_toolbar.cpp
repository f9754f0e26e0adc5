#include "video/devices/ui/video_panel_toolbar.h"

#include "common/trace_client.h"
#include "outside/vzres/vzres.h"
#include "video/devices/ui/panel_helpers.h"

namespace vzpanel {
namespace {

constexpr int kHeight = 30;
constexpr int kButtonStep = 36;
constexpr int kButtonWidth = 24;
constexpr uint32_t kOrder[] = {vzres::IDC_VIDEO_MY_VIDEO, vzres::IDC_VIDEO_OPTIONS, vzres::IDC_VIDEO_STATUS};

}  // namespace

VideoMainPanelToolbar::VideoMainPanelToolbar() {
  VZ_LOG("VideoMainPanelToolbar::VideoMainPanelToolbar");
  for (uint32_t id : kOrder) visible_[id] = true;
}

VideoMainPanelToolbar::~VideoMainPanelToolbar() {
  VZ_LOG("VideoMainPanelToolbar::~VideoMainPanelToolbar");
  Destroy();
}

uint32_t VideoMainPanelToolbar::StatusImage(int32_t state) {
  switch (state) {
    case 1:
    case 4:
      return vzres::IDB_VIDEO_STATUS1;
    case 2:
    case 8:
      return vzres::IDB_VIDEO_STATUS2;
    case 3:
      return vzres::IDB_VIDEO_STATUS3;
    case 5:
      return vzres::IDB_VIDEO_STATUS5;
    case 6:
      return vzres::IDB_VIDEO_STATUS6;
    case 7:
      return vzres::IDB_VIDEO_STATUS7;
    default:
      return 0;
  }
}

bool VideoMainPanelToolbar::Create(vz::Window* parent) {
  vz::WindowParams params;
  params.parent = parent;
  params.bounds = {0, 0, 48, kHeight};
  params.class_name = "VideoMainPanelToolbar";
  window_ = parent->system().CreateWindow(params, this);
  if (!window_) return false;
  const auto dialog = vzres::LoadResDialog(vzres::IDD_VIDEO_TOOLBAR);
  if (!dialog) {
    VZ_LOG_ERROR("the tool bar's dialog %u is not in the resource bundle", vzres::IDD_VIDEO_TOOLBAR);
  } else {
    for (uint32_t id : kOrder) {
      const vzres::DialogControl* control = dialog->FindControl(id);
      if (control == nullptr) continue;
      auto button = std::make_unique<CGdipButton>();
      if (id == vzres::IDC_VIDEO_MY_VIDEO) {
        button->AddImage(vzres::IDB_VIDEO_STOPPED, vzres::IDB_VIDEO_STOPPED);
        button->AddImage(vzres::IDB_VIDEO_STARTED, vzres::IDB_VIDEO_STARTED);
      } else if (id == vzres::IDC_VIDEO_OPTIONS) {
        button->AddImage(vzres::IDB_VIDEO_OPTIONS, vzres::IDB_VIDEO_OPTIONS);
      } else {
        for (int32_t state = 1; state <= 8; ++state) button->AddImage(StatusImage(state), static_cast<uint32_t>(state));
      }
      button->Create(window_.get(), vz::Rect::FromXYWH(control->x, control->y, control->width, control->height), id,
                     u"");
      button->SetBackgroundColor(0x151515);
      button->grey_when_disabled = true;
      button->window()->SetCursor(vz::CursorKind::kHand);
      button->SetCommandHandler([this](uint32_t which, int) {
        if (on_command) on_command(which);
      });
      buttons_[id] = std::move(button);
    }
  }
  // Made again (full screen entered or left): the buttons take back the
  // state the panel gave them before.
  for (const auto& [id, button] : buttons_) button->ShowWindow(visible_[id]);
  if (status_ != 0) setStatus(status_);
  window_->Show(false);
  Layout(window_->ClientRect().GetSize());
  return true;
}

void VideoMainPanelToolbar::Destroy() {
  buttons_.clear();
  window_.reset();
}

CGdipButton* VideoMainPanelToolbar::button(uint32_t id) const {
  auto found = buttons_.find(id);
  return found != buttons_.end() ? found->second.get() : nullptr;
}

void VideoMainPanelToolbar::showButton(uint32_t id, bool show) {
  visible_[id] = show;
  if (CGdipButton* b = button(id)) b->ShowWindow(show);
  if (window_) Layout(window_->ClientRect().GetSize());
}

bool VideoMainPanelToolbar::buttonVisible(uint32_t id) const {
  auto found = visible_.find(id);
  return found != visible_.end() && found->second && button(id) != nullptr;
}

void VideoMainPanelToolbar::setInvisibleMode() {
  showButton(vzres::IDC_VIDEO_MY_VIDEO, false);
  showButton(vzres::IDC_VIDEO_OPTIONS, false);
  showButton(vzres::IDC_VIDEO_STATUS, true);
  setStatus(8);
}

void VideoMainPanelToolbar::setLogo(bool on) {
  if (on) {
    logo_.Load(vzres::IDB_LOGO);
  } else {
    logo_.Reset();
  }
  if (window_) {
    Layout(window_->ClientRect().GetSize());
    window_->Invalidate();
  }
}

void VideoMainPanelToolbar::setStatus(int32_t state) {
  if (StatusImage(state) == 0) return;
  status_ = state;
  if (CGdipButton* b = button(vzres::IDC_VIDEO_STATUS)) {
    b->SetCurrentImage(static_cast<uint32_t>(state));
    b->EnableWindow(state != 1 && state != 5 && state != 6);
  }
}

void VideoMainPanelToolbar::setMyVideoImage(bool started) {
  if (CGdipButton* b = button(vzres::IDC_VIDEO_MY_VIDEO)) {
    b->SetCurrentImage(started ? vzres::IDB_VIDEO_STARTED : vzres::IDB_VIDEO_STOPPED);
  }
}

int VideoMainPanelToolbar::LogoWidth() const { return logo_.HasBitmap() ? GetImageSize(logo_).width : 0; }

vz::Size VideoMainPanelToolbar::preferredSize() const {
  int width = logo_.HasBitmap() ? LogoWidth() + 36 : 12;
  for (uint32_t id : kOrder) {
    if (buttonVisible(id)) width += kButtonStep;
  }
  return {width, kHeight};
}

std::map<uint32_t, vz::Rect> VideoMainPanelToolbar::ButtonPlaces(int height) const {
  std::map<uint32_t, vz::Rect> places;
  const CGdipButton* my_video = button(vzres::IDC_VIDEO_MY_VIDEO);
  const int h = my_video != nullptr && my_video->GetCurrentImageSize().height > 0
                    ? my_video->GetCurrentImageSize().height
                    : 24;
  const int y = (height - h) / 2;
  int x = logo_.HasBitmap() ? LogoWidth() + 36 : 12;
  for (uint32_t id : {vzres::IDC_VIDEO_MY_VIDEO, vzres::IDC_VIDEO_OPTIONS}) {
    if (!buttonVisible(id)) continue;
    places[id] = vz::Rect::FromXYWH(x, y, kButtonWidth, h);
    x += kButtonStep;
  }
  places[vzres::IDC_VIDEO_STATUS] = vz::Rect::FromXYWH(x, y, kButtonWidth, h);
  return places;
}

void VideoMainPanelToolbar::Layout(vz::Size size) {
  for (const auto& [id, rect] : ButtonPlaces(size.height)) {
    if (CGdipButton* b = button(id)) {
      if (b->window()) b->window()->SetBounds(rect);
    }
  }
}

void VideoMainPanelToolbar::OnPaint(vz::Canvas& canvas) {
  const vz::Size size = window_ ? window_->ClientRect().GetSize() : canvas.size();
  canvas.FillRect({0, 0, size.width, size.height}, kToolbarBackground);
  if (logo_.HasBitmap()) {
    const vz::Size logo = GetImageSize(logo_);
    canvas.DrawImage(*logo_.bitmap(), 12, (size.height - logo.height) / 2);
    canvas.FillRect({logo.width + 23, 0, logo.width + 24, size.height}, 0xFF000000);
  }
}

}  // namespace vzpanel

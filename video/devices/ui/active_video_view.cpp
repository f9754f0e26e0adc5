#include "video/devices/ui/active_video_view.h"

#include "outside/vzres/vzres.h"
#include "platform/text.h"
#include "video/devices/ui/panel_helpers.h"

namespace vzpanel {
namespace {

constexpr uint32_t kButtonId = 1;

std::u16string NameOf(const VideoRosterInfo& record) {
  return ComposeTileName(record.head.Name, record.head.IsHost != 0, record.head.IsPresenter != 0,
                         vzres::LoadResString(vzres::IDS_VIDEO_HOST_WORD),
                         vzres::LoadResString(vzres::IDS_VIDEO_PRESENTER_WORD));
}

}  // namespace

bool CVzNameLabel::Create(vz::Window* parent) {
  vz::WindowParams params;
  params.parent = parent;
  params.bounds = {0, 0, 1, 1};
  params.class_name = "CVzNameLabel";
  window_ = parent->system().CreateWindow(params, this);
  return window_ != nullptr;
}

void CVzNameLabel::SetText(const std::u16string& text) {
  // A name of 112 units or more is refused: the label keeps what it had.
  if (text.size() >= kTileNameRefusedAt || text == text_) return;
  text_ = text;
  if (window_) window_->Invalidate();
}

void CVzNameLabel::OnPaint(vz::Canvas& canvas) {
  const vz::Size size = window_ ? window_->ClientRect().GetSize() : canvas.size();
  canvas.FillRect({0, 0, size.width, size.height}, kPanelBackground);
  vz::TextStyle style;
  style.font = PanelFont(13);
  style.color = kNameText;
  style.valign = vz::TextVAlign::kMiddle;
  style.ellipsis = true;
  // The label is the measured text + 4 wide: 2 on the left, and the right
  // 2 as slack for a measure that rounds differently from the drawing, so a
  // name that was measured to fit is not ellipsized.
  canvas.DrawText(text_, {2, 0, size.width, size.height}, style);
}

CVzActiveVideoView::CVzActiveVideoView(ActiveViewModel* model)
    : model_(model), container_(&model->container(), true) {}

CVzActiveVideoView::~CVzActiveVideoView() { Destroy(); }

bool CVzActiveVideoView::Create(vz::Window* parent) {
  vz::WindowParams params;
  params.parent = parent;
  params.class_name = "CVzActiveVideoView";
  window_ = parent->system().CreateWindow(params, this);
  if (!window_) return false;
  container_.on_mouse = [this](const vz::MouseEvent& event) { OnMouse(event); };
  container_.Create(window_.get(), {1, 1, 2, 2});
  label_.Create(window_.get());
  button_.Create(window_.get(), {3, 3, 9, 19}, kButtonId, u"");
  button_.SetBackgroundColor(0x2D2D2D);
  button_.SetFont(PanelFont(11, 400));
  button_.SetCommandHandler([this](uint32_t, int) {
    if (on_button) on_button();
  });
  button_.ShowWindow(false);
  return true;
}

void CVzActiveVideoView::Destroy() {
  button_.Destroy();
  label_.Destroy();
  container_.Destroy();
  window_.reset();
}

void CVzActiveVideoView::SyncButton() {
  const ActiveButtonLook& look = model_->button();
  if (look.image != button_image_) {
    if (look.image != 0) button_.SetImage(look.image, look.image);
    button_image_ = look.image;
    button_.SetCurrentImage(look.image);
  }
  const std::u16string text = look.text_id != 0 ? vzres::LoadResString(look.text_id) : u"";
  if (text != button_.GetWindowText()) button_.SetWindowText(text);
  button_.EnableWindow(look.enabled);
  const int image_width = look.image != 0 ? button_.GetCurrentImageSize().width : 0;
  const int text_width = text.empty() ? 0 : vz::DefaultTextMeasurer().MeasureText(vz::Utf16ToUtf8(text), button_.font()).width;
  if (button_.window()) button_.window()->SetBounds(ActiveViewModel::ButtonRect(image_width, text_width));
  button_.ShowWindow(look.shown);
}

void CVzActiveVideoView::Sync(const vz::Rect& bounds, bool visible, int label_inset, int label_right) {
  if (!window_) return;
  if (window_->bounds() != bounds) window_->SetBounds(bounds);
  container_.SetBounds(ActiveViewModel::ContainerRect(bounds.GetSize()));
  container_.Sync();
  SyncButton();
  if (label_.window()) {
    const std::u16string name = NameOf(model_->record());
    label_.SetText(name);
    const int text_width = vz::DefaultTextMeasurer().MeasureText(vz::Utf16ToUtf8(name), PanelFont(13)).width;
    label_.window()->SetBounds(ActiveViewModel::LabelRect(bounds.GetSize(), text_width, label_inset, label_right));
    if (model_->labelShown()) {
      label_.window()->Show(false);
    } else {
      label_.window()->Hide();
    }
  }
  if (visible && !window_->IsVisible()) window_->Show(false);
  if (!visible && window_->IsVisible()) window_->Hide();
  window_->Invalidate();
}

void CVzActiveVideoView::OnPaint(vz::Canvas& canvas) {
  const vz::Size size = window_ ? window_->ClientRect().GetSize() : canvas.size();
  canvas.FillRect({0, 0, size.width, size.height}, kActiveViewBackground);
}

void CVzActiveVideoView::OnMouse(const vz::MouseEvent& event) {
  if (event.action == vz::MouseAction::kMove || event.action == vz::MouseAction::kDoubleClick) {
    if (on_mouse) on_mouse(event);
  }
}

}  // namespace vzpanel

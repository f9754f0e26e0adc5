#include "video/devices/ui/hint_label_window.h"

#include "common/trace_client.h"
#include "outside/vzres/vzres.h"
#include "platform/text.h"
#include "video/devices/ui/panel_helpers.h"

namespace vzpanel {

bool CVzHintLabel::Create(vz::Window* parent) {
  if (window_) return true;
  if (parent == nullptr) return false;
  text_ = vzres::LoadResString(vzres::IDS_VIDEO_HINT);
  vz::WindowParams params;
  params.parent = parent;
  params.bounds = vz::Rect::FromXYWH(0, 0, 1, 1);
  params.class_name = "CVzHintLabel";
  window_ = parent->system().CreateWindow(params, this);
  if (!window_) {
    VZ_LOG_ERROR("no window for the hint label");
    return false;
  }
  Place(parent->ClientRect().GetSize());
  window_->Show(false);
  window_->Raise();
  return true;
}

void CVzHintLabel::Place(vz::Size client) {
  if (!window_) return;
  const HintPlacement hint = PlaceHintLabel(client, vz::Utf16ToUtf8(text_), vz::DefaultTextMeasurer());
  font_height_ = hint.font_height;
  if (window_->bounds() != hint.rect) window_->SetBounds(hint.rect);
  window_->Invalidate();
}

void CVzHintLabel::OnPaint(vz::Canvas& canvas) {
  const vz::Size size = window_ ? window_->ClientRect().GetSize() : canvas.size();
  const vz::Rect all{0, 0, size.width, size.height};
  canvas.FillRect(all, kHintBackground);
  vz::TextStyle style;
  style.font = PanelFont(font_height_);
  style.color = kHintText;
  style.align = vz::TextAlign::kCenter;
  style.valign = vz::TextVAlign::kMiddle;
  style.ellipsis = true;
  canvas.DrawText(vz::Utf16ToUtf8(text_), all, style);
}

void CVzHintLabel::OnMouse(const vz::MouseEvent& event) {
  if (on_mouse) on_mouse(event);
}

}  // namespace vzpanel

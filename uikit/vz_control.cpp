#include "uikit/vz_control.h"

#include "common/trace_client.h"

vz::Font DefaultControlFont() {
  vz::Font font;
  font.pixel_size = 12;
  return font;
}

bool CVzControl::Create(vz::Window* parent, const vz::Rect& rect, uint32_t id, const std::u16string& text,
                        uint32_t style) {
  if (parent == nullptr) {
    VZ_LOG_ERROR("control [%u] without a parent", id);
    return false;
  }
  id_ = id;
  style_ = style;
  text_ = text;
  vz::WindowParams params;
  params.parent = parent;
  params.bounds = rect;
  params.class_name = "control";
  window_ = parent->system().CreateWindow(params, this);
  if (!window_) {
    VZ_LOG_ERROR("control [%u] not created", id);
    return false;
  }
  if (style_ & kStyleDisabled) window_->SetEnabled(false);
  if (style == 0 || (style_ & kStyleVisible)) window_->Show(false);
  return true;
}

void CVzControl::SetWindowText(const std::u16string& text) {
  text_ = text;
  Invalidate();
}

void CVzControl::EnableWindow(bool enabled) {
  if (enabled) {
    style_ &= ~kStyleDisabled;
  } else {
    style_ |= kStyleDisabled;
  }
  if (window_) window_->SetEnabled(enabled);
}

void CVzControl::ShowWindow(bool show) {
  if (!window_) return;
  if (show) {
    window_->Show(false);
  } else {
    window_->Hide();
  }
}

void CVzControl::Invalidate() {
  if (window_) window_->Invalidate();
}

void CVzControl::NotifyCommand(int code) {
  if (on_command_) on_command_(id_, code);
}

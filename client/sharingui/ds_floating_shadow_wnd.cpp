#include "client/sharingui/ds_floating_shadow_wnd.h"

#include "common/trace_client.h"

bool CDSFloatingShadowWnd::Create(vz::WindowSystem* system, const vz::Rect& bounds) {
  if (system == nullptr) {
    VZ_LOG_ERROR("no window system");
    return false;
  }
  vz::WindowParams params;
  params.bounds = bounds;
  params.flags = vz::kWindowTopmost | vz::kWindowTool | vz::kWindowNoActivate | vz::kWindowOverrideRedirect |
                 vz::kWindowTranslucent | vz::kWindowDisabled;
  params.title = "sharing panel background";
  params.class_name = "CDSFloatingShadowWnd";
  window_ = system->CreateWindow(params, this);
  if (!window_) {
    VZ_LOG_ERROR("background window not created");
    return false;
  }
  Rebuild();
  return true;
}

void CDSFloatingShadowWnd::SetImage(const vz::Image& image) {
  image_ = image;
  Rebuild();
}

void CDSFloatingShadowWnd::SetBounds(const vz::Rect& bounds) {
  if (!window_) return;
  const bool resized = window_->bounds().GetSize() != bounds.GetSize();
  window_->SetBounds(bounds);
  if (resized) Rebuild();
}

void CDSFloatingShadowWnd::Show(bool show) {
  if (!window_) return;
  if (show) {
    window_->Show(false);
  } else {
    window_->Hide();
  }
}

void CDSFloatingShadowWnd::Rebuild() {
  if (!window_) return;
  const vz::Size size = window_->bounds().GetSize();
  buffer_ = vz::Image(size.width, size.height);
  if (!image_.IsEmpty() && !buffer_.IsEmpty()) {
    auto canvas = vz::CreateImageCanvas(buffer_);
    canvas->DrawImageScaled(image_, {0, 0, size.width, size.height});
  }
  ++render_count_;
  window_->Invalidate();
}

void CDSFloatingShadowWnd::OnPaint(vz::Canvas& canvas) {
  const vz::Size size = canvas.size();
  canvas.ClearRect({0, 0, size.width, size.height}, 0);
  canvas.DrawImage(buffer_, 0, 0);
}

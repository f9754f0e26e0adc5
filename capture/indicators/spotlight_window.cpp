#include "capture/indicators/spotlight_window.h"

#include "common/trace_client.h"
#include "platform/run_loop.h"
#include "platform/ui/canvas.h"

namespace vzgrab {

namespace {
constexpr uintptr_t kTopmostTimerId = 1;
}

CSpotlightWindow::~CSpotlightWindow() { vz::RunLoop::ForCurrentThread().KillTimers(this); }

std::unique_ptr<CSpotlightWindow> CSpotlightWindow::Create(vz::WindowSystem& system, vz::Image picture,
                                                           vz::Point center) {
  std::unique_ptr<CSpotlightWindow> window(new CSpotlightWindow(std::move(picture)));
  if (!window->MakeWindow(system, center, false)) return nullptr;
  return window;
}

bool CSpotlightWindow::MakeWindow(vz::WindowSystem& system, vz::Point center, bool clickable) {
  if (picture_.IsEmpty()) {
    VZ_LOG_ERROR("no picture for the spotlight window");
    return false;
  }
  vz::WindowParams params;
  params.bounds = vz::Rect::FromXYWH(center.x - picture_.width() / 2, center.y - picture_.height() / 2,
                                     picture_.width(), picture_.height());
  params.flags = vz::kWindowTopmost | vz::kWindowTool | vz::kWindowNoActivate | vz::kWindowOverrideRedirect |
                 vz::kWindowTranslucent;
  if (!clickable) params.flags |= vz::kWindowDisabled;
  params.class_name = kSpotlightClassName;
  params.title = kSpotlightClassName;
  window_ = system.CreateWindow(params, this);
  if (!window_) {
    VZ_LOG_ERROR("Create spotlight window failed");
    return false;
  }
  if (!clickable) window_->SetInputShape({});  // the cursor's clicks go where it points
  window_->Show(false);
  window_->Raise();
  CSpotlightWindow* self = this;
  vz::RunLoop::ForCurrentThread().StartTimer(this, kTopmostTimerId, kSpotlightTopmostMs, [self] {
    if (self->window_) self->window_->Raise();
  });
  return true;
}

void CSpotlightWindow::CenterOn(vz::Point center) {
  if (!window_) return;
  const vz::Rect b = window_->bounds();
  const int left = center.x - b.Width() / 2, top = center.y - b.Height() / 2;
  if (left != b.left || top != b.top) window_->Move(left, top);
}

void CSpotlightWindow::SetAlphaPercent(int percent) {
  if (percent == alpha_percent_) return;
  alpha_percent_ = percent;
  if (window_) window_->SetOpacity(static_cast<uint8_t>(percent * 255 / 100));
}

void CSpotlightWindow::OnPaint(vz::Canvas& canvas) {
  if (!window_) return;
  canvas.DrawImageScaled(picture_, window_->ClientRect());
  PaintContent(canvas);
}

}  // namespace vzgrab

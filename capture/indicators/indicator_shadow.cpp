#include "capture/indicators/indicator_shadow.h"

#include "common/trace_client.h"
#include "platform/run_loop.h"
#include "platform/ui/canvas.h"

namespace vzgrab {

namespace {
constexpr uintptr_t kShadowTimerId = 1;
}

std::unique_ptr<CIndicatorShadow> CIndicatorShadow::Create(vz::WindowSystem& system, const vz::Rect& bounds,
                                                           const vz::WindowRegion& shape, uint32_t colorref) {
  if (shape.empty() || bounds.IsEmpty()) return nullptr;
  std::unique_ptr<CIndicatorShadow> shadow(new CIndicatorShadow(colorref));
  vz::WindowParams params;
  params.bounds = bounds;
  params.flags = vz::kWindowTopmost | vz::kWindowTool | vz::kWindowNoActivate | vz::kWindowOverrideRedirect |
                 vz::kWindowDisabled;
  params.class_name = kShadowClassName;
  params.title = kShadowClassName;
  shadow->window_ = system.CreateWindow(params, shadow.get());
  if (!shadow->window_) {
    VZ_LOG_ERROR("Create shadow window failed");
    return nullptr;
  }
  shadow->window_->SetShape(shape);
  shadow->window_->SetInputShape({});  // clicks reach the windows below
  shadow->window_->SetOpacity(shadow->pulse_.alpha_byte());
  shadow->window_->Show(false);
  shadow->window_->Raise();
  CIndicatorShadow* raw = shadow.get();
  vz::RunLoop::ForCurrentThread().StartTimer(raw, kShadowTimerId, kShadowTickMs, [raw] { raw->Tick(); });
  return shadow;
}

CIndicatorShadow::~CIndicatorShadow() { vz::RunLoop::ForCurrentThread().KillTimers(this); }

void CIndicatorShadow::Tick() {
  pulse_.Step();
  if (window_) window_->SetOpacity(pulse_.alpha_byte());
}

void CIndicatorShadow::KeepOnTop() {
  if (window_) window_->Raise();
}

void CIndicatorShadow::OnPaint(vz::Canvas& canvas) {
  if (window_) canvas.FillRect(window_->ClientRect(), vz::ColorFromColorRef(colorref_));
}

}  // namespace vzgrab

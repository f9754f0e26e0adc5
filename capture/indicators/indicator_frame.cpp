#include "capture/indicators/indicator_frame.h"

#include <cstring>

#include "capture/indicators/indicator_colors.h"
#include "capture/indicators/indicator_geometry.h"
#include "common/trace_client.h"
#include "platform/run_loop.h"
#include "platform/ui/canvas.h"

namespace vzgrab {

namespace {
constexpr uintptr_t kFrameTimerId = 1;
// A shadow is made only above this scale.
constexpr float kMinShadowScale = 0.2f;
}  // namespace

CIndicatorFrame::CIndicatorFrame(vz::WindowSystem& system, IndicatorHost& host, const MonitorInfo& monitor,
                                 const ApplicationInfo* window, uint32_t header_bg_color)
    : system_(system), host_(host), monitor_(monitor), app_{}, color_(header_bg_color) {
  if (window != nullptr) app_ = *window;
}

CIndicatorFrame::~CIndicatorFrame() { DestroyWindows(); }

void CIndicatorFrame::SetRecords(const MonitorInfo& monitor, const ApplicationInfo* window,
                                 uint32_t header_bg_color) {
  monitor_ = monitor;
  if (window != nullptr) app_ = *window;
  if (color_ != header_bg_color) {
    color_ = header_bg_color;
    if (window_) window_->Invalidate();
  }
}

uint32_t CIndicatorFrame::normal_color() const { return FrameColorRef(color_); }
uint32_t CIndicatorFrame::dim_color() const { return HalfColorRef(FrameColorRef(color_)); }

void CIndicatorFrame::SetDim(bool dim) {
  if (dim_ == dim) return;
  dim_ = dim;
  if (window_) window_->Invalidate();
}

void CIndicatorFrame::Build() {
  if (!IsWindowFrame()) {
    CreateWindowFrameRect(monitor_.Rect);
    return;
  }
  const VzRect r = host_.WindowRect(app_.Window);
  if (ToRect(r).IsEmpty()) {
    VZ_LOG("window [0x%08X] has no rectangle, frame removed", app_.Window);
    DestroyWindows();
    return;
  }
  app_.Rect = r;
  const VzRect grown{r.left - kFrameRingWidth, r.top - kFrameRingWidth, r.right + kFrameRingWidth,
                     r.bottom + kFrameRingWidth};
  CreateWindowFrameRect(grown);
}

void CIndicatorFrame::CreateWindowFrameRect(const VzRect& device_rect) {
  VZ_LOG("rect [%s]", RectText(&device_rect).c_str());
  const vz::Rect logical = DeviceToLogical(ToRect(device_rect), monitor_);
  const VzRect logged = ToVzRect(logical);
  VZ_LOG("fScale [%.02f] rect [%s]", static_cast<double>(monitor_.DpiScale), RectText(&logged).c_str());
  if (logical.IsEmpty()) {
    DestroyWindows();
    return;
  }
  if (window_) {
    window_->SetBounds(logical);
  } else {
    vz::WindowParams params;
    params.bounds = logical;
    params.flags = vz::kWindowTopmost | vz::kWindowTool | vz::kWindowNoActivate | vz::kWindowOverrideRedirect |
                   vz::kWindowDisabled;
    params.class_name = kFrameClassName;
    params.title = kFrameClassName;
    window_ = system_.CreateWindow(params, this);
    if (!window_) {
      VZ_LOG_ERROR("Create frame window failed: rect [%s]", RectText(&logged).c_str());
      return;
    }
    CIndicatorFrame* self = this;
    vz::RunLoop::ForCurrentThread().StartTimer(this, kFrameTimerId, kFrameTimerMs, [self] { self->KeepStacking(); });
  }
  window_->SetShape(RingRegion(logical.GetSize()));
  window_->SetInputShape({});  // every click passes through the ring
  window_->Show(false);
  window_->Raise();
  window_->Invalidate();
}

void CIndicatorFrame::DestroyWindows() {
  vz::RunLoop::ForCurrentThread().KillTimers(this);
  shadow_.reset();
  window_.reset();
}

void CIndicatorFrame::RebuildShadow(const std::vector<VzRect>& covered) {
  shadow_.reset();
  if (!IsWindowFrame() || !window_) return;
  if (IsRegionEmpty(covered) || !(monitor_.DpiScale > kMinShadowScale)) return;
  const vz::Rect window_logical = DeviceToLogical(ToRect(app_.Rect), monitor_);
  const vz::WindowRegion shape = ShadowShape(covered, monitor_, window_logical);
  if (shape.empty()) return;
  shadow_ = CIndicatorShadow::Create(system_, window_logical, shape, dim_color());
}

void CIndicatorFrame::KeepStacking() {
  if (window_) {
    const bool below = IsWindowFrame() && window_->StackBelowNative(app_.Window);
    if (!below) window_->Raise();
  }
  if (shadow_) shadow_->KeepOnTop();
}

void CIndicatorFrame::OnPaint(vz::Canvas& canvas) {
  if (!window_) return;
  canvas.FillRect(window_->ClientRect(), vz::ColorFromColorRef(dim_ ? dim_color() : normal_color()));
}

}  // namespace vzgrab

#include "video/devices/ui/waiting_animation_window.h"

#include <array>

#include "common/trace_client.h"
#include "platform/run_loop.h"
#include "uikit/gdiplus_bitmap.h"
#include "video/devices/ui/panel_helpers.h"

namespace vzpanel {
namespace {

// The twelve frames, decoded once per thread that draws them.
const CGdiPlusBitmapResource& WaitingFrame(int index) {
  thread_local std::array<CGdiPlusBitmapResource, kWaitingFrameCount> frames;
  CGdiPlusBitmapResource& frame = frames[static_cast<size_t>(index % kWaitingFrameCount)];
  if (!frame.HasBitmap()) frame.Load(WaitingFrameImage(index));
  return frame;
}

constexpr uintptr_t kFrameTimer = 1;

vz::Size FirstFrameSize() {
  CGdiPlusBitmapResource first;
  if (!first.Load(WaitingFrameImage(0))) return {};
  return GetImageSize(first);
}

}  // namespace

void DrawWaitingFrame(vz::Canvas& canvas, const vz::Rect& area, int frame) {
  const CGdiPlusBitmapResource& image = WaitingFrame(frame);
  if (!image.HasBitmap()) return;
  const vz::Size size = GetImageSize(image);
  canvas.DrawImage(*image.bitmap(), area.left + (area.Width() - size.width) / 2,
                   area.top + (area.Height() - size.height) / 2);
}

CVzWaitingAnimation::~CVzWaitingAnimation() { Destroy(); }

bool CVzWaitingAnimation::Create(vz::Window* parent) {
  if (window_) return true;
  const vz::Size size = FirstFrameSize();
  if (parent == nullptr || size.width <= 0 || size.height <= 0) {
    VZ_LOG_ERROR("no waiting animation: its frames are not in the resource bundle");
    return false;
  }
  vz::WindowParams params;
  params.parent = parent;
  params.bounds = vz::Rect::FromXYWH(0, 0, size.width, size.height);
  params.class_name = "CVzWaitingAnimation";
  window_ = parent->system().CreateWindow(params, this);
  if (!window_) {
    VZ_LOG_ERROR("no window for the waiting animation");
    return false;
  }
  frame_ = 0;
  CenterIn(parent->ClientRect().GetSize());
  window_->Show(false);
  window_->Raise();
  if (vz::RunLoop* loop = vz::RunLoop::Current()) {
    loop->StartTimer(this, kFrameTimer, kWaitingFrameMs, [this] {
      frame_ = NextWaitingFrame(frame_);
      if (window_) window_->Invalidate();
    });
  }
  return true;
}

void CVzWaitingAnimation::Destroy() {
  if (!window_) return;
  if (vz::RunLoop* loop = vz::RunLoop::Current()) loop->KillTimer(this, kFrameTimer);
  window_.reset();
}

void CVzWaitingAnimation::CenterIn(vz::Size client) {
  if (!window_) return;
  const vz::Size own = window_->bounds().GetSize();
  const vz::Rect place =
      vz::Rect::FromXYWH((client.width - own.width) / 2, (client.height - own.height) / 2, own.width, own.height);
  if (window_->bounds() != place) window_->SetBounds(place);
}

void CVzWaitingAnimation::OnPaint(vz::Canvas& canvas) {
  // The parent's pixels are under this window's (children paint after
  // their parent): the frame's transparent parts show them.
  const vz::Size size = window_ ? window_->ClientRect().GetSize() : canvas.size();
  DrawWaitingFrame(canvas, {0, 0, size.width, size.height}, frame_);
}

void CVzWaitingAnimation::OnMouse(const vz::MouseEvent& event) {
  if (on_mouse) on_mouse(event);
}

}  // namespace vzpanel

#include "video/devices/ui/video_container_view.h"

#include "common/trace_client.h"
#include "outside/vzres/vzres.h"
#include "platform/run_loop.h"
#include "video/devices/ui/panel_helpers.h"
#include "video/devices/ui/waiting_animation_window.h"

namespace vzpanel {
namespace {

constexpr uintptr_t kAnimationTimer = 1;

}  // namespace

CVzOpenGLContainerView::CVzOpenGLContainerView(VideoContainerState* state, bool small) : state_(state) {
  placeholder_.Load(small ? vzres::IDB_VIDEO_PLACEHOLDER_SMALL : vzres::IDB_VIDEO_PLACEHOLDER);
}

CVzOpenGLContainerView::~CVzOpenGLContainerView() { Destroy(); }

bool CVzOpenGLContainerView::Create(vz::Window* parent, const vz::Rect& rect) {
  vz::WindowParams params;
  params.bounds = rect;
  params.parent = parent;
  params.class_name = "CVzOpenGLContainerView";
  if (parent == nullptr) return false;
  window_ = parent->system().CreateWindow(params, this);
  if (!window_) return false;
  window_->Show(false);
  Sync();
  return true;
}

void CVzOpenGLContainerView::Destroy() {
  StopAnimation();
  hint_.Destroy();
  window_.reset();
}

void CVzOpenGLContainerView::SetBounds(const vz::Rect& rect) {
  if (!window_ || window_->bounds() == rect) return;
  window_->SetBounds(rect);
  hint_.Place(rect.GetSize());
}

void CVzOpenGLContainerView::Sync() {
  if (state_->animation_running && !animating_) StartAnimation();
  if (!state_->animation_running && animating_) StopAnimation();
  if (!window_) return;
  if (state_->hint_shown && !hint_.window()) {
    hint_.on_mouse = [this](const vz::MouseEvent& event) { OnMouse(event); };
    hint_.Create(window_.get());
  } else if (!state_->hint_shown && hint_.window()) {
    hint_.Destroy();
  }
  window_->Invalidate();
}

void CVzOpenGLContainerView::StartAnimation() {
  VZ_LOG("small ? [%d]", state_->animation_small ? 1 : 0);
  animating_ = true;
  frame_ = 0;
  vz::RunLoop* loop = vz::RunLoop::Current();
  if (loop == nullptr) return;
  loop->StartTimer(this, kAnimationTimer, kWaitingFrameMs, [this] {
    frame_ = NextWaitingFrame(frame_);
    if (window_) window_->Invalidate();
  });
}

void CVzOpenGLContainerView::StopAnimation() {
  if (!animating_) return;
  animating_ = false;
  if (vz::RunLoop* loop = vz::RunLoop::Current()) loop->KillTimer(this, kAnimationTimer);
}

vz::Rect CVzOpenGLContainerView::PlaceholderRect(vz::Size client, vz::Size image) {
  if (client.width < image.width || client.height < image.height) {
    return fitRectangle({0, 0, client.width, client.height}, image);
  }
  return vz::Rect::FromXYWH((client.width - image.width) / 2, (client.height - image.height) / 2, image.width,
                            image.height);
}

void CVzOpenGLContainerView::OnPaint(vz::Canvas& canvas) {
  const vz::Size client = window_ ? window_->ClientRect().GetSize() : canvas.size();
  canvas.FillRect({0, 0, client.width, client.height}, 0xFF000000);
  // A renderer draws the video itself; the container only shows black under it.
  if (state_->renderer == nullptr && placeholder_.HasBitmap()) {
    canvas.DrawImageScaled(*placeholder_.bitmap(), PlaceholderRect(client, GetImageSize(placeholder_)));
  }
  if (state_->animation_running) DrawWaitingFrame(canvas, {0, 0, client.width, client.height}, frame_);
}

void CVzOpenGLContainerView::OnMouse(const vz::MouseEvent& event) {
  if (on_mouse) on_mouse(event);
}

}  // namespace vzpanel

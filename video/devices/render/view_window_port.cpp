#include "video/devices/render/view_window_port.h"

#include "common/trace_client.h"
#include "platform/ui/message_hook.h"
#include "platform/ui/region_subtract.h"

namespace {

// Whether `now` holds any pixel that `before` did not.
bool Grew(const vz::WindowRegion& before, const vz::WindowRegion& now) {
  vz::WindowRegion added = now;
  for (const vz::Rect& r : before) added = vz::SubtractRect(added, r);
  return !added.empty();
}

}  // namespace

ViewWindowPort::ViewWindowPort(vz::Window* view)
    : view_(view),
      thread_(std::this_thread::get_id()),
      loop_(&vz::RunLoop::ForCurrentThread()),
      alive_(view->Alive()),
      display_name_(view->system().DisplayName()) {
  vz::Window* top = view_->TopLevel();
  if (top != nullptr && top->NativeId() != 0) {
    auto window = vz::X11VideoSurface::Create(display_name_, top->NativeId(), AreaInTopLevel());
    if (window) {
      surface_ = std::make_shared<Surface>();
      surface_->window = std::move(window);
    } else {
      VZ_LOG_ERROR("no video window inside 0x%llx", static_cast<unsigned long long>(top->NativeId()));
    }
  }
  UpdateGeometry();
  if (surface_) {
    std::weak_ptr<Surface> weak = surface_;
    vz::RunLoop* loop = loop_;
    const uint64_t id = WindowId();
    view_->WatchUncoveredArea([weak, loop, id](const vz::WindowRegion& region) {
      std::shared_ptr<Surface> surface = weak.lock();
      if (!surface) return;
      // Where the window now shows more, the display kept what lay there
      // before (the controls' pixels) until the picture is drawn again.
      const bool grew = Grew(surface->shown, region);
      surface->window->SetVisibleRegion(region);
      surface->shown = region;
      const uint32_t message = surface->redraw_message;
      if (grew && message != 0) vz::PostHookMessage(*loop, vz::HookMessage{id, message, surface->redraw_wparam, 0});
    });
  }
}

void ViewWindowPort::SetRedrawMessage(uint32_t message, uintptr_t wparam) {
  if (!surface_) return;
  surface_->redraw_wparam = wparam;
  surface_->redraw_message = message;
}

// The view's watcher is left in place: its surface goes with the port, and
// a later port of the same view (made before this one goes, or after)
// replaces it.
ViewWindowPort::~ViewWindowPort() = default;

bool ViewWindowPort::IsWindow() {
  // The view's liveness is the UI thread's to read; elsewhere the port's
  // own answer (it exists) stands.
  if (std::this_thread::get_id() != thread_) return true;
  return alive_ && *alive_;
}

vz::Rect ViewWindowPort::AreaInTopLevel() {
  vz::Window* top = view_->TopLevel();
  const vz::Point origin = view_->ToScreen({0, 0});
  const vz::Point top_origin = top->ToScreen({0, 0});
  const vz::Rect client = view_->ClientRect();
  return vz::Rect::FromXYWH(origin.x - top_origin.x, origin.y - top_origin.y, client.Width(), client.Height());
}

void ViewWindowPort::UpdateGeometry() {
  if (std::this_thread::get_id() != thread_ || !IsWindow()) return;
  const vz::Rect client = view_->ClientRect();
  int32_t monitor = -1;
  const vz::Point centre = view_->ToScreen({client.Width() / 2, client.Height() / 2});
  const std::vector<vz::MonitorArea> monitors = view_->system().Monitors();
  for (size_t i = 0; i < monitors.size(); ++i) {
    if (monitors[i].bounds.Contains(centre)) monitor = static_cast<int32_t>(i);
  }
  // A hidden view hides its video window too (an empty area unmaps it).
  if (surface_) surface_->window->SetBounds(view_->IsVisible() ? AreaInTopLevel() : vz::Rect{});
  std::lock_guard<std::mutex> guard(mutex_);
  client_ = client;
  monitor_ = monitor;
}

vz::Rect ViewWindowPort::ClientRect() {
  std::lock_guard<std::mutex> guard(mutex_);
  return client_;
}

int32_t ViewWindowPort::Monitor() {
  std::lock_guard<std::mutex> guard(mutex_);
  return monitor_;
}

bool ViewWindowPort::PostMessage(uint32_t message, uintptr_t wparam, intptr_t lparam) {
  return vz::PostHookMessage(*loop_, vz::HookMessage{WindowId(), message, wparam, lparam});
}

bool ViewWindowPort::PostTask(std::function<void()> task) { return loop_->Post(std::move(task)); }

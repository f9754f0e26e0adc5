#pragma once
// The window port over a view of the window layer (vz::Window): made on
// the view's thread (the UI thread, whose run loop takes the posted
// messages). The view's pixels go into a child window of the display made
// over the view's area of its top-level window, so that the top-level
// window's own painting does not cover the video; a headless view has
// none (drawing then shows nothing). The video window follows the view's
// placement and visibility when the renderer hears of a change
// (OnWindowPositionChange, which the view's owner calls after showing,
// hiding, moving or resizing the view). Whatever the window layer paints
// over the view (its children, later siblings, controls of its ancestors)
// is cut out of the video window whenever the layer repaints, so those
// controls show above the video.
#include <atomic>
#include <memory>
#include <mutex>

#include "platform/run_loop.h"
#include "platform/ui/window.h"
#include "platform/ui/x11_video_surface.h"
#include "video/devices/render/video_window_port.h"

class ViewWindowPort final : public IVideoWindowPort {
 public:
  // On the view's thread; `view` must outlive the port's use on that
  // thread (IsWindow tells when it is gone).
  explicit ViewWindowPort(vz::Window* view);
  ~ViewWindowPort() override;

  bool IsWindow() override;
  std::thread::id WindowThread() override { return thread_; }
  uint64_t WindowId() override { return reinterpret_cast<uintptr_t>(view_); }
  vz::Rect ClientRect() override;
  void UpdateGeometry() override;
  bool PostMessage(uint32_t message, uintptr_t wparam, intptr_t lparam) override;
  bool PostTask(std::function<void()> task) override;
  uint64_t NativeWindow() override { return surface_ ? surface_->window->Id() : 0; }
  std::string DisplayName() override { return display_name_; }
  int32_t Monitor() override;
  void SetRedrawMessage(uint32_t message, uintptr_t wparam) override;

 private:
  vz::Rect AreaInTopLevel();

  vz::Window* const view_;
  const std::thread::id thread_;
  vz::RunLoop* const loop_;
  std::shared_ptr<const bool> alive_;
  // The view's display (not $DISPLAY, which may name another).
  const std::string display_name_;
  // The video window and what of it shows, shared with the view's watcher
  // of its uncovered area, which holds it weakly: the port may go on
  // another thread.
  struct Surface {
    std::unique_ptr<vz::X11VideoSurface> window;
    vz::WindowRegion shown;              // UI thread
    std::atomic<uint32_t> redraw_message{0};
    std::atomic<uintptr_t> redraw_wparam{0};
  };
  std::shared_ptr<Surface> surface_;
  std::mutex mutex_;
  vz::Rect client_;      // under mutex_
  int32_t monitor_ = -1;  // under mutex_
};

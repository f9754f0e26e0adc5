#pragma once
// CVzWaitingAnimation: the waiting animation as a window of its own, a
// child placed over the video at the size of its first frame. Being a
// window, it is cut out of the video window above its parent and so shows
// over the video. Its frames turn every 80 ms while it exists. Mouse input
// over it goes to `on_mouse`, as if it were over the parent. UI thread only.
#include <functional>
#include <memory>

#include "platform/ui/canvas.h"
#include "platform/ui/window.h"

namespace vzpanel {

class CVzWaitingAnimation : public vz::WindowDelegate {
 public:
  ~CVzWaitingAnimation() override;

  // Creates the window centred in `parent`'s client area, above its
  // siblings, and starts the frames. False, logged, when no window could
  // be made (the frames are not in the bundle, or the window layer refused).
  bool Create(vz::Window* parent);
  void Destroy();
  vz::Window* window() const { return window_.get(); }
  // Centres the window in a client area of `client`.
  void CenterIn(vz::Size client);

  std::function<void(const vz::MouseEvent&)> on_mouse;

  void OnPaint(vz::Canvas& canvas) override;
  void OnMouse(const vz::MouseEvent& event) override;

 private:
  std::unique_ptr<vz::Window> window_;
  int frame_ = 0;
};

// Draws one frame of the waiting animation centred in `area`.
void DrawWaitingFrame(vz::Canvas& canvas, const vz::Rect& area, int frame);

}  // namespace vzpanel

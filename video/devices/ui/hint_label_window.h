#pragma once
// CVzHintLabel: a video container's hint ("Video is paused") as a window of
// its own, a child of the container centred in it. Being a window, it is cut
// out of the video window the container's renderer shows, so it stays above
// the held picture. Mouse input over it goes to `on_mouse`, as over the
// container.
// UI thread only.
#include <functional>
#include <memory>
#include <string>

#include "platform/ui/window.h"

namespace vzpanel {

class CVzHintLabel : public vz::WindowDelegate {
 public:
  // Creates the window (once) with the hint's text, placed for the parent's
  // client area and shown above its siblings. False, logged, when the window
  // layer refused it.
  bool Create(vz::Window* parent);
  void Destroy() { window_.reset(); }
  vz::Window* window() const { return window_.get(); }
  // Places the label for a parent's client area of `client`.
  void Place(vz::Size client);

  std::function<void(const vz::MouseEvent&)> on_mouse;

  void OnPaint(vz::Canvas& canvas) override;
  void OnMouse(const vz::MouseEvent& event) override;

 private:
  std::unique_ptr<vz::Window> window_;
  std::u16string text_;
  int font_height_ = 17;
};

}  // namespace vzpanel

#pragma once
// CVzOpenGLContainerView: the child window a participant's video is shown
// in. Without a renderer it shows black with its placeholder image (fitted
// when the window is smaller, else centred) and the waiting animation that
// its VideoContainerState asks for. The hint label is a child window, so it
// shows above the video too. Mouse moves, releases of
// the left button and double clicks go to the owner's handler, which passes
// them up. UI thread only.
#include <functional>
#include <memory>

#include "platform/ui/window.h"
#include "uikit/gdiplus_bitmap.h"
#include "video/devices/ui/hint_label_window.h"
#include "video/devices/ui/video_container_state.h"

namespace vzpanel {

class CVzOpenGLContainerView : public vz::WindowDelegate {
 public:
  // `small`: the small placeholder. `state` is not owned and must outlive the view.
  CVzOpenGLContainerView(VideoContainerState* state, bool small);
  ~CVzOpenGLContainerView() override;

  bool Create(vz::Window* parent, const vz::Rect& rect);
  void Destroy();
  vz::Window* window() const { return window_.get(); }
  void SetBounds(const vz::Rect& rect);
  // Picks up what the state asks for now (animation on or off, hint) and repaints.
  void Sync();
  // Deletes the placeholder: later paints show black only. No view of the
  // panel drops it; the test checks the black container.
  void dropPlaceholderForTesting() { placeholder_.Reset(); }
  // The hint label's window while the hint shows (a child over the video).
  vz::Window* hintWindowForTesting() const { return hint_.window(); }
  std::function<void(const vz::MouseEvent&)> on_mouse;

  void OnPaint(vz::Canvas& canvas) override;
  void OnMouse(const vz::MouseEvent& event) override;

  // Where the placeholder goes in a client area (fitted when it does not fit).
  static vz::Rect PlaceholderRect(vz::Size client, vz::Size image);

 private:
  void StartAnimation();
  void StopAnimation();

  VideoContainerState* state_;
  CGdiPlusBitmapResource placeholder_;
  std::unique_ptr<vz::Window> window_;
  CVzHintLabel hint_;
  bool animating_ = false;
  int frame_ = 0;
};

}  // namespace vzpanel

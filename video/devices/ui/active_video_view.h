#pragma once
// CVzActiveVideoView: the large view's window over its model: background,
// the video container inset by 1, the participant's name at the bottom left
// (while the model shows it) and the active-speaker button at the top left.
// UI thread only.
#include <functional>
#include <memory>

#include "platform/ui/window.h"
#include "uikit/gdip_button.h"
#include "video/devices/ui/active_view_model.h"
#include "video/devices/ui/video_container_view.h"

namespace vzpanel {

// A one-line name over the video: the tile name label's look.
class CVzNameLabel : public vz::WindowDelegate {
 public:
  bool Create(vz::Window* parent);
  void Destroy() { window_.reset(); }
  void SetText(const std::u16string& text);
  vz::Window* window() const { return window_.get(); }
  void OnPaint(vz::Canvas& canvas) override;

 private:
  std::unique_ptr<vz::Window> window_;
  std::u16string text_;
};

class CVzActiveVideoView : public vz::WindowDelegate {
 public:
  explicit CVzActiveVideoView(ActiveViewModel* model);
  ~CVzActiveVideoView() override;
  bool Create(vz::Window* parent);
  void Destroy();
  // Brings the windows in line with the model; the name label sits
  // `label_inset` above its usual place (the tool bar lies there) and ends
  // at `label_right` at most (the strip lies beside it).
  void Sync(const vz::Rect& bounds, bool visible, int label_inset = 0, int label_right = ActiveViewModel::kNoLimit);
  vz::Window* window() const { return window_.get(); }
  CVzOpenGLContainerView& container() { return container_; }
  CGdipButton& buttonForTesting() { return button_; }
  CVzNameLabel& labelForTesting() { return label_; }

  std::function<void()> on_button;
  std::function<void(const vz::MouseEvent&)> on_mouse;

  void OnPaint(vz::Canvas& canvas) override;
  void OnMouse(const vz::MouseEvent& event) override;

 private:
  void SyncButton();

  ActiveViewModel* model_;
  CVzOpenGLContainerView container_;
  CGdipButton button_;
  CVzNameLabel label_;
  std::unique_ptr<vz::Window> window_;
  uint32_t button_image_ = 0;
};

}  // namespace vzpanel

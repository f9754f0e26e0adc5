#pragma once
// The panel's background window: a borderless, topmost window that takes no
// input and shows the panel's background image (tinted with the header
// colour) with its own per-pixel alpha. Without a compositor the window
// layer cuts it to the image's opaque pixels.
//
// The image is scaled to the window's size once per size or image change and
// kept; moving the window (the panel's slide) paints nothing new. UI thread.
#include <memory>

#include "uikit/gdiplus_bitmap.h"
#include "platform/ui/window.h"

class CDSFloatingShadowWnd : public vz::WindowDelegate {
 public:
  // Makes the (hidden) window. False, logged, when the window layer refuses.
  bool Create(vz::WindowSystem* system, const vz::Rect& bounds);
  void Destroy() { window_.reset(); }
  // The image to show (the caller tints it); repaints.
  void SetImage(const vz::Image& image);
  void SetBounds(const vz::Rect& bounds);
  void Show(bool show);

  vz::Window* window() const { return window_.get(); }
  // The scaled buffer that goes on screen, and how often it was made.
  const vz::Image& buffer_for_testing() const { return buffer_; }
  int render_count_for_testing() const { return render_count_; }

  void OnPaint(vz::Canvas& canvas) override;
  void OnResize(vz::Size) override { Rebuild(); }

 private:
  void Rebuild();

  std::unique_ptr<vz::Window> window_;
  vz::Image image_;
  vz::Image buffer_;
  int render_count_ = 0;
};

#pragma once
// The second-choice draw: uncompressed RGB frames through the X server's
// RENDER extension, scaled and mirrored on the server by a picture
// transform. YUV frames are refused (-2) so that the renderer converts
// them. Made anew by the renderer when the display changes. Needs no
// window thread; under the renderer's lock.
#include <memory>

#include "platform/ui/x11_render_presenter.h"
#include "video/devices/render/video_draw_base.h"

class CDirect3D7Draw final : public CVideoDrawBase {
 public:
  CDirect3D7Draw() = default;
  ~CDirect3D7Draw() override;

  // 1 when the window's display has the RENDER extension, else 0.
  int32_t Init(IVideoWindowPort* window, IDrawHost* host) override;
  void UnInit() override;
  int32_t Draw(const uint8_t* pixels, uint32_t size, const BitmapHeader* header, const Rect& source,
               const Rect& target) override;
  int32_t DrawBkgnd(const Rect& target) override;
  void DiscardStream() override { uploaded_ = false; }

 private:
  int32_t Compose(const Rect& target, bool with_picture);

  std::unique_ptr<vz::X11RenderPresenter> presenter_;
  bool uploaded_ = false;
  Rect source_{};
};

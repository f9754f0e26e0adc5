#pragma once
// Video for pictures of the panel drawn without a display: a render service
// whose renderers draw nothing but remember the view each one was made for,
// and a painter that puts the test camera's pattern into a picture of a
// window where those renderers would show it: fitted into each view at the
// camera's shape, on black, and only where nothing the window layer paints
// later (buttons, labels, the toolbar, a tile over the large view) covers
// the view, as on the display, where the video windows are cut to that
// part. UI thread only.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/ui/image.h"
#include "platform/ui/window.h"
#include "video/devices/ui/null_video_renderer.h"
#include "video/engine/core/video_options_interfaces.h"

namespace vzpanel {

class PatternPictureRenderers : public IVideoRenderService {
 public:
  // The camera's picture size.
  static constexpr vz::Size kSource{640, 360};

  int32_t CreateVideoRenderer(IVideoRenderer** out, void* owner_view) override;
  int32_t DestroyVideoRenderer(IVideoRenderer* renderer) override;
  int32_t SetBKColorInRenderer(IVideoRenderer*, uint32_t) override { return 0; }
  int32_t ClearRendererStream(IVideoRenderer*) override { return 0; }
  int32_t RedrawRenderer(IVideoRenderer*) override { return 0; }
  int32_t OnRendererDisplayChange(IVideoRenderer*) override { return 0; }
  int32_t OnRendererPositionChange(IVideoRenderer*) override { return 0; }

  // Paints a frame of the pattern into `picture` (the client pixels of
  // `top_level`) for each live renderer's view inside that window, each
  // view its own frame number; mirrored for renderers told to mirror.
  void PaintViews(vz::Window* top_level, vz::Image& picture) const;

 private:
  class Renderer : public NullVideoRenderer {
   public:
    explicit Renderer(vz::Window* view) : view_(view), alive_(view->Alive()) {}
    VseResult SetMirror(bool on) override {
      mirror_ = on;
      return 0;
    }
    vz::Window* view() const { return *alive_ ? view_ : nullptr; }
    bool mirror() const { return mirror_; }

   private:
    vz::Window* view_;
    std::shared_ptr<const bool> alive_;
    bool mirror_ = false;
  };
  std::vector<std::unique_ptr<Renderer>> live_;
};

// Paints frame `counter` of the pattern, fitted into `view` (picture
// coordinates) at the camera's shape on black, into `picture`, only inside
// `visible` (picture coordinates).
void PaintPatternFrame(vz::Image& picture, const vz::Rect& view, const vz::WindowRegion& visible, uint32_t counter,
                       bool mirror);

}  // namespace vzpanel

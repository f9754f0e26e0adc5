#pragma once
// The last-resort draw: needs nothing but the CPU and a way to put pixels
// on the window. The frame (uncompressed 24- or 32-bit RGB only: YUV is
// refused with -2 so that the renderer converts it) is copied as 24-bit
// rows at source size, kept for repaints; each drawing composes the
// target-size 32-bit picture (background, the image scaled
// nearest-neighbour into the aspect-keeping rectangle, mirrored or flipped
// by the effect flags; each target pixel is widened once, so a picture
// shown smaller than it came costs less) and puts it on the window in one
// piece, which does not flicker.
//
// Under the renderer's lock like every draw; needs no window thread.
#include <functional>
#include <memory>
#include <vector>

#include "video/devices/render/video_draw_base.h"
#include "video/devices/render/video_frame_output.h"

class CGDIDraw final : public CVideoDrawBase {
 public:
  using OutputMaker = std::function<std::unique_ptr<IVideoFrameOutput>(IVideoWindowPort*)>;
  explicit CGDIDraw(OutputMaker make_output = &OpenVideoFrameOutput);
  ~CGDIDraw() override;

  // Keeps the window; 1. Without an output (a headless window) drawing
  // succeeds and shows nothing.
  int32_t Init(IVideoWindowPort* window, IDrawHost* host) override;
  void UnInit() override;
  int32_t Draw(const uint8_t* pixels, uint32_t size, const BitmapHeader* header, const Rect& source,
               const Rect& target) override;
  int32_t DrawBkgnd(const Rect& target) override;
  void DiscardStream() override;

 private:
  // Composes the target-size picture from the kept image (or background
  // only) and puts it; 1, or -1 when the output fails.
  int32_t Compose(const Rect& target, bool with_image);

  IVideoWindowPort* window_ = nullptr;
  OutputMaker make_output_;
  std::unique_ptr<IVideoFrameOutput> output_;
  bool output_tried_ = false;
  std::vector<uint8_t> image_;  // the picture at source size: B, G, R, top row first
  int32_t image_width_ = 0;
  int32_t image_height_ = 0;
  std::vector<int32_t> column_map_;
};

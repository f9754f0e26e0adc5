#pragma once
// The last-resort draw: needs nothing but the CPU and a way to put pixels
// on the window. A frame comes either through Draw (uncompressed 24- or
// 32-bit RGB only: YUV is refused with -2 so that the renderer converts
// it), copied as 24-bit rows at source size, or through DrawPlanar (a
// planar 4:2:0 frame, kept as it came: its sample referenced, or its planes
// copied when it has none; no conversion of the whole frame beforehand). Either is kept for repaints;
// each drawing composes the target-size 32-bit picture (background, the
// image scaled nearest-neighbour into the aspect-keeping rectangle,
// mirrored or flipped by the effect flags) and puts it on the window in one
// piece, which does not flicker. A planar frame is converted a pair of rows
// at a time, only the rows the target shows, straight before they are
// scaled (the colour converter's kernels, SIMD where the processor has it,
// the plain ones otherwise: the same bytes either way).
//
// Under the renderer's lock like every draw; needs no window thread.
#include <functional>
#include <memory>
#include <vector>

#include "video/devices/color/color_space_convertor.h"
#include "video/devices/color/cpu_features.h"
#include "video/devices/render/planar_frame_draw.h"
#include "video/devices/render/video_draw_base.h"
#include "video/devices/render/video_frame_output.h"
#include "video/engine/core/engine_object.h"

class CGDIDraw final : public CVideoDrawBase, public IPlanarFrameDraw {
 public:
  using OutputMaker = std::function<std::unique_ptr<IVideoFrameOutput>(IVideoWindowPort*)>;
  // `cpu_features` chooses the conversion kernels (tests pass 0 for the
  // plain ones).
  explicit CGDIDraw(OutputMaker make_output = &OpenVideoFrameOutput,
                    uint32_t cpu_features = nsVZVP::DetectCpuFeatures());
  ~CGDIDraw() override;

  // Keeps the window; 1. Without an output (a headless window) drawing
  // succeeds and shows nothing.
  int32_t Init(IVideoWindowPort* window, IDrawHost* host) override;
  void UnInit() override;
  int32_t Draw(const uint8_t* pixels, uint32_t size, const BitmapHeader* header, const Rect& source,
               const Rect& target) override;
  int32_t DrawBkgnd(const Rect& target) override;
  void DiscardStream() override;

  // IPlanarFrameDraw: frames of even sizes up to 16384 a side.
  int32_t DrawPlanar(const PlanarFrame& frame, const Rect& target) override;

 private:
  enum class Kept { kNone, kRgb, kPlanar };

  // Composes the target-size picture from the kept image (or background
  // only) and puts it; 1, or -1 when the output or a conversion fails.
  int32_t Compose(const Rect& target, bool with_image);
  // Fill the picture rectangle of the `stride`-pixel target rows `out`.
  void ComposeRgb(uint32_t* out, int32_t stride, const Rect& picture);
  bool ComposePlanar(uint32_t* out, int32_t stride, const Rect& picture);
  // Source rows 2 * pair and 2 * pair + 1 of the planar frame into rows_.
  bool ConvertRowPair(int32_t pair);

  IVideoWindowPort* window_ = nullptr;
  OutputMaker make_output_;
  nsVZVP::CColorSpaceConvertor converter_;
  std::unique_ptr<IVideoFrameOutput> output_;
  bool output_tried_ = false;
  Kept kept_ = Kept::kNone;
  // kRgb: the picture at source size: B, G, R, top row first, and one byte
  // more (each pixel is read as four bytes).
  std::vector<uint8_t> image_;
  // kPlanar: the frame's planes, in kept_sample_ (referenced) or in
  // planes_ (Y, U, V, rows without padding).
  PlanarFrame planar_;
  CEnginePtr<IVideoSample> kept_sample_;
  std::vector<uint8_t> planes_;
  int32_t image_width_ = 0;
  int32_t image_height_ = 0;
  std::vector<uint32_t> rows_;  // two converted rows of a planar frame
  std::vector<int32_t> column_map_;
};

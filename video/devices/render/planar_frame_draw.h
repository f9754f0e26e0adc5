#pragma once
// A draw's second way in: a planar 4:2:0 frame drawn without the
// renderer's conversion to packed RGB. A draw that offers it still refuses
// YUV through IVideoDraw::Draw (-2); the renderer asks for this face first
// and converts only when it is missing or refuses the frame.
//
// Under the renderer's lock like every draw call.
#include <cstdint>

#include "video/devices/render/video_draw.h"
#include "video/engine/core/video_interfaces.h"

// One frame's planes, top row first; Y is width x height bytes, U and V
// (width / 2) x (height / 2). The caller guarantees the planes hold that
// many rows of their strides. With `owner` set the planes lie in that
// sample, which a draw may keep a reference to instead of copying them: the
// caller does not write into a sample it hands over.
struct PlanarFrame {
  IVideoSample* owner = nullptr;
  const uint8_t* y = nullptr;
  const uint8_t* u = nullptr;
  const uint8_t* v = nullptr;
  int32_t stride_y = 0;
  int32_t stride_uv = 0;
  int32_t width = 0;
  int32_t height = 0;
};

class IPlanarFrameDraw {
 public:
  // Keeps the whole frame for repaints (Draw with no pixels) and draws it
  // into `target` as Draw does. 1 drawn (an empty target draws nothing);
  // -2 a frame this draw does not take (odd or unusable sizes: the caller
  // converts it instead), nothing kept changed; -1 the output failed.
  virtual int32_t DrawPlanar(const PlanarFrame& frame, const Rect& target) = 0;

 protected:
  ~IPlanarFrameDraw() = default;
};

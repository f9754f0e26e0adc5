#pragma once
// Where the software draw puts its composed picture: a buffer of the
// target's size to fill, then put at the target rectangle of the window.
// The display's output is OpenVideoFrameOutput; tests keep the pixels.
#include <cstdint>
#include <memory>

#include "video/devices/render/video_draw.h"

class IVideoFrameOutput {
 public:
  virtual ~IVideoFrameOutput() = default;
  // width x height pixels, rows `width` apart, bytes B, G, R, X; null when
  // none can be had.
  virtual uint32_t* Buffer(int32_t width, int32_t height) = 0;
  // Puts the buffer at the target's top-left corner; false on failure.
  virtual bool Put(const Rect& target) = 0;
};

// The display's output for the window's pixels (MIT-SHM, else XPutImage);
// null, logged, when the window has none (headless) or it cannot be opened.
std::unique_ptr<IVideoFrameOutput> OpenVideoFrameOutput(IVideoWindowPort* window);

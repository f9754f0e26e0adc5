#pragma once
// Where a grabber hands a changed box: the controller's screen-data hand-over
// to the sharing engine. Called on the capture thread.
#include <cstdint>

#include "contracts/capture_records.h"

class IChangedBoxSender {
 public:
  // `pixels` is the whole monitor image, top row first, `stride` bytes a row,
  // 32-bit B,G,R,X pixels; `box` lies inside it (monitor coordinates). True
  // when the sink took the data.
  virtual bool SendScreenData(int32_t monitor_id, const VzRect& monitor_rect, int32_t bits_per_pixel,
                              const VzRect& box, const uint8_t* pixels, int32_t stride) = 0;

 protected:
  ~IChangedBoxSender() = default;
};

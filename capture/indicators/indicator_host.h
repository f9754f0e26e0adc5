#pragma once
// What the indicators ask of the capture side: where the shared windows
// are now, and whether a cursor position lies in what the attendees see.
// Called on the UI thread; the capture side answers from its monitor set.
#include "contracts/capture_records.h"

namespace vzgrab {

class IndicatorHost {
 public:
  virtual ~IndicatorHost() = default;
  // The rectangle of a top-level window in device pixels, with its frame;
  // empty when the window no longer exists or is minimised.
  virtual VzRect WindowRect(VzWindowHandle window) = 0;
  // Whether a cursor position (window-manager coordinates) lies in the
  // shared area and outside the covered area.
  virtual bool IsPointShared(VzPoint logical) = 0;
};

}  // namespace vzgrab

#pragma once
// Shows pictures through the X server's RENDER extension: the picture is
// put into a pixmap of its own size once, then scaled (nearest neighbour)
// and mirrored or flipped on the server by a picture transform while it is
// composed into the window over the background. Own connection: any one
// thread at a time.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/ui/ui_types.h"

namespace vz {

class X11RenderPresenter {
 public:
  // Null, logged, without the display, the window, the RENDER extension or
  // an 8-bit RGB visual.
  static std::unique_ptr<X11RenderPresenter> Open(const std::string& display_name, uint64_t window);
  virtual ~X11RenderPresenter() = default;

  // The picture's pixels (width x height, bytes B, G, R, X) for the caller
  // to fill; kept while the size stays. Null for a size outside 1..8192.
  virtual uint32_t* PictureBuffer(int width, int height) = 0;
  // Sends the filled picture to the server; false on failure.
  virtual bool Upload() = 0;
  // Background (0x00RRGGBB) over `target`, and the uploaded picture scaled
  // into `placed` (both window coordinates) unless `with_picture` is false;
  // effects bit 0 mirrors, bit 1 flips. Returns when the server has done
  // it; false on failure.
  virtual bool Compose(const Rect& target, const Rect& placed, uint32_t background_rgb, uint32_t effects,
                       bool with_picture) = 0;
};

}  // namespace vz

#pragma once
// Draws video pictures on the GPU into a window of the display: OpenGL ES 2
// through EGL, both libraries loaded by name at run time (libEGL.so.1,
// libGLESv2.so.2), so a machine without them still runs and simply has no
// GPU draw. A picture is uploaded as textures in its own layout (planar
// 4:2:0 as three planes, packed 4:2:2 as pairs, 24/32-bit BGR rows) and
// turned into RGB by a shader with the studio-range BT.601 coefficients
// the colour converter uses; mirroring and flipping swap the quad's texture
// coordinates; presentation does not wait for the vertical blank.
//
// Threads: Create on any thread; afterwards one thread at a time (the
// caller serialises), each call making the context current on the calling
// thread and releasing it before it returns.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/ui/ui_types.h"

namespace vz {

// A picture as the device takes it.
struct GpuPicture {
  enum Layout { kI420, kYV12, kYUY2, kUYVY, kBGR24, kBGRA32 };
  Layout layout = kI420;
  const uint8_t* pixels = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  int32_t stride = 0;      // bytes a row of the RGB layouts (rows padded to 4)
  bool bottom_up = false;  // RGB layouts: the first row in memory is the lowest
};

class GlesVideoDevice {
 public:
  // Results of Present and Check.
  enum GpuStatus { kOk = 0, kLost = 1, kFailed = 2 };

  // A context and window surface for `window` on the display named ("" for
  // $DISPLAY). Null, with the reason in *why, when the libraries are
  // missing or no context can be made.
  // Whether both libraries and every entry were found (*why says what is
  // missing); loads them on first use.
  static bool Available(std::string* why);
  static std::unique_ptr<GlesVideoDevice> Create(const std::string& display_name, uint64_t window,
                                                 std::string* why);
  virtual ~GlesVideoDevice() = default;

  // Keeps the picture in textures (replacing any); false when the upload
  // failed. The pixels are read here only.
  virtual bool Upload(const GpuPicture& picture) = 0;
  virtual bool HasPicture() const = 0;
  virtual void DropPicture() = 0;
  // Fills the surface (size `surface`) with the background (0x00RRGGBB),
  // draws the kept picture's `source` part into `placed` (surface
  // coordinates, top-left origin) unless `with_picture` is false, mirrored
  // (bit 0) or flipped (bit 1) by `effects`, and presents; returns when
  // the display has the picture.
  virtual GpuStatus Present(Size surface, const Rect& source, const Rect& placed, uint32_t background_rgb,
                         uint32_t effects, bool with_picture) = 0;
  // Whether the context is still usable (a reset or lost context: kLost).
  virtual GpuStatus Check() = 0;
};

}  // namespace vz

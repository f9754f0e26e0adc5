#pragma once
// The GPU device as the GPU draw sees it: made, reset and released on the
// window thread; frames uploaded and presented on any thread under the
// renderer's lock. The real port is over the platform's OpenGL ES device;
// tests script a fake one.
#include <cstdint>
#include <memory>

#include "video/devices/render/video_draw.h"

class IGpuDevicePort {
 public:
  virtual ~IGpuDevicePort() = default;
  // Window thread. 0 made (or reset); negative: failed, the device is unusable.
  virtual int32_t CreateDevice(int32_t width, int32_t height) = 0;
  virtual int32_t Reset(int32_t width, int32_t height) = 0;
  virtual void ReleaseDevice() = 0;
  virtual bool HasDevice() = 0;
  // The FourCCs it uploads as they come (besides uncompressed RGB).
  virtual bool TakesFourCC(uint32_t fourcc) = 0;
  // Keeps the frame (`header` checked by the caller against the length).
  virtual bool Upload(const uint8_t* pixels, const BitmapHeader& header) = 0;
  virtual bool HasFrame() = 0;
  virtual void DiscardFrame() = 0;
  // Background (COLORREF) over width x height, the kept frame's `source`
  // at `picture` when `with_frame`, effects bit 0 mirror, bit 1 flip.
  // 0 presented, 1 device lost (make it anew), 2 failed for good.
  virtual int32_t Present(int32_t width, int32_t height, const Rect& source, const Rect& picture,
                          uint32_t background, uint32_t effects, bool with_frame) = 0;
  // 0 fine, 1 lost, 2 failed for good.
  virtual int32_t CheckDevice() = 0;
};

// The port over OpenGL ES through EGL for the window's display window;
// null when the libraries are not there.
std::unique_ptr<IGpuDevicePort> MakeGlesDevicePort(IVideoWindowPort* window);

#pragma once
// One MJPEG camera frame decoded to an I420 sample of the engine's
// allocator. Camera data is not trusted: a frame that does not decode, or
// whose picture is not the negotiated size, gives no sample.
// Threads: one at a time (the capture thread); the decoder's buffers are
// kept between frames.
#include <cstdint>
#include <memory>

#include "video/engine/core/video_interfaces.h"

namespace vzcapture {

// kNoSample: the allocator gave no sample with room for the picture (logged).
enum class MjpegResult { kDecoded, kNoDecoder, kBadFrame, kWrongSize, kNoSample };

class CMjpegFrameDecoder {
 public:
  CMjpegFrameDecoder();
  ~CMjpegFrameDecoder();
  // On kDecoded *out holds a sample with one reference, its actual length
  // the I420 picture's bytes; otherwise *out is null.
  MjpegResult Decode(const uint8_t* data, uint32_t length, int32_t width, int32_t height,
                     IVideoSampleAllocator* allocator, IVideoSample** out);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace vzcapture

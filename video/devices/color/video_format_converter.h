#pragma once
// Converts whole frames for the codecs and the renderers: describes a
// decoded picture, a video sample or a captured frame to the colour
// converter, gets the destination memory and converts. Made once per owner
// (decoder wrapper, renderer, encoder wrapper) and used on that owner's
// thread only; no lock. Failures give null, with a log line.
#include <cstdint>
#include <memory>

#include "video/devices/color/color_space_convertor.h"
#include "video/engine/core/video_interfaces.h"

// The decoder's description of a decoded I420 picture.
struct DecodeBufferInfo {
  int32_t width;
  int32_t height;
  int32_t stride_y;
  int32_t stride_uv;
};

class CVideoFormatConverter {
 public:
  // The largest side accepted from a decoder or a camera.
  static constexpr int32_t kMaxSide = 8192;

  CVideoFormatConverter();
  // A fixed processor feature word instead of the detected one (tests).
  explicit CVideoFormatConverter(uint32_t cpu_features);
  ~CVideoFormatConverter();
  CVideoFormatConverter(const CVideoFormatConverter&) = delete;
  CVideoFormatConverter& operator=(const CVideoFormatConverter&) = delete;

  // Drops the converter and the encoder buffer.
  void Release();
  // Makes the converter on first use.
  void EnsureConverter();

  // A decoded picture (planes Y, U, V) in `wanted` format, in a sample of
  // the allocator (one reference for the caller); null for a format without
  // an entry, a bad size, no sample or a failed conversion.
  IVideoSample* ConvertDecodedImage(uint32_t wanted, const DecodeBufferInfo& info, IVideoSampleAllocator* allocator,
                                    uint8_t* const planes[3]);
  // An I420 sample (rows padded to 32 bytes) in `wanted` format; null as
  // above, and for a null source or one shorter than its format says.
  IVideoSample* ConvertRenderImage(uint32_t wanted, IVideoSample* source, IVideoSampleAllocator* allocator);
  // A captured frame as I420 in the converter's own buffer (valid until the
  // next call); an I420 frame (video type 2) comes back unchanged. Null for
  // an unknown type, a bad size, a frame shorter than its format says, or a
  // failed conversion.
  const uint8_t* ConvertEncoderInput(const VideoFormat& format, const uint8_t* data, int32_t length);

  int32_t buffer_size_for_testing() const { return buffer_size_; }

 private:
  IVideoSample* ConvertInto(uint32_t wanted, const nsVZVP::ImageDesc& src, IVideoSampleAllocator* allocator,
                            bool decoded);

  const bool forced_features_;
  const uint32_t cpu_features_;
  std::unique_ptr<nsVZVP::CColorSpaceConvertor> converter_;
  std::unique_ptr<uint8_t[]> buffer_;
  int32_t buffer_size_ = 0;
};

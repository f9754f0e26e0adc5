#include "video/devices/capture/mjpeg_frame.h"

#include "video/devices/capture/sample_room.h"
#if defined(VZ_HAVE_MJPEG_DECODER)
#include "video/devices/mjpeg/mjpeg_decoder.h"
#endif

namespace vzcapture {

struct CMjpegFrameDecoder::Impl {
#if defined(VZ_HAVE_MJPEG_DECODER)
  nsVZVP::CMjpegDecoder decoder;
#endif
};

CMjpegFrameDecoder::CMjpegFrameDecoder() : impl_(std::make_unique<Impl>()) {}
CMjpegFrameDecoder::~CMjpegFrameDecoder() = default;

MjpegResult CMjpegFrameDecoder::Decode(const uint8_t* data, uint32_t length, int32_t width, int32_t height,
                                       IVideoSampleAllocator* allocator, IVideoSample** out) {
  *out = nullptr;
#if defined(VZ_HAVE_MJPEG_DECODER)
  if (data == nullptr || length == 0 || allocator == nullptr) return MjpegResult::kBadFrame;
  nsVZVP::CMjpegDecoder& decoder = impl_->decoder;
  uint32_t size = 0;
  int32_t picture_height = 0, picture_width = 0, planes = 0, progressive = 0, reserved = 0;
  const int probed = decoder.Probe(length, data, &size, &picture_height, &picture_width, &planes, &progressive,
                                   &reserved);
  if (probed != nsVZVP::CMjpegDecoder::kOk) return MjpegResult::kBadFrame;
  // A picture of another size than the negotiated one would be read as the
  // negotiated size further on.
  if (picture_width != width || picture_height != height) return MjpegResult::kWrongSize;
  const int64_t expected = static_cast<int64_t>(width) * height * 3 / 2;
  if (size < expected || size > (1u << 28)) return MjpegResult::kBadFrame;
  void* memory = nullptr;
  IVideoSample* sample = GetSampleWithRoom(allocator, size, &memory);
  if (sample == nullptr) return MjpegResult::kNoSample;
  if (decoder.Decode(length, data, static_cast<uint8_t*>(memory), size) != nsVZVP::CMjpegDecoder::kOk) {
    sample->Release();
    return MjpegResult::kBadFrame;
  }
  sample->SetActualDataLength(static_cast<int32_t>(expected));
  *out = sample;
  return MjpegResult::kDecoded;
#else
  (void)data;
  (void)length;
  (void)width;
  (void)height;
  (void)allocator;
  return MjpegResult::kNoDecoder;
#endif
}

}  // namespace vzcapture

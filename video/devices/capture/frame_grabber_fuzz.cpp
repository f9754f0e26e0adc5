// Camera buffers of any content through the frame hand-over: the first four
// bytes choose the negotiated size (in blocks of 8), pixel format and row
// padding, the rest is the buffer. Nothing may be read past the buffer or the decoded
// sample, whatever the bytes.
#include <cstddef>
#include <cstdint>

#include "video/devices/capture/frame_grabber.h"
#include "video/engine/core/vz_video_sample_allocator.h"

namespace {

uint64_t g_sum = 0;

void Take(const vzcapture::GrabberFrame& frame) {
  const uint8_t* bytes = static_cast<const uint8_t*>(frame.data);
  int32_t length = frame.length;
  if (frame.kind == 1) {
    void* memory = nullptr;
    static_cast<IVideoSample*>(frame.data)->GetPointer(&memory);
    bytes = static_cast<const uint8_t*>(memory);
  }
  for (int32_t i = 0; i < length; i += 61) g_sum += bytes[i];
  if (length > 0) g_sum += bytes[length - 1];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  static const uint32_t kFourccs[4] = {vz::kFourccMjpeg, vz::kFourccYuyv, vz::kFourccI420, vz::kFourccBgr24};
  vz::CameraFormat format;
  format.width = (data[0] == 0 ? 1u : data[0]) * 8u;
  format.height = (data[1] == 0 ? 1u : data[1]) * 8u;
  format.fourcc = kFourccs[data[2] & 3];
  // Rows padded by up to 63 bytes, as a driver's bytesperline may say.
  const uint32_t row = format.fourcc == vz::kFourccYuyv ? format.width * 2
                       : format.fourcc == vz::kFourccBgr24 ? format.width * 3
                                                          : format.width;
  format.bytes_per_line = format.fourcc == vz::kFourccMjpeg ? 0 : row + (data[3] & 63);
  static CVzVideoSampleAllocator* allocator = [] {
    auto* made = new CVzVideoSampleAllocator(64, 0, 0);
    made->AddRef();
    return made;
  }();
  vzcapture::CFrameGrabber grabber;
  grabber.SetAllocator(allocator);
  grabber.SetCallback(&Take, nullptr);
  if (!grabber.Connect(format)) return 0;
  grabber.SetRunning(true);
  grabber.OnBuffer(data + 4, static_cast<uint32_t>(size - 4));
  grabber.SetRunning(false);
  return 0;
}

#pragma once
// The frame hand-over between the camera's buffers and the capture engine:
// each filled buffer becomes a GrabberFrame for the engine's callback. The
// grabber lends the driver its buffers, samples of the engine's allocator,
// so a raw frame filled into one goes on as that sample (kind 1) without a
// copy; raw bytes of a memory-mapped buffer go as they are (kind 0, the
// engine copies them). Rows the driver pads are brought to unpadded rows
// on the way (in the lent sample itself, else into a new sample), and MJPEG
// frames are decoded into an I420 sample (kind 1). Also the check of the
// negotiated format against the accepted types.
//
// SetAcceptedTypes and SetAllocator are refused while running.
// Threads: set-up on the engine's thread while stopped; OnBuffer, Lend and
// Return on the capture thread.
#include <cstdint>
#include <mutex>

#include "platform/camera/camera_records.h"
#include "platform/camera/v4l2_camera.h"
#include "video/devices/capture/capture_format_choice.h"
#include "video/devices/capture/mjpeg_frame.h"
#include "video/engine/core/video_interfaces.h"

namespace vzcapture {

struct GrabberFrame {
  int32_t kind;      // 0: data points at raw bytes; 1: data is an IVideoSample*
  void* data;
  uint32_t fourcc;   // the pixel format of the bytes (I420 after decoding)
  int32_t width;
  int32_t height;    // negative for top-down RGB rows
  int32_t length;    // bytes
  void* context;
};
using GrabberCallback = void (*)(const GrabberFrame& frame);

class CFrameGrabber final : public vz::CameraBufferLender {
 public:
  CFrameGrabber() = default;
  ~CFrameGrabber() override;

  void SetCallback(GrabberCallback callback, void* context);
  // Both false (and nothing changed) while running.
  bool SetAcceptedTypes(const AcceptedTypes& accepted);
  bool SetAllocator(IVideoSampleAllocator* allocator);
  // Checks the negotiated format and, when accepted, keeps it as the
  // connection for the frames that follow.
  bool Connect(const vz::CameraFormat& negotiated);
  bool GetConnectedFormat(vz::CameraFormat* format);
  void SetRunning(bool running);

  // One filled buffer; dropped (with a count) when empty, shorter than its
  // padded rows or undecodable. `lent` is the handle Lend gave for the
  // buffer's block, null for bytes the grabber does not own.
  void OnBuffer(const uint8_t* data, uint32_t length, void* lent = nullptr);
  uint64_t DroppedFrames() const;

  // A sample of the allocator as a driver's buffer (its handle the sample);
  // null without an allocator or a sample.
  void* Lend(size_t length, void** handle) override;
  void Return(void* handle) override;

 private:
  mutable std::mutex lock_;
  GrabberCallback callback_ = nullptr;
  void* context_ = nullptr;
  AcceptedTypes accepted_;
  IVideoSampleAllocator* allocator_ = nullptr;
  vz::CameraFormat connected_{};
  bool connected_valid_ = false;
  bool running_ = false;
  uint64_t dropped_ = 0;
  bool logged_no_decoder_ = false;
  bool logged_short_rows_ = false;
  CMjpegFrameDecoder decoder_;  // the capture thread's alone
};

}  // namespace vzcapture

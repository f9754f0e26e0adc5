#pragma once
// One camera node spoken to through the V4L2 port: its capabilities,
// formats, frame rate, inputs and controls, and streaming into memory-mapped
// buffers. The records are those of camera_records.h, so no caller needs
// the kernel's headers.
//
// Results are errno values (0 on success); every failure is logged once.
// Whatever the driver reports (counts, sizes, lengths) is checked before it
// is used. Threads: one at a time; streaming runs on the capture thread.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/camera/camera_records.h"
#include "platform/camera/v4l2_port.h"

namespace vz {

// The nodes that capture video, with their names; nodes that cannot be
// opened or are not capture devices are left out.
std::vector<CameraNode> ListV4l2Cameras(V4l2Port& port);

class V4l2Camera {
 public:
  // At most this many buffers are asked for, and a buffer larger than this
  // is refused (a driver's length is not trusted).
  static constexpr uint32_t kMaxBuffers = 8;
  static constexpr uint32_t kMaxBufferBytes = 64u * 1024 * 1024;

  explicit V4l2Camera(V4l2Port& port) : port_(port) {}
  ~V4l2Camera();  // stops streaming and closes
  V4l2Camera(const V4l2Camera&) = delete;
  V4l2Camera& operator=(const V4l2Camera&) = delete;

  // Opens the node; ENODEV for a node that is not a video capture device.
  int Open(const std::string& node);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }

  // The formats in the driver's order; each size range with its rates.
  std::vector<CameraFormatRange> Formats();
  // Asks for the format; *actual gets what the driver set (it may adjust
  // the size). EINVAL when the driver refuses the format.
  int SetFormat(uint32_t fourcc, uint32_t width, uint32_t height, CameraFormat* actual);
  int GetFormat(CameraFormat* current);
  // Frames a second; ENOTTY when the driver has no rate setting.
  int SetFrameRate(float rate);
  float GetFrameRate();

  std::vector<CameraInput> Inputs();
  int SelectInput(uint32_t index);
  int CurrentInput(uint32_t* index);

  std::vector<CameraControl> Controls();
  int GetControl(uint32_t id, int32_t* value);
  int SetControl(uint32_t id, int32_t value);

  // Memory-mapped buffers, all queued, and the stream on.
  int StartStreaming(uint32_t buffer_count);
  // Waits up to timeout_ms for a filled buffer, hands its bytes to `take`
  // (on this thread) and queues it again. 0 after a frame; ETIMEDOUT;
  // EAGAIN when the driver had none after all; ENODEV once the camera has
  // gone; EIO for a buffer the driver marked bad (handed over nothing).
  using FrameTaker = std::function<void(const uint8_t* data, uint32_t length)>;
  int NextFrame(int timeout_ms, const FrameTaker& take);
  void StopStreaming();
  bool IsStreaming() const { return streaming_; }

 private:
  struct Buffer {
    void* address = nullptr;
    size_t length = 0;
  };
  int Call(unsigned long request, void* arg, const char* what);
  void ReleaseBuffers();

  V4l2Port& port_;
  int fd_ = -1;
  std::string node_;
  std::vector<Buffer> buffers_;
  bool streaming_ = false;
};

}  // namespace vz

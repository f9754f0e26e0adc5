#pragma once
// One camera node spoken to through the V4L2 port: its capabilities,
// formats, frame rate, inputs and controls, and streaming into buffers the
// caller lends (user pointers) where the driver takes them, else into
// memory-mapped buffers. The records are those of camera_records.h, so no caller needs
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

struct v4l2_queryctrl;  // the kernel's, kept out of this header

namespace vz {

// The nodes that capture video, with their names; nodes that cannot be
// opened or are not capture devices are left out.
std::vector<CameraNode> ListV4l2Cameras(V4l2Port& port);

// Memory lent to the driver for user-pointer streaming, one block a
// buffer; a filled block goes to the frame's taker before it is returned.
// Called on the streaming thread.
class CameraBufferLender {
 public:
  virtual ~CameraBufferLender() = default;
  // A block of at least `length` bytes and its handle, or null (logged by
  // the lender) when none can be had.
  virtual void* Lend(size_t length, void** handle) = 0;
  // The driver no longer writes into the block.
  virtual void Return(void* handle) = 0;
};

class V4l2Camera {
 public:
  // At most this many buffers are asked for, and a buffer larger than this
  // is refused (a driver's length is not trusted).
  static constexpr uint32_t kMaxBuffers = 8;
  static constexpr uint32_t kMaxBufferBytes = 64u * 1024 * 1024;
  // A menu control's values past this many from its minimum are not asked
  // for (a driver's range is not trusted).
  static constexpr int32_t kMaxMenuEntries = 64;

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

  // Buffers, all queued, and the stream on. With a lender the buffers are
  // its blocks where the driver takes user pointers; a driver that does
  // not (or refuses a block) streams into memory-mapped buffers instead.
  int StartStreaming(uint32_t buffer_count, CameraBufferLender* lender = nullptr);
  // True while streaming into lent blocks.
  bool StreamsIntoLentBuffers() const { return streaming_ && user_pointers_; }
  // Waits up to timeout_ms for a filled buffer, hands its bytes to `take`
  // (on this thread) and queues a buffer again. `lent` is the block's
  // handle when the bytes are a lent block, which is returned after `take`
  // (a new block takes its place); null for bytes the driver keeps (a
  // memory-mapped buffer, or a lent block kept because no other could be
  // had). 0 after a frame; ETIMEDOUT; EAGAIN when the driver had none
  // after all; ENODEV once the camera has gone; EIO for a buffer the driver
  // marked bad (handed over nothing).
  using FrameTaker = std::function<void(const uint8_t* data, uint32_t length, void* lent)>;
  int NextFrame(int timeout_ms, const FrameTaker& take);
  void StopStreaming();

 private:
  struct Buffer {
    void* address = nullptr;
    size_t length = 0;
    void* handle = nullptr;  // the lender's, for a lent block
  };
  int Call(unsigned long request, void* arg, const char* what);
  std::vector<CameraMenuEntry> MenuEntries(const ::v4l2_queryctrl& control);
  int MapBuffers(uint32_t count);
  // ENOTSUP when the driver takes no user pointers or a block is refused.
  int LendBuffers(uint32_t count, CameraBufferLender* lender);
  int QueueLent(uint32_t index);
  void ReleaseBuffers();

  V4l2Port& port_;
  int fd_ = -1;
  std::string node_;
  std::vector<Buffer> buffers_;
  bool streaming_ = false;
  bool user_pointers_ = false;
  CameraBufferLender* lender_ = nullptr;
};

}  // namespace vz

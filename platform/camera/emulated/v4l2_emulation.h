#pragma once
// An in-process V4L2 capture device behind the V4L2 port: the cameras of a
// script answer the requests the backend makes (capabilities, formats,
// sizes, intervals, inputs, controls, buffers, the frame queue) with the
// kernel's structures and errors: EINVAL for a format they do not take,
// EAGAIN while no frame is due, ENODEV once unplugged. Frames come at the
// camera's rate on the real clock, drawn by the script's picture and packed
// as the set format wants (MJPEG frames made with libjpeg-turbo).
//
// Threads: any; one lock guards every camera. Plug and UnplugForTesting tell
// the hot-plug monitors, on their own threads' run loops.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/camera/camera_records.h"
#include "platform/camera/v4l2_port.h"

namespace vz {

struct EmulatedCameraScript {
  std::string card = "Emulated Camera";
  std::string driver = "uvcvideo";
  std::string bus_info = "usb-0000:00:14.0-1";
  std::string stable_name;  // empty: the port has no by-id link for it
  std::string usb_vendor, usb_product;

  // One pixel format: either discrete sizes or one stepwise range.
  struct Format {
    uint32_t fourcc = kFourccYuyv;
    std::vector<std::pair<uint32_t, uint32_t>> sizes;
    bool stepwise = false;
    uint32_t min_width = 0, max_width = 0, step_width = 0;
    uint32_t min_height = 0, max_height = 0, step_height = 0;
  };
  std::vector<Format> formats;
  std::vector<float> rates = {30.0f, 15.0f};  // listed for every size, fastest first

  // Behaviour.
  bool never_sends = false;       // streams but fills no buffer
  uint32_t silent_width = 0;      // fills no buffer while set to this width
  bool fails_streamon = false;    // VIDIOC_STREAMON answers EIO
  bool interlaced = false;        // the format's field is interlaced
  bool refuses_s_fmt = false;     // every VIDIOC_S_FMT answers EINVAL
  uint32_t short_frame_every = 0; // every Nth frame half its length (0: none)
  uint32_t stop_after_frames = 0; // stops filling buffers after N frames (0: never)
  // MJPEG frames: 4:2:2 rather than 4:2:0, and without their Huffman tables.
  bool jpeg_422 = false;
  bool jpeg_strip_dht = false;
  uint32_t jpeg_restart_interval = 0;  // MCUs between restart markers (0: none)
  // MJPEG frames whose picture is this size rather than the set one (0: the set one).
  uint32_t jpeg_width = 0, jpeg_height = 0;
  // Raw rows this many bytes longer than the picture's (even; the chroma
  // rows of planar formats half as many), as bytesperline says.
  uint32_t row_padding = 0;
  // Buffers the caller lends (V4L2_MEMORY_USERPTR) are taken, besides
  // memory-mapped ones; false: REQBUFS for them answers EINVAL.
  bool takes_user_pointers = true;
  // ... but VIDIOC_STREAMON with them answers EIO.
  bool fails_user_pointer_streamon = false;

  std::vector<CameraInput> inputs = {{0, "Camera 1", true}};
  std::vector<CameraControl> controls;

  // Draws frame `counter` into an I420 picture (even sides); null: a gradient.
  std::function<void(uint32_t counter, uint8_t* i420, int width, int height)> picture;
};

// A laptop camera: YUYV at 640x480, 320x240 and 1280x720, a stepwise
// MJPEG range; brightness and contrast controls and a power-line frequency
// menu ("Disabled", "50 Hz", "60 Hz").
EmulatedCameraScript LaptopYuyvCamera();
// A camera that sends only MJPEG, at 1280x720, 640x360 and 424x240.
EmulatedCameraScript MjpegOnlyCamera();

class EmulatedV4l2 : public V4l2Port {
 public:
  EmulatedV4l2();
  ~EmulatedV4l2() override;

  // Plugs a camera in at the lowest free /dev/videoN and returns its node;
  // the monitors are told.
  std::string Plug(const EmulatedCameraScript& script);
  // Pulls it out: its open descriptors answer ENODEV and its node goes.
  void UnplugForTesting(const std::string& node);
  // Tells the monitors without a change (a spurious event).
  void NotifyWithoutChangeForTesting();
  // Frames filled so far by the camera at `node` (0 when none).
  uint32_t FramesFilledForTesting(const std::string& node);
  // Of those, the frames filled into buffers the caller lent.
  uint32_t FramesFilledIntoLentBuffersForTesting(const std::string& node);
  // Control values as set, for tests.
  int32_t ControlValueForTesting(const std::string& node, uint32_t id);

  std::vector<std::string> ListNodes() override;
  int Open(const std::string& node) override;
  int Ioctl(int fd, unsigned long request, void* arg) override;
  void* Mmap(int fd, size_t length, int64_t offset) override;
  int Munmap(void* address, size_t length) override;
  int Poll(int fd, int timeout_ms) override;
  int Close(int fd) override;
  std::string StableName(const std::string& node) override;
  bool UsbIds(const std::string& node, std::string* vendor, std::string* product) override;
  std::unique_ptr<CameraHotplugMonitor> CreateHotplugMonitor() override;

  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace vz

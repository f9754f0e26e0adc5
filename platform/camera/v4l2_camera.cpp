#include "platform/camera/v4l2_camera.h"

#include <linux/videodev2.h>

#include <cerrno>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/platform_log.h"

namespace vz {
namespace {

// Text the driver wrote into a fixed array, which it may not have ended.
template <size_t N>
std::string FixedText(const uint8_t (&text)[N]) {
  size_t length = 0;
  while (length < N && text[length] != 0) ++length;
  return std::string(reinterpret_cast<const char*>(text), length);
}

float RateOf(const v4l2_fract& interval) {
  return interval.numerator == 0 ? 0.0f : static_cast<float>(interval.denominator) / interval.numerator;
}

bool IsSoftwareDriver(const std::string& driver) {
  return driver == "v4l2 loopback" || driver == "v4l2loopback" || driver == "vivid";
}

uint32_t CaptureCaps(const v4l2_capability& caps) {
  return (caps.capabilities & V4L2_CAP_DEVICE_CAPS) ? caps.device_caps : caps.capabilities;
}

// The slowest and fastest rates the driver lists for one size.
void RatesFor(V4l2Port& port, int fd, uint32_t fourcc, uint32_t width, uint32_t height, CameraFormatRange* range) {
  float lowest = 0.0f, highest = 0.0f;
  // A driver that never ends its list must not keep us here.
  for (uint32_t index = 0; index < 64; ++index) {
    v4l2_frmivalenum interval{};
    interval.index = index;
    interval.pixel_format = fourcc;
    interval.width = width;
    interval.height = height;
    if (port.Ioctl(fd, VIDIOC_ENUM_FRAMEINTERVALS, &interval) != 0) break;
    if (interval.type == V4L2_FRMIVAL_TYPE_DISCRETE) {
      const float rate = RateOf(interval.discrete);
      if (rate <= 0.0f) continue;
      if (lowest == 0.0f || rate < lowest) lowest = rate;
      if (rate > highest) highest = rate;
    } else {
      // Continuous and stepwise ranges: the shortest interval is the fastest rate.
      highest = RateOf(interval.stepwise.min);
      lowest = RateOf(interval.stepwise.max);
      break;
    }
  }
  range->min_rate = lowest;
  range->max_rate = highest;
}

}  // namespace

std::vector<CameraNode> ListV4l2Cameras(V4l2Port& port) {
  std::vector<CameraNode> cameras;
  for (const std::string& node : port.ListNodes()) {
    const int fd = port.Open(node);
    if (fd < 0) {
      PlatformLog("camera node %s cannot be opened: %s", node.c_str(), std::strerror(-fd));
      continue;
    }
    v4l2_capability caps{};
    const int result = port.Ioctl(fd, VIDIOC_QUERYCAP, &caps);
    port.Close(fd);
    if (result != 0 || (CaptureCaps(caps) & V4L2_CAP_VIDEO_CAPTURE) == 0) continue;
    CameraNode camera;
    camera.node = node;
    camera.display_name = FixedText(caps.card);
    camera.driver = FixedText(caps.driver);
    camera.bus_info = FixedText(caps.bus_info);
    camera.software = IsSoftwareDriver(camera.driver);
    camera.unique_name = port.StableName(node);
    if (camera.unique_name.empty()) camera.unique_name = camera.bus_info + ":" + camera.display_name;
    port.UsbIds(node, &camera.usb_vendor, &camera.usb_product);
    cameras.push_back(std::move(camera));
  }
  return cameras;
}

V4l2Camera::~V4l2Camera() { Close(); }

int V4l2Camera::Call(unsigned long request, void* arg, const char* what) {
  const int result = port_.Ioctl(fd_, request, arg);
  if (result != 0) PlatformLog("camera %s: %s failed: %s", node_.c_str(), what, std::strerror(-result));
  return -result;
}

int V4l2Camera::Open(const std::string& node) {
  Close();
  const int fd = port_.Open(node);
  if (fd < 0) {
    PlatformLog("camera %s cannot be opened: %s", node.c_str(), std::strerror(-fd));
    return -fd;
  }
  fd_ = fd;
  node_ = node;
  v4l2_capability caps{};
  int result = Call(VIDIOC_QUERYCAP, &caps, "VIDIOC_QUERYCAP");
  if (result == 0 && ((CaptureCaps(caps) & V4L2_CAP_VIDEO_CAPTURE) == 0 || (CaptureCaps(caps) & V4L2_CAP_STREAMING) == 0)) {
    PlatformLog("camera %s does not stream video capture", node.c_str());
    result = ENODEV;
  }
  if (result != 0) Close();
  return result;
}

void V4l2Camera::Close() {
  StopStreaming();
  if (fd_ >= 0) port_.Close(fd_);
  fd_ = -1;
}

std::vector<CameraFormatRange> V4l2Camera::Formats() {
  std::vector<CameraFormatRange> formats;
  if (fd_ < 0) return formats;
  for (uint32_t index = 0; index < 64; ++index) {
    v4l2_fmtdesc description{};
    description.index = index;
    description.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (port_.Ioctl(fd_, VIDIOC_ENUM_FMT, &description) != 0) break;
    for (uint32_t size_index = 0; size_index < 256; ++size_index) {
      v4l2_frmsizeenum size{};
      size.index = size_index;
      size.pixel_format = description.pixelformat;
      if (port_.Ioctl(fd_, VIDIOC_ENUM_FRAMESIZES, &size) != 0) break;
      CameraFormatRange range;
      range.fourcc = description.pixelformat;
      range.compressed = (description.flags & V4L2_FMT_FLAG_COMPRESSED) != 0;
      if (size.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
        range.min_width = range.max_width = size.discrete.width;
        range.min_height = range.max_height = size.discrete.height;
        range.step_width = range.step_height = 1;
      } else {
        range.min_width = size.stepwise.min_width;
        range.max_width = size.stepwise.max_width;
        range.min_height = size.stepwise.min_height;
        range.max_height = size.stepwise.max_height;
        // A continuous range steps by one pixel.
        range.step_width = size.type == V4L2_FRMSIZE_TYPE_CONTINUOUS ? 1 : size.stepwise.step_width;
        range.step_height = size.type == V4L2_FRMSIZE_TYPE_CONTINUOUS ? 1 : size.stepwise.step_height;
      }
      RatesFor(port_, fd_, range.fourcc, range.min_width, range.min_height, &range);
      formats.push_back(range);
      if (size.type != V4L2_FRMSIZE_TYPE_DISCRETE) break;
    }
  }
  return formats;
}

namespace {
void ToCameraFormat(const v4l2_format& format, CameraFormat* out) {
  out->fourcc = format.fmt.pix.pixelformat;
  out->width = format.fmt.pix.width;
  out->height = format.fmt.pix.height;
  out->bytes_per_line = format.fmt.pix.bytesperline;
  out->image_size = format.fmt.pix.sizeimage;
  out->progressive = format.fmt.pix.field == V4L2_FIELD_NONE || format.fmt.pix.field == V4L2_FIELD_ANY;
}
}  // namespace

int V4l2Camera::SetFormat(uint32_t fourcc, uint32_t width, uint32_t height, CameraFormat* actual) {
  if (fd_ < 0) return EBADF;
  v4l2_format format{};
  format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  format.fmt.pix.pixelformat = fourcc;
  format.fmt.pix.width = width;
  format.fmt.pix.height = height;
  format.fmt.pix.field = V4L2_FIELD_NONE;
  const int result = Call(VIDIOC_S_FMT, &format, "VIDIOC_S_FMT");
  if (result == 0 && actual != nullptr) ToCameraFormat(format, actual);
  return result;
}

int V4l2Camera::GetFormat(CameraFormat* current) {
  if (fd_ < 0) return EBADF;
  v4l2_format format{};
  format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  const int result = Call(VIDIOC_G_FMT, &format, "VIDIOC_G_FMT");
  if (result == 0 && current != nullptr) ToCameraFormat(format, current);
  return result;
}

int V4l2Camera::SetFrameRate(float rate) {
  if (fd_ < 0) return EBADF;
  if (!(rate > 0.0f) || rate > 1000.0f) return EINVAL;
  v4l2_streamparm parm{};
  parm.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  if (port_.Ioctl(fd_, VIDIOC_G_PARM, &parm) != 0 || (parm.parm.capture.capability & V4L2_CAP_TIMEPERFRAME) == 0) {
    return ENOTTY;
  }
  parm.parm.capture.timeperframe.numerator = 1000;
  parm.parm.capture.timeperframe.denominator = static_cast<uint32_t>(std::lround(rate * 1000.0f));
  return Call(VIDIOC_S_PARM, &parm, "VIDIOC_S_PARM");
}

float V4l2Camera::GetFrameRate() {
  v4l2_streamparm parm{};
  parm.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  if (fd_ < 0 || port_.Ioctl(fd_, VIDIOC_G_PARM, &parm) != 0) return 0.0f;
  return RateOf(parm.parm.capture.timeperframe);
}

std::vector<CameraInput> V4l2Camera::Inputs() {
  std::vector<CameraInput> inputs;
  for (uint32_t index = 0; fd_ >= 0 && index < 32; ++index) {
    v4l2_input input{};
    input.index = index;
    if (port_.Ioctl(fd_, VIDIOC_ENUMINPUT, &input) != 0) break;
    inputs.push_back({index, FixedText(input.name), input.type == V4L2_INPUT_TYPE_CAMERA});
  }
  return inputs;
}

int V4l2Camera::SelectInput(uint32_t index) {
  if (fd_ < 0) return EBADF;
  int value = static_cast<int>(index);
  return Call(VIDIOC_S_INPUT, &value, "VIDIOC_S_INPUT");
}

int V4l2Camera::CurrentInput(uint32_t* index) {
  if (fd_ < 0) return EBADF;
  int value = 0;
  const int result = Call(VIDIOC_G_INPUT, &value, "VIDIOC_G_INPUT");
  if (result == 0 && index != nullptr) *index = static_cast<uint32_t>(value);
  return result;
}

std::vector<CameraControl> V4l2Camera::Controls() {
  std::vector<CameraControl> controls;
  uint32_t next = V4L2_CTRL_FLAG_NEXT_CTRL;
  for (int count = 0; fd_ >= 0 && count < 256; ++count) {
    v4l2_queryctrl query{};
    query.id = next;
    if (port_.Ioctl(fd_, VIDIOC_QUERYCTRL, &query) != 0) break;
    // A driver that does not move on would list one control for ever.
    if ((query.id & ~V4L2_CTRL_FLAG_NEXT_CTRL) <= (next & ~V4L2_CTRL_FLAG_NEXT_CTRL) && count > 0) break;
    next = query.id | V4L2_CTRL_FLAG_NEXT_CTRL;
    if (query.flags & V4L2_CTRL_FLAG_DISABLED) continue;
    const bool integer = query.type == V4L2_CTRL_TYPE_INTEGER;
    const bool boolean = query.type == V4L2_CTRL_TYPE_BOOLEAN;
    const bool menu = query.type == V4L2_CTRL_TYPE_MENU;
    if (!integer && !boolean && !menu) continue;
    CameraControl control;
    control.id = query.id;
    control.name = FixedText(query.name);
    control.minimum = query.minimum;
    control.maximum = query.maximum;
    control.step = query.step > 0 ? query.step : 1;
    control.default_value = query.default_value;
    control.is_boolean = boolean;
    control.is_menu = menu;
    if (menu) control.menu = MenuEntries(query);
    controls.push_back(control);
  }
  return controls;
}

std::vector<CameraMenuEntry> V4l2Camera::MenuEntries(const v4l2_queryctrl& control) {
  std::vector<CameraMenuEntry> entries;
  const int64_t last = std::min<int64_t>(control.maximum, static_cast<int64_t>(control.minimum) + kMaxMenuEntries - 1);
  for (int64_t value = std::max(control.minimum, 0); value <= last; ++value) {
    v4l2_querymenu entry{};
    entry.id = control.id;
    entry.index = static_cast<uint32_t>(value);
    // A value the driver leaves out of its menu answers EINVAL.
    if (port_.Ioctl(fd_, VIDIOC_QUERYMENU, &entry) != 0) continue;
    uint8_t name[sizeof(entry.name)];  // the record is packed: no reference into it
    std::memcpy(name, entry.name, sizeof(name));
    entries.push_back({static_cast<int32_t>(value), FixedText(name)});
  }
  return entries;
}

int V4l2Camera::GetControl(uint32_t id, int32_t* value) {
  if (fd_ < 0) return EBADF;
  v4l2_control control{id, 0};
  const int result = Call(VIDIOC_G_CTRL, &control, "VIDIOC_G_CTRL");
  if (result == 0 && value != nullptr) *value = control.value;
  return result;
}

int V4l2Camera::SetControl(uint32_t id, int32_t value) {
  if (fd_ < 0) return EBADF;
  v4l2_control control{id, value};
  return Call(VIDIOC_S_CTRL, &control, "VIDIOC_S_CTRL");
}

int V4l2Camera::StartStreaming(uint32_t buffer_count, CameraBufferLender* lender) {
  if (fd_ < 0) return EBADF;
  if (streaming_) return 0;
  const uint32_t count = buffer_count == 0 || buffer_count > kMaxBuffers ? kMaxBuffers : buffer_count;
  int result = ENOTSUP;
  if (lender != nullptr) {
    result = LendBuffers(count, lender);
    if (result == ENOTSUP) {
      PlatformLog("camera %s: no user-pointer buffers, memory-mapped buffers instead", node_.c_str());
    }
  }
  if (result == ENOTSUP) result = MapBuffers(count);
  if (result != 0) return result;
  int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  result = Call(VIDIOC_STREAMON, &type, "VIDIOC_STREAMON");
  if (result != 0 && user_pointers_ && result != ENODEV) {
    // A driver may take the blocks and still not stream into them.
    ReleaseBuffers();
    PlatformLog("camera %s: no stream into user-pointer buffers, memory-mapped buffers instead", node_.c_str());
    result = MapBuffers(count);
    if (result != 0) return result;
    result = Call(VIDIOC_STREAMON, &type, "VIDIOC_STREAMON");
  }
  if (result != 0) {
    ReleaseBuffers();
    return result;
  }
  streaming_ = true;
  return 0;
}

int V4l2Camera::MapBuffers(uint32_t count) {
  v4l2_requestbuffers request{};
  request.count = count;
  request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  request.memory = V4L2_MEMORY_MMAP;
  int result = Call(VIDIOC_REQBUFS, &request, "VIDIOC_REQBUFS");
  if (result != 0) return result;
  user_pointers_ = false;
  if (request.count == 0 || request.count > kMaxBuffers) {
    PlatformLog("camera %s: the driver gave %u buffers", node_.c_str(), request.count);
    ReleaseBuffers();
    return EIO;
  }
  for (uint32_t index = 0; index < request.count; ++index) {
    v4l2_buffer buffer{};
    buffer.index = index;
    buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    buffer.memory = V4L2_MEMORY_MMAP;
    result = Call(VIDIOC_QUERYBUF, &buffer, "VIDIOC_QUERYBUF");
    if (result == 0 && (buffer.length == 0 || buffer.length > kMaxBufferBytes)) {
      PlatformLog("camera %s: buffer of %u bytes refused", node_.c_str(), buffer.length);
      result = EIO;
    }
    void* address = result == 0 ? port_.Mmap(fd_, buffer.length, buffer.m.offset) : nullptr;
    if (result == 0 && address == nullptr) {
      PlatformLog("camera %s: buffer %u cannot be mapped", node_.c_str(), index);
      result = ENOMEM;
    }
    if (result != 0) {
      ReleaseBuffers();
      return result;
    }
    buffers_.push_back({address, buffer.length, nullptr});
    result = Call(VIDIOC_QBUF, &buffer, "VIDIOC_QBUF");
    if (result != 0) {
      ReleaseBuffers();
      return result;
    }
  }
  return 0;
}

int V4l2Camera::LendBuffers(uint32_t count, CameraBufferLender* lender) {
  // The block size is the driver's image size for the format set.
  CameraFormat format;
  if (GetFormat(&format) != 0) return ENOTSUP;
  if (format.image_size == 0 || format.image_size > kMaxBufferBytes) {
    PlatformLog("camera %s: image size %u refused", node_.c_str(), format.image_size);
    return ENOTSUP;
  }
  v4l2_requestbuffers request{};
  request.count = count;
  request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  request.memory = V4L2_MEMORY_USERPTR;
  // A driver without user pointers answers EINVAL: not a failure to log.
  if (port_.Ioctl(fd_, VIDIOC_REQBUFS, &request) != 0) return ENOTSUP;
  user_pointers_ = true;
  lender_ = lender;
  if (request.count == 0 || request.count > kMaxBuffers) {
    PlatformLog("camera %s: the driver gave %u buffers", node_.c_str(), request.count);
    ReleaseBuffers();
    return ENOTSUP;
  }
  for (uint32_t index = 0; index < request.count; ++index) {
    Buffer block;
    block.length = format.image_size;
    block.address = lender->Lend(block.length, &block.handle);
    if (block.address == nullptr) {
      ReleaseBuffers();
      return ENOTSUP;
    }
    buffers_.push_back(block);
    if (QueueLent(index) != 0) {
      ReleaseBuffers();
      return ENOTSUP;
    }
  }
  return 0;
}

int V4l2Camera::QueueLent(uint32_t index) {
  v4l2_buffer buffer{};
  buffer.index = index;
  buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  buffer.memory = V4L2_MEMORY_USERPTR;
  buffer.m.userptr = reinterpret_cast<unsigned long>(buffers_[index].address);
  buffer.length = static_cast<uint32_t>(buffers_[index].length);
  return Call(VIDIOC_QBUF, &buffer, "VIDIOC_QBUF");
}

int V4l2Camera::NextFrame(int timeout_ms, const FrameTaker& take) {
  if (!streaming_) return EBADF;
  const int ready = port_.Poll(fd_, timeout_ms);
  if (ready == 0) return ETIMEDOUT;
  if (ready < 0) return -ready;
  v4l2_buffer buffer{};
  buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  buffer.memory = user_pointers_ ? V4L2_MEMORY_USERPTR : V4L2_MEMORY_MMAP;
  const int result = -port_.Ioctl(fd_, VIDIOC_DQBUF, &buffer);
  if (result == EAGAIN) return EAGAIN;
  if (result != 0) {
    PlatformLog("camera %s: VIDIOC_DQBUF failed: %s", node_.c_str(), std::strerror(result));
    return result;
  }
  if (buffer.index >= buffers_.size()) {
    PlatformLog("camera %s: the driver gave back buffer %u of %zu", node_.c_str(), buffer.index, buffers_.size());
    return EIO;
  }
  Buffer& held = buffers_[buffer.index];
  int answer = 0;
  // The filled length never reaches past the buffer.
  const uint32_t length = buffer.bytesused <= held.length ? buffer.bytesused : static_cast<uint32_t>(held.length);
  if (user_pointers_ && buffer.m.userptr != reinterpret_cast<unsigned long>(held.address)) {
    // Not read; the slot's own block is queued again.
    PlatformLog("camera %s: the driver gave back another block for buffer %u", node_.c_str(), buffer.index);
    answer = EIO;
  } else if (buffer.flags & V4L2_BUF_FLAG_ERROR) {
    answer = EIO;
  } else if (!user_pointers_) {
    take(static_cast<const uint8_t*>(held.address), length, nullptr);
  } else {
    // The filled block travels on; a new one takes its place. Without one
    // the block stays the driver's and its bytes are only lent to `take`.
    Buffer filled = held;
    void* handle = nullptr;
    void* address = lender_->Lend(held.length, &handle);
    if (address == nullptr) {
      take(static_cast<const uint8_t*>(filled.address), length, nullptr);
    } else {
      held.address = address;
      held.handle = handle;
      take(static_cast<const uint8_t*>(filled.address), length, filled.handle);
      lender_->Return(filled.handle);
    }
  }
  const int queued = user_pointers_ ? QueueLent(buffer.index) : Call(VIDIOC_QBUF, &buffer, "VIDIOC_QBUF");
  return queued == ENODEV ? ENODEV : answer;
}

void V4l2Camera::StopStreaming() {
  if (streaming_) {
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    port_.Ioctl(fd_, VIDIOC_STREAMOFF, &type);
    streaming_ = false;
  }
  ReleaseBuffers();
}

void V4l2Camera::ReleaseBuffers() {
  // The stream is off (or never went on): the driver holds no block.
  for (const Buffer& buffer : buffers_) {
    if (!user_pointers_) {
      port_.Munmap(buffer.address, buffer.length);
    } else if (buffer.handle != nullptr) {
      lender_->Return(buffer.handle);
    }
  }
  const bool had = !buffers_.empty() || user_pointers_;
  buffers_.clear();
  if (had && fd_ >= 0) {
    v4l2_requestbuffers request{};
    request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    request.memory = user_pointers_ ? V4L2_MEMORY_USERPTR : V4L2_MEMORY_MMAP;
    port_.Ioctl(fd_, VIDIOC_REQBUFS, &request);
  }
  user_pointers_ = false;
  lender_ = nullptr;
}

}  // namespace vz

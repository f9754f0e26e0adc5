#include "platform/camera/emulated/v4l2_emulation.h"

#include <linux/videodev2.h>
#include <turbojpeg.h>
// After <cstdio>: the library header needs FILE.
#include <cstdio>
#include <jpeglib.h>

#include <csetjmp>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/big_endian.h"
#include "platform/platform_log.h"
#include "platform/run_loop.h"

namespace vz {
namespace {

using SteadyClock = std::chrono::steady_clock;
constexpr int kFirstFd = 1000;  // far from the process's own descriptors
constexpr int64_t kBufferStride = 1 << 26;  // offsets of the mapped buffers

struct EmulatedBuffer {
  std::vector<uint8_t> bytes;  // a memory-mapped buffer's
  uint8_t* lent = nullptr;     // a user-pointer buffer's, while queued
  size_t lent_length = 0;
  bool queued = false;
  uint32_t used = 0;
};

struct Camera {
  EmulatedCameraScript script;
  std::string node;
  bool gone = false;
  uint32_t fourcc = 0, width = 0, height = 0;
  float rate = 30.0f;
  uint32_t input = 0;
  std::map<uint32_t, int32_t> control_values;
  std::vector<EmulatedBuffer> buffers;
  bool streaming = false;
  uint32_t memory = V4L2_MEMORY_MMAP;
  SteadyClock::time_point next_due{};
  uint32_t counter = 0;
  uint32_t lent_filled = 0;
};

template <size_t N>
void CopyText(uint8_t (&to)[N], const std::string& text) {
  std::memset(to, 0, N);
  std::memcpy(to, text.data(), std::min(text.size(), N - 1));
}

// Bytes from one row of the first plane to the next (0 for compressed).
uint32_t RowStride(uint32_t fourcc, uint32_t width, uint32_t padding) {
  if (fourcc == kFourccYuyv) return width * 2 + padding;
  if (fourcc == kFourccI420 || fourcc == kFourccYv12) return width + padding;
  if (fourcc == kFourccBgr24) return width * 3 + padding;
  return 0;
}

uint32_t ImageSize(uint32_t fourcc, uint32_t width, uint32_t height, uint32_t padding) {
  const uint32_t stride = RowStride(fourcc, width, padding);
  if (fourcc == kFourccI420 || fourcc == kFourccYv12) return stride * height + (stride / 2) * (height / 2) * 2;
  if (stride != 0) return stride * height;
  return width * height * 2;  // the most a compressed frame may take
}

void DefaultPicture(uint32_t counter, uint8_t* i420, int width, int height) {
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) i420[y * width + x] = static_cast<uint8_t>((x + y + counter) & 0xFF);
  }
  std::memset(i420 + width * height, 128, static_cast<size_t>(width / 2) * (height / 2) * 2);
}

std::vector<uint8_t> StripHuffmanTables(const uint8_t* jpeg, size_t size) {
  std::vector<uint8_t> out;
  out.reserve(size);
  size_t at = 0;
  while (at + 4 <= size) {
    if (jpeg[at] != 0xFF) break;
    const uint8_t marker = jpeg[at + 1];
    if (marker == 0xD8) {
      out.insert(out.end(), jpeg + at, jpeg + at + 2);
      at += 2;
      continue;
    }
    const size_t length = vz::Load16(jpeg + at + 2);
    if (marker == 0xDA || at + 2 + length > size) break;  // the scan runs to the end
    if (marker != 0xC4) out.insert(out.end(), jpeg + at, jpeg + at + 2 + length);
    at += 2 + length;
  }
  out.insert(out.end(), jpeg + at, jpeg + size);
  return out;
}

// A JPEG frame with restart markers every `interval` MCUs, from I420 planes
// (chroma rows repeated for 4:2:2); empty on failure. TurboJPEG's own calls
// have no restart setting, so this goes through the library's full interface.
struct JpegFailure {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
};

[[noreturn]] void JpegFailed(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegFailure*>(info->err)->jump, 1);
}

std::vector<uint8_t> EncodeWithRestarts(const uint8_t* y, const uint8_t* u, const uint8_t* v, int width, int height,
                                        bool chroma_422, unsigned interval) {
  // Rows padded to whole MCUs by repeating the last column and row, as the
  // raw interface reads whole blocks.
  const int padded_width = (width + 15) & ~15;
  const int mcu_rows = chroma_422 ? 8 : 16;
  const int padded_height = (height + mcu_rows - 1) / mcu_rows * mcu_rows;
  const int chroma_height = chroma_422 ? padded_height : padded_height / 2;
  std::vector<uint8_t> luma(static_cast<size_t>(padded_width) * padded_height);
  std::vector<uint8_t> cb(static_cast<size_t>(padded_width / 2) * chroma_height);
  std::vector<uint8_t> cr(cb.size());
  for (int row = 0; row < padded_height; ++row) {
    const int from = std::min(row, height - 1);
    for (int x = 0; x < padded_width; ++x) luma[row * padded_width + x] = y[from * width + std::min(x, width - 1)];
  }
  for (int row = 0; row < chroma_height; ++row) {
    const int picture_row = chroma_422 ? std::min(row, height - 1) / 2 : std::min(row, height / 2 - 1);
    for (int x = 0; x < padded_width / 2; ++x) {
      const int column = std::min(x, width / 2 - 1);
      cb[row * (padded_width / 2) + x] = u[picture_row * (width / 2) + column];
      cr[row * (padded_width / 2) + x] = v[picture_row * (width / 2) + column];
    }
  }
  jpeg_compress_struct info{};
  JpegFailure failure{};
  info.err = jpeg_std_error(&failure.manager);
  failure.manager.error_exit = &JpegFailed;
  unsigned char* out = nullptr;
  unsigned long out_size = 0;
  std::vector<uint8_t> frame;
  // Nothing with a destructor may be made between setjmp and a failure's jump.
  std::vector<JSAMPROW> luma_rows(static_cast<size_t>(mcu_rows)), cb_rows(8), cr_rows(8);
  volatile bool finished = false;
  if (setjmp(failure.jump) == 0) {
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &out, &out_size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_YCbCr;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    info.raw_data_in = TRUE;
    info.comp_info[0].h_samp_factor = 2;
    info.comp_info[0].v_samp_factor = chroma_422 ? 1 : 2;
    for (int c = 1; c < 3; ++c) info.comp_info[c].h_samp_factor = info.comp_info[c].v_samp_factor = 1;
    info.restart_interval = interval;
    jpeg_start_compress(&info, TRUE);
    for (int row = 0; row < padded_height; row += mcu_rows) {
      for (int i = 0; i < mcu_rows; ++i) luma_rows[i] = &luma[static_cast<size_t>(row + i) * padded_width];
      const int chroma_row = chroma_422 ? row : row / 2;
      for (int i = 0; i < 8; ++i) {
        cb_rows[i] = &cb[static_cast<size_t>(chroma_row + i) * (padded_width / 2)];
        cr_rows[i] = &cr[static_cast<size_t>(chroma_row + i) * (padded_width / 2)];
      }
      JSAMPARRAY planes[3] = {luma_rows.data(), cb_rows.data(), cr_rows.data()};
      jpeg_write_raw_data(&info, planes, static_cast<JDIMENSION>(mcu_rows));
    }
    jpeg_finish_compress(&info);
    finished = true;
  } else {
    PlatformLog("emulated camera: the JPEG frame with restart markers could not be made");
  }
  jpeg_destroy_compress(&info);
  if (finished && out != nullptr && out_size > 0) frame.assign(out, out + out_size);
  std::free(out);
  return frame;
}

// Packs one picture as the camera's format into `to`; the bytes written.
uint32_t Pack(Camera& camera, uint8_t* to, size_t capacity) {
  const EmulatedCameraScript& script = camera.script;
  const bool jpeg = camera.fourcc == kFourccMjpeg;
  const int width = static_cast<int>(jpeg && script.jpeg_width ? script.jpeg_width : camera.width) & ~1;
  const int height = static_cast<int>(jpeg && script.jpeg_height ? script.jpeg_height : camera.height) & ~1;
  std::vector<uint8_t> picture(static_cast<size_t>(width) * height * 3 / 2);
  if (script.picture) {
    script.picture(camera.counter, picture.data(), width, height);
  } else {
    DefaultPicture(camera.counter, picture.data(), width, height);
  }
  const uint8_t* y = picture.data();
  const uint8_t* u = y + static_cast<size_t>(width) * height;
  const uint8_t* v = u + static_cast<size_t>(width / 2) * (height / 2);
  const size_t stride = RowStride(camera.fourcc, static_cast<uint32_t>(width), script.row_padding);
  if (camera.fourcc == kFourccI420 || camera.fourcc == kFourccYv12) {
    const size_t size = ImageSize(camera.fourcc, width, height, script.row_padding);
    if (size > capacity) return 0;
    std::memset(to, 0xEE, size);  // padding a reader must skip
    for (int row = 0; row < height; ++row) std::memcpy(to + row * stride, y + row * width, width);
    uint8_t* chroma = to + stride * height;
    for (const uint8_t* plane : {u, v}) {
      for (int row = 0; row < height / 2; ++row) {
        std::memcpy(chroma + row * (stride / 2), plane + row * (width / 2), width / 2);
      }
      chroma += (stride / 2) * (height / 2);
    }
    return static_cast<uint32_t>(size);
  }
  if (camera.fourcc == kFourccYuyv) {
    const size_t size = stride * height;
    if (size > capacity) return 0;
    std::memset(to, 0xEE, size);
    for (int row = 0; row < height; ++row) {
      uint8_t* line = to + static_cast<size_t>(row) * stride;
      for (int x = 0; x < width; x += 2) {
        line[x * 2] = y[row * width + x];
        line[x * 2 + 1] = u[(row / 2) * (width / 2) + x / 2];
        line[x * 2 + 2] = y[row * width + x + 1];
        line[x * 2 + 3] = v[(row / 2) * (width / 2) + x / 2];
      }
    }
    return static_cast<uint32_t>(size);
  }
  if (!jpeg) return 0;
  // 4:2:2 repeats each chroma row of the picture.
  std::vector<uint8_t> u422, v422;
  const uint8_t* planes[3] = {y, u, v};
  if (script.jpeg_422) {
    u422.resize(static_cast<size_t>(width / 2) * height);
    v422.resize(u422.size());
    for (int row = 0; row < height; ++row) {
      std::memcpy(&u422[static_cast<size_t>(row) * (width / 2)], u + (row / 2) * (width / 2), width / 2);
      std::memcpy(&v422[static_cast<size_t>(row) * (width / 2)], v + (row / 2) * (width / 2), width / 2);
    }
    planes[1] = u422.data();
    planes[2] = v422.data();
  }
  if (script.jpeg_restart_interval != 0) {
    std::vector<uint8_t> frame = EncodeWithRestarts(y, u, v, width, height, script.jpeg_422,
                                                    script.jpeg_restart_interval);
    if (script.jpeg_strip_dht) frame = StripHuffmanTables(frame.data(), frame.size());
    if (frame.empty() || frame.size() > capacity) return 0;
    std::memcpy(to, frame.data(), frame.size());
    return static_cast<uint32_t>(frame.size());
  }
  tjhandle handle = tjInitCompress();
  if (handle == nullptr) return 0;
  unsigned char* out = nullptr;
  unsigned long out_size = 0;
  const int strides[3] = {width, width / 2, width / 2};
  const int made = tjCompressFromYUVPlanes(handle, planes, width, strides, height,
                                           script.jpeg_422 ? TJSAMP_422 : TJSAMP_420, &out, &out_size, 90, 0);
  uint32_t written = 0;
  if (made == 0) {
    std::vector<uint8_t> frame = script.jpeg_strip_dht ? StripHuffmanTables(out, out_size)
                                                       : std::vector<uint8_t>(out, out + out_size);
    if (frame.size() <= capacity) {
      std::memcpy(to, frame.data(), frame.size());
      written = static_cast<uint32_t>(frame.size());
    }
  } else {
    PlatformLog("emulated camera: the JPEG frame could not be made: %s", tjGetErrorStr2(handle));
  }
  tjFree(out);
  tjDestroy(handle);
  return written;
}

}  // namespace

struct EmulatedV4l2::State {
  std::mutex lock;
  std::condition_variable changed;
  std::map<std::string, std::shared_ptr<Camera>> cameras;  // by node
  std::map<int, std::shared_ptr<Camera>> open;             // by descriptor
  int next_fd = kFirstFd;
  struct Monitor {
    RunLoop* loop;
    std::shared_ptr<std::function<void()>> changed;
  };
  std::map<int, Monitor> monitors;
  int next_monitor = 0;

  void NotifyMonitors() {
    std::vector<Monitor> told;
    {
      std::lock_guard<std::mutex> hold(lock);
      for (auto& [id, monitor] : monitors) told.push_back(monitor);
    }
    for (const Monitor& monitor : told) {
      std::weak_ptr<std::function<void()>> weak = monitor.changed;
      monitor.loop->Post([weak] {
        if (auto changed = weak.lock()) (*changed)();
      });
    }
  }
};

namespace {

class EmulatedMonitor : public CameraHotplugMonitor {
 public:
  explicit EmulatedMonitor(std::shared_ptr<EmulatedV4l2::State> state) : state_(std::move(state)) {}
  ~EmulatedMonitor() override { Stop(); }
  bool Start(std::function<void()> changed, int*) override {
    Stop();
    std::lock_guard<std::mutex> hold(state_->lock);
    id_ = state_->next_monitor++;
    callback_ = std::make_shared<std::function<void()>>(std::move(changed));
    state_->monitors[id_] = {&RunLoop::ForCurrentThread(), callback_};
    return true;
  }
  void Stop() override {
    if (id_ < 0) return;
    std::lock_guard<std::mutex> hold(state_->lock);
    state_->monitors.erase(id_);
    id_ = -1;
    callback_.reset();  // a change posted before the stop finds nothing to call
  }

 private:
  std::shared_ptr<EmulatedV4l2::State> state_;
  int id_ = -1;
  std::shared_ptr<std::function<void()>> callback_;
};

std::chrono::microseconds PeriodOf(float rate) {
  return std::chrono::microseconds(static_cast<int64_t>(1e6 / (rate > 0.0f ? rate : 30.0f)));
}

bool SizeAllowed(const EmulatedCameraScript::Format& format, uint32_t width, uint32_t height) {
  if (format.stepwise) {
    return width >= format.min_width && width <= format.max_width && height >= format.min_height &&
           height <= format.max_height && format.step_width != 0 && format.step_height != 0 &&
           (width - format.min_width) % format.step_width == 0 && (height - format.min_height) % format.step_height == 0;
  }
  return std::find(format.sizes.begin(), format.sizes.end(), std::make_pair(width, height)) != format.sizes.end();
}

const EmulatedCameraScript::Format* FindFormat(const Camera& camera, uint32_t fourcc) {
  for (const auto& format : camera.script.formats) {
    if (format.fourcc == fourcc) return &format;
  }
  return nullptr;
}

// The size the driver makes of a wanted one: the nearest it can produce.
std::pair<uint32_t, uint32_t> Adjust(const EmulatedCameraScript::Format& format, uint32_t width, uint32_t height) {
  if (format.stepwise) {
    auto fit = [](uint32_t value, uint32_t low, uint32_t high, uint32_t step) {
      value = std::clamp(value, low, high);
      return step == 0 ? low : low + (value - low) / step * step;
    };
    return {fit(width, format.min_width, format.max_width, format.step_width),
            fit(height, format.min_height, format.max_height, format.step_height)};
  }
  std::pair<uint32_t, uint32_t> best = format.sizes.empty() ? std::make_pair(0u, 0u) : format.sizes.front();
  int64_t best_distance = INT64_MAX;
  for (const auto& size : format.sizes) {
    const int64_t distance = std::llabs(static_cast<int64_t>(size.first) - width) +
                             std::llabs(static_cast<int64_t>(size.second) - height);
    if (distance < best_distance) {
      best_distance = distance;
      best = size;
    }
  }
  return best;
}

void FillFormat(const Camera& camera, v4l2_format* format) {
  format->fmt.pix.pixelformat = camera.fourcc;
  format->fmt.pix.width = camera.width;
  format->fmt.pix.height = camera.height;
  format->fmt.pix.field = camera.script.interlaced ? V4L2_FIELD_INTERLACED : V4L2_FIELD_NONE;
  format->fmt.pix.bytesperline = RowStride(camera.fourcc, camera.width, camera.script.row_padding);
  format->fmt.pix.sizeimage = ImageSize(camera.fourcc, camera.width, camera.height, camera.script.row_padding);
  format->fmt.pix.colorspace = V4L2_COLORSPACE_SRGB;
}

bool BuffersBusy(const Camera& camera) { return camera.streaming || !camera.buffers.empty(); }

bool FrameReady(const Camera& camera, SteadyClock::time_point now) {
  if (!camera.streaming || camera.script.never_sends || now < camera.next_due) return false;
  if (camera.script.silent_width != 0 && camera.width == camera.script.silent_width) return false;
  if (camera.script.stop_after_frames != 0 && camera.counter >= camera.script.stop_after_frames) return false;
  return std::any_of(camera.buffers.begin(), camera.buffers.end(), [](const EmulatedBuffer& b) { return b.queued; });
}

int HandleIoctl(Camera& camera, unsigned long request, void* arg) {
  switch (request) {
    case VIDIOC_QUERYCAP: {
      auto* caps = static_cast<v4l2_capability*>(arg);
      std::memset(caps, 0, sizeof(*caps));
      CopyText(caps->driver, camera.script.driver);
      CopyText(caps->card, camera.script.card);
      CopyText(caps->bus_info, camera.script.bus_info);
      caps->device_caps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
      caps->capabilities = caps->device_caps | V4L2_CAP_DEVICE_CAPS;
      return 0;
    }
    case VIDIOC_ENUM_FMT: {
      auto* description = static_cast<v4l2_fmtdesc*>(arg);
      if (description->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || description->index >= camera.script.formats.size()) {
        return -EINVAL;
      }
      const auto& format = camera.script.formats[description->index];
      description->pixelformat = format.fourcc;
      description->flags = format.fourcc == kFourccMjpeg ? V4L2_FMT_FLAG_COMPRESSED : 0;
      CopyText(description->description, format.fourcc == kFourccMjpeg ? "Motion-JPEG" : "Raw");
      return 0;
    }
    case VIDIOC_ENUM_FRAMESIZES: {
      auto* size = static_cast<v4l2_frmsizeenum*>(arg);
      const auto* format = FindFormat(camera, size->pixel_format);
      if (format == nullptr) return -EINVAL;
      if (format->stepwise) {
        if (size->index != 0) return -EINVAL;
        size->type = V4L2_FRMSIZE_TYPE_STEPWISE;
        size->stepwise = {format->min_width, format->max_width, format->step_width,
                          format->min_height, format->max_height, format->step_height};
        return 0;
      }
      if (size->index >= format->sizes.size()) return -EINVAL;
      size->type = V4L2_FRMSIZE_TYPE_DISCRETE;
      size->discrete = {format->sizes[size->index].first, format->sizes[size->index].second};
      return 0;
    }
    case VIDIOC_ENUM_FRAMEINTERVALS: {
      auto* interval = static_cast<v4l2_frmivalenum*>(arg);
      const auto* format = FindFormat(camera, interval->pixel_format);
      if (format == nullptr || !SizeAllowed(*format, interval->width, interval->height) ||
          interval->index >= camera.script.rates.size()) {
        return -EINVAL;
      }
      interval->type = V4L2_FRMIVAL_TYPE_DISCRETE;
      interval->discrete = {1000, static_cast<uint32_t>(std::lround(camera.script.rates[interval->index] * 1000))};
      return 0;
    }
    case VIDIOC_G_FMT: {
      auto* format = static_cast<v4l2_format*>(arg);
      if (format->type != V4L2_BUF_TYPE_VIDEO_CAPTURE) return -EINVAL;
      FillFormat(camera, format);
      return 0;
    }
    case VIDIOC_S_FMT: {
      auto* format = static_cast<v4l2_format*>(arg);
      if (format->type != V4L2_BUF_TYPE_VIDEO_CAPTURE) return -EINVAL;
      if (BuffersBusy(camera)) return -EBUSY;
      const auto* known = FindFormat(camera, format->fmt.pix.pixelformat);
      if (camera.script.refuses_s_fmt || known == nullptr) return -EINVAL;
      const auto size = Adjust(*known, format->fmt.pix.width, format->fmt.pix.height);
      camera.fourcc = known->fourcc;
      camera.width = size.first;
      camera.height = size.second;
      FillFormat(camera, format);
      return 0;
    }
    case VIDIOC_G_PARM:
    case VIDIOC_S_PARM: {
      auto* parm = static_cast<v4l2_streamparm*>(arg);
      if (parm->type != V4L2_BUF_TYPE_VIDEO_CAPTURE) return -EINVAL;
      if (request == VIDIOC_S_PARM && parm->parm.capture.timeperframe.numerator != 0 &&
          !camera.script.rates.empty()) {
        const float wanted = static_cast<float>(parm->parm.capture.timeperframe.denominator) /
                             parm->parm.capture.timeperframe.numerator;
        float best = camera.script.rates.front();
        for (float rate : camera.script.rates) {
          if (std::fabs(rate - wanted) < std::fabs(best - wanted)) best = rate;
        }
        camera.rate = best;
      }
      parm->parm.capture.capability = V4L2_CAP_TIMEPERFRAME;
      parm->parm.capture.timeperframe = {1000, static_cast<uint32_t>(std::lround(camera.rate * 1000))};
      return 0;
    }
    case VIDIOC_ENUMINPUT: {
      auto* input = static_cast<v4l2_input*>(arg);
      if (input->index >= camera.script.inputs.size()) return -EINVAL;
      const CameraInput& scripted = camera.script.inputs[input->index];
      CopyText(input->name, scripted.name);
      input->type = scripted.is_camera ? V4L2_INPUT_TYPE_CAMERA : V4L2_INPUT_TYPE_TUNER;
      return 0;
    }
    case VIDIOC_G_INPUT:
      *static_cast<int*>(arg) = static_cast<int>(camera.input);
      return 0;
    case VIDIOC_S_INPUT: {
      const int index = *static_cast<int*>(arg);
      if (index < 0 || static_cast<size_t>(index) >= camera.script.inputs.size()) return -EINVAL;
      camera.input = static_cast<uint32_t>(index);
      return 0;
    }
    case VIDIOC_QUERYCTRL: {
      auto* query = static_cast<v4l2_queryctrl*>(arg);
      const bool next = (query->id & V4L2_CTRL_FLAG_NEXT_CTRL) != 0;
      const uint32_t id = query->id & ~V4L2_CTRL_FLAG_NEXT_CTRL;
      const CameraControl* found = nullptr;
      for (const CameraControl& control : camera.script.controls) {
        if (next ? control.id > id && (found == nullptr || control.id < found->id) : control.id == id) found = &control;
      }
      if (found == nullptr) return -EINVAL;
      std::memset(query, 0, sizeof(*query));
      query->id = found->id;
      query->type = found->is_boolean ? V4L2_CTRL_TYPE_BOOLEAN : found->is_menu ? V4L2_CTRL_TYPE_MENU
                                                                                : V4L2_CTRL_TYPE_INTEGER;
      CopyText(query->name, found->name);
      query->minimum = found->minimum;
      query->maximum = found->maximum;
      query->step = found->step;
      query->default_value = found->default_value;
      return 0;
    }
    case VIDIOC_QUERYMENU: {
      auto* entry = static_cast<v4l2_querymenu*>(arg);
      for (const CameraControl& control : camera.script.controls) {
        if (control.id != entry->id || !control.is_menu) continue;
        for (const CameraMenuEntry& named : control.menu) {
          if (named.value < 0 || static_cast<uint32_t>(named.value) != entry->index) continue;
          uint8_t name[sizeof(entry->name)];  // the record is packed: no reference into it
          CopyText(name, named.name);
          std::memcpy(entry->name, name, sizeof(name));
          entry->reserved = 0;
          return 0;
        }
      }
      return -EINVAL;
    }
    case VIDIOC_G_CTRL:
    case VIDIOC_S_CTRL: {
      auto* value = static_cast<v4l2_control*>(arg);
      for (const CameraControl& control : camera.script.controls) {
        if (control.id != value->id) continue;
        if (request == VIDIOC_G_CTRL) {
          auto at = camera.control_values.find(control.id);
          value->value = at != camera.control_values.end() ? at->second : control.default_value;
          return 0;
        }
        if (value->value < control.minimum || value->value > control.maximum) return -ERANGE;
        camera.control_values[control.id] = value->value;
        return 0;
      }
      return -EINVAL;
    }
    case VIDIOC_REQBUFS: {
      auto* request_buffers = static_cast<v4l2_requestbuffers*>(arg);
      const bool lent = request_buffers->memory == V4L2_MEMORY_USERPTR;
      if (request_buffers->type != V4L2_BUF_TYPE_VIDEO_CAPTURE ||
          (request_buffers->memory != V4L2_MEMORY_MMAP && !(lent && camera.script.takes_user_pointers))) {
        return -EINVAL;
      }
      if (camera.streaming) return -EBUSY;
      camera.buffers.clear();
      camera.memory = request_buffers->memory;
      const uint32_t count = std::min<uint32_t>(request_buffers->count, 8);
      camera.buffers.resize(count);
      const uint32_t size = ImageSize(camera.fourcc, camera.width, camera.height, camera.script.row_padding);
      if (!lent) {
        for (auto& buffer : camera.buffers) buffer.bytes.assign(size, 0);
      }
      request_buffers->count = count;
      return 0;
    }
    case VIDIOC_QUERYBUF:
    case VIDIOC_QBUF: {
      auto* buffer = static_cast<v4l2_buffer*>(arg);
      if (buffer->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || buffer->index >= camera.buffers.size()) return -EINVAL;
      EmulatedBuffer& held = camera.buffers[buffer->index];
      if (buffer->memory != camera.memory) return -EINVAL;
      if (request == VIDIOC_QBUF && camera.memory == V4L2_MEMORY_USERPTR) {
        // A lent block must hold a whole image.
        if (held.queued || buffer->m.userptr == 0 ||
            buffer->length < ImageSize(camera.fourcc, camera.width, camera.height, camera.script.row_padding)) {
          return -EINVAL;
        }
        held.lent = reinterpret_cast<uint8_t*>(buffer->m.userptr);
        held.lent_length = buffer->length;
        held.queued = true;
        return 0;
      }
      if (request == VIDIOC_QBUF) {
        if (held.queued) return -EINVAL;
        held.queued = true;
        return 0;
      }
      buffer->length = static_cast<uint32_t>(held.bytes.size());
      buffer->m.offset = static_cast<uint32_t>(buffer->index * kBufferStride);
      buffer->flags = held.queued ? V4L2_BUF_FLAG_QUEUED : 0;
      return 0;
    }
    case VIDIOC_DQBUF: {
      auto* buffer = static_cast<v4l2_buffer*>(arg);
      if (!camera.streaming) return -EINVAL;
      const auto now = SteadyClock::now();
      if (!FrameReady(camera, now)) return -EAGAIN;
      for (uint32_t index = 0; index < camera.buffers.size(); ++index) {
        EmulatedBuffer& held = camera.buffers[index];
        if (!held.queued) continue;
        held.queued = false;
        const bool lent = camera.memory == V4L2_MEMORY_USERPTR;
        held.used = lent ? Pack(camera, held.lent, held.lent_length) : Pack(camera, held.bytes.data(), held.bytes.size());
        ++camera.counter;
        if (lent) ++camera.lent_filled;
        if (camera.script.short_frame_every != 0 && camera.counter % camera.script.short_frame_every == 0) {
          held.used /= 2;
        }
        camera.next_due = std::max(camera.next_due + PeriodOf(camera.rate), now);
        std::memset(buffer, 0, sizeof(*buffer));
        buffer->index = index;
        buffer->type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        buffer->memory = camera.memory;
        buffer->bytesused = held.used;
        buffer->length = static_cast<uint32_t>(lent ? held.lent_length : held.bytes.size());
        if (lent) buffer->m.userptr = reinterpret_cast<unsigned long>(held.lent);
        buffer->sequence = camera.counter - 1;
        buffer->field = V4L2_FIELD_NONE;
        return 0;
      }
      return -EAGAIN;
    }
    case VIDIOC_STREAMON:
      if (camera.buffers.empty()) return -EINVAL;
      if (camera.script.fails_streamon) return -EIO;
      if (camera.script.fails_user_pointer_streamon && camera.memory == V4L2_MEMORY_USERPTR) return -EIO;
      camera.streaming = true;
      camera.next_due = SteadyClock::now() + PeriodOf(camera.rate);
      return 0;
    case VIDIOC_STREAMOFF:
      camera.streaming = false;
      for (auto& buffer : camera.buffers) {
        buffer.queued = false;
        buffer.lent = nullptr;  // the blocks are the caller's again
      }
      return 0;
    default:
      return -ENOTTY;
  }
}

}  // namespace

EmulatedCameraScript LaptopYuyvCamera() {
  EmulatedCameraScript script;
  script.card = "Integrated Camera";
  script.stable_name = "/dev/v4l/by-id/usb-Emulated_Integrated_Camera-video-index0";
  script.usb_vendor = "04f2";
  script.usb_product = "b6d9";
  EmulatedCameraScript::Format yuyv;
  yuyv.fourcc = kFourccYuyv;
  yuyv.sizes = {{640, 480}, {320, 240}, {1280, 720}};
  EmulatedCameraScript::Format mjpeg;
  mjpeg.fourcc = kFourccMjpeg;
  mjpeg.stepwise = true;
  mjpeg.min_width = 160;
  mjpeg.max_width = 1280;
  mjpeg.step_width = 8;
  mjpeg.min_height = 120;
  mjpeg.max_height = 720;
  mjpeg.step_height = 8;
  script.formats = {yuyv, mjpeg};
  CameraControl power_line{0x00980918, "Power Line Frequency", 0, 2, 1, 1, false, true, {}};
  power_line.menu = {{0, "Disabled"}, {1, "50 Hz"}, {2, "60 Hz"}};
  script.controls = {{0x00980900, "Brightness", -64, 64, 1, 0, false, false, {}},
                     {0x00980901, "Contrast", 0, 95, 1, 32, false, false, {}}, power_line};
  return script;
}

EmulatedCameraScript MjpegOnlyCamera() {
  EmulatedCameraScript script;
  script.card = "USB MJPEG Camera";
  script.stable_name = "/dev/v4l/by-id/usb-Emulated_MJPEG_Camera-video-index0";
  script.usb_vendor = "1bcf";
  script.usb_product = "2284";
  EmulatedCameraScript::Format mjpeg;
  mjpeg.fourcc = kFourccMjpeg;
  mjpeg.sizes = {{1280, 720}, {640, 360}, {424, 240}};
  script.formats = {mjpeg};
  return script;
}

EmulatedV4l2::EmulatedV4l2() : state_(std::make_shared<State>()) {}

EmulatedV4l2::~EmulatedV4l2() {
  std::lock_guard<std::mutex> hold(state_->lock);
  state_->monitors.clear();
}

std::string EmulatedV4l2::Plug(const EmulatedCameraScript& script) {
  std::string node;
  {
    std::lock_guard<std::mutex> hold(state_->lock);
    for (int number = 0;; ++number) {
      node = "/dev/video" + std::to_string(number);
      if (state_->cameras.count(node) == 0) break;
    }
    auto camera = std::make_shared<Camera>();
    camera->script = script;
    camera->node = node;
    if (!script.formats.empty()) {
      const auto& first = script.formats.front();
      camera->fourcc = first.fourcc;
      camera->width = first.stepwise ? first.max_width : (first.sizes.empty() ? 0 : first.sizes.front().first);
      camera->height = first.stepwise ? first.max_height : (first.sizes.empty() ? 0 : first.sizes.front().second);
    }
    camera->rate = script.rates.empty() ? 30.0f : script.rates.front();
    state_->cameras[node] = camera;
  }
  state_->NotifyMonitors();
  return node;
}

void EmulatedV4l2::UnplugForTesting(const std::string& node) {
  {
    std::lock_guard<std::mutex> hold(state_->lock);
    auto found = state_->cameras.find(node);
    if (found == state_->cameras.end()) return;
    found->second->gone = true;
    found->second->streaming = false;
    state_->cameras.erase(found);
  }
  state_->changed.notify_all();
  state_->NotifyMonitors();
}

void EmulatedV4l2::NotifyWithoutChangeForTesting() { state_->NotifyMonitors(); }

uint32_t EmulatedV4l2::FramesFilledForTesting(const std::string& node) {
  std::lock_guard<std::mutex> hold(state_->lock);
  auto found = state_->cameras.find(node);
  return found == state_->cameras.end() ? 0 : found->second->counter;
}

uint32_t EmulatedV4l2::FramesFilledIntoLentBuffersForTesting(const std::string& node) {
  std::lock_guard<std::mutex> hold(state_->lock);
  auto found = state_->cameras.find(node);
  return found == state_->cameras.end() ? 0 : found->second->lent_filled;
}

int32_t EmulatedV4l2::ControlValueForTesting(const std::string& node, uint32_t id) {
  std::lock_guard<std::mutex> hold(state_->lock);
  auto found = state_->cameras.find(node);
  if (found == state_->cameras.end()) return 0;
  auto value = found->second->control_values.find(id);
  return value == found->second->control_values.end() ? 0 : value->second;
}

std::vector<std::string> EmulatedV4l2::ListNodes() {
  std::lock_guard<std::mutex> hold(state_->lock);
  std::vector<std::string> nodes;
  for (const auto& [node, camera] : state_->cameras) nodes.push_back(node);
  return nodes;
}

int EmulatedV4l2::Open(const std::string& node) {
  std::lock_guard<std::mutex> hold(state_->lock);
  auto found = state_->cameras.find(node);
  if (found == state_->cameras.end()) return -ENOENT;
  const int fd = state_->next_fd++;
  state_->open[fd] = found->second;
  return fd;
}

int EmulatedV4l2::Ioctl(int fd, unsigned long request, void* arg) {
  if (arg == nullptr) return -EFAULT;
  std::lock_guard<std::mutex> hold(state_->lock);
  auto found = state_->open.find(fd);
  if (found == state_->open.end()) return -EBADF;
  if (found->second->gone) return -ENODEV;
  return HandleIoctl(*found->second, request, arg);
}

void* EmulatedV4l2::Mmap(int fd, size_t length, int64_t offset) {
  std::lock_guard<std::mutex> hold(state_->lock);
  auto found = state_->open.find(fd);
  if (found == state_->open.end() || found->second->gone || offset % kBufferStride != 0) return nullptr;
  const auto index = static_cast<size_t>(offset / kBufferStride);
  if (index >= found->second->buffers.size() || length > found->second->buffers[index].bytes.size()) return nullptr;
  return found->second->buffers[index].bytes.data();
}

int EmulatedV4l2::Munmap(void*, size_t) { return 0; }

int EmulatedV4l2::Poll(int fd, int timeout_ms) {
  std::unique_lock<std::mutex> hold(state_->lock);
  auto found = state_->open.find(fd);
  if (found == state_->open.end()) return -EBADF;
  std::shared_ptr<Camera> camera = found->second;
  const auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeout_ms < 0 ? 0 : timeout_ms);
  for (;;) {
    if (camera->gone) return -ENODEV;
    const auto now = SteadyClock::now();
    if (FrameReady(*camera, now)) return 1;
    if (now >= deadline) return 0;
    auto wake = deadline;
    if (camera->streaming && !camera->script.never_sends && camera->next_due < wake) wake = camera->next_due;
    state_->changed.wait_until(hold, wake);
  }
}

int EmulatedV4l2::Close(int fd) {
  std::lock_guard<std::mutex> hold(state_->lock);
  auto found = state_->open.find(fd);
  if (found == state_->open.end()) return -EBADF;
  // The last close of a streaming camera stops it, as a driver does.
  std::shared_ptr<Camera> camera = found->second;
  state_->open.erase(found);
  bool other_open = false;
  for (const auto& [other_fd, other] : state_->open) other_open = other_open || other == camera;
  if (!other_open) {
    camera->streaming = false;
    camera->buffers.clear();
  }
  return 0;
}

std::string EmulatedV4l2::StableName(const std::string& node) {
  std::lock_guard<std::mutex> hold(state_->lock);
  auto found = state_->cameras.find(node);
  return found == state_->cameras.end() ? std::string() : found->second->script.stable_name;
}

bool EmulatedV4l2::UsbIds(const std::string& node, std::string* vendor, std::string* product) {
  std::lock_guard<std::mutex> hold(state_->lock);
  auto found = state_->cameras.find(node);
  if (found == state_->cameras.end() || found->second->script.usb_vendor.empty()) return false;
  *vendor = found->second->script.usb_vendor;
  *product = found->second->script.usb_product;
  return true;
}

std::unique_ptr<CameraHotplugMonitor> EmulatedV4l2::CreateHotplugMonitor() {
  return std::make_unique<EmulatedMonitor>(state_);
}

}  // namespace vz

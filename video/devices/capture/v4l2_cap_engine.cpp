#include "video/devices/capture/v4l2_cap_engine.h"

#include <cerrno>
#include <cstring>

#include "common/trace_client.h"
#include "video/devices/capture/capture_capabilities.h"
#include "video/devices/capture/capture_format_choice.h"
#include "video/devices/capture/sample_room.h"
#include "video/engine/core/engine_clock.h"

namespace vzcapture {
namespace {

constexpr uintptr_t kStartCheckTimer = 1;
constexpr int kPollMs = 100;  // how soon the capture thread sees a stop

// The format choice's port over the open camera.
class CameraFormatSetter : public ICaptureFormatSetter {
 public:
  CameraFormatSetter(vz::V4l2Camera& camera, uint32_t default_fourcc)
      : camera_(camera), default_fourcc_(default_fourcc) {}
  bool SetFormat(uint32_t fourcc, int32_t width, int32_t height, float rate) override {
    if (width <= 0 || height <= 0) return false;
    vz::CameraFormat actual;
    if (camera_.SetFormat(fourcc, static_cast<uint32_t>(width), static_cast<uint32_t>(height), &actual) != 0) {
      VZ_LOG_ERROR("Failed to SetFormat.   hr=%d", static_cast<int>(VSE_E_FAIL));
      return false;
    }
    if (actual.fourcc != fourcc) return false;
    // A camera without a rate setting runs at its own rate.
    if (rate > 0.0f) camera_.SetFrameRate(rate);
    return true;
  }
  bool GetSize(int32_t* width, int32_t* height) override {
    vz::CameraFormat current;
    if (camera_.GetFormat(&current) != 0) return false;
    *width = static_cast<int32_t>(current.width);
    *height = static_cast<int32_t>(current.height);
    return true;
  }
  uint32_t DefaultFourcc() override { return default_fourcc_; }

 private:
  vz::V4l2Camera& camera_;
  uint32_t default_fourcc_;
};

bool KnownVideoType(int32_t type) {
  return type == kVideoTypeOther || type == kVideoTypeI420 || type == kVideoTypeYuy2 ||
         type == kVideoTypeBgr24 || type == kVideoTypeYv12 || type == kVideoTypeBgr24BottomUp;
}

}  // namespace

CV4l2CapEngine::~CV4l2CapEngine() {
  Stop();
  grabber_.SetAllocator(nullptr);
  camera_.reset();
  if (device_ != nullptr) device_->Release();
  if (allocator_ != nullptr) allocator_->Release();
  VZ_LOG("done.");
}

VseResult CV4l2CapEngine::Init(IVideoCapDevice* device, const VideoFormat* format, IVideoSampleAllocator* allocator,
                               int32_t* strict) {
  if (format != nullptr) {
    VZ_LOG("format->width = %d, format->height = %d, format->frame_rate = %f, format->video_type = %d",
           format->width, format->height, static_cast<double>(format->frame_rate), format->video_type);
  } else {
    VZ_LOG("format = %d", 0);
  }
  if (device == nullptr || allocator == nullptr || strict == nullptr) return VSE_E_FAIL;
  if (InitCropper(160, 90, allocator) != 1) return 1;
  if (format != nullptr && !KnownVideoType(format->video_type)) {
    VZ_LOG_ERROR("video type wrong value: [%d]", format->video_type);
    VZ_COLLECT("video type wrong value: [%d]", format->video_type);
    return 1;
  }
  v4l2_device_ = AsV4l2Device(device);
  if (v4l2_device_ == nullptr) {
    VZ_LOG_ERROR("not a V4L2 camera");
    return 1;
  }
  device->AddRef();
  device_ = device;
  allocator->AddRef();
  allocator_ = allocator;
  return Setup(format, strict);
}

VseResult CV4l2CapEngine::Setup(const VideoFormat* format, int32_t* strict) {
  camera_ = std::make_unique<vz::V4l2Camera>(v4l2_device_->port());
  if (camera_->Open(v4l2_device_->node().node) != 0) {
    VZ_LOG_ERROR("the camera %s cannot be opened", v4l2_device_->node().node.c_str());
    return 1;
  }
  // A driver keeps the last format set, even across opens: its own format
  // is the first it lists, at that format's first (or largest) size.
  const auto& ranges = v4l2_device_->ranges();
  vz::CameraFormat opened;
  uint32_t default_fourcc = camera_->GetFormat(&opened) == 0 ? opened.fourcc : 0;
  if (!ranges.empty()) default_fourcc = ranges.front().fourcc;
  CameraFormatSetter setter(*camera_, default_fourcc);
  const int32_t strict_on_entry = *strict;
  if (format == nullptr && !ranges.empty()) {
    const vz::CameraFormatRange& own = ranges.front();
    setter.SetFormat(own.fourcc, static_cast<int32_t>(own.max_width), static_cast<int32_t>(own.max_height),
                     own.max_rate);
  }
  if (*strict == 1 && format != nullptr) {
    if (ChooseCaptureFormat(v4l2_device_->ranges(), *format, setter) == FormatChoice::kNone) return 1;
  } else if (format != nullptr) {
    *strict = 1;
    if (ChooseCaptureFormat(v4l2_device_->ranges(), *format, setter) == FormatChoice::kNone) {
      VZ_LOG("SetVideoProperties failed. hr=%d : use not strict WH.", static_cast<int>(VSE_E_FAIL));
      *strict = 0;
    }
  } else {
    *strict = 0;
  }
  const bool by_format = strict_on_entry == 1 || *strict == 1;
  grabber_.SetAcceptedTypes(AcceptedTypesFor(by_format ? format : nullptr));
  grabber_.SetAllocator(allocator_);
  grabber_.SetCallback(&CV4l2CapEngine::OnGrabberFrame, this);
  vz::CameraFormat negotiated;
  if (camera_->GetFormat(&negotiated) != 0 || !grabber_.Connect(negotiated)) {
    VZ_LOG_ERROR("RenderStream failed.   hr=%d", static_cast<int>(VSE_E_INVALIDARG));
    // Not offered again: the camera cannot give this type at this size.
    if (format != nullptr) device_->RemoveCapability(*format);
    return VSE_E_INVALIDARG;
  }
  rate_ = camera_->GetFrameRate();
  inputs_ = camera_->Inputs();
  has_controls_ = !camera_->Controls().empty();
  restart_done_ = format == nullptr;
  return VSE_S_OK;
}

VseResult CV4l2CapEngine::SetSink(IVideoCapEngineSink* sink) {
  std::lock_guard<std::mutex> hold(lock_);
  sink_ = sink;
  return VSE_S_OK;
}

VseResult CV4l2CapEngine::Start(bool synchronous) {
  if (camera_ == nullptr || !camera_->IsOpen()) return VSE_E_FAIL;
  if (thread_.joinable() && start_result_ready_.load() && (start_result_.load() != VSE_S_OK || lost_.load())) {
    JoinThread();  // a stream that failed or lost its camera: a new start
  }
  if (thread_.joinable()) {
    // Running once the stream is on; a start still pending otherwise.
    if (start_result_ready_.load() && start_result_.load() == VSE_S_OK && !lost_.load()) return VSE_S_OK;
    if (synchronous) return WaitForStreamResultForTesting(5000) && start_result_.load() == VSE_S_OK ? VSE_S_OK : VSE_E_FAIL;
    return 1;
  }
  start_result_ready_ = false;
  start_result_ = VSE_E_FAIL;
  frame_seen_ = false;
  lost_ = false;
  thread_exit_ = false;
  start_tick_set_ = false;
  loss_reported_ = false;
  stopped_ = std::make_shared<std::atomic<bool>>(false);  // tasks of an earlier start keep theirs
  if (synchronous) {
    check_loop_ = vz::RunLoop::Current();  // where a lost camera is told, when there is one
  } else {
    check_loop_ = &vz::RunLoop::ForCurrentThread();
    // The flag outlives the engine: a check that fires after an off-thread
    // stop finds it set and ends its timer there (`this` then only names
    // the timer: the engine may be gone).
    auto stopped = stopped_;
    vz::RunLoop* loop = check_loop_;
    if (!check_loop_->StartTimer(this, kStartCheckTimer, kStartCheckMs, [this, stopped, loop] {
          if (stopped->load()) {
            loop->KillTimer(this, kStartCheckTimer);
            return;
          }
          OnStartCheck();
        })) {
      VZ_LOG_ERROR("Failed to SetTimer.   errorcode=%d", 0);
      return VSE_E_FAIL;
    }
    checking_ = true;
  }
  grabber_.SetRunning(true);
  thread_ = std::thread([this] { CaptureThread(); });
  if (!synchronous) return 1;
  return WaitForStreamResultForTesting(5000) && start_result_.load() == VSE_S_OK ? VSE_S_OK : VSE_E_FAIL;
}

bool CV4l2CapEngine::WaitForStreamResultForTesting(int timeout_ms) {
  std::unique_lock<std::mutex> hold(lock_);
  return stream_result_cv_.wait_for(hold, std::chrono::milliseconds(timeout_ms),
                                    [this] { return start_result_ready_.load(); });
}

void CV4l2CapEngine::CaptureThread() {
  // The grabber lends the driver its buffers where the driver takes them.
  const int started = camera_->StartStreaming(kCaptureBuffers, &grabber_);
  streams_into_samples_ = started == 0 && camera_->StreamsIntoLentBuffers();
  {
    std::lock_guard<std::mutex> hold(lock_);
    start_result_ = started == 0 ? VSE_S_OK : VSE_E_FAIL;
    start_result_ready_ = true;
  }
  stream_result_cv_.notify_all();
  if (started != 0) {
    VZ_LOG_ERROR("the camera's stream did not start: %s", std::strerror(started));
    return;
  }
  while (!thread_exit_.load()) {
    const int result = camera_->NextFrame(kPollMs, [this](const uint8_t* data, uint32_t length, void* lent) {
      grabber_.OnBuffer(data, length, lent);
    });
    if (result == 0 || result == ETIMEDOUT || result == EAGAIN) continue;
    if (result == EIO) {
      dropped_.fetch_add(1);
      continue;
    }
    VZ_LOG_ERROR("the camera stopped streaming: %s", std::strerror(result));
    lost_ = true;
    ReportLost();
    break;
  }
  camera_->StopStreaming();
}

void CV4l2CapEngine::ReportLost() {
  // Told on the starting thread; the task keeps the engine until it has run
  // or been dropped.
  if (check_loop_ == nullptr) return;
  AddRef();
  struct Held {
    CV4l2CapEngine* engine;
    std::shared_ptr<std::atomic<bool>> stopped;
    ~Held() { engine->Release(); }
  };
  std::unique_ptr<Held> held(new Held{this, stopped_});
  check_loop_->Post([held = std::move(held)] {
    // A start check still running reports the loss itself.
    CV4l2CapEngine* engine = held->engine;
    if (held->stopped->load() || engine->checking_ || engine->loss_reported_) return;
    engine->loss_reported_ = true;
    VZ_LOG_ERROR("the camera was pulled out while streaming");
    engine->Report(VSE_E_FAIL);
  });
}

void CV4l2CapEngine::OnGrabberFrame(const GrabberFrame& frame) {
  static_cast<CV4l2CapEngine*>(frame.context)->DeliverFrame(frame);
}

void CV4l2CapEngine::DeliverFrame(const GrabberFrame& frame) {
  int32_t type = VideoTypeOfFourcc(frame.fourcc);
  if (frame.fourcc == vz::kFourccBgr24) type = frame.height < 0 ? kVideoTypeBgr24 : kVideoTypeBgr24BottomUp;
  if (type == kVideoTypeOther) {
    VZ_LOG_ERROR("unknown subtype!");
    dropped_.fetch_add(1);
    return;
  }
  const int32_t height = frame.height < 0 ? -frame.height : frame.height;
  const int64_t picture = PictureBytes(type, frame.width, height);
  // A frame shorter than its picture would be read past its end further on.
  if (picture <= 0 || frame.length < picture) {
    if (!logged_short_.exchange(true)) {
      VZ_LOG_WARN("a frame of %d bytes for a %dx%d picture of %lld bytes dropped", frame.length, frame.width, height,
                  static_cast<long long>(picture));
    }
    dropped_.fetch_add(1);
    return;
  }
  VideoFormat format{type, frame.width, height, 0.0f, 0};
  format.set_time_stamp_ms(VZSE_::NowMs());
  if (frame.kind == 1) {
    auto* sample = static_cast<IVideoSample*>(frame.data);
    sample->SetFormat(&format);
    sample->SetActualDataLength(static_cast<int32_t>(picture));
    frame_seen_ = true;
    DeliverCapturedSample(sample);
    delivered_.fetch_add(1);
    return;
  }
  frame_seen_ = true;
  void* memory = nullptr;
  IVideoSample* sample = GetSampleWithRoom(allocator_, picture, &memory);
  if (sample == nullptr) {
    dropped_.fetch_add(1);
    return;
  }
  std::memcpy(memory, frame.data, static_cast<size_t>(picture));
  sample->SetActualDataLength(static_cast<int32_t>(picture));
  sample->SetFormat(&format);
  DeliverCapturedSample(sample);
  sample->Release();
  copied_.fetch_add(1);
  delivered_.fetch_add(1);
}

void CV4l2CapEngine::OnStartCheck() {
  if (!start_result_ready_.load()) return;
  if (!start_tick_set_) {
    start_tick_ = check_loop_->clock().NowMs();
    start_tick_set_ = true;
  }
  IVideoCapDevice* device = device_;
  device->AddRef();
  VseResult result = VSE_S_OK;
  bool failed = start_result_.load() != VSE_S_OK || lost_.load();
  if (!failed && !frame_seen_.load()) {
    if (check_loop_->clock().NowMs() - start_tick_ < kFirstFrameDeadlineMs) {
      device->Release();
      return;
    }
    VZ_LOG_ERROR("no frame within %llu ms", static_cast<unsigned long long>(kFirstFrameDeadlineMs));
    failed = true;
  }
  if (failed) {
    result = VSE_E_FAIL;
    if (!restart_done_ && !lost_.load()) {
      restart_done_ = true;
      const VseResult restarted = RestartWithDefaultFormat();
      if (restarted == 1) {
        device->Release();
        return;
      }
      result = restarted == VSE_E_FAIL ? VSE_E_FAIL : VSE_S_OK;
    }
  }
  StopCheckTimer();
  if (lost_.load()) loss_reported_ = true;  // the posted loss report then says nothing more
  Report(result);
  device->Release();
}

void CV4l2CapEngine::Report(VseResult result) {
  IVideoCapEngineSink* sink;
  {
    std::lock_guard<std::mutex> hold(lock_);
    sink = sink_;
  }
  if (sink == nullptr) return;
  AddRef();
  sink->OnStarted(device_, static_cast<int32_t>(result));
  Release();
}

VseResult CV4l2CapEngine::RestartWithDefaultFormat() {
  VZ_LOG("restarting with the camera's default format");
  Stop();
  start_result_ = VSE_E_FAIL;
  camera_.reset();
  int32_t strict = 0;
  if (Setup(nullptr, &strict) != VSE_S_OK) return VSE_E_FAIL;
  return Start(false);
}

void CV4l2CapEngine::StopCheckTimer() {
  checking_ = false;
  if (check_loop_ == nullptr) return;
  // On the starting thread the check goes at once. Elsewhere the starting
  // thread's loop is not touched (that thread may have ended, and its loop
  // with it): the stopped flag ends the check at its next round there.
  if (vz::RunLoop::Current() == check_loop_) {
    check_loop_->KillTimer(this, kStartCheckTimer);
  } else {
    VZ_LOG_WARN("the capture engine stopped off its starting thread");
  }
}

void CV4l2CapEngine::JoinThread() {
  if (!thread_.joinable()) return;
  if (thread_.get_id() == std::this_thread::get_id()) {
    thread_.detach();  // the last reference went with the capture thread's own task
    return;
  }
  thread_.join();
}

VseResult CV4l2CapEngine::Stop() {
  stopped_->store(true);
  StopCheckTimer();
  thread_exit_ = true;
  JoinThread();
  grabber_.SetRunning(false);
  return VSE_S_OK;
}

VseResult CV4l2CapEngine::GetOutputVideoFormat(VideoFormat* format) {
  if (format == nullptr) return VSE_E_INVALIDARG;
  vz::CameraFormat connected;
  if (!grabber_.GetConnectedFormat(&connected)) return VSE_E_FAIL;
  *format = VideoFormat{VideoTypeOfFourcc(connected.fourcc), static_cast<int32_t>(connected.width),
                        static_cast<int32_t>(connected.height), rate_, 0};
  return VSE_S_OK;
}

bool CV4l2CapEngine::IsDifferentDevice(IVideoCapDevice* device) {
  return device == nullptr || device_ == nullptr || !device_->IsSameDevice(device);
}

VseResult CV4l2CapEngine::ShowAdvancedSetting(void*) {
  VZ_LOG("the camera's controls are shown by the options window");
  return VSE_E_FAIL;
}

VseResult CV4l2CapEngine::QueryInterface(const VseGuid* iid, void** out) {
  if (out != nullptr && iid != nullptr && *iid == IID_IVideoCrossbar && inputs_.size() < 2) {
    *out = nullptr;
    return VSE_E_NOINTERFACE;
  }
  return TEngineObject::QueryInterface(iid, out);
}

namespace {

VseResult CopyName(const std::string& name, char* buffer, int32_t* size) {
  if (size == nullptr) return VSE_E_INVALIDARG;
  const auto length = static_cast<int32_t>(name.size());
  const bool fits = buffer != nullptr && *size > length;
  *size = length;
  if (!fits) return VSE_E_FAIL;
  std::memcpy(buffer, name.c_str(), name.size() + 1);
  return VSE_S_OK;
}

}  // namespace

VseResult CV4l2CapEngine::GetCrossBarInput(int32_t index, char* buffer, int32_t* size) {
  if (index < 0 || static_cast<size_t>(index) >= inputs_.size()) {
    VZ_LOG_ERROR("Failed to get_CrossbarPinInfo, %d(out), hr=%d", 0, static_cast<int>(VSE_E_INVALIDARG));
    return VSE_E_FAIL;
  }
  return CopyName(inputs_[static_cast<size_t>(index)].name, buffer, size);
}

VseResult CV4l2CapEngine::GetCrossBarOutput(int32_t index, char* buffer, int32_t* size) {
  if (index != 0) {
    VZ_LOG_ERROR("Failed to get_CrossbarPinInfo %d(out),hr=%d", index, static_cast<int>(VSE_E_INVALIDARG));
    return VSE_E_FAIL;
  }
  // The inputs are routed to the device's video decoder.
  return CopyName("Video Decoder", buffer, size);
}

VseResult CV4l2CapEngine::ConnectCrossBar(int32_t index, int32_t flag) {
  // The driver refuses another input while it streams.
  const bool known = index >= 0 && static_cast<size_t>(index) < inputs_.size() && flag == 0;
  if (!known || camera_ == nullptr || thread_.joinable() ||
      camera_->SelectInput(inputs_[static_cast<size_t>(index)].index) != 0) {
    VZ_LOG_ERROR("Failed to Route %d(out) <-> %d(in). hr=%d", 0, index, static_cast<int>(VSE_E_FAIL));
    return VSE_E_FAIL;
  }
  return VSE_S_OK;
}

VseResult CV4l2CapEngine::GetCrossBarConnectedTo(int32_t* index, int32_t* flag) {
  if (index == nullptr || flag == nullptr) return VSE_E_INVALIDARG;
  uint32_t current = 0;
  if (camera_ == nullptr || camera_->CurrentInput(&current) != 0) {
    VZ_LOG_ERROR("Failed to get_IsRoutedTo %d(out). hr=%d", 0, static_cast<int>(VSE_E_FAIL));
    return VSE_E_FAIL;
  }
  for (size_t i = 0; i < inputs_.size(); ++i) {
    if (inputs_[i].index == current) {
      *index = static_cast<int32_t>(i);
      *flag = 0;
      return VSE_S_OK;
    }
  }
  return VSE_E_FAIL;
}

}  // namespace vzcapture

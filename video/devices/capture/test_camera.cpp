#include "video/devices/capture/test_camera.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "common/trace_client.h"
#include "contracts/test_pattern.h"
#include "platform/settings_store.h"
#include "video/devices/capture/sample_room.h"
#include "video/engine/core/engine_clock.h"
#include "video/engine/core/video_factories.h"
#include "video/engine/core/video_types.h"
#include "video/engine/send/video_cap_engine_base.h"

namespace {

constexpr char16_t kDeviceName[] = u"Velzar Test Camera";
constexpr char16_t kUniqueName[] = u"velzar-test-camera-0";

class CTestCameraDevice final : public TEngineObject<IVideoCapDevice> {
 public:
  int32_t GetDeviceType() override { return kTestCameraDeviceType; }
  const char16_t* GetUniqueName() override { return kUniqueName; }
  const char16_t* GetDisplayName() override { return kDeviceName; }
  VseResult GetCapability(int32_t index, VideoFormat* format) override {
    if (format == nullptr || index < 0) return VSE_E_INVALIDARG;
    if (index > 0) return 1;
    *format = VideoFormat{kVideoTypeI420, kTestCameraWidth, kTestCameraHeight, 5.0f, 0};
    format->set_max_frame_rate(kTestCameraFrameRate);
    return VSE_S_OK;
  }
  bool IsSameDevice(IVideoCapDevice* other) override {
    return other != nullptr && std::u16string_view(other->GetUniqueName()) == kUniqueName;
  }
  bool IsHardwareDevice() override { return false; }
  bool IsSoftwareDevice() override { return true; }
  bool RemoveCapability(const VideoFormat&) override { return false; }
};

class CTestCameraEnumerator final : public TEngineObject<IVideoCapDeviceEnumerator> {
 public:
  CTestCameraEnumerator() : device_(NewTestCameraDevice()) {}
  IVideoCapDevice* GetNextDevice() override { return next_++ == 0 ? device_ : nullptr; }
  bool ContainsDevice(IVideoCapDevice* device) override { return device_->IsSameDevice(device); }
  void Reset() override { next_ = 0; }

 private:
  ~CTestCameraEnumerator() override { device_->Release(); }
  IVideoCapDevice* device_;
  int next_ = 0;
};

class CTestCameraNotifier final : public TEngineObject<IVideoCapDevicesNotifier> {};

}  // namespace

class CTestCameraEngine final : public TEngineObject<IVideoCapEngine>, public CVideoCapEngine {
 public:
  CTestCameraEngine(IVideoCapDevice* device, IVideoSampleAllocator* allocator, bool own_thread)
      : device_(device), allocator_(allocator), own_thread_(own_thread) {
    device_->AddRef();
    allocator_->AddRef();
  }

  bool Init() { return InitCropper(160, 90, allocator_) == 1; }

  VseResult AppendVideoDeliverer(IVideoDeliverer* d) override { return CVideoCapEngine::AppendVideoDeliverer(d); }
  VseResult RemoveVideoDeliverer(IVideoDeliverer* d) override { return CVideoCapEngine::RemoveVideoDeliverer(d); }
  VseResult EnumVideoDeliverers(VideoDelivererEnumCallback cb, void* data) override {
    return CVideoCapEngine::EnumVideoDeliverers(cb, data);
  }
  VseResult SetSink(IVideoCapEngineSink* sink) override {
    std::lock_guard<std::mutex> hold(lock_);
    sink_ = sink;
    return VSE_S_OK;
  }
  VseResult Start(bool) override {
    std::unique_lock<std::mutex> hold(lock_);
    if (started_) return VSE_S_OK;
    started_ = true;
    stopping_ = false;
    if (own_thread_) {
      thread_ = std::thread([this] { Run(); });
      return VSE_S_OK;
    }
    IVideoCapEngineSink* sink = sink_;
    hold.unlock();
    if (sink != nullptr) sink->OnStarted(device_, 0);
    return VSE_S_OK;
  }
  VseResult Stop() override {
    std::thread thread;
    {
      std::lock_guard<std::mutex> hold(lock_);
      started_ = false;
      stopping_ = true;
      thread.swap(thread_);
    }
    wake_.notify_all();
    if (thread.joinable()) thread.join();
    return VSE_S_OK;
  }
  VseResult GetOutputVideoFormat(VideoFormat* format) override {
    if (format == nullptr) return VSE_E_INVALIDARG;
    *format = VideoFormat{kVideoTypeI420, kTestCameraWidth, kTestCameraHeight, kTestCameraFrameRate, 0};
    return VSE_S_OK;
  }
  bool IsDifferentDevice(IVideoCapDevice* device) override { return !device_->IsSameDevice(device); }
  bool HasAdvancedSetting() override { return false; }
  VseResult ShowAdvancedSetting(void*) override { return VSE_E_FAIL; }

  bool ProduceFrame() {
    {
      std::lock_guard<std::mutex> hold(lock_);
      if (!started_) return false;
    }
    const int32_t size = kTestCameraWidth * kTestCameraHeight * 3 / 2;
    void* data = nullptr;
    IVideoSample* sample = vzcapture::GetSampleWithRoom(allocator_, size, &data);
    if (sample == nullptr) return false;
    FillTestPattern(static_cast<uint8_t*>(data), kTestCameraWidth, kTestCameraHeight, counter_++);
    sample->SetActualDataLength(size);
    VideoFormat format{kVideoTypeI420, kTestCameraWidth, kTestCameraHeight, kTestCameraFrameRate, 0};
    format.set_time_stamp_ms(VZSE_::NowMs());
    sample->SetFormat(&format);
    DeliverCapturedSample(sample);
    sample->Release();
    return true;
  }

 private:
  ~CTestCameraEngine() override {
    Stop();
    allocator_->Release();
    device_->Release();
  }

  void Run() {
    // The sink is called without our lock: its owner calls us under its own.
    IVideoCapEngineSink* sink = nullptr;
    {
      std::lock_guard<std::mutex> hold(lock_);
      sink = sink_;
    }
    if (sink != nullptr) sink->OnStarted(device_, 0);
    const auto period = std::chrono::microseconds(static_cast<int64_t>(1e6 / kTestCameraFrameRate));
    auto next = std::chrono::steady_clock::now();
    for (;;) {
      {
        std::unique_lock<std::mutex> hold(lock_);
        if (wake_.wait_until(hold, next, [this] { return stopping_; })) return;
      }
      ProduceFrame();
      next += period;
    }
  }

  IVideoCapDevice* device_;
  IVideoSampleAllocator* allocator_;
  const bool own_thread_;
  std::mutex lock_;
  std::condition_variable wake_;
  IVideoCapEngineSink* sink_ = nullptr;
  bool started_ = false;
  bool stopping_ = false;
  std::thread thread_;
  uint32_t counter_ = 0;
};

IVideoCapDevice* NewTestCameraDevice() {
  auto* device = new CTestCameraDevice();
  device->AddRef();
  return device;
}

VseResult MakeTestCameraEngine(IVideoCapDevice* device, const VideoFormat*, IVideoSampleAllocator* allocator,
                               bool own_thread, IVideoCapEngine** out) {
  if (out == nullptr) return VSE_E_INVALIDARG;
  *out = nullptr;
  if (device == nullptr || allocator == nullptr) return VSE_E_INVALIDARG;
  auto* engine = new CTestCameraEngine(device, allocator, own_thread);
  engine->AddRef();
  if (!engine->Init()) {
    engine->Release();
    return VSE_E_FAIL;
  }
  *out = engine;
  return VSE_S_OK;
}

bool TestCameraProduceFrame(IVideoCapEngine* engine) {
  return engine != nullptr && static_cast<CTestCameraEngine*>(engine)->ProduceFrame();
}

namespace {

VseResult MakeEnumerator(IVideoCapDeviceEnumerator** out) {
  auto* devices = new CTestCameraEnumerator();
  devices->AddRef();
  *out = devices;
  return VSE_S_OK;
}

VseResult MakeNotifier(IVideoCapDeviceNotifySink*, IVideoCapDevicesNotifier** out) {
  auto* notifier = new CTestCameraNotifier();
  notifier->AddRef();
  *out = notifier;
  return VSE_S_OK;
}

VseResult MakeEngine(IVideoCapDevice* device, const VideoFormat* format, IVideoSampleAllocator* allocator,
                     IVideoCapEngine** out) {
  return MakeTestCameraEngine(device, format, allocator, true, out);
}

VseResult MakeEngineOnDemand(IVideoCapDevice* device, const VideoFormat* format, IVideoSampleAllocator* allocator,
                             IVideoCapEngine** out) {
  return MakeTestCameraEngine(device, format, allocator, false, out);
}

const VideoDeviceFactories kTestCameraFactories = {&MakeEnumerator, &MakeNotifier, &MakeEngine,
                                                   &MakeDefaultVideoRenderer};
const VideoDeviceFactories kOnDemandFactories = {&MakeEnumerator, &MakeNotifier, &MakeEngineOnDemand,
                                                 &MakeDefaultVideoRenderer};

}  // namespace

bool TestCameraSelected() {
  if (const char* env = std::getenv("VZ_VIDEO_TEST_CAMERA")) return std::strcmp(env, "1") == 0;
  uint32_t value = 0;
  return vz::UserSettings().ReadDword("Software\\Velzar\\Video", "TestCamera", &value) && value == 1;
}

const VideoDeviceFactories* TestCameraFactories(bool own_thread) {
  return own_thread ? &kTestCameraFactories : &kOnDemandFactories;
}

void InstallTestCamera() {
  VZ_LOG("the test camera takes the place of the cameras");
  SetVideoDeviceFactories(&kTestCameraFactories);
}

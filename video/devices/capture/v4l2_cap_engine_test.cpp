#include "video/devices/capture/v4l2_cap_engine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "common/log_capture_testlib.h"
#include "platform/camera/emulated/v4l2_emulation.h"
#include "platform/clock.h"
#include "platform/run_loop.h"
#include "video/devices/capture/capture_backend.h"
#include "video/devices/capture/capture_capabilities.h"
#include "video/engine/core/vz_video_sample_allocator.h"

namespace vzcapture {
namespace {

class CountingDeliverer final : public TEngineObject<IVideoDeliverer> {
 public:
  VseResult DeliverSample(IVideoSample* sample) override {
    VideoFormat format{};
    sample->GetFormat(&format);
    void* memory = nullptr;
    sample->GetPointer(&memory);
    std::lock_guard<std::mutex> hold(lock_);
    formats_.push_back(format);
    const auto* bytes = static_cast<const uint8_t*>(memory);
    if (format.video_type == kVideoTypeI420 && memory != nullptr) {
      const size_t luma = static_cast<size_t>(format.width) * format.height;
      const size_t chroma = static_cast<size_t>((format.width + 1) / 2) * ((format.height + 1) / 2);
      luma_.assign(bytes, bytes + luma);
      chroma_.assign(bytes + luma, bytes + luma + 2 * chroma);
    }
    if (format.video_type == kVideoTypeYuy2 && memory != nullptr) {
      luma_.resize(static_cast<size_t>(format.width) * format.height);
      for (size_t i = 0; i < luma_.size(); ++i) luma_[i] = bytes[2 * i];
    }
    return VSE_S_OK;
  }
  std::vector<uint8_t> luma() {
    std::lock_guard<std::mutex> hold(lock_);
    return luma_;
  }
  // The last I420 picture's U then V plane.
  std::vector<uint8_t> chroma() {
    std::lock_guard<std::mutex> hold(lock_);
    return chroma_;
  }
  size_t count() {
    std::lock_guard<std::mutex> hold(lock_);
    return formats_.size();
  }
  VideoFormat last() {
    std::lock_guard<std::mutex> hold(lock_);
    return formats_.back();
  }

 private:
  std::mutex lock_;
  std::vector<VideoFormat> formats_;
  std::vector<uint8_t> luma_;  // the last I420 or YUYV picture's
  std::vector<uint8_t> chroma_;
};

class RecordingEngineSink : public IVideoCapEngineSink {
 public:
  int32_t OnStarted(IVideoCapDevice* device, int32_t result) override {
    results.push_back(result);
    devices.push_back(device);
    return 0;
  }
  int32_t OnCaptureVideoSizeChanged(int32_t, int32_t) override { return 0; }
  int32_t OnDevicePortrait(int32_t) override { return 0; }
  std::vector<int32_t> results;
  std::vector<IVideoCapDevice*> devices;
};

constexpr int32_t kFail = static_cast<int32_t>(VSE_E_FAIL);

class CapEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    allocator_ = new CVzVideoSampleAllocator(64, 10000, 10000);
    allocator_->AddRef();
    deliverer_ = new CountingDeliverer();
    deliverer_->AddRef();
  }
  void TearDown() override {
    if (engine_ != nullptr) engine_->Stop();
    // A loss the capture thread told before it stopped may still wait on the
    // loop, holding the engine: it runs now, while the port it reads is here.
    loop_.RunUntilIdle();
    if (engine_ != nullptr) engine_->Release();
    for (IVideoCapDevice* device : devices_) device->Release();
    deliverer_->Release();
    allocator_->Release();
  }
  // Lists the cameras and keeps them.
  void List() {
    IVideoCapDeviceEnumerator* list = nullptr;
    ASSERT_EQ(MakeV4l2DeviceEnumerator(port_, &list), VSE_S_OK);
    while (IVideoCapDevice* device = list->GetNextDevice()) {
      device->AddRef();
      devices_.push_back(device);
    }
    list->Release();
  }
  VseResult Make(const VideoFormat* format, size_t device_index = 0) {
    if (devices_.empty()) List();
    IVideoCapEngine* engine = nullptr;
    const VseResult made = MakeV4l2CapEngine(devices_.at(device_index), format, allocator_, &engine);
    if (made == VSE_S_OK) {
      engine_ = engine;
      engine_->SetSink(&sink_);
      engine_->AppendVideoDeliverer(deliverer_);
    }
    return made;
  }
  CV4l2CapEngine* engine() { return static_cast<CV4l2CapEngine*>(engine_); }
  // Waits (real time, generous) for the capture thread's doing.
  bool WaitFor(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      loop_.RunUntilIdle();
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
  }
  void Check(uint64_t ms = kStartCheckMs) {
    clock_.AdvanceMs(ms);
    loop_.RunUntilIdle();
  }
  // Start checks until `ms` of fake time have passed.
  void CheckFor(uint64_t ms) {
    for (uint64_t passed = 0; passed < ms; passed += kStartCheckMs) Check();
  }

  vz::FakeClock clock_;
  vz::RunLoop loop_{clock_};
  vz::EmulatedV4l2 port_;
  CVzVideoSampleAllocator* allocator_ = nullptr;
  CountingDeliverer* deliverer_ = nullptr;
  RecordingEngineSink sink_;
  std::vector<IVideoCapDevice*> devices_;
  IVideoCapEngine* engine_ = nullptr;
};

TEST_F(CapEngineTest, ACameraThatStreamsIsReportedStartedOnceAndItsFramesGoOn) {
  port_.Plug(vz::LaptopYuyvCamera());
  const VideoFormat wanted{3, 640, 480, 30.0f, 0};
  ASSERT_EQ(Make(&wanted), VSE_S_OK);
  EXPECT_EQ(engine_->Start(false), 1u);
  // A second start is still pending (1), or running (0) once the capture
  // thread has the stream on: which one depends on that thread's progress.
  const VseResult again = engine_->Start(false);
  if (again == VSE_S_OK) {
    EXPECT_TRUE(engine()->WaitForStreamResultForTesting(0));
  } else {
    EXPECT_EQ(again, 1u);
  }
  ASSERT_TRUE(WaitFor([&] { return deliverer_->count() >= 3; }));
  Check();
  Check();
  EXPECT_EQ(sink_.results, std::vector<int32_t>{0});
  EXPECT_EQ(sink_.devices.at(0), devices_.at(0));
  EXPECT_EQ(engine_->Start(false), 0u);
  EXPECT_EQ(engine_->Start(true), 0u);
  EXPECT_EQ(deliverer_->last().video_type, 3);
  VideoFormat output{};
  ASSERT_EQ(engine_->GetOutputVideoFormat(&output), VSE_S_OK);
  EXPECT_EQ(output.video_type, 3);
  EXPECT_EQ(output.width, 640);
  EXPECT_EQ(output.height, 480);
  EXPECT_FLOAT_EQ(output.frame_rate, 30.0f);
  EXPECT_TRUE(engine_->HasAdvancedSetting());
  EXPECT_FALSE(engine_->IsDifferentDevice(devices_.at(0)));
  EXPECT_TRUE(engine_->IsDifferentDevice(nullptr));
}

TEST_F(CapEngineTest, ASynchronousStartAnswersOnceTheStreamIsOn) {
  port_.Plug(vz::LaptopYuyvCamera());
  ASSERT_EQ(Make(nullptr), VSE_S_OK);
  EXPECT_EQ(engine_->Start(true), 0u);
  ASSERT_TRUE(WaitFor([&] { return deliverer_->count() >= 1; }));
  EXPECT_TRUE(sink_.results.empty());
}

TEST_F(CapEngineTest, ASilentCameraIsRestartedWithItsDefaultFormatAfterFiveSeconds) {
  auto script = vz::LaptopYuyvCamera();
  script.silent_width = 1280;  // nothing at 1280x720; frames at the default 640x480
  port_.Plug(script);
  const VideoFormat wanted{3, 1280, 720, 30.0f, 0};
  ASSERT_EQ(Make(&wanted), VSE_S_OK);
  ASSERT_EQ(engine_->Start(false), 1u);
  ASSERT_TRUE(engine()->WaitForStreamResultForTesting(30000));
  Check();  // the stream is on: the deadline counts from here
  CheckFor(kFirstFrameDeadlineMs - kStartCheckMs);
  EXPECT_FALSE(engine()->restart_done_for_testing());
  EXPECT_TRUE(sink_.results.empty());
  Check();
  EXPECT_TRUE(engine()->restart_done_for_testing());
  EXPECT_TRUE(sink_.results.empty());  // the second start's outcome is the one told
  ASSERT_TRUE(WaitFor([&] { return deliverer_->count() >= 1; }));
  Check();
  EXPECT_EQ(sink_.results, std::vector<int32_t>{0});
  VideoFormat output{};
  ASSERT_EQ(engine_->GetOutputVideoFormat(&output), VSE_S_OK);
  EXPECT_EQ(output.width, 640);
}

TEST_F(CapEngineTest, ASecondSilentStartIsReportedAsAFailure) {
  auto script = vz::LaptopYuyvCamera();
  script.never_sends = true;
  port_.Plug(script);
  const VideoFormat wanted{3, 640, 480, 30.0f, 0};
  ASSERT_EQ(Make(&wanted), VSE_S_OK);
  ASSERT_EQ(engine_->Start(false), 1u);
  ASSERT_TRUE(engine()->WaitForStreamResultForTesting(30000));
  CheckFor(kFirstFrameDeadlineMs + kStartCheckMs);
  ASSERT_TRUE(engine()->restart_done_for_testing());
  ASSERT_TRUE(engine()->WaitForStreamResultForTesting(30000));
  CheckFor(kFirstFrameDeadlineMs + kStartCheckMs);
  EXPECT_EQ(sink_.results, std::vector<int32_t>{kFail});
  CheckFor(kFirstFrameDeadlineMs * 2);
  EXPECT_EQ(sink_.results.size(), 1u);
}

TEST_F(CapEngineTest, AnEngineMadeWithoutAFormatNeverRestarts) {
  auto script = vz::LaptopYuyvCamera();
  script.never_sends = true;
  port_.Plug(script);
  ASSERT_EQ(Make(nullptr), VSE_S_OK);
  EXPECT_TRUE(engine()->restart_done_for_testing());
  ASSERT_EQ(engine_->Start(false), 1u);
  ASSERT_TRUE(engine()->WaitForStreamResultForTesting(30000));
  CheckFor(kFirstFrameDeadlineMs + kStartCheckMs);
  EXPECT_EQ(sink_.results, std::vector<int32_t>{kFail});
}

TEST_F(CapEngineTest, AStreamThatFailsToStartIsRetriedOnceThenReported) {
  auto script = vz::LaptopYuyvCamera();
  script.fails_streamon = true;
  port_.Plug(script);
  const VideoFormat wanted{3, 640, 480, 30.0f, 0};
  ASSERT_EQ(Make(&wanted), VSE_S_OK);
  ASSERT_EQ(engine_->Start(false), 1u);
  ASSERT_TRUE(engine()->WaitForStreamResultForTesting(30000));
  Check();
  ASSERT_TRUE(engine()->restart_done_for_testing());
  ASSERT_TRUE(engine()->WaitForStreamResultForTesting(30000));
  Check();
  EXPECT_EQ(sink_.results, std::vector<int32_t>{kFail});
}

TEST_F(CapEngineTest, ShortFramesAreDroppedBeforeTheyReachTheCropper) {
  auto script = vz::LaptopYuyvCamera();
  script.short_frame_every = 2;
  port_.Plug(script);
  const VideoFormat wanted{3, 320, 240, 30.0f, 0};
  ASSERT_EQ(Make(&wanted), VSE_S_OK);
  ASSERT_EQ(engine_->Start(false), 1u);
  ASSERT_TRUE(WaitFor(
      [&] { return engine()->DroppedFramesForTesting() >= 2 && engine()->DeliveredFramesForTesting() >= 2; }));
  engine_->Stop();
  const uint32_t filled = port_.FramesFilledForTesting("/dev/video0");
  EXPECT_EQ(engine()->DroppedFramesForTesting() + engine()->DeliveredFramesForTesting(), filled);
  EXPECT_LE(engine()->DeliveredFramesForTesting(), (filled + 1) / 2);
}

TEST_F(CapEngineTest, ACameraPulledOutWhileStreamingIsReported) {
  const std::string node = port_.Plug(vz::LaptopYuyvCamera());
  const VideoFormat wanted{3, 640, 480, 30.0f, 0};
  ASSERT_EQ(Make(&wanted), VSE_S_OK);
  ASSERT_EQ(engine_->Start(false), 1u);
  ASSERT_TRUE(WaitFor([&] { return deliverer_->count() >= 1; }));
  Check();
  ASSERT_EQ(sink_.results, std::vector<int32_t>{0});
  port_.UnplugForTesting(node);
  ASSERT_TRUE(WaitFor([&] { return sink_.results.size() == 2; }));
  EXPECT_EQ(sink_.results.back(), kFail);
  EXPECT_EQ(sink_.devices.back(), devices_.at(0));
  // Plugged in again at the same node: a new start opens nothing new, it
  // fails and says so rather than staying pending.
  EXPECT_EQ(engine_->Start(false), 1u);
  ASSERT_TRUE(engine()->WaitForStreamResultForTesting(30000));
  Check();
  EXPECT_EQ(sink_.results.back(), kFail);
}

TEST_F(CapEngineTest, AStopOffTheStartingThreadLeavesNoCheckBehind) {
  port_.Plug(vz::LaptopYuyvCamera());
  ASSERT_EQ(Make(nullptr), VSE_S_OK);
  ASSERT_EQ(engine_->Start(false), 1u);
  std::thread([this] {
    engine_->Stop();
    engine_->Release();
    engine_ = nullptr;
  }).join();
  CheckFor(kFirstFrameDeadlineMs * 2);
  EXPECT_TRUE(sink_.results.empty());
}

// Started on a thread that has ended since (its loop gone with it), the
// engine is stopped and released elsewhere without touching that loop.
TEST_F(CapEngineTest, AStopAfterTheStartingThreadEndedTouchesNothingOfItsLoop) {
  port_.Plug(vz::LaptopYuyvCamera());
  ASSERT_EQ(Make(nullptr), VSE_S_OK);
  std::thread([this] { EXPECT_EQ(engine_->Start(false), 1u); }).join();
  ASSERT_TRUE(WaitFor([&] { return deliverer_->count() >= 1; }));
  EXPECT_EQ(engine_->Stop(), VSE_S_OK);
  engine_->Release();
  engine_ = nullptr;
}

TEST_F(CapEngineTest, APullOutBeforeTheFirstCheckFailsTheStartWithoutARestart) {
  const std::string node = port_.Plug(vz::LaptopYuyvCamera());
  const VideoFormat wanted{3, 640, 480, 30.0f, 0};
  ASSERT_EQ(Make(&wanted), VSE_S_OK);
  ASSERT_EQ(engine_->Start(false), 1u);
  ASSERT_TRUE(engine()->WaitForStreamResultForTesting(30000));
  port_.UnplugForTesting(node);
  // The capture thread sees the loss in its own time (late beside busy
  // loops); the checks run only then, so that the fake clock cannot reach
  // the first frame's deadline before it.
  ASSERT_TRUE(WaitFor([&] { return engine()->StreamLostForTesting(); }));
  ASSERT_TRUE(WaitFor([&] {
    Check();
    return !sink_.results.empty();
  }));
  EXPECT_EQ(sink_.results, std::vector<int32_t>{kFail});
  EXPECT_FALSE(engine()->restart_done_for_testing());
}

TEST_F(CapEngineTest, StopWhileTheStartIsPendingEndsCleanly) {
  port_.Plug(vz::LaptopYuyvCamera());
  ASSERT_EQ(Make(nullptr), VSE_S_OK);
  ASSERT_EQ(engine_->Start(false), 1u);
  EXPECT_EQ(engine_->Stop(), VSE_S_OK);
  CheckFor(kFirstFrameDeadlineMs * 2);
  EXPECT_TRUE(sink_.results.empty());
  // And it starts again.
  ASSERT_EQ(engine_->Start(false), 1u);
  ASSERT_TRUE(WaitFor([&] { return deliverer_->count() >= 1; }));
}

TEST_F(CapEngineTest, AWantedTypeTheCameraLacksIsRetriedAsTypeZero) {
  port_.Plug(vz::LaptopYuyvCamera());
  // I420 is not offered: the relaxed step sets YUYV, which an I420 capture
  // does not take, so the factory tries again with type 0.
  const VideoFormat wanted{2, 640, 480, 30.0f, 0};
  ASSERT_EQ(Make(&wanted), VSE_S_OK);
  VideoFormat output{};
  ASSERT_EQ(engine_->GetOutputVideoFormat(&output), VSE_S_OK);
  EXPECT_EQ(output.video_type, 3);
  EXPECT_EQ(output.width, 640);
  // YV12 takes any pixel format: the relaxed step's YUYV at once.
  engine_->Release();
  engine_ = nullptr;
  const VideoFormat yv12{5, 320, 240, 30.0f, 0};
  ASSERT_EQ(Make(&yv12), VSE_S_OK);
  ASSERT_EQ(engine_->GetOutputVideoFormat(&output), VSE_S_OK);
  EXPECT_EQ(output.video_type, 3);
  EXPECT_EQ(output.width, 320);
  // An unknown video type makes no engine with it; the last try has none.
  engine_->Release();
  engine_ = nullptr;
  const VideoFormat odd{9, 640, 480, 30.0f, 0};
  {
    vz::LogLineCapture collected;
    ASSERT_EQ(Make(&odd), VSE_S_OK);
    // The refusal also reaches the trace collector.
    EXPECT_TRUE(collected.Has("video type wrong value: [9]", vz::kCollectLines));
  }
}

TEST_F(CapEngineTest, AnInterlacedCameraIsNotTaken) {
  auto script = vz::LaptopYuyvCamera();
  script.interlaced = true;
  port_.Plug(script);
  const VideoFormat wanted{3, 640, 480, 30.0f, 0};
  EXPECT_EQ(Make(&wanted), VSE_E_FAIL);
}

TEST_F(CapEngineTest, TheSecondOfTwoCamerasOfOneModelCanBeChosen) {
  auto first = vz::LaptopYuyvCamera();
  first.stable_name.clear();
  auto second = first;
  second.bus_info = "usb-0000:00:14.0-2";
  const std::string first_node = port_.Plug(first);
  const std::string second_node = port_.Plug(second);
  List();
  ASSERT_EQ(devices_.size(), 2u);
  ASSERT_EQ(Make(nullptr, 1), VSE_S_OK);
  EXPECT_TRUE(engine_->IsDifferentDevice(devices_[0]));
  ASSERT_EQ(engine_->Start(false), 1u);
  ASSERT_TRUE(WaitFor([&] { return deliverer_->count() >= 2; }));
  EXPECT_EQ(port_.FramesFilledForTesting(first_node), 0u);
  EXPECT_GE(port_.FramesFilledForTesting(second_node), 2u);
}

// A camera with several inputs answers IVideoCrossbar, which names them
// and routes one while stopped; a camera with one input has no crossbar.
TEST_F(CapEngineTest, TheCrossbarNamesTheInputsAndRoutesOneWhileStopped) {
  auto script = vz::LaptopYuyvCamera();
  script.inputs = {{0, "Tuner", false}, {1, "Composite", true}};
  port_.Plug(script);
  port_.Plug(vz::LaptopYuyvCamera());
  ASSERT_EQ(Make(nullptr, 1), VSE_S_OK);
  void* none = reinterpret_cast<void*>(1);
  EXPECT_EQ(engine_->QueryInterface(&IID_IVideoCrossbar, &none), VSE_E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  engine_->Release();
  engine_ = nullptr;

  ASSERT_EQ(Make(nullptr, 0), VSE_S_OK);
  IVideoCrossbar* crossbar = nullptr;
  ASSERT_EQ(engine_->QueryInterface(&IID_IVideoCrossbar, reinterpret_cast<void**>(&crossbar)), VSE_S_OK);
  char name[16] = {};
  int32_t size = sizeof(name);
  EXPECT_EQ(crossbar->GetCrossBarInput(1, name, &size), VSE_S_OK);
  EXPECT_STREQ(name, "Composite");
  EXPECT_EQ(size, 9);
  size = 9;  // no room for the terminator
  EXPECT_EQ(crossbar->GetCrossBarInput(1, name, &size), VSE_E_FAIL);
  EXPECT_EQ(crossbar->GetCrossBarInput(2, name, &size), VSE_E_FAIL);
  size = sizeof(name);
  EXPECT_EQ(crossbar->GetCrossBarOutput(0, name, &size), VSE_S_OK);
  EXPECT_EQ(crossbar->GetCrossBarOutput(1, name, &size), VSE_E_FAIL);
  int32_t routed = -1, flag = -1;
  EXPECT_EQ(crossbar->GetCrossBarConnectedTo(&routed, nullptr), VSE_E_INVALIDARG);
  ASSERT_EQ(crossbar->GetCrossBarConnectedTo(&routed, &flag), VSE_S_OK);
  EXPECT_EQ(routed, 0);
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(crossbar->ConnectCrossBar(1, 0), VSE_S_OK);
  ASSERT_EQ(crossbar->GetCrossBarConnectedTo(&routed, &flag), VSE_S_OK);
  EXPECT_EQ(routed, 1);
  EXPECT_EQ(crossbar->ConnectCrossBar(2, 0), VSE_E_FAIL);
  ASSERT_EQ(engine_->Start(false), 1u);
  EXPECT_EQ(crossbar->ConnectCrossBar(0, 0), VSE_E_FAIL);
  crossbar->Release();
}

// A picture whose every plane tells each sample's place, each plane in its
// own way, for cameras that send it unchanged (raw formats): a chroma row
// read from the wrong place shows.
uint8_t PlaceSample(int plane, int x, int y) {
  static constexpr int kAcross[3] = {7, 5, 3}, kDown[3] = {13, 11, 17}, kStart[3] = {0, 3, 101};
  return static_cast<uint8_t>((x * kAcross[plane] + y * kDown[plane] + kStart[plane]) & 0xFF);
}

void PlacePicture(uint32_t, uint8_t* i420, int width, int height) {
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) i420[y * width + x] = PlaceSample(0, x, y);
  }
  uint8_t* chroma = i420 + width * height;
  for (int plane = 1; plane <= 2; ++plane) {
    for (int y = 0; y < height / 2; ++y) {
      for (int x = 0; x < width / 2; ++x) *chroma++ = PlaceSample(plane, x, y);
    }
  }
}

// True when the last picture delivered is PlacePicture's (the cropper may
// have kept its centre): its luma, and for I420 both chroma planes.
::testing::AssertionResult ShowsThePlacePicture(CountingDeliverer* deliverer, int camera_width, int camera_height) {
  const VideoFormat last = deliverer->last();
  const std::vector<uint8_t> luma = deliverer->luma();
  if (luma.size() != static_cast<size_t>(last.width) * last.height) {
    return ::testing::AssertionFailure() << "no picture of " << last.width << "x" << last.height;
  }
  const int left = (camera_width - last.width) / 2;
  const int top = (camera_height - last.height) / 2;
  for (int y = 0; y < last.height; ++y) {
    for (int x = 0; x < last.width; ++x) {
      const uint8_t expected = PlaceSample(0, x + left, y + top);
      if (luma[static_cast<size_t>(y) * last.width + x] != expected) {
        return ::testing::AssertionFailure() << "pixel " << x << "," << y << " is "
                                             << int(luma[static_cast<size_t>(y) * last.width + x]) << ", not "
                                             << int(expected);
      }
    }
  }
  if (last.video_type != kVideoTypeI420) return ::testing::AssertionSuccess();
  const int chroma_width = last.width / 2, chroma_height = last.height / 2;
  const std::vector<uint8_t> chroma = deliverer->chroma();
  if (chroma.size() != 2 * static_cast<size_t>(chroma_width) * chroma_height) {
    return ::testing::AssertionFailure() << "chroma of " << chroma.size() << " bytes";
  }
  for (int plane = 1; plane <= 2; ++plane) {
    const uint8_t* samples = chroma.data() + static_cast<size_t>(plane - 1) * chroma_width * chroma_height;
    for (int y = 0; y < chroma_height; ++y) {
      for (int x = 0; x < chroma_width; ++x) {
        const uint8_t expected = PlaceSample(plane, x + left / 2, y + top / 2);
        const uint8_t got = samples[static_cast<size_t>(y) * chroma_width + x];
        if (got != expected) {
          return ::testing::AssertionFailure() << (plane == 1 ? "U" : "V") << " sample " << x << "," << y << " is "
                                               << int(got) << ", not " << int(expected);
        }
      }
    }
  }
  return ::testing::AssertionSuccess();
}

vz::EmulatedCameraScript RawCamera(uint32_t fourcc, uint32_t row_padding, bool takes_user_pointers) {
  vz::EmulatedCameraScript script;
  script.card = "Raw Camera";
  vz::EmulatedCameraScript::Format format;
  format.fourcc = fourcc;
  format.sizes = {{640, 360}};
  script.formats = {format};
  script.row_padding = row_padding;
  script.takes_user_pointers = takes_user_pointers;
  script.picture = &PlacePicture;
  return script;
}

struct RawCase {
  uint32_t fourcc;
  uint32_t row_padding;
  bool takes_user_pointers;
};

class RawCameraTest : public CapEngineTest, public ::testing::WithParamInterface<RawCase> {};

// Frames of a driver that takes the grabber's samples as its buffers go on
// without a copy; others are copied once. Rows the driver pads come out
// unpadded, so the picture is not sheared.
TEST_P(RawCameraTest, FramesArriveUnshearedAndUncopiedWhereTheDriverFillsSamples) {
  const RawCase& raw = GetParam();
  const std::string node = port_.Plug(RawCamera(raw.fourcc, raw.row_padding, raw.takes_user_pointers));
  const VideoFormat wanted{VideoTypeOfFourcc(raw.fourcc), 640, 360, 30.0f, 0};
  ASSERT_EQ(Make(&wanted), VSE_S_OK);
  ASSERT_EQ(engine_->Start(false), 1u);
  ASSERT_TRUE(WaitFor([&] { return engine()->DeliveredFramesForTesting() >= 3 && deliverer_->count() >= 3; }));
  EXPECT_EQ(engine()->StreamsIntoSamplesForTesting(), raw.takes_user_pointers);
  EXPECT_EQ(engine()->DroppedFramesForTesting(), 0u);
  EXPECT_EQ(engine()->CopiedFramesForTesting() == 0, raw.takes_user_pointers || raw.row_padding != 0);
  EXPECT_EQ(port_.FramesFilledIntoLentBuffersForTesting(node) > 0, raw.takes_user_pointers);
  EXPECT_EQ(deliverer_->last().video_type, wanted.video_type);
  EXPECT_TRUE(ShowsThePlacePicture(deliverer_, 640, 360));
  Check();
  EXPECT_EQ(sink_.results, std::vector<int32_t>{0});
}

INSTANTIATE_TEST_SUITE_P(Layouts, RawCameraTest,
                         ::testing::Values(RawCase{vz::kFourccYuyv, 0, true}, RawCase{vz::kFourccYuyv, 0, false},
                                           RawCase{vz::kFourccYuyv, 96, true}, RawCase{vz::kFourccYuyv, 96, false},
                                           RawCase{vz::kFourccI420, 64, true}, RawCase{vz::kFourccI420, 64, false},
                                           RawCase{vz::kFourccI420, 0, true}));

// A padded frame cut short has rows that cannot be found: it is dropped,
// and the whole frames around it still come out unsheared.
TEST_F(CapEngineTest, APaddedFrameCutShortIsDropped) {
  for (bool takes_user_pointers : {true, false}) {
    auto script = RawCamera(vz::kFourccYuyv, 96, takes_user_pointers);
    script.short_frame_every = 2;
    const std::string node = port_.Plug(script);
    const VideoFormat wanted{kVideoTypeYuy2, 640, 360, 30.0f, 0};
    ASSERT_EQ(Make(&wanted), VSE_S_OK);
    ASSERT_EQ(engine_->Start(false), 1u);
    ASSERT_TRUE(WaitFor(
        [&] { return engine()->DroppedFramesForTesting() >= 2 && engine()->DeliveredFramesForTesting() >= 2; }));
    EXPECT_TRUE(ShowsThePlacePicture(deliverer_, 640, 360));
    engine_->Stop();
    engine_->Release();
    engine_ = nullptr;
    for (IVideoCapDevice* device : devices_) device->Release();
    devices_.clear();
    port_.UnplugForTesting(node);
  }
}

// MJPEG frames reach the engine decoded to I420 at the negotiated size.
struct MjpegCase {
  bool chroma_422;
  bool strip_dht;
  uint32_t width, height;
  uint32_t restart_interval = 0;
};

class MjpegCameraTest : public CapEngineTest, public ::testing::WithParamInterface<MjpegCase> {};

TEST_P(MjpegCameraTest, FramesArriveAsI420) {
  auto script = vz::MjpegOnlyCamera();
  script.jpeg_422 = GetParam().chroma_422;
  script.jpeg_strip_dht = GetParam().strip_dht;
  script.jpeg_restart_interval = GetParam().restart_interval;
  // A still picture, so each decoded frame can be compared with it.
  script.picture = [](uint32_t, uint8_t* i420, int width, int height) {
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) i420[y * width + x] = static_cast<uint8_t>(16 + (x * 3 + y * 2) % 200);
    }
    std::memset(i420 + width * height, 128, static_cast<size_t>(width / 2) * (height / 2) * 2);
  };
  port_.Plug(script);
  const VideoFormat wanted{0, static_cast<int32_t>(GetParam().width), static_cast<int32_t>(GetParam().height),
                           30.0f, 0};
  ASSERT_EQ(Make(&wanted), VSE_S_OK);
  ASSERT_EQ(engine_->Start(false), 1u);
  ASSERT_TRUE(WaitFor([&] { return engine()->DeliveredFramesForTesting() >= 3; }));
  EXPECT_EQ(engine()->DroppedFramesForTesting(), 0u);
  Check();
  EXPECT_EQ(sink_.results, std::vector<int32_t>{0});
  const VideoFormat last = deliverer_->last();
  EXPECT_EQ(last.video_type, kVideoTypeI420);
  const std::vector<uint8_t> luma = deliverer_->luma();
  ASSERT_EQ(luma.size(), static_cast<size_t>(last.width) * last.height);
  // The cropper keeps the picture's centre; compare what it kept.
  const int left = (static_cast<int>(GetParam().width) - last.width) / 2;
  const int top = (static_cast<int>(GetParam().height) - last.height) / 2;
  double error = 0;
  for (int y = 0; y < last.height; ++y) {
    for (int x = 0; x < last.width; ++x) {
      const int expected = 16 + ((x + left) * 3 + (y + top) * 2) % 200;
      error += std::abs(static_cast<int>(luma[static_cast<size_t>(y) * last.width + x]) - expected);
    }
  }
  EXPECT_LT(error / static_cast<double>(luma.size()), 4.0);
}

INSTANTIATE_TEST_SUITE_P(Forms, MjpegCameraTest,
                         ::testing::Values(MjpegCase{false, false, 640, 360}, MjpegCase{true, true, 640, 360},
                                           MjpegCase{false, true, 424, 240}, MjpegCase{true, false, 1280, 720},
                                           // Intervals that do and do not divide the MCU count.
                                           MjpegCase{false, false, 640, 360, 40}, MjpegCase{true, true, 640, 360, 7}));

// Smaller pictures would be read past their end, larger ones read as the
// negotiated size (a sheared corner of the picture): both are dropped.
class MjpegOtherSizeTest : public CapEngineTest,
                           public ::testing::WithParamInterface<std::pair<uint32_t, uint32_t>> {};

TEST_P(MjpegOtherSizeTest, AnMjpegFrameOfAnotherSizeIsDropped) {
  auto script = vz::MjpegOnlyCamera();
  script.jpeg_width = GetParam().first;
  script.jpeg_height = GetParam().second;
  port_.Plug(script);
  const VideoFormat wanted{0, 640, 360, 30.0f, 0};
  ASSERT_EQ(Make(&wanted), VSE_S_OK);
  ASSERT_EQ(engine_->Start(false), 1u);
  ASSERT_TRUE(WaitFor(
      [&] { return engine()->DroppedFramesForTesting() >= 3 || engine()->DeliveredFramesForTesting() > 0; }));
  EXPECT_EQ(engine()->DeliveredFramesForTesting(), 0u);
  EXPECT_EQ(deliverer_->count(), 0u);
}

INSTANTIATE_TEST_SUITE_P(SmallerAndLarger, MjpegOtherSizeTest,
                         ::testing::Values(std::make_pair(424u, 240u), std::make_pair(800u, 448u)));

TEST_F(CapEngineTest, ATruncatedMjpegFrameIsDroppedAndTheStreamGoesOn) {
  auto script = vz::MjpegOnlyCamera();
  script.short_frame_every = 2;
  port_.Plug(script);
  const VideoFormat wanted{0, 640, 360, 30.0f, 0};
  ASSERT_EQ(Make(&wanted), VSE_S_OK);
  ASSERT_EQ(engine_->Start(false), 1u);
  ASSERT_TRUE(WaitFor(
      [&] { return engine()->DroppedFramesForTesting() >= 2 && engine()->DeliveredFramesForTesting() >= 2; }));
}

}  // namespace
}  // namespace vzcapture

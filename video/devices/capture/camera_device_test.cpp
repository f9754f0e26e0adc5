// A real camera of this machine (a webcam, or a node of the vivid test
// driver): its formats listed and 100 frames streamed through the capture
// engine. Skips, saying so, where the machine has no camera.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/camera/v4l2_camera.h"
#include "platform/run_loop.h"
#include "platform/test_requirement_testlib.h"
#include "video/devices/capture/capture_backend.h"
#include "video/devices/capture/v4l2_cap_engine.h"
#include "video/engine/core/vz_video_sample_allocator.h"

namespace vzcapture {
namespace {

class FrameCounter final : public TEngineObject<IVideoDeliverer> {
 public:
  VseResult DeliverSample(IVideoSample*) override {
    frames.fetch_add(1);
    return VSE_S_OK;
  }
  std::atomic<int> frames{0};
};

std::string FourccText(uint32_t fourcc) {
  std::string text(4, ' ');
  for (int i = 0; i < 4; ++i) text[i] = static_cast<char>((fourcc >> (8 * i)) & 0xFF);
  return text;
}

TEST(CameraDeviceTest, ARealCameraListsItsFormatsAndStreamsOneHundredFrames) {
  vz::V4l2Port& port = vz::SystemV4l2Port();
  const auto cameras = vz::ListV4l2Cameras(port);
  if (cameras.empty()) {
    VZ_SKIP_TEST_WITHOUT(vz::kNeedsCamera) << "this machine has no V4L2 capture device (no webcam, no vivid node)";
  }
  std::printf("camera %s: %s (%s, %s)\n", cameras[0].node.c_str(), cameras[0].display_name.c_str(),
              cameras[0].driver.c_str(), cameras[0].unique_name.c_str());
  {
    vz::V4l2Camera camera(port);
    ASSERT_EQ(camera.Open(cameras[0].node), 0);
    const auto formats = camera.Formats();
    ASSERT_FALSE(formats.empty());
    for (const auto& format : formats) {
      std::printf("  %s %ux%u..%ux%u step %ux%u, %.2f..%.2f fps\n", FourccText(format.fourcc).c_str(),
                  format.min_width, format.min_height, format.max_width, format.max_height, format.step_width,
                  format.step_height, static_cast<double>(format.min_rate), static_cast<double>(format.max_rate));
    }
  }
  IVideoCapDeviceEnumerator* list = nullptr;
  ASSERT_EQ(MakeV4l2DeviceEnumerator(port, &list), VSE_S_OK);
  IVideoCapDevice* device = list->GetNextDevice();
  ASSERT_NE(device, nullptr);
  auto* allocator = new CVzVideoSampleAllocator(64, 10000, 10000);
  allocator->AddRef();
  auto* counter = new FrameCounter();
  counter->AddRef();
  vz::RunLoop::ForCurrentThread();
  IVideoCapEngine* engine = nullptr;
  ASSERT_EQ(MakeV4l2CapEngine(device, nullptr, allocator, &engine), VSE_S_OK);
  engine->AppendVideoDeliverer(counter);
  EXPECT_EQ(engine->Start(true), VSE_S_OK);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (counter->frames.load() < 100 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_GE(counter->frames.load(), 100);
  engine->Stop();
  engine->Release();
  counter->Release();
  allocator->Release();
  list->Release();
}

}  // namespace
}  // namespace vzcapture

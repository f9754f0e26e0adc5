#include "video/devices/capture/v4l2_cap_device.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/log_capture_testlib.h"
#include "platform/camera/emulated/v4l2_emulation.h"
#include "platform/camera/v4l2_camera.h"
#include "platform/clock.h"
#include "platform/run_loop.h"
#include "platform/text.h"
#include "video/devices/capture/camera_controls.h"
#include "video/devices/capture/capture_backend.h"

namespace vzcapture {
namespace {

std::string Name(const char16_t* text) { return vz::Utf16ToUtf8(text); }

struct Listed {
  IVideoCapDeviceEnumerator* devices = nullptr;
  explicit Listed(vz::V4l2Port& port) { EXPECT_EQ(MakeV4l2DeviceEnumerator(port, &devices), VSE_S_OK); }
  ~Listed() {
    if (devices != nullptr) devices->Release();
  }
  std::vector<IVideoCapDevice*> All() {
    std::vector<IVideoCapDevice*> all;
    devices->Reset();
    while (IVideoCapDevice* device = devices->GetNextDevice()) all.push_back(device);
    return all;
  }
};

TEST(V4l2CapDeviceTest, WithoutACameraTheListIsEmpty) {
  vz::EmulatedV4l2 port;
  vz::LogLineCapture collected;
  Listed listed(port);
  EXPECT_EQ(listed.devices->GetNextDevice(), nullptr);
  // The count also reaches the trace collector.
  EXPECT_TRUE(collected.Has("Camera device count: [0]", vz::kCollectLines));
}

TEST(V4l2CapDeviceTest, CamerasAreListedWithNamesThatSurviveReplugging) {
  vz::EmulatedV4l2 port;
  const std::string laptop = port.Plug(vz::LaptopYuyvCamera());
  port.Plug(vz::MjpegOnlyCamera());
  IVideoCapDevice* before = nullptr;
  {
    Listed listed(port);
    auto all = listed.All();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(Name(all[0]->GetUniqueName()), "/dev/v4l/by-id/usb-Emulated_Integrated_Camera-video-index0");
    EXPECT_EQ(Name(all[0]->GetDisplayName()), "Integrated Camera");
    EXPECT_TRUE(all[0]->IsHardwareDevice());
    EXPECT_EQ(Name(all[1]->GetDisplayName()), "USB MJPEG Camera");
    before = all[0];
    before->AddRef();
  }
  // Out and in again: another node number, the same camera.
  port.UnplugForTesting(laptop);
  port.Plug(vz::MjpegOnlyCamera());
  const std::string again = port.Plug(vz::LaptopYuyvCamera());
  EXPECT_NE(again, laptop);
  Listed listed(port);
  auto all = listed.All();
  ASSERT_EQ(all.size(), 3u);
  int same = 0;
  for (IVideoCapDevice* device : all) same += device->IsSameDevice(before) ? 1 : 0;
  EXPECT_EQ(same, 1);
  EXPECT_TRUE(listed.devices->ContainsDevice(before));
  before->Release();
  // The system's names come with the node list.
  const auto nodes = vz::ListV4l2Cameras(port);
  ASSERT_EQ(nodes.size(), 3u);
  EXPECT_EQ(nodes[0].usb_vendor, "1bcf");
}

TEST(V4l2CapDeviceTest, CapabilitiesComeFromTheFormatsFittedWithinTheirRanges) {
  vz::EmulatedV4l2 port;
  port.Plug(vz::LaptopYuyvCamera());
  Listed listed(port);
  IVideoCapDevice* camera = listed.All().at(0);
  std::vector<VideoFormat> caps;
  VideoFormat format{};
  for (int32_t index = 0; camera->GetCapability(index, &format) == VSE_S_OK; ++index) caps.push_back(format);
  EXPECT_EQ(camera->GetCapability(static_cast<int32_t>(caps.size()), &format), 1u);
  EXPECT_EQ(camera->GetCapability(-1, &format), VSE_E_INVALIDARG);
  EXPECT_EQ(camera->GetCapability(0, nullptr), VSE_E_INVALIDARG);
  // Three YUYV sizes, then the MJPEG range's ends and preferred sizes.
  ASSERT_GE(caps.size(), 3u);
  EXPECT_EQ(caps[0].video_type, 3);
  EXPECT_EQ(caps[0].width, 640);
  bool saw_fitted = false;
  for (const VideoFormat& cap : caps) {
    SCOPED_TRACE("type " + std::to_string(cap.video_type) + ", " + std::to_string(cap.width) + "x" +
                 std::to_string(cap.height));
    EXPECT_LE(cap.width, 1280);
    EXPECT_LE(cap.height, 720);
    EXPECT_FLOAT_EQ(cap.max_frame_rate(), 30.0f);
    EXPECT_FLOAT_EQ(cap.frame_rate, 15.0f);
    saw_fitted = saw_fitted || (cap.video_type == 0 && cap.width == 320 && cap.height == 184);
  }
  EXPECT_TRUE(saw_fitted);
  EXPECT_TRUE(camera->RemoveCapability(VideoFormat{3, 640, 480, 0, 0}));
  EXPECT_FALSE(camera->RemoveCapability(VideoFormat{3, 640, 480, 0, 0}));
}

TEST(V4l2CapDeviceTest, TwoCamerasOfOneModelHaveTheirOwnNames) {
  vz::EmulatedV4l2 port;
  auto first = vz::MjpegOnlyCamera();
  first.stable_name.clear();
  first.bus_info = "usb-0000:00:14.0-1";
  auto second = first;
  second.bus_info = "usb-0000:00:14.0-2";
  port.Plug(first);
  port.Plug(second);
  Listed listed(port);
  auto all = listed.All();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(Name(all[0]->GetDisplayName()), Name(all[1]->GetDisplayName()));
  EXPECT_NE(Name(all[0]->GetUniqueName()), Name(all[1]->GetUniqueName()));
  EXPECT_FALSE(all[0]->IsSameDevice(all[1]));
}

TEST(V4l2CapDeviceTest, NamesTooLongAreLeftEmpty) {
  vz::EmulatedV4l2 port;
  vz::CameraNode node;
  node.node = "/dev/video0";
  node.unique_name = std::string(255, 'u');
  node.display_name = std::string(256, 'd');
  node.software = true;
  auto* device = new CV4l2CapDevice(port, node, {});
  device->AddRef();
  EXPECT_EQ(Name(device->GetUniqueName()), "");
  EXPECT_EQ(Name(device->GetDisplayName()), "");
  EXPECT_FALSE(device->IsSoftwareDevice());
  device->Release();
  node.unique_name = std::string(254, 'u');
  node.display_name = std::string(255, 'd');
  device = new CV4l2CapDevice(port, node, {});
  device->AddRef();
  EXPECT_EQ(Name(device->GetUniqueName()).size(), 254u);
  EXPECT_EQ(Name(device->GetDisplayName()).size(), 255u);
  EXPECT_TRUE(device->IsSoftwareDevice());
  device->Release();
}

class RecordingNotifySink : public IVideoCapDeviceNotifySink {
 public:
  int32_t OnCameraNotify(IVideoCapDevice* device, int32_t kind) override {
    calls.push_back(std::to_string(kind) + " " + vz::Utf16ToUtf8(device->GetDisplayName()));
    return 0;
  }
  std::vector<std::string> calls;
};

class HotplugTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port_.Plug(vz::LaptopYuyvCamera());
    ASSERT_EQ(MakeV4l2DevicesNotifier(port_, &sink_, &notifier_), VSE_S_OK);
  }
  void TearDown() override {
    if (notifier_ != nullptr) notifier_->Release();
  }
  void Settle() {
    loop_.RunUntilIdle();
    clock_.AdvanceMs(kHotplugDebounceMs);
    loop_.RunUntilIdle();
  }
  vz::FakeClock clock_;
  vz::RunLoop loop_{clock_};
  vz::EmulatedV4l2 port_;
  RecordingNotifySink sink_;
  IVideoCapDevicesNotifier* notifier_ = nullptr;
};

TEST_F(HotplugTest, PluggingInAndPullingOutGiveOneCallEach) {
  const std::string node = port_.Plug(vz::MjpegOnlyCamera());
  Settle();
  EXPECT_EQ(sink_.calls, std::vector<std::string>{"0 USB MJPEG Camera"});
  sink_.calls.clear();
  port_.UnplugForTesting(node);
  Settle();
  EXPECT_EQ(sink_.calls, std::vector<std::string>{"1 USB MJPEG Camera"});
  sink_.calls.clear();
  port_.NotifyWithoutChangeForTesting();
  Settle();
  EXPECT_TRUE(sink_.calls.empty());
}

TEST_F(HotplugTest, ABurstOfEventsIsLookedAtOnceAfterItEnds) {
  auto second = vz::MjpegOnlyCamera();
  second.stable_name = "/dev/v4l/by-id/usb-Emulated_MJPEG_Camera-2";
  port_.Plug(vz::MjpegOnlyCamera());
  loop_.RunUntilIdle();
  clock_.AdvanceMs(kHotplugDebounceMs - 1);
  loop_.RunUntilIdle();
  port_.Plug(second);
  loop_.RunUntilIdle();
  clock_.AdvanceMs(kHotplugDebounceMs - 1);
  loop_.RunUntilIdle();
  EXPECT_TRUE(sink_.calls.empty());
  clock_.AdvanceMs(1);
  loop_.RunUntilIdle();
  EXPECT_EQ(sink_.calls.size(), 2u);
}

TEST(CameraControlsTest, TheCamerasOwnControlsAreListedReadAndSetWithinTheirRanges) {
  vz::EmulatedV4l2 port;
  const std::string node = port.Plug(vz::LaptopYuyvCamera());
  Listed listed(port);
  CCameraControls controls(listed.All().at(0));
  ASSERT_TRUE(controls.IsOpen());
  const auto list = controls.List();
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].name, "Brightness");
  EXPECT_EQ(list[2].menu.size(), 3u);
  EXPECT_EQ(list[1].default_value, 32);
  int32_t value = 0;
  EXPECT_EQ(controls.Get(list[1].id, &value), VSE_S_OK);
  EXPECT_EQ(value, 32);
  EXPECT_EQ(controls.Set(list[0].id, 20), VSE_S_OK);
  EXPECT_EQ(port.ControlValueForTesting(node, list[0].id), 20);
  EXPECT_EQ(controls.Set(list[0].id, 65), VSE_E_FAIL);
  EXPECT_EQ(controls.Set(0x1234, 1), VSE_E_FAIL);
  CCameraControls none(nullptr);
  EXPECT_FALSE(none.IsOpen());
  EXPECT_TRUE(none.List().empty());
}

}  // namespace
}  // namespace vzcapture

#include "video/library/lifetime/camera_backend_choice.h"

#include <cstdlib>
#include <cstring>

#include "common/trace_client.h"
#include "platform/camera/emulated/v4l2_emulation.h"
#include "platform/camera/v4l2_port.h"
#include "video/devices/capture/capture_backend.h"
#include "video/devices/capture/test_camera.h"
#include "contracts/test_pattern.h"
#include "video/engine/core/video_factories.h"

namespace {

vz::EmulatedCameraScript EmulatedCamera(bool mjpeg) {
  vz::EmulatedCameraScript script;
  script.card = mjpeg ? "Emulated MJPEG Camera" : "Emulated YUYV Camera";
  script.stable_name = mjpeg ? "/dev/v4l/by-id/usb-Velzar_Emulated_MJPEG_Camera-video-index0"
                             : "/dev/v4l/by-id/usb-Velzar_Emulated_YUYV_Camera-video-index0";
  vz::EmulatedCameraScript::Format format;
  format.fourcc = mjpeg ? vz::kFourccMjpeg : vz::kFourccYuyv;
  format.sizes = {{static_cast<uint32_t>(kTestCameraWidth), static_cast<uint32_t>(kTestCameraHeight)}};
  script.formats = {format};
  script.rates = {kTestCameraFrameRate};
  script.picture = [](uint32_t counter, uint8_t* i420, int width, int height) {
    FillTestPattern(i420, width, height, counter);
  };
  return script;
}

}  // namespace

void ChooseCameraBackend() {
  if (TestCameraSelected()) {
    InstallTestCamera();
    return;
  }
  const char* emulated = std::getenv("VZ_VIDEO_EMULATED_CAMERA");
  if (emulated != nullptr && (std::strcmp(emulated, "mjpeg") == 0 || std::strcmp(emulated, "yuyv") == 0)) {
    // Lives as long as the process: the backend's objects use it to the end.
    static vz::EmulatedV4l2* const port = new vz::EmulatedV4l2();
    const bool mjpeg = std::strcmp(emulated, "mjpeg") == 0;
    VZ_LOG("an emulated %s camera is the camera (%s)", emulated, port->Plug(EmulatedCamera(mjpeg)).c_str());
    vzcapture::InstallCaptureBackend(*port);
    return;
  }
  if (emulated != nullptr && *emulated != '\0') VZ_LOG_ERROR("VZ_VIDEO_EMULATED_CAMERA=%s is not a camera", emulated);
  // Makers installed before the first instance (a test's) stay.
  const VideoDeviceFactories* installed = SetVideoDeviceFactories(nullptr);
  SetVideoDeviceFactories(installed);
  if (installed != nullptr) return;
  vzcapture::InstallCaptureBackend(vz::SystemV4l2Port());
}

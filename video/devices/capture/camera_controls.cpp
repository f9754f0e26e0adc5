#include "video/devices/capture/camera_controls.h"

#include "common/trace_client.h"
#include "video/devices/capture/v4l2_cap_device.h"

namespace vzcapture {

CCameraControls::CCameraControls(IVideoCapDevice* device) {
  CV4l2CapDevice* v4l2 = device != nullptr ? AsV4l2Device(device) : nullptr;
  if (v4l2 == nullptr) {
    VZ_LOG_ERROR("no controls: not a V4L2 camera");
    return;
  }
  camera_ = std::make_unique<vz::V4l2Camera>(v4l2->port());
  if (camera_->Open(v4l2->node().node) != 0) camera_.reset();
}

std::vector<vz::CameraControl> CCameraControls::List() {
  return IsOpen() ? camera_->Controls() : std::vector<vz::CameraControl>();
}

VseResult CCameraControls::Get(uint32_t id, int32_t* value) {
  if (!IsOpen() || value == nullptr) return VSE_E_FAIL;
  return camera_->GetControl(id, value) == 0 ? VSE_S_OK : VSE_E_FAIL;
}

VseResult CCameraControls::Set(uint32_t id, int32_t value) {
  if (!IsOpen()) return VSE_E_FAIL;
  return camera_->SetControl(id, value) == 0 ? VSE_S_OK : VSE_E_FAIL;
}

}  // namespace vzcapture

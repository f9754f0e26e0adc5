#pragma once
// A camera's own controls (brightness, contrast, exposure, ...) as the
// options window shows them: listed, read and set on the device's node
// while it may stream elsewhere. Values out of a control's range are
// refused by the driver.
// Threads: the caller's; one object per window.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/camera/v4l2_camera.h"
#include "video/engine/core/video_interfaces.h"

namespace vzcapture {

class CCameraControls {
 public:
  // Opens the device's node; IsOpen() false when it is not a V4L2 camera
  // or cannot be opened (logged).
  explicit CCameraControls(IVideoCapDevice* device);
  bool IsOpen() const { return camera_ != nullptr && camera_->IsOpen(); }
  std::vector<vz::CameraControl> List();
  // VSE_S_OK, or VSE_E_FAIL (refused or out of range; logged).
  VseResult Get(uint32_t id, int32_t* value);
  VseResult Set(uint32_t id, int32_t value);

 private:
  std::unique_ptr<vz::V4l2Camera> camera_;
};

}  // namespace vzcapture

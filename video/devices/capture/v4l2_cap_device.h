#pragma once
// The cameras of the machine as engine objects: one device per V4L2
// capture node (names and the capability list fixed when made), the
// enumerator that lists them, and the hot-plug notifier that tells its sink
// of each camera that came or went.
//
// Threads: the enumerator and devices on the caller's thread; the notifier
// lives on the thread that made it and calls its sink there, from that
// thread's run loop, 300 ms after the last of a burst of device events.
#include <memory>
#include <string>
#include <vector>

#include "platform/camera/camera_records.h"
#include "platform/camera/v4l2_port.h"
#include "video/engine/core/video_interfaces.h"

namespace vzcapture {

inline constexpr size_t kMaxUniqueNameLength = 254;
inline constexpr size_t kMaxDisplayNameLength = 255;
inline constexpr uint32_t kHotplugDebounceMs = 300;

class CV4l2CapDevice final : public TEngineObject<IVideoCapDevice> {
 public:
  // Reads the node's formats through the port.
  CV4l2CapDevice(vz::V4l2Port& port, const vz::CameraNode& node, std::vector<vz::CameraFormatRange> ranges);

  int32_t GetDeviceType() override { return 0; }
  const char16_t* GetUniqueName() override { return unique_name_.c_str(); }
  const char16_t* GetDisplayName() override { return display_name_.c_str(); }
  VseResult GetCapability(int32_t index, VideoFormat* format) override;
  bool IsSameDevice(IVideoCapDevice* other) override;
  bool IsHardwareDevice() override { return !software_; }
  bool IsSoftwareDevice() override { return software_; }
  bool RemoveCapability(const VideoFormat& format) override;

  vz::V4l2Port& port() const { return port_; }
  const vz::CameraNode& node() const { return node_; }
  const std::vector<vz::CameraFormatRange>& ranges() const { return ranges_; }

 private:
  ~CV4l2CapDevice() override = default;
  vz::V4l2Port& port_;
  vz::CameraNode node_;
  std::vector<vz::CameraFormatRange> ranges_;
  std::u16string unique_name_;
  std::u16string display_name_;
  bool software_ = false;
  std::vector<VideoFormat> capabilities_;
};

// The device behind an engine device, or null when it is not a V4L2 camera.
CV4l2CapDevice* AsV4l2Device(IVideoCapDevice* device);

class CV4l2CapDeviceEnumerator final : public TEngineObject<IVideoCapDeviceEnumerator> {
 public:
  explicit CV4l2CapDeviceEnumerator(vz::V4l2Port& port) : port_(port) {}
  // Lists the cameras; none is not a failure.
  bool Init();
  IVideoCapDevice* GetNextDevice() override;
  bool ContainsDevice(IVideoCapDevice* device) override;
  void Reset() override { cursor_ = 0; }
  int32_t count() const { return static_cast<int32_t>(devices_.size()); }

 private:
  ~CV4l2CapDeviceEnumerator() override;
  vz::V4l2Port& port_;
  std::vector<IVideoCapDevice*> devices_;  // one reference each
  size_t cursor_ = 0;
};

class CV4l2CapDevicesNotifier final : public TEngineObject<IVideoCapDevicesNotifier> {
 public:
  explicit CV4l2CapDevicesNotifier(vz::V4l2Port& port) : port_(port) {}
  // Lists the cameras as the set last seen and starts watching. Where the
  // system gives no notifications (no netlink, as in some containers) it
  // logs that and keeps the sink without watching: the cameras still work.
  bool Init(IVideoCapDeviceNotifySink* sink);
  void Uninit();
  // Lists again and tells the sink of each camera that came (0), then of
  // each that went (1).
  void OnDeviceChange();

 private:
  ~CV4l2CapDevicesNotifier() override { Uninit(); }
  vz::V4l2Port& port_;
  IVideoCapDeviceNotifySink* sink_ = nullptr;
  CV4l2CapDeviceEnumerator* seen_ = nullptr;
  std::unique_ptr<vz::CameraHotplugMonitor> monitor_;
};

}  // namespace vzcapture

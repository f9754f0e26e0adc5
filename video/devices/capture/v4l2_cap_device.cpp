#include "video/devices/capture/v4l2_cap_device.h"

#include "common/trace_client.h"
#include "platform/camera/v4l2_camera.h"
#include "platform/run_loop.h"
#include "platform/text.h"
#include "video/devices/capture/capture_capabilities.h"

namespace vzcapture {

CV4l2CapDevice::CV4l2CapDevice(vz::V4l2Port& port, const vz::CameraNode& node,
                               std::vector<vz::CameraFormatRange> ranges)
    : port_(port), node_(node), ranges_(std::move(ranges)) {
  std::u16string unique = vz::Utf8ToUtf16(node.unique_name);
  if (unique.size() <= kMaxUniqueNameLength) {
    unique_name_ = std::move(unique);
    software_ = node.software;
  } else {
    VZ_LOG_ERROR("GetDisplayName Failed, hr=%d", static_cast<int>(VSE_E_FAIL));
  }
  std::u16string display = vz::Utf8ToUtf16(node.display_name);
  if (display.size() <= kMaxDisplayNameLength) display_name_ = std::move(display);
  for (const auto& range : ranges_) AddCapabilities(range, &capabilities_);
  VZ_LOG("fill done,fn:%s, dn:%s", node.unique_name.c_str(), node.display_name.c_str());
}

VseResult CV4l2CapDevice::GetCapability(int32_t index, VideoFormat* format) {
  if (format == nullptr || index < 0) return VSE_E_INVALIDARG;
  if (static_cast<size_t>(index) >= capabilities_.size()) return 1;
  *format = capabilities_[static_cast<size_t>(index)];
  return VSE_S_OK;
}

bool CV4l2CapDevice::IsSameDevice(IVideoCapDevice* other) {
  if (other == nullptr) return false;
  const char16_t* name = other->GetUniqueName();
  return name != nullptr && unique_name_ == name;
}

bool CV4l2CapDevice::RemoveCapability(const VideoFormat& format) {
  for (auto at = capabilities_.begin(); at != capabilities_.end(); ++at) {
    if (at->video_type == format.video_type && at->width == format.width && at->height == format.height) {
      capabilities_.erase(at);
      return true;
    }
  }
  return false;
}

CV4l2CapDevice* AsV4l2Device(IVideoCapDevice* device) { return dynamic_cast<CV4l2CapDevice*>(device); }

CV4l2CapDeviceEnumerator::~CV4l2CapDeviceEnumerator() {
  for (IVideoCapDevice* device : devices_) device->Release();
}

bool CV4l2CapDeviceEnumerator::Init() {
  for (const vz::CameraNode& node : vz::ListV4l2Cameras(port_)) {
    vz::V4l2Camera camera(port_);
    std::vector<vz::CameraFormatRange> ranges;
    if (camera.Open(node.node) == 0) ranges = camera.Formats();
    auto* device = new CV4l2CapDevice(port_, node, std::move(ranges));
    device->AddRef();
    devices_.push_back(device);
  }
  VZ_LOG("Camera device count: [%d]", count());
  VZ_COLLECT("Camera device count: [%d]", count());
  return true;
}

IVideoCapDevice* CV4l2CapDeviceEnumerator::GetNextDevice() {
  return cursor_ < devices_.size() ? devices_[cursor_++] : nullptr;
}

bool CV4l2CapDeviceEnumerator::ContainsDevice(IVideoCapDevice* device) {
  for (IVideoCapDevice* listed : devices_) {
    if (listed->IsSameDevice(device)) return true;
  }
  return false;
}

bool CV4l2CapDevicesNotifier::Init(IVideoCapDeviceNotifySink* sink) {
  Uninit();
  auto* seen = new CV4l2CapDeviceEnumerator(port_);
  seen->AddRef();
  seen->Init();
  monitor_ = port_.CreateHotplugMonitor();
  int error = 0;
  // Events come in bursts (a camera has several nodes); one look after the last.
  const bool watching = monitor_ != nullptr && monitor_->Start([this] {
    vz::RunLoop::ForCurrentThread().StartTimer(this, 1, kHotplugDebounceMs, [this] {
      vz::RunLoop::ForCurrentThread().KillTimer(this, 1);
      OnDeviceChange();
    });
  }, &error);
  if (!watching) {
    // Cameras still work, only their comings and goings are not heard of.
    VZ_LOG_ERROR("camera hot-plug cannot be watched, errno=%d", error);
    monitor_.reset();
  }
  seen_ = seen;
  sink_ = sink;
  return true;
}

void CV4l2CapDevicesNotifier::Uninit() {
  if (monitor_ != nullptr) monitor_->Stop();
  monitor_.reset();
  if (vz::RunLoop* loop = vz::RunLoop::Current(); loop != nullptr && loop->BelongsToCurrentThread()) {
    loop->KillTimers(this);
  }
  sink_ = nullptr;
  if (seen_ != nullptr) seen_->Release();
  seen_ = nullptr;
}

void CV4l2CapDevicesNotifier::OnDeviceChange() {
  if (sink_ == nullptr || seen_ == nullptr) return;
  auto* now = new CV4l2CapDeviceEnumerator(port_);
  now->AddRef();
  now->Init();
  // The sink may call back into the controller, even Uninit: both sets stay
  // held until the walk is over.
  CV4l2CapDeviceEnumerator* old = seen_;
  old->AddRef();
  now->Reset();
  while (IVideoCapDevice* device = now->GetNextDevice()) {
    if (sink_ != nullptr && !old->ContainsDevice(device)) sink_->OnCameraNotify(device, 0);
  }
  old->Reset();
  while (IVideoCapDevice* device = old->GetNextDevice()) {
    if (sink_ != nullptr && !now->ContainsDevice(device)) sink_->OnCameraNotify(device, 1);
  }
  if (seen_ == old) {
    seen_ = now;
    now->Reset();
    old->Release();
  } else {
    now->Release();
  }
  old->Release();
}

}  // namespace vzcapture

#include "video/devices/capture/capture_backend.h"

#include <atomic>

#include "common/trace_client.h"
#include "video/devices/capture/v4l2_cap_device.h"
#include "video/devices/capture/v4l2_cap_engine.h"
#include "video/engine/core/cap_engine_retries.h"

namespace vzcapture {
namespace {

std::atomic<vz::V4l2Port*> g_port{nullptr};
VideoDeviceFactories g_table{};

VseResult TableEnumerator(IVideoCapDeviceEnumerator** out) { return MakeV4l2DeviceEnumerator(*g_port.load(), out); }
VseResult TableNotifier(IVideoCapDeviceNotifySink* sink, IVideoCapDevicesNotifier** out) {
  return MakeV4l2DevicesNotifier(*g_port.load(), sink, out);
}

}  // namespace

VseResult MakeV4l2DeviceEnumerator(vz::V4l2Port& port, IVideoCapDeviceEnumerator** out) {
  if (out == nullptr) return VSE_E_INVALIDARG;
  auto* devices = new CV4l2CapDeviceEnumerator(port);
  devices->AddRef();
  if (!devices->Init()) {
    devices->Release();
    *out = nullptr;
    return VSE_E_FAIL;
  }
  *out = devices;
  return VSE_S_OK;
}

VseResult MakeV4l2DevicesNotifier(vz::V4l2Port& port, IVideoCapDeviceNotifySink* sink,
                                  IVideoCapDevicesNotifier** out) {
  if (out == nullptr) return VSE_E_INVALIDARG;
  auto* notifier = new CV4l2CapDevicesNotifier(port);
  notifier->AddRef();
  if (!notifier->Init(sink)) {
    notifier->Release();
    *out = nullptr;
    return VSE_E_FAIL;
  }
  *out = notifier;
  return VSE_S_OK;
}

VseResult MakeV4l2CapEngine(IVideoCapDevice* device, const VideoFormat* format, IVideoSampleAllocator* allocator,
                            IVideoCapEngine** out) {
  if (out == nullptr) return VSE_E_INVALIDARG;
  *out = nullptr;
  int32_t strict = 0;  // shared by every try
  return MakeEngineWithRetries(format, [&](const VideoFormat* wanted) -> VseResult {
    auto* engine = new CV4l2CapEngine();
    engine->AddRef();
    const VseResult made = engine->Init(device, wanted, allocator, &strict);
    if (made != VSE_S_OK) {
      engine->Release();
      return made;
    }
    *out = engine;
    return VSE_S_OK;
  });
}

const VideoDeviceFactories* InstallCaptureBackend(vz::V4l2Port& port) {
  g_port.store(&port);
  const VideoDeviceFactories* previous = SetVideoDeviceFactories(nullptr);
  g_table = previous != nullptr ? *previous : VideoDeviceFactories{};
  g_table.make_device_enumerator = &TableEnumerator;
  g_table.make_devices_notifier = &TableNotifier;
  g_table.make_cap_engine = &MakeV4l2CapEngine;
  g_table.cap_engine_makes_retries = true;
  if (g_table.make_renderer == nullptr) g_table.make_renderer = &MakeDefaultVideoRenderer;
  SetVideoDeviceFactories(&g_table);
  VZ_LOG("the V4L2 cameras are the capture devices");
  return previous;
}

}  // namespace vzcapture

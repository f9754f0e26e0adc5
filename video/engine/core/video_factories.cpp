#include "video/engine/core/video_factories.h"

#include <atomic>

#include "common/trace_client.h"
#include "video/engine/core/cap_engine_retries.h"

namespace {

VseResult NoEnumerator(IVideoCapDeviceEnumerator**) {
  VZ_LOG_ERROR("no camera backend installed");
  return VSE_E_FAIL;
}
VseResult NoNotifier(IVideoCapDeviceNotifySink*, IVideoCapDevicesNotifier**) {
  VZ_LOG_ERROR("no camera backend installed");
  return VSE_E_FAIL;
}
VseResult NoCapEngine(IVideoCapDevice*, const VideoFormat*, IVideoSampleAllocator*, IVideoCapEngine**) {
  VZ_LOG_ERROR("no camera backend installed");
  return VSE_E_FAIL;
}
std::atomic<VseResult (*)(void*, IVideoRenderer**)> g_default_renderer{nullptr};

const VideoDeviceFactories kBuiltIn = {NoEnumerator, NoNotifier, NoCapEngine, MakeDefaultVideoRenderer};
std::atomic<const VideoDeviceFactories*> g_table{&kBuiltIn};

const VideoDeviceFactories& Table() { return *g_table.load(std::memory_order_acquire); }

// What a factory reports for its maker's answer.
VseResult FactoryResult(VseResult made) {
  if (made == VSE_S_OK || made == VSE_E_OUTOFMEMORY) return made;
  return VSE_E_FAIL;
}

}  // namespace

const VideoDeviceFactories* SetVideoDeviceFactories(const VideoDeviceFactories* table) {
  const VideoDeviceFactories* previous = g_table.exchange(table ? table : &kBuiltIn, std::memory_order_acq_rel);
  return previous == &kBuiltIn ? nullptr : previous;
}

VseResult CreateVideoCapDeviceEnumerator(IVideoCapDeviceEnumerator** out) {
  if (out == nullptr) return VSE_E_INVALIDARG;
  *out = nullptr;
  return FactoryResult(Table().make_device_enumerator(out));
}

VseResult CreateVideoCapDevicesNotifier(IVideoCapDeviceNotifySink* sink, IVideoCapDevicesNotifier** out) {
  if (out == nullptr) return VSE_E_INVALIDARG;
  *out = nullptr;
  return FactoryResult(Table().make_devices_notifier(sink, out));
}

VseResult CreateVideoCapEngine(IVideoCapDevice* device, const VideoFormat* format, IVideoSampleAllocator* allocator,
                               IVideoCapEngine** out) {
  if (out == nullptr) return VSE_E_INVALIDARG;
  *out = nullptr;
  const VideoDeviceFactories& table = Table();
  if (table.cap_engine_makes_retries) return FactoryResult(table.make_cap_engine(device, format, allocator, out));
  return MakeEngineWithRetries(format, [&](const VideoFormat* wanted) {
    return table.make_cap_engine(device, wanted, allocator, out);
  });
}

void SetDefaultVideoRendererMaker(VseResult (*maker)(void* owner_view, IVideoRenderer** out)) {
  g_default_renderer.store(maker, std::memory_order_release);
}

VseResult MakeDefaultVideoRenderer(void* owner_view, IVideoRenderer** out) {
  VseResult (*maker)(void*, IVideoRenderer**) = g_default_renderer.load(std::memory_order_acquire);
  if (maker == nullptr) {
    VZ_LOG_ERROR("no renderer backend installed");
    return VSE_E_FAIL;
  }
  return maker(owner_view, out);
}

VseResult CreateVideoRenderer(void* owner_view, IVideoRenderer** out) {
  if (out == nullptr) return VSE_E_INVALIDARG;
  *out = nullptr;
  return FactoryResult(Table().make_renderer(owner_view, out));
}

VseResult CreateVideoOptionsWindow(IVideoOptionsHost* host, IVideoRenderService* render_service,
                                   IVideoOptionsSink* options_sink, IVideoOptionsWindow** out) {
  if (out == nullptr) return VSE_E_INVALIDARG;
  *out = nullptr;
  if (host == nullptr || render_service == nullptr || options_sink == nullptr) {
    VZ_LOG_ERROR("options window needs its host, render service and options sink");
    return VSE_E_INVALIDARG;
  }
  const VideoDeviceFactories& table = Table();
  if (table.make_options_window == nullptr) {
    VZ_LOG_ERROR("no options window backend installed");
    return VSE_E_FAIL;
  }
  const VseResult made = table.make_options_window(host, render_service, options_sink, out);
  if (made != VSE_S_OK) {
    // A maker that fails leaves nothing for the caller to destroy.
    delete *out;
    *out = nullptr;
    VZ_LOG_ERROR("options window could not be made, hr=0x%08X", made);
  }
  return FactoryResult(made);
}

VseResult DestroyVideoOptionsWindow(IVideoOptionsWindow* window) {
  if (window == nullptr) return VSE_E_INVALIDARG;
  window->UninitializeWindow();
  delete window;
  return VSE_S_OK;
}

// libvzlink.so's two exports (ordinals 1 and 2 of the loader's table).
#include <new>
#include <type_traits>

#include "common/trace_client.h"
#include "weblink/link/vz_link_inst_controller.h"

#define VZ_LINK_EXPORT extern "C" __attribute__((visibility("default")))

// The load and unload lines (lifetime/vz_link_lifetime_log.cpp).
void VzLinkLifetimeAnchor();

// A link whose helper window cannot start would deliver nothing, not even the
// pipe's loss; the client sees a missing link instead.
VZ_LINK_EXPORT IVzLinkInstance* CreateVzLinkInstance(IVzLinkInstanceSink* sink) {
  VzLinkLifetimeAnchor();
  VZ_LOG("DLLAPI : CreateVzLinkInstance");
  auto* instance = new (std::nothrow) CVzLinkInstController(sink);
  if (instance == nullptr) return nullptr;
  if (!instance->Start()) {
    VZ_LOG_ERROR("the helper window cannot start: no link is made");
    instance->Release();
    return nullptr;
  }
  return instance;
}

VZ_LINK_EXPORT int32_t ReleaseVzLinkInstance(IVzLinkInstance* instance) {
  VZ_LOG("DLLAPI : ReleaseVzLinkInstance");
  if (instance == nullptr) return 1;
  auto* controller = static_cast<CVzLinkInstController*>(instance);
  controller->StopListen();
  controller->WithdrawTracerCollect();
  // Requests still queued are dropped undelivered and their records freed.
  controller->Stop();
  controller->Release();
  return 1;
}

static_assert(std::is_same_v<decltype(&CreateVzLinkInstance), CreateVzLinkInstanceFn>);
static_assert(std::is_same_v<decltype(&ReleaseVzLinkInstance), ReleaseVzLinkInstanceFn>);

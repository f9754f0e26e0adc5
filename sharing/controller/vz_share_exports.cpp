// libvzshare.so's two exports (ordinals 1 and 2 of the loader's table).
#include <new>
#include <type_traits>

#include "common/trace_client.h"
#include "sharing/controller/engine_controller.h"

#define VZ_SHARE_EXPORT extern "C" __attribute__((visibility("default")))

// The load and unload lines (lifetime/vz_share_lifetime_log.cpp).
void VzShareLifetimeAnchor();

// The second argument is not used (the client passes 1).
VZ_SHARE_EXPORT IDSProvider* DSCreateInstance(IDSProviderSink* sink, int32_t /*mode*/) {
  VzShareLifetimeAnchor();
  VZ_LOG("DLLAPI : DSCreateInstance");
  auto* engine = new (std::nothrow) CEnginController(sink);
  if (engine == nullptr) return nullptr;
  if (engine->IsConstructed() == 0) {
    delete engine;
    return nullptr;
  }
  return engine;
}

// Safe from inside any of the engine's callbacks: the engine goes silent at
// once and is deleted when its own frames have returned.
VZ_SHARE_EXPORT int32_t DSDeleteInstance(IDSProvider* engine) {
  VZ_LOG("DLLAPI : DSDeleteInstance");
  if (engine != nullptr) static_cast<CEnginController*>(engine)->DeleteInstance();
  return 1;
}

static_assert(std::is_same_v<decltype(&DSCreateInstance), DSCreateInstanceFn>);
static_assert(std::is_same_v<decltype(&DSDeleteInstance), DSDeleteInstanceFn>);

#include "sharing/controller/vz_grab_wrapper.h"


#include "common/trace_client.h"
#include "platform/module_loader.h"

namespace {

constexpr char kCreateExport[] = "DSCreateCapture";
constexpr char kReleaseExport[] = "DSReleaseCapture";

}  // namespace

CVzGrabWrapper::CVzGrabWrapper(const char* library) {
  VZ_LOG("");
  // One handle per library for the process's life: the library stays mapped
  // whatever the wrappers do, so a later wrapper needs no second handle.
  module_ = vz::LoadModuleOnce(library).module;
  if (module_ == nullptr) VZ_LOG_ERROR("Can't find DS caputre dll!");
}

CVzGrabWrapper::~CVzGrabWrapper() {
  VZ_LOG("");
  ReleaseProviderInstance();
  module_ = nullptr;  // never unloaded
}

int32_t CVzGrabWrapper::CreateProviderInstance(IVzGrabProviderSink* sink) {
  VZ_LOG("");
  if (module_ == nullptr) return 0;
  if (provider_ != nullptr) return 1;  // one provider per wrapper
  auto create =
      reinterpret_cast<DSCreateCaptureFn>(vz::GetModuleSymbol(static_cast<vz::ModuleHandle>(module_), kCreateExport));
  if (create == nullptr) {
    VZ_LOG_ERROR("no export %s", kCreateExport);
    return 0;
  }
  provider_ = create(sink);
  return provider_ != nullptr ? 1 : 0;
}

int32_t CVzGrabWrapper::ReleaseProviderInstance() {
  VZ_LOG("");
  if (provider_ == nullptr) return 0;
  // Forgotten first: a capture callback made while it stops finds none.
  IVzGrabProvider* provider = provider_;
  provider_ = nullptr;
  provider->StopCapture();
  if (module_ == nullptr) return 0;
  auto release =
      reinterpret_cast<DSReleaseCaptureFn>(vz::GetModuleSymbol(static_cast<vz::ModuleHandle>(module_), kReleaseExport));
  if (release == nullptr) {
    VZ_LOG_ERROR("no export %s: the capture stays alive", kReleaseExport);
    return 0;
  }
  return release(provider);
}

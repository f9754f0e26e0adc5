#include "capture/controller/capture_library.h"

#include <atomic>
#include <memory>
#include <new>

#include "capture/controller/capture_messages.h"
#include "capture/controller/ds_helper_window.h"
#include "capture/controller/helper_thread.h"
#include "capture/controller/sharing_base_controller.h"
#include "common/critical_section_lock.h"
#include "common/scoped_lock.h"
#include "common/trace_client.h"
#include "platform/desktop_switch.h"
#include "platform/screen/display_changes.h"

namespace {

struct CaptureLibraryState {
  CriticalSectionLock lock;  // serialises the stop in a release
  std::atomic<CSharingBaseController*> controller{nullptr};
  CHelperThread* helper = nullptr;
  CDsHelperWindow* window = nullptr;
  std::unique_ptr<vz::DisplayChangeWatch> display_watch;
};

CaptureLibraryState& State() {
  static CaptureLibraryState state;  // lives as long as the library
  return state;
}

// The helper window's procedure: everything is ignored while no controller
// lives.
intptr_t HelperProcedure(uint32_t message, uintptr_t wparam, intptr_t lparam) {
  CSharingBaseController* controller = State().controller.load(std::memory_order_acquire);
  return controller ? controller->HandleHelperMessage(message, wparam, lparam) : 0;
}

}  // namespace

IVzGrabProvider* CaptureLibraryCreate(IVzGrabProviderSink* sink, const CaptureEnvironment& environment) {
  VZ_LOG(">DLLAPI : DSCreateCapture");
  CaptureLibraryState& state = State();
  if (state.controller.load() != nullptr) {
    VZ_LOG_ERROR("Must release previous instance before start a new instance!");
    return nullptr;
  }
  if (sink == nullptr) {
    VZ_LOG_ERROR("Must be provided a delegate for data transation!");
    return nullptr;
  }
  auto window = std::make_unique<CDsHelperWindow>();
  std::unique_ptr<vz::DesktopSwitchEvents> switches =
      environment.open_desktop_switch ? environment.open_desktop_switch() : nullptr;
  auto* controller = new (std::nothrow) CSharingBaseController(sink, window.get(), environment);
  auto* helper = new (std::nothrow) CHelperThread(window.get(), std::move(switches));
  if (controller == nullptr || helper == nullptr || !window->Create(HelperProcedure)) {
    VZ_LOG_ERROR("Initialize instance failed:%llx, %llx", vz::LogAddress(controller), vz::LogAddress(helper));
    delete helper;
    delete controller;
    return nullptr;
  }
  state.window = window.release();
  state.helper = helper;
  state.controller.store(controller, std::memory_order_release);
  helper->Start();
  if (environment.watch_display_changes) {
    CDsHelperWindow* target = state.window;
    state.display_watch = environment.watch_display_changes(*state.window->loop(),
                                                            [target] { target->Post(WMDS_DISPLAY_CHANGE); });
  }
  return controller;
}

int32_t CaptureLibraryRelease(IVzGrabProvider* provider) {
  VZ_LOG(">DLLAPI : DSReleaseCapture");
  CaptureLibraryState& state = State();
  CSharingBaseController* controller = state.controller.load();
  IVzGrabProvider* live = controller;
  if (provider != live) {
    VZ_LOG_ERROR("instance not match!");
    return 0;
  }
  if (controller != nullptr) {
    {
      CScopedLock lock(state.lock);
      controller->StopSharing();
    }
    VZ_LOG("stopping sharing and delete host:%llx", vz::LogAddress(controller));
    state.controller.store(nullptr, std::memory_order_release);
    delete controller;
  }
  state.display_watch.reset();
  if (state.helper != nullptr) {
    state.helper->Stop(state.window ? state.window->loop() : nullptr);
    delete state.helper;
    state.helper = nullptr;
  }
  if (state.window != nullptr) {
    state.window->Destroy();
    delete state.window;
    state.window = nullptr;
  }
  VZ_LOG("Release End");
  return 1;
}

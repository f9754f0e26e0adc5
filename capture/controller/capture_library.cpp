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
#include "platform/run_loop.h"
#include "platform/screen/display_changes.h"

namespace {

// One capture with its helper window and desktop-switch thread. The window's
// procedure reaches the controller through here, so that a window outliving
// its controller for a moment answers 0 and never reaches another capture.
struct CaptureInstance {
  CSharingBaseController* controller = nullptr;
  CHelperThread* helper = nullptr;
  CDsHelperWindow window;
  std::unique_ptr<vz::DisplayChangeWatch> display_watch;

  intptr_t Procedure(uint32_t message, uintptr_t wparam, intptr_t lparam) {
    return controller ? controller->HandleHelperMessage(message, wparam, lparam) : 0;
  }
};

struct CaptureLibraryState {
  CriticalSectionLock lock;  // serialises the stop in a release
  CaptureInstance* live = nullptr;
};

CaptureLibraryState& State() {
  static CaptureLibraryState state;  // lives as long as the library
  return state;
}

// Stops and frees an instance whose capture is no longer live.
void DestroyInstance(CaptureInstance* instance) {
  vz::RunLoop* loop = instance->window.loop();
  CSharingBaseController* controller = instance->controller;
  instance->controller = nullptr;
  delete controller;  // joins the capture thread, serving its hand-overs meanwhile
  instance->display_watch.reset();
  if (instance->helper != nullptr) {
    instance->helper->Stop(loop);
    delete instance->helper;
  }
  instance->window.Destroy();
  delete instance;
}

}  // namespace

IVzGrabProvider* CaptureLibraryCreate(IVzGrabProviderSink* sink, const CaptureEnvironment& environment) {
  VZ_LOG(">DLLAPI : DSCreateCapture");
  CaptureLibraryState& state = State();
  if (state.live != nullptr) {
    VZ_LOG_ERROR("Must release previous instance before start a new instance!");
    return nullptr;
  }
  if (sink == nullptr) {
    VZ_LOG_ERROR("Must be provided a delegate for data transation!");
    return nullptr;
  }
  auto* instance = new (std::nothrow) CaptureInstance;
  if (instance == nullptr) {
    VZ_LOG_ERROR("Initialize instance failed:%llx, %llx", 0ull, 0ull);
    return nullptr;
  }
  std::unique_ptr<vz::DesktopSwitchEvents> switches =
      environment.open_desktop_switch ? environment.open_desktop_switch() : nullptr;
  instance->controller = new (std::nothrow) CSharingBaseController(sink, &instance->window, environment);
  instance->helper = new (std::nothrow) CHelperThread(&instance->window, std::move(switches));
  if (instance->controller == nullptr || instance->helper == nullptr ||
      !instance->window.Create([instance](uint32_t message, uintptr_t wparam, intptr_t lparam) {
        return instance->Procedure(message, wparam, lparam);
      })) {
    VZ_LOG_ERROR("Initialize instance failed:%llx, %llx", vz::LogAddress(instance->controller),
                 vz::LogAddress(instance->helper));
    DestroyInstance(instance);
    return nullptr;
  }
  instance->helper->Start();
  if (environment.watch_display_changes) {
    CDsHelperWindow* target = &instance->window;
    instance->display_watch = environment.watch_display_changes(*instance->window.loop(),
                                                                [target] { target->Post(WMDS_DISPLAY_CHANGE); });
  }
  state.live = instance;
  return instance->controller;
}

int32_t CaptureLibraryRelease(IVzGrabProvider* provider) {
  VZ_LOG(">DLLAPI : DSReleaseCapture");
  CaptureLibraryState& state = State();
  CaptureInstance* instance = state.live;
  IVzGrabProvider* live = instance ? instance->controller : nullptr;
  if (provider != live) {
    VZ_LOG_ERROR("instance not match!");
    return 0;
  }
  if (instance == nullptr) {
    VZ_LOG("Release End");
    return 1;
  }
  CSharingBaseController* controller = instance->controller;
  {
    CScopedLock lock(state.lock);
    controller->StopSharing();
  }
  VZ_LOG("stopping sharing and delete host:%llx", vz::LogAddress(controller));
  state.live = nullptr;
  if (controller->InHandOver()) {
    // Released from inside a sink call: the controller is on this thread's
    // stack and its capture thread waits for the call. Everything goes on
    // the loop's next turn; the caller may make a new capture meanwhile.
    vz::RunLoop* loop = instance->window.loop();
    if (loop == nullptr || !loop->Post([instance] { DestroyInstance(instance); })) {
      VZ_LOG_ERROR("the released capture cannot be freed");
    }
  } else {
    DestroyInstance(instance);
  }
  VZ_LOG("Release End");
  return 1;
}

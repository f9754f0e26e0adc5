// libvzvideo.so's two exports (ordinals 1 and 2 of the loader's table).
#include <new>
#include <type_traits>

#include "common/trace_client.h"
#include "platform/ui/window.h"
#include "video/devices/ui/video_main_panel_window.h"
#include "video/devices/ui/win_video_controller.h"
#include "video/engine/client/video_controller.h"

#define VZ_VIDEO_EXPORT extern "C" __attribute__((visibility("default")))

// The load and unload lines and the device setup (lifetime/).
void VzVideoLifetimeAnchor();

VZ_VIDEO_EXPORT IAVProvider* VideoCreateInstance(IAVProviderSink* sink) {
  VzVideoLifetimeAnchor();
  VZ_LOG(">API : VideoCreateInstance");
  // With windows on this thread the controller shows the video panel;
  // without (a program with no display) it runs the conference alone.
  CVideoController* controller = nullptr;
  if (vz::WindowSystem::Current() != nullptr) {
    controller = new (std::nothrow) vzpanel::CWinVideoController(sink, vzpanel::MakeWindowPanelFactory());
  } else {
    VZ_LOG("no window system: the video conference runs without its panel");
    controller = new (std::nothrow) CVideoController(sink);
  }
  if (controller == nullptr) return nullptr;
  if (!controller->Start()) {
    VZ_LOG_ERROR("the helper mailbox could not start on this thread");
    controller->Release();
    return nullptr;
  }
  return controller;
}

// Safe from inside any sink callback: the controller's handlers touch
// nothing of it after calling the sink.
VZ_VIDEO_EXPORT int32_t VideoDeleteInstance(IAVProvider* provider) {
  VZ_LOG(">API : VideoDeleteInstance BEGING");
  if (provider != nullptr) {
    auto* controller = static_cast<CVideoController*>(provider);
    controller->LeaveVideo();
    controller->Stop();
    controller->Release();
  }
  VZ_LOG(">API : VideoDeleteInstance END");
  return 1;
}

static_assert(std::is_same_v<decltype(&VideoCreateInstance), VideoCreateInstanceFn>);
static_assert(std::is_same_v<decltype(&VideoDeleteInstance), VideoDeleteInstanceFn>);

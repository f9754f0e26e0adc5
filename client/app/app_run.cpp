#include "client/app/app_run.h"

#include <cstdlib>
#include <memory>

#include "client/app/application_version.h"
#include "client/app/frame_dialogs.h"
#include "client/app/hand_off_file.h"
#include "client/app/meet_main_controller.h"
#include "client/controller/app_win_components_controller.h"
#include "client/proxy/proxy_provider.h"
#include "client/sharingui/ds_ui_controller.h"
#include "common/trace_client.h"
#include "platform/device_change.h"
#include "platform/run_loop.h"
#include "platform/ui/window.h"

namespace {

bool IsWaitingStart(const AppPeerConfig* config) {
  return config != nullptr && config->MeetId[0] == u'\0' && config->PipeName[0] == u'\0';
}

// Clears the process's window system when Run ends.
struct CurrentWindowSystem {
  explicit CurrentWindowSystem(vz::WindowSystem* system) { vz::WindowSystem::SetCurrent(system); }
  ~CurrentWindowSystem() { vz::WindowSystem::SetCurrent(nullptr); }
};

}  // namespace

int Run(AppPeerConfig* config) {
  VZ_LOG("");
  vz::RunLoop& loop = vz::RunLoop::ForCurrentThread();
  const HandOffFile hand_off = HandOffFile::Default();
  // The UI thread's display connection; every window of the process uses it.
  const std::unique_ptr<vz::WindowSystem> display = vz::OpenDisplayWindowSystem();
  if (!display && IsWaitingStart(config)) {
    // Without a window nobody could see or cancel the waiting instance.
    const char* name = std::getenv("DISPLAY");
    VZ_LOG_ERROR("no display can be opened (DISPLAY [%s]): the connecting dialog cannot be shown. quit.",
                 name != nullptr ? name : "");
    hand_off.DeleteHandOffFile();
    return 1;
  }
  if (!display) VZ_LOG_WARN("no display can be opened: the dialogs are not shown");
  const CurrentWindowSystem current(display.get());
  IProxyProvider& proxies = ProcessProxyProvider();
  const std::unique_ptr<IFrameDialogs> dialogs =
      display ? CreateWindowedFrameDialogs(*display) : CreateUnshownFrameDialogs();
  const std::unique_ptr<vz::UsbDeviceMonitor> devices = vz::CreateUsbDeviceMonitor();

  ControllerPorts controller_ports;
  controller_ports.proxies = &proxies;
  controller_ports.application_version = &getApplicationVersion;
  MeetFramePorts frame_ports;
  frame_ports.loop = &loop;
  frame_ports.dialogs = dialogs.get();
  frame_ports.devices = devices.get();
  frame_ports.proxies = &proxies;
  frame_ports.hand_off = &hand_off;

  // Each sharing session's panel, selection and remote control (with a display only).
  CDSUIControllerFactory sharing_ui_factory;
  CMeetMainController frame(std::make_unique<CAppWinComponentsController>(controller_ports), frame_ports);
  if (display) frame.controller().SetSharingUIFactory(&sharing_ui_factory);
  frame.OnCreate();
  frame.SetAppConfig(config);
  loop.Run();
  VZ_LOG("the message loop ended");
  return 0;
}

#include "client/app/app_run.h"

#include <memory>

#include "client/app/application_version.h"
#include "client/app/frame_dialogs.h"
#include "client/app/hand_off_file.h"
#include "client/app/meet_main_controller.h"
#include "client/controller/app_win_components_controller.h"
#include "client/proxy/proxy_provider.h"
#include "common/trace_client.h"
#include "platform/device_change.h"
#include "platform/run_loop.h"

int Run(AppPeerConfig* config) {
  VZ_LOG("");
  vz::RunLoop& loop = vz::RunLoop::ForCurrentThread();
  IProxyProvider& proxies = ProcessProxyProvider();
  const std::unique_ptr<IFrameDialogs> dialogs = CreateUnshownFrameDialogs();
  const std::unique_ptr<vz::UsbDeviceMonitor> devices = vz::CreateUsbDeviceMonitor();
  const HandOffFile hand_off = HandOffFile::Default();

  ControllerPorts controller_ports;
  controller_ports.proxies = &proxies;
  controller_ports.application_version = &getApplicationVersion;
  MeetFramePorts frame_ports;
  frame_ports.loop = &loop;
  frame_ports.dialogs = dialogs.get();
  frame_ports.devices = devices.get();
  frame_ports.proxies = &proxies;
  frame_ports.hand_off = &hand_off;

  CMeetMainController frame(std::make_unique<CAppWinComponentsController>(controller_ports), frame_ports);
  frame.OnCreate();
  frame.SetAppConfig(config);
  loop.Run();
  VZ_LOG("the message loop ended");
  return 0;
}

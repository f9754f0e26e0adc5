// vzbridge: the native-messaging host the browser starts for the meeting
// page's extension.
#include <memory>

#include "bridge/bridge_version.h"
#include "bridge/byte_streams.h"
#include "bridge/file_version.h"
#include "bridge/launcher_backends.h"
#include "bridge/self_replace.h"
#include "bridge/velzar_meet_application.h"
#include "common/trace_client.h"
#include "platform/downloader.h"
#include "platform/fatal_signal.h"
#include "platform/process.h"
#include "platform/standard_io.h"
#include "trace/linked_tracer.h"

// This program carries its log writer linked in: libvztrace.so is not loaded.
extern "C" const bool vz_tracer_linked_in = true;

namespace {

// Ends the process from any thread: the log gets its end marker, then the
// process ends at once, without static destructors under live threads.
// Standard output is unbuffered, so every message written has left.
class HostProcessExit : public IProcessExit {
 public:
  void ExitProcess(int exit_code) override {
    vz::StopLinkedTracer();
    vz::ExitProcessNow(exit_code);
  }
};

}  // namespace

int main() {
  vz::StartLinkedTracer();
  vz::BindLinkedTracer(vz::LinkedTracerLogA, vz::LinkedTracerLogW, vz::LinkedTracerSetAppInfo,
                       vz::LinkedTracerSetMeetInfo);
  vz::IgnoreBrokenPipe();

  const std::string own_version = ParseVersionText(VZ_BRIDGE_VERSION);
  TraceSetAppInfo(vz::kLinkedAppName, own_version.c_str());

  StandardInput input;
  StandardOutput output;
  FileSelfReplace self_replace(vz::ExecutablePath());
  HostProcessExit process_exit;
  SidecarVersionSource versions;
  SystemProcessRunner processes;
  const std::unique_ptr<vz::Downloader> downloader = vz::CreateDownloader();

  HostPorts ports;
  ports.output = &output;
  ports.own_version = own_version;
  ports.self_replace = &self_replace;
  ports.process_exit = &process_exit;
  ports.launcher.paths = SystemLauncherPaths();
  ports.launcher.versions = &versions;
  ports.launcher.processes = &processes;
  ports.launcher.downloader = downloader.get();

  int result;
  {
    CVelzarMeetApplication application(ports);
    result = application.RunMessageLoop(input);
  }
  vz::StopLinkedTracer();
  return result;
}

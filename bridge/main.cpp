// vzbridge: the native-messaging host the browser starts for the meeting
// page's extension.
#include <atomic>
#include <exception>
#include <memory>

#include "bridge/bridge_version.h"
#include "bridge/byte_streams.h"
#include "bridge/file_version.h"
#include "bridge/launcher_backends.h"
#include "bridge/self_replace.h"
#include "bridge/velzar_meet_application.h"
#include "common/trace_client.h"
#include "platform/downloader.h"
#include "platform/process.h"
#include "platform/standard_io.h"
#include "trace/linked_tracer.h"

// This program carries its log writer linked in: libvztrace.so is not loaded.
extern "C" const bool vz_tracer_linked_in = true;

namespace {

// Ends the host from any thread by ending its input: the main loop then
// stops the pipe server and the launcher and joins their threads, and main
// returns the code. No thread is left running behind the exit.
class HostProcessExit : public IProcessExit {
 public:
  explicit HostProcessExit(StandardInput& input) : input_(input) {}
  void ExitProcess(int exit_code) override {
    int none = kNoExit;
    exit_code_.compare_exchange_strong(none, exit_code);
    input_.Interrupt();
  }
  // The code asked for, or `otherwise` when no exit was asked for.
  int CodeOr(int otherwise) const {
    const int code = exit_code_.load();
    return code == kNoExit ? otherwise : code;
  }

 private:
  static constexpr int kNoExit = -1;
  StandardInput& input_;
  std::atomic<int> exit_code_{kNoExit};
};

int RunHost() {
  const std::string own_version = ParseVersionText(VZ_BRIDGE_VERSION);
  TraceSetAppInfo(vz::kLinkedAppName, own_version.c_str());

  StandardInput input;
  StandardOutput output;
  FileSelfReplace self_replace(vz::ExecutablePath());
  HostProcessExit process_exit(input);
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
  }  // stops and joins whatever still runs
  return process_exit.CodeOr(result);
}

}  // namespace

int main() {
  vz::StartLinkedTracer();
  vz::BindLinkedTracer(vz::LinkedTracerLogA, vz::LinkedTracerLogW, vz::LinkedTracerSetAppInfo,
                       vz::LinkedTracerSetMeetInfo);
  vz::IgnoreBrokenPipe();
  int result = 0;
  try {
    result = RunHost();
  } catch (const std::exception& error) {
    // Memory ran out outside a message (each message guards itself).
    VZ_LOG_ERROR("the host failed: %s", error.what());
  } catch (...) {
    VZ_LOG_ERROR("the host failed");
  }
  vz::StopLinkedTracer();
  return result;
}

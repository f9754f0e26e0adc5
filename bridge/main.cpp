// vzbridge: the native-messaging host the browser starts for the meeting
// page's extension.
#include <atomic>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>

#include "bridge/bridge_version.h"
#include "bridge/byte_streams.h"
#include "bridge/file_version.h"
#include "bridge/launcher_backends.h"
#include "bridge/self_replace.h"
#include "bridge/velzar_meet_application.h"
#include "common/native_message_framing.h"
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

constexpr char kUsage[] =
    "usage: vzbridge [<caller origin or manifest path> [<extension id>]] [--parent-window=<id>]\n"
    "vzbridge is the browser's native-messaging host for the meeting page's extension: the browser starts it\n"
    "with the arguments above and talks to it on standard input and output (32-bit length, then JSON); it\n"
    "starts VelzarHub from its own folder for a meeting. Its logs go to $XDG_RUNTIME_DIR/velzar.\n";

// The browser passes its caller's origin (or the manifest's path and the
// extension's id) and, on some systems, --parent-window=; those are taken and
// not used. 0: run; otherwise the exit code (after --help or a refused option).
int CheckArguments(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
  }
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.size() > 1 && arg[0] == '-' && arg.rfind("--parent-window=", 0) != 0) {
      std::fprintf(stderr, "vzbridge: unknown option \"%s\"\n%s", arg.c_str(), kUsage);
      return 2;
    }
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (const int code = CheckArguments(argc, argv); code >= 0) return code;
  vz::StartLinkedTracer();
  vz::BindLinkedTracer(vz::LinkedTracerLogA, vz::LinkedTracerLogW, vz::LinkedTracerSetAppInfo,
                       vz::LinkedTracerSetMeetInfo);
  vz::IgnoreBrokenPipe();
  // Room for a whole message of the browser's limit each way, so a large
  // block leaves in one write while the browser reads the one before.
  vz::EnlargeStandardInputPipe(kNativeMessageMaxToBrowser);
  vz::EnlargeStandardOutputPipe(kNativeMessageMaxToBrowser);
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

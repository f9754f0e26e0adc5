#pragma once
// The native-messaging host: reads the extension's messages, handles the
// start, stop and upgrade-disabled requests itself, forwards every other
// message over the pipe to VelzarHub, and writes to the extension what comes
// back and what the host itself has to say.
//
// Threads: the main thread runs RunMessageLoop (and so FeedExtensionJSON and
// stopApplication); the pipe server's thread calls the pipe callbacks; the
// launcher thread (and its download thread) the launcher callbacks. Every
// write to the extension goes through STDIN_WRITE under the application lock,
// so messages never interleave. stopApplication never holds that lock while
// it waits for a thread, so a callback that waits for the lock cannot block
// the stop.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "bridge/application_package_info.h"
#include "bridge/byte_streams.h"
#include "bridge/host_ports.h"
#include "bridge/launcher_dlg.h"
#include "bridge/launcher_sink.h"
#include "bridge/launcher_thread.h"
#include "bridge/pipe_callback.h"
#include "bridge/pipe_server.h"
#include "common/critical_section_lock.h"

struct JsonValue;

struct HostPorts {
  IByteOutput* output = nullptr;
  // "a.b.c.d", or "" when the host's own version cannot be read.
  std::string own_version;
  ISelfReplace* self_replace = nullptr;
  IProcessExit* process_exit = nullptr;
  LauncherPorts launcher;
  CPipeServer::Options pipe;
};

class CVelzarMeetApplication : public IPipeCallback, public IVelzarLauncherProviderSink {
 public:
  explicit CVelzarMeetApplication(const HostPorts& ports);
  // Stops whatever still runs.
  virtual ~CVelzarMeetApplication();
  CVelzarMeetApplication(const CVelzarMeetApplication&) = delete;
  CVelzarMeetApplication& operator=(const CVelzarMeetApplication&) = delete;

  // The main loop: one message after another until the input ends (closed,
  // a zero length, a cut-short or over-long message) or a message ends the
  // host. Returns 0.
  int RunMessageLoop(IByteInput& input);
  // Handles one message (`text` is zero-terminated after `length` bytes);
  // 0 means the host is to end.
  int FeedExtensionJSON(const char* text, int length);
  // Writes one message to the extension (standard output, despite the name).
  void STDIN_WRITE(std::string_view text);
  void SendStatusMessage(int32_t code, const char* type);
  // Stops the pipe server, the launcher and its thread, and waits for them.
  // Must not be called with the application lock held. Returns 1.
  int stopApplication();

  // IPipeCallback (pipe server thread).
  void OnConnect() override;
  void OnDisconnect() override;
  void OnReceiveTextData(const std::string& text) override;
  void OnReceiveBase64Data(uint32_t kind, const std::string& text) override;
  void OnReceiveLog(const std::string& text) override;
  void OnReceiveReport(const std::string& text) override;
  void OnWaitClient() override {}
  void OnReceiveValue1(int) override {}
  void OnReceiveValue2(int) override {}

  // IVelzarLauncherProviderSink (launcher and download threads).
  void OnStartApplicationResult(int result) override;
  void onUpgradeProgress(int percent) override;
  void onSystemErrorCode(int code) override;
  void onLog(const char* tag, const char* format, ...) override __attribute__((format(printf, 3, 4)));

 private:
  int HandleStartRequest(const JsonValue& message);
  // Sends the status and ends the process, all under the application lock,
  // so no other message is cut off halfway by the exit.
  void SendStatusAndExit(const char* type);

  const HostPorts ports_;
  CriticalSectionLock app_lock_;
  // Under app_lock_.
  std::unique_ptr<CPipeServer> pipe_server_;
  std::unique_ptr<LauncherThread> launcher_thread_;
  std::unique_ptr<CLauncherDlg> launcher_;
  bool stopping_ = false;  // stopApplication is taking things down
  std::string meet_id_, roster_id_, domain_, language_;
  int upgrade_disabled_ = 0;
  ApplicationPackageInfo package_info_{};
};

#pragma once
// The native-messaging host: reads the extension's messages, handles the
// start, stop and upgrade-disabled requests itself, forwards every other
// message over the pipe to VelzarHub, and writes to the extension what comes
// back and what the host itself has to say.
//
// Threads: the thread that makes the host owns it and runs RunMessageLoop
// (and so FeedExtensionJSON and stopApplication; called on another thread
// they are refused with a log line); the pipe server's thread calls the pipe callbacks; the
// launcher thread (and its download thread) the launcher callbacks. Every
// write to the extension goes through STDIN_WRITE under the application lock,
// so messages never interleave. stopApplication never holds that lock while
// it waits for a thread, so a callback that waits for the lock cannot block
// the stop. Nothing thrown on any of these threads ends the process: a
// message or step that fails that way is logged and handled as failed.
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
#include "common/native_message_framing.h"
#include "platform/run_loop.h"

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
  // a zero length, a cut-short or over-long message, or the input was
  // interrupted by an exit request) or a message ends the host. Returns 0.
  int RunMessageLoop(IByteInput& input);
  // Handles one message (`text` is zero-terminated after `length` bytes);
  // 0 means the host is to end.
  int FeedExtensionJSON(const char* text, int length);
  // Writes one message to the extension (standard output, despite the name).
  // A message over the browser's limit is not written (logged), and nothing
  // is written once the host is ending.
  void STDIN_WRITE(std::string_view text);
  void SendStatusMessage(int32_t code, const char* type);
  // Stops the pipe server, the launcher and its thread, and waits for them.
  // Must not be called with the application lock held. Returns 1.
  int stopApplication();

  // IPipeCallback (pipe server thread).
  void OnConnect() override;
  void OnDisconnect() override;
  void OnReceiveTextData(std::string_view text) override;
  void OnReceiveBase64Data(uint32_t kind, std::string_view text) override;
  void OnReceiveLog(std::string_view text) override;
  void OnReceiveReport(std::string_view text) override;
  void OnWaitClient() override {}
  void OnReceiveValue1(int) override {}
  void OnReceiveValue2(int) override {}

  // IVelzarLauncherProviderSink (launcher and download threads).
  void OnStartApplicationResult(int result) override;
  void onUpgradeProgress(int percent) override;
  void onSystemErrorCode(int code) override;
  void onLog(const char* tag, const char* format, ...) override __attribute__((format(printf, 3, 4)));

 private:
  bool OnOwnerThread(const char* operation) const;
  int FeedChecked(const char* text, int length);
  // A message the host does not handle itself: to the pipe.
  int RelayToClient(const char* text, int length);
  int HandleStartRequest(const JsonValue& message);
  // Sends the status and asks for the end of the host, under the
  // application lock: nothing is written after it.
  void SendStatusAndExit(const char* type, int32_t code = 0);
  // STDIN_WRITE of a message made of `count` parts (at most 8), written as
  // they lie behind one header.
  void WriteParts(const std::string_view* parts, size_t count);

  const HostPorts ports_;
  vz::RunLoop& owner_loop_;  // the loop of the thread that made the host
  CriticalSectionLock app_lock_;
  // Under app_lock_.
  std::unique_ptr<CPipeServer> pipe_server_;
  std::unique_ptr<LauncherThread> launcher_thread_;
  std::unique_ptr<CLauncherDlg> launcher_;
  bool stopping_ = false;  // stopApplication is taking things down
  bool exit_requested_ = false;  // the host is ending: nothing more is written
  std::string meet_id_, roster_id_, domain_, language_;
  int upgrade_disabled_ = 0;
  ApplicationPackageInfo package_info_{};
};

#include "bridge/velzar_meet_application.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <exception>

#include "bridge/extension_messages.h"
#include "bridge/json_plain_run.h"
#include "bridge/log_masking.h"
#include "bridge/message_type_scan.h"
#include "bridge/native_message.h"
#include "common/scoped_lock.h"
#include "common/trace_client.h"
#include "platform/clock.h"
#include "platform/process.h"
#include "platform/run_loop.h"
#include "platform/text.h"
#include "weblink/json/json_lookup.h"
#include "weblink/json/json_parser.h"

namespace {

constexpr uint32_t kClientDeadlineSeconds = 15;

// The log's view of an incoming message: more than 1,023 bytes are cut to
// 1,016 and the full length; secrets masked (log_masking.h).
std::string InputForLog(std::string_view text) {
  if (text.size() <= 1023) return vzbridge::MaskedMessageForLog(text);
  return vzbridge::MaskedMessageForLog(text.substr(0, 1016)) + "...[" + std::to_string(text.size()) + "]";
}

// The log's view of an outgoing message (made of parts): more than 255
// bytes are cut to 250; secrets masked.
std::string OutputForLog(const std::string_view* parts, size_t count, size_t size) {
  const size_t keep = size <= 255 ? size : 250;
  std::string line;
  line.reserve(keep + 3);
  for (size_t i = 0; i < count && line.size() < keep; ++i) line.append(parts[i].substr(0, keep - line.size()));
  line = vzbridge::MaskedMessageForLog(line);
  if (size > keep) line += "...";
  return line;
}

}  // namespace

CVelzarMeetApplication::CVelzarMeetApplication(const HostPorts& ports)
    : ports_(ports), owner_loop_(vz::RunLoop::ForCurrentThread()) {
  VZ_LOG_OBJ("");
}

CVelzarMeetApplication::~CVelzarMeetApplication() { stopApplication(); }

bool CVelzarMeetApplication::OnOwnerThread(const char* operation) const {
  if (owner_loop_.BelongsToCurrentThread()) return true;
  VZ_LOG_ERROR("%s called off the host's thread: refused", operation);
  return false;
}

int CVelzarMeetApplication::RunMessageLoop(IByteInput& input) {
  if (!OnOwnerThread("RunMessageLoop")) return 0;
  NativeMessageBuffer text;  // kept across messages, so its room is reused
  for (;;) {
    uint32_t length = 0;
    const NativeReadResult read = ReadNativeMessage(input, &text, &length);
    VZ_LOG("length [%u]", length);
    if (read == NativeReadResult::kTooLong) {
      VZ_LOG_ERROR("length [%u] is over the limit of %u bytes", length, kNativeMessageMaxLength);
    } else if (read == NativeReadResult::kNoMemory) {
      VZ_LOG_ERROR("no memory for a message of %u bytes", length);
    }
    if (read != NativeReadResult::kMessage) {
      VZ_LOG("** Port closed **");
      stopApplication();
      break;
    }
    VZ_LOG("msg [%d][%s]", static_cast<int>(text.size()), InputForLog(text.view()).c_str());
    if (!FeedExtensionJSON(text.data(), static_cast<int>(text.size()))) {
      VZ_LOG_ERROR("** Error cmd **");
      break;
    }
  }
  VZ_LOG("** Host quit! **");
  return 0;
}

int CVelzarMeetApplication::FeedExtensionJSON(const char* text, int length) {
  if (!OnOwnerThread("FeedExtensionJSON")) return 1;
  try {
    return FeedChecked(text, length);
  } catch (const std::exception& error) {
    // Memory ran out while handling it: this message fails, the host goes on.
    VZ_LOG_ERROR("a message of %d bytes failed: %s", length, error.what());
  } catch (...) {
    VZ_LOG_ERROR("a message of %d bytes failed", length);
  }
  return 1;
}

int CVelzarMeetApplication::FeedChecked(const char* text, int length) {
  {
    CScopedLock lock(app_lock_);
    if (exit_requested_) {
      VZ_LOG("the host is ending: a message of %d bytes is not handled", length);
      return 0;
    }
  }
  // What the host only relays is recognised by a scan of its bytes; its own
  // messages, and whatever the scan is unsure of, take the full parse.
  std::string_view scanned;
  if (ScanMessageType(std::string_view(text, static_cast<size_t>(length)), &scanned) && !scanned.empty() &&
      scanned != "MEET_APP_REQUEST_START" && scanned != "MEET_APP_REQUEST_STOP" &&
      scanned != "MEET_APP_UPGRADEDISABLED") {
    return RelayToClient(text, length);
  }
  const JsonDocument message = JsonParse(std::string_view(text, static_cast<size_t>(length)));
  if (!message) {
    // The whole text, a zero byte inside it included: an echo cut short would
    // hand the extension a fragment of its own message.
    STDIN_WRITE(std::string_view(text, static_cast<size_t>(length)));
    return 1;
  }
  const std::string type = JsonGetString(message->members(), "type");
  if (type.empty()) {
    STDIN_WRITE(std::string_view(text, static_cast<size_t>(length)));
    return 1;
  }
  if (type == "MEET_APP_REQUEST_START") {
    stopApplication();  // outside the lock: it waits for the threads whose callbacks take it
    CScopedLock lock(app_lock_);
    return HandleStartRequest(*message);
  }
  if (type == "MEET_APP_REQUEST_STOP") {
    stopApplication();
    return 0;
  }
  if (type == "MEET_APP_UPGRADEDISABLED") {
    CScopedLock lock(app_lock_);
    upgrade_disabled_ = 1;
    VZ_LOG("->MEET_APP_UPGRADEDISABLED");
    onLog("host", "Request ->MEET_APP_UPGRADEDISABLED");
    return 1;
  }
  return RelayToClient(text, length);
}

int CVelzarMeetApplication::RelayToClient(const char* text, int length) {
  CScopedLock lock(app_lock_);
  if (!pipe_server_) {
    SendStatusMessage(0, "MEET_APP_STOPPED");
    return 0;
  }
  pipe_server_->Send(text, length);
  return 1;
}

int CVelzarMeetApplication::HandleStartRequest(const JsonValue& message) {
  const JsonMembers members = message.members();
  const std::string add_on_version = JsonGetString(members, "add_on_version");
  if (ports_.own_version.empty()) {
    // Without its own version the host cannot judge; disabling itself for good would be worse.
    VZ_LOG_ERROR("own version unreadable; add-on version [%s] not checked", add_on_version.c_str());
  } else if (add_on_version != ports_.own_version) {
    VZ_LOG("add-on version [%s] differs from the host's [%s]", add_on_version.c_str(), ports_.own_version.c_str());
    ports_.self_replace->RenameForReplacement();
    SendStatusAndExit("MEET_ADDON_NEED_UPDATE");
    return 0;
  }

  domain_ = JsonGetString(members, "domain");
  meet_id_ = JsonGetString(members, "meetid");
  roster_id_ = JsonGetString(members, "rosterid");
  language_ = JsonGetString(members, "language");
  TraceSetMeetInfo(meet_id_.c_str(), roster_id_.c_str());

  std::memset(&package_info_, 0, sizeof(package_info_));
  ReadApplicationPackageInfo(JsonGetString(members, "application_pkg"), &package_info_);

  pipe_server_ = std::make_unique<CPipeServer>(this, ports_.pipe);
  if (!pipe_server_->Start()) {
    // No pipe, no client can ever connect: say so instead of waiting for one.
    VZ_LOG_ERROR("the pipe server did not start");
    pipe_server_.reset();
    SendStatusMessage(0, "MEET_APP_STOPPED");
    return 0;
  }

  auto thread = std::make_unique<LauncherThread>();
  if (!thread->Start()) {
    // No launcher, no client: say so instead of waiting for one.
    SendStatusMessage(0, "MEET_APP_STOPPED");
    return 0;
  }
  launcher_ = std::make_unique<CLauncherDlg>(static_cast<IVelzarLauncherProviderSink*>(this), upgrade_disabled_,
                                             ports_.launcher, *thread->Loop());
  // DownloadThreadWindowRun: the launcher's entry runs on its thread, whose
  // loop then serves the launcher's timers until it is told to quit.
  CLauncherDlg* launcher = launcher_.get();
  LaunchRequest request;
  request.domain = vz::Utf8ToUtf16(domain_);
  request.package = package_info_.package;
  request.version = package_info_.version;
  request.folder = package_info_.folder;
  request.name = package_info_.name;
  request.language = vz::Utf8ToUtf16(language_);
  request.pipe_name = pipe_server_->PipeName();
  request.meet_id = vz::Utf8ToUtf16(meet_id_);
  request.roster_id = vz::Utf8ToUtf16(roster_id_);
  thread->Post([launcher, request = std::move(request)] { launcher->StartVelzarApplication(request); });
  VZ_LOG("->CreateThread_i success 0x%08X thread id [%d]",
         static_cast<unsigned>(reinterpret_cast<uintptr_t>(thread.get()) & 0xffffffffu), thread->ThreadId());
  launcher_thread_ = std::move(thread);
  return 1;
}

int CVelzarMeetApplication::stopApplication() {
  if (!OnOwnerThread("stopApplication")) return 1;
  VZ_LOG_OBJ("begin");
  std::unique_ptr<CPipeServer> pipe_server;
  std::unique_ptr<CLauncherDlg> launcher;
  std::unique_ptr<LauncherThread> launcher_thread;
  {
    CScopedLock lock(app_lock_);
    stopping_ = true;
    pipe_server = std::move(pipe_server_);
    launcher = std::move(launcher_);
    launcher_thread = std::move(launcher_thread_);
  }
  if (pipe_server) pipe_server->Stop();
  pipe_server.reset();
  if (launcher) launcher->OnStop();
  if (launcher_thread) {
    launcher_thread->RequestQuit();
    launcher_thread->Join();
  }
  launcher.reset();
  launcher_thread.reset();
  {
    CScopedLock lock(app_lock_);
    stopping_ = false;
  }
  VZ_LOG_OBJ("END");
  return 1;
}

void CVelzarMeetApplication::STDIN_WRITE(std::string_view text) { WriteParts(&text, 1); }

void CVelzarMeetApplication::WriteParts(const std::string_view* parts, size_t count) {
  size_t size = 0;
  for (size_t i = 0; i < count; ++i) size += parts[i].size();
  CScopedLock lock(app_lock_);
  if (exit_requested_) {
    VZ_LOG("the host is ending: a message of %zu bytes is not sent", size);
    return;
  }
  VZ_LOG("msg [%d][%s]", static_cast<int>(size), OutputForLog(parts, count, size).c_str());
  switch (WriteNativeMessage(*ports_.output, parts, count)) {
    case NativeWriteResult::kWritten:
      break;
    case NativeWriteResult::kTooLong:
      // The browser would drop the connection: this message is lost, the link is not.
      VZ_LOG_ERROR("a message of %zu bytes is over the browser's limit of %u bytes and is not sent", size,
                   kNativeMessageMaxToBrowser);
      break;
    case NativeWriteResult::kFailed:
      VZ_LOG_ERROR("cannot write a message of %zu bytes", size);
      break;
  }
}

void CVelzarMeetApplication::SendStatusMessage(int32_t code, const char* type) {
  STDIN_WRITE(StatusMessageText(code, type));
}

void CVelzarMeetApplication::SendStatusAndExit(const char* type, int32_t code) {
  CScopedLock lock(app_lock_);
  if (exit_requested_) return;  // the end is under way and said so
  SendStatusMessage(code, type);
  exit_requested_ = true;
  ports_.process_exit->ExitProcess(0);
}

void CVelzarMeetApplication::OnConnect() { SendStatusMessage(0, "MEET_APP_STARTED"); }

void CVelzarMeetApplication::OnDisconnect() { SendStatusAndExit("MEET_APP_STOPPED"); }

void CVelzarMeetApplication::OnReceiveTextData(std::string_view text) { STDIN_WRITE(text); }

void CVelzarMeetApplication::OnReceiveBase64Data(uint32_t kind, std::string_view text) {
  if (text.size() > kNativeMessageMaxToBrowser) {
    // Too long for the browser even before its envelope.
    VZ_LOG_ERROR("binary data of kind %u and %zu bytes is over the browser's limit of %u bytes and is not sent", kind,
                 text.size(), kNativeMessageMaxToBrowser);
    return;
  }
  if (JsonPlainRunLength(text.data(), text.size()) != text.size()) {
    STDIN_WRITE(Base64DataMessageText(kind, text));  // escaped, so the JSON holds
    return;
  }
  // Base64 as it is: the head, the payload where the pipe read it, the tail.
  const std::string head = Base64DataMessageHead(kind);
  const std::string_view parts[] = {head, text, kBase64DataMessageTail};
  WriteParts(parts, 3);
}

void CVelzarMeetApplication::OnReceiveLog(std::string_view text) {
  onLog("APP", "%.*s", static_cast<int>(text.size()), text.data());
}

void CVelzarMeetApplication::OnReceiveReport(std::string_view text) {
  std::string message;
  switch (CrashReportMessageText(text, &message, kNativeMessageMaxToBrowser)) {
    case CrashReportText::kWhole:
      break;
    case CrashReportText::kCut:
      VZ_LOG_WARN("a crash report of %zu bytes is cut to fit the browser's limit of %u bytes", text.size(),
                  kNativeMessageMaxToBrowser);
      break;
    case CrashReportText::kNoFileName:
      VZ_LOG_ERROR("Can't find file name in content");
      return;
    case CrashReportText::kTooLong:
      VZ_LOG_ERROR("a crash report's file name of %zu bytes does not fit the browser's limit; nothing is sent",
                   text.find('*'));
      return;
  }
  STDIN_WRITE(message);
}

void CVelzarMeetApplication::OnStartApplicationResult(int result) {
  {
    CScopedLock lock(app_lock_);
    if (exit_requested_) return;  // the host is ending already
  }
  onLog("host", "start application with result error [%d]", result);
  switch (result) {
    case 0: {
      {
        CScopedLock lock(app_lock_);
        if (pipe_server_) {
          const int64_t now = pipe_server_->NowSeconds();
          const uint32_t until = static_cast<uint32_t>(now + kClientDeadlineSeconds);
          pipe_server_->SetWaitClientUntil(until);
          VZ_LOG("waitclientuntil=%u now=%d", until, static_cast<int>(now));
        }
      }
      // The launcher's work is done: its thread's loop ends.
      if (vz::RunLoop* loop = vz::RunLoop::Current()) loop->Quit();
      break;
    }
    case 1: {
      std::unique_ptr<CPipeServer> pipe_server;
      {
        CScopedLock lock(app_lock_);
        if (stopping_) return;  // the host is stopping; it sends what it has to
        pipe_server = std::move(pipe_server_);
      }
      if (pipe_server) pipe_server->Stop();  // outside the lock: its callbacks take it
      OnDisconnect();
      break;
    }
    case 2: {
      CScopedLock lock(app_lock_);
      SendStatusMessage(0, "MEET_APP_NEED_UPDATE");
      if (launcher_) {
        // The launcher watches for the required version to appear.
        launcher_->SetTimer(CLauncherDlg::kTimerWatchInstallation, 1000);
        return;
      }
      if (!stopping_ && !exit_requested_) {
        exit_requested_ = true;
        ports_.process_exit->ExitProcess(0);
      }
      break;
    }
    default:
      break;
  }
}

void CVelzarMeetApplication::onUpgradeProgress(int percent) { STDIN_WRITE(ProgressMessageText(percent)); }

void CVelzarMeetApplication::onSystemErrorCode(int code) {
  CScopedLock lock(app_lock_);
  VZ_LOG("code =%d", code);
  SendStatusAndExit("PLUGIN_RESPONSE_SYSTEMERROR", code);
}

void CVelzarMeetApplication::onLog(const char* tag, const char* format, ...) {
  char line[4096];
  int used;
  {
    CScopedLock lock(app_lock_);
    const vz::LocalTime now = vz::NowLocal();
    used = std::snprintf(line, sizeof(line), "%s.%s.win.[%04d-%02d-%02d %02d:%02d:%02d.%03d] [%d:%d] [%s] ",
                         meet_id_.c_str(), roster_id_.c_str(), now.year, now.month, now.day, now.hour, now.minute,
                         now.second, now.millisecond, vz::ProcessId(), vz::ThreadId(), tag);
  }
  if (used < 0) return;
  if (static_cast<size_t>(used) < sizeof(line) - 1) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(line + used, sizeof(line) - static_cast<size_t>(used), format, args);
    va_end(args);
  }
  STDIN_WRITE(LogMessageText(line));  // a longer line is cut at 4,095 bytes
}

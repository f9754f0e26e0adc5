// vzwebattendee: a stand-in for a browser attendee in a sharing session. It
// joins the session on the meeting server as a plain attendee of the sharing
// protocol and sends the presenter the command messages a browser
// attendee's page would: annotations, a request for remote control, remote
// clicks. The local meeting demonstration drives it through its standard
// input (one command a line, web_attendee_command.h) and reads what
// happened on its standard output, one line each:
//
//   joined                               the session is up
//   sent <verb>                          a command went to the server
//   command <type> from <id> to <id>     a command arrived (e.g. 1: control given)
//   refused <why>                        a line was not a command
//   error <code> <type> | over           the session failed or ended
//
//   vzwebattendee --port P --meet M --token T --ds-id D --roster R --presenter R
//
// It ends with 0 after "quit" (it leaves the session first), 1 when the
// session failed or ended, 2 for bad arguments.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "contracts/session_status.h"
#include "common/trace_client.h"
#include "platform/clock.h"
#include "platform/run_loop.h"
#include "platform/standard_io.h"
#include "platform/text.h"
#include "sharing/tools/web_attendee_command.h"
#include "sharing/tools/web_attendee_version.h"
#include "sharing/transport/ds_tp_controller.h"

namespace {

void Say(const std::string& line) {
  const std::string text = line + "\n";
  vz::WriteStandardOutput(text.data(), text.size());
}

std::string Narrow(const char16_t* text, size_t capacity) {
  size_t length = 0;
  while (length < capacity && text[length] != 0) ++length;
  return vz::Utf16ToUtf8(std::u16string_view(text, length));
}

class WebAttendee : public IDSTpSink {
 public:
  WebAttendee(vz::RunLoop& loop, std::u16string me, std::u16string presenter)
      : loop_(loop), me_(std::move(me)), presenter_(std::move(presenter)) {}

  int Run(const DSSessionConfig& config) {
    tp_ = DSCreateTpInstance(this);
    if (tp_ == nullptr || tp_->DSConnect(&config, nullptr) != 1) {
      Say("error 0 0");
      return 1;
    }
    loop_.WatchFd(0, vz::RunLoop::kFdReadable, [this](int, uint32_t events) { OnInput(events); });
    loop_.Run();
    loop_.UnwatchFd(0);
    DSReleaseTpInstance(tp_);
    loop_.RunUntilIdle();
    return exit_code_;
  }

  int32_t OnTPStatusNotification(int32_t status) override {
    if (status == kSessionJoined) {
      joined_ = true;
      Say("joined");
    } else if (status == kSessionEnded) {
      Finish("over", 1);
    }
    return 1;
  }
  int32_t OnTPErrorNotification(int32_t code, int32_t code_type) override {
    Finish("error " + std::to_string(code) + " " + std::to_string(code_type), 1);
    return 1;
  }
  int32_t OnDSTpCommand(DSCommandRecord* command) override {
    Say("command " + std::to_string(command->Type) + " from " + Narrow(command->SrcRosterId, 128) + " to " +
        Narrow(command->DstRosterId, 128));
    return 1;
  }
  // What the presenter shares is not drawn here.
  int32_t OnDSTpSharingInfo(SharingInfo*) override { return 1; }
  int32_t OnDSTpMouseInfo(CMouseEntry*) override { return 1; }
  int32_t OnDSTpCaches(CCacheEntry**, int32_t) override { return 1; }
  int32_t OnDSTpBlocks(CKeyframeEntry**, int32_t) override { return 1; }
  int32_t OnDSTpRequestCaches(CKeyframeEntry**, int32_t) override { return 1; }
  int32_t OnDSTpSendBacklog(int32_t) override { return 1; }
  int32_t OnDSTpWebBinary(CVZBinaryData*) override { return 1; }

 private:
  void Finish(const std::string& line, int code) {
    Say(line);
    exit_code_ = code;
    loop_.Quit();
  }

  void OnInput(uint32_t events) {
    char buffer[4096];
    const long got = (events & vz::RunLoop::kFdReadable) ? vz::ReadStandardInput(buffer, sizeof(buffer)) : 0;
    if (got <= 0) {  // the driver went away: leave as after quit
      Finish("over", 0);
      return;
    }
    pending_.append(buffer, static_cast<size_t>(got));
    if (pending_.size() > 1u << 20) {
      Finish("refused a line longer than 1 MiB", 1);
      return;
    }
    size_t end;
    while ((end = pending_.find('\n')) != std::string::npos) {
      const std::string line = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      Execute(line);
    }
  }

  void Execute(const std::string& line) {
    WebAttendeeCommand command;
    std::string why;
    if (!ParseWebAttendeeCommand(line, me_, presenter_, &command, &why)) {
      Say("refused " + why);
      return;
    }
    if (command.quit) {
      Finish("leaving", 0);
      return;
    }
    if (!joined_ || tp_->DSSendCommand(command.Bound()) != 1) {
      Say("refused not sent (" + std::string(joined_ ? "the transport dropped it" : "not joined") + ")");
      return;
    }
    Say("sent " + line.substr(0, line.find(' ')));
  }

  vz::RunLoop& loop_;
  std::u16string me_;
  std::u16string presenter_;
  IDSTp* tp_ = nullptr;
  bool joined_ = false;
  int exit_code_ = 0;
  std::string pending_;
};

bool Store(char16_t* field, size_t capacity, const std::string& value) {
  const std::u16string wide = vz::Utf8ToUtf16(value);
  return wide.size() < capacity && vz::CopyUtf16(field, capacity, wide);
}

}  // namespace

int main(int argc, char** argv) {
  TraceSetAppInfo("vzwebattendee", VZ_WEB_ATTENDEE_VERSION);
  vz::IgnoreBrokenPipe();
  std::string port, meet, token, ds_id, roster, presenter;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i], value = argv[i + 1];
    if (flag == "--port") port = value;
    else if (flag == "--meet") meet = value;
    else if (flag == "--token") token = value;
    else if (flag == "--ds-id") ds_id = value;
    else if (flag == "--roster") roster = value;
    else if (flag == "--presenter") presenter = value;
  }
  const int port_number = std::atoi(port.c_str());
  DSSessionConfig config{};
  if (argc % 2 != 1 || port_number <= 0 || port_number > 65535 || roster.empty() || presenter.empty() ||
      !Store(config.ServerAddr, std::size(config.ServerAddr), "127.0.0.1") ||
      !Store(config.ServerIp, std::size(config.ServerIp), "127.0.0.1") ||
      !Store(config.MeetId, std::size(config.MeetId), meet) ||
      !Store(config.Token, std::size(config.Token), "VDS " + meet + ":" + token) ||
      !Store(config.DSId, std::size(config.DSId), ds_id) ||
      !Store(config.RosterId, std::size(config.RosterId), roster)) {
    std::fprintf(stderr,
                 "usage: %s --port P --meet M --token T --ds-id D --roster R --presenter R\n"
                 "(each text short enough for its field)\n",
                 argv[0]);
    return 2;
  }
  config.Port = port_number;
  config.TcpPort = port_number;
  vz::RunLoop loop(vz::SystemClock());
  WebAttendee attendee(loop, vz::Utf8ToUtf16(roster), vz::Utf8ToUtf16(presenter));
  return attendee.Run(config);
}

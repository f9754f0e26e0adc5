// vzmeet_demo: a local meeting without a browser. It plays the browser
// extension against the real vzbridge, which starts the real VelzarHub:
// the start request, the meeting config, a ping, an audio join (through the
// audio stand-in), mute, leave and stop, printing every message both ways.
//
//   vzmeet_demo --bin <folder of vzbridge and VelzarHub> [--work <folder>] [--check]
//
// The programs run in a sandbox below the work folder (their runtime,
// config, data and home folders), so nothing of the user's is touched.
// With --check, each step must bring its answer, both programs must end
// after the stop, VelzarHub must have quit in its fixed order, and both log
// files must hold lines in the log writer's format; the exit code says
// whether all of that held.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <system_error>
#include <vector>

#include "client/app/demo/demo_options.h"
#include "client/app/demo/extension_session.h"
#include "client/app/demo/package_text.h"
#include "platform/clock.h"
#include "platform/process_stat.h"

namespace {

constexpr char kMeetId[] = "M1001";
constexpr char kRosterId[] = "R1";
constexpr int kStepTimeoutMs = 60000;  // generous for a loaded machine; answers end the wait at once

struct Options {
  std::string bin;
  std::string work;
  bool check = false;
};

std::vector<DemoOption> OptionsOf(Options* options) {
  return {
      {"--bin", true, true, [options](const std::string& v) { options->bin = v; return !v.empty(); }},
      {"--work", true, false, [options](const std::string& v) { options->work = v; return !v.empty(); }},
      {"--check", false, false, [options](const std::string&) { options->check = true; return true; }},
  };
}

class Demo {
 public:
  explicit Demo(const Options& options) : options_(options), session_(stdout) {}

  int RunAll() {
    if (!PrepareSandbox()) return Fail("cannot make the sandbox folders below " + work_);
    if (!session_.Start(options_.bin + "/vzbridge", Environment())) return Fail("cannot start vzbridge");
    std::printf("vzbridge runs as process %d; sandbox %s\n", session_.HostPid(), work_.c_str());

    Explain("MEET_APP_UPGRADEDISABLED tells vzbridge to start the client found beside itself, with no version "
            "check and no download; vzbridge answers nothing, its own log line comes back as MEET_APP_LOG.");
    Send("{\"type\":\"MEET_APP_UPGRADEDISABLED\"}");
    Explain("The start request's application_pkg is the package text scrambled twice with the shared key, as the "
            "web page sends it; unscrambled it reads \"" + PlainPackageText() + "\".");
    Send(std::string("{\"type\":\"MEET_APP_REQUEST_START\",\"add_on_version\":\"") + VZ_DEMO_ADD_ON_VERSION +
         "\",\"domain\":\"http://127.0.0.1\",\"meetid\":\"" + kMeetId + "\",\"rosterid\":\"" + kRosterId +
         "\",\"language\":\"en-us\",\"application_pkg\":\"" + ScrambledPackageText() + "\"}");
    if (!WaitFor("MEET_APP_STARTED")) return Fail("no MEET_APP_STARTED after the start request");

    Explain("VelzarHub runs and holds the pipe: from here on its log lines travel up the pipe too "
            "(MEET_APP_LOG with \"[APP]\"), and its reports arrive as they happen, so a report can come before "
            "the answer to the next request.");
    Send("{\"type\":\"APP_MEET_CONFIG\",\"conf\":{\"MEET_WITHOUT_AUDIO\":false,\"MEET_WITHOUT_VIDEO\":false,"
         "\"MEET_WITHOUT_SHARING\":false}}");
    Send(std::string("{\"type\":\"APP_REQUEST_PING\",\"action\":{\"conf_id\":\"") + kMeetId + "\"}}");
    if (!WaitFor("APP_RESPONSE_PONG")) return Fail("the ping was not answered");

    Send(std::string("{\"type\":\"AC_SESSION_REQUEST_JOIN\",\"action\":{\"ac_conf\":{\"conf_id\":\"") + kMeetId +
         "\",\"server_addr\":\"127.0.0.1\",\"port\":5000,\"token\":\"demo-token\",\"mute\":0},"
         "\"ac_state\":{\"id\":\"" + kRosterId + "\"}}}");
    if (!WaitFor("AC_SESSION_RESPONSE_CONNECTING")) return Fail("the audio join did not report connecting");
    if (!WaitFor("AC_SESSION_RESPONSE_JOINED")) return Fail("the audio join did not report joined");

    Explain("The join's report of its mute state (AC_SESSION_RESPONSE_UNMUTED, muted 0) may arrive after the mute "
            "request is sent and before its answer, AC_SESSION_RESPONSE_MUTED.");
    Send("{\"type\":\"AC_SESSION_REQUEST_MUTE\",\"action\":{\"ac_conf\":{}}}");
    if (!WaitFor("AC_SESSION_RESPONSE_MUTED")) return Fail("mute was not reported");

    Send(std::string("{\"type\":\"AC_SESSION_REQUEST_LEAVE\",\"action\":{\"ac_conf\":{\"conf_id\":\"") + kMeetId +
         "\"}}}");
    if (!WaitFor("AC_SESSION_RESPONSE_LEFT")) return Fail("the audio leave was not reported");

    Explain("The stop request ends VelzarHub (video, sharing and audio close in that order, each reported) and then "
            "vzbridge itself.");
    Send("{\"type\":\"MEET_APP_REQUEST_STOP\"}");
    if (!WaitForHostEnd()) return Fail("vzbridge did not end after the stop request");
    if (hub_pid_ <= 0) return Fail("vzbridge never said which process VelzarHub is");
    if (!WaitForProcessEnd(hub_pid_)) return Fail("VelzarHub did not end after the stop");
    std::printf("vzbridge and VelzarHub (process %d) have ended\n", hub_pid_);

    if (options_.check) {
      const std::string bridge_log = LogPath(bridge_pid_), hub_log = LogPath(hub_pid_);
      std::string why;
      if (!CheckLogFormat(bridge_log, bridge_pid_, &why)) return Fail(why);
      if (!CheckLogFormat(hub_log, hub_pid_, &why)) return Fail(why);
      if (!CheckQuitOrder(hub_log, &why)) return Fail(why);
      std::printf("end to end: passed\n");
    } else {
      std::printf("logs: %s and %s\n", LogPath(bridge_pid_).c_str(), LogPath(hub_pid_).c_str());
    }
    return 0;
  }

 private:
  bool PrepareSandbox() {
    std::error_code error;
    if (options_.work.empty()) {
      work_ = (std::filesystem::temp_directory_path(error) /
               ("vzmeet-demo-" + std::to_string(vz::MonotonicUs()))).string();
    } else {
      work_ = std::filesystem::absolute(options_.work, error).string();
      std::filesystem::remove_all(work_, error);
    }
    for (const char* sub : {"run", "config", "data", "home"}) {
      std::filesystem::create_directories(work_ + "/" + sub, error);
      if (error) return false;
      std::filesystem::permissions(work_ + "/" + sub, std::filesystem::perms::owner_all, error);
    }
    return true;
  }

  std::vector<std::string> Environment() const {
    return {"XDG_RUNTIME_DIR=" + work_ + "/run", "XDG_CONFIG_HOME=" + work_ + "/config",
            "XDG_DATA_HOME=" + work_ + "/data", "HOME=" + work_ + "/home"};
  }

  std::string LogPath(int pid) const { return work_ + "/run/velzar/vzmeet-app." + std::to_string(pid) + ".log"; }

  // A note in the transcript on what the next messages show.
  static void Explain(const std::string& note) { std::printf("\n  -- %s\n", note.c_str()); }

  void Send(const std::string& message) {
    if (!session_.Send(message)) std::printf("(could not write the message to vzbridge)\n");
    bridge_pid_ = session_.HostPid();
  }

  // Reads messages until one of this type; notes VelzarHub's process id from
  // the launcher's log line on the way.
  bool WaitFor(const std::string& type) {
    const uint64_t deadline = vz::MonotonicMs() + kStepTimeoutMs;
    for (;;) {
      const uint64_t now = vz::MonotonicMs();
      if (now >= deadline) return false;
      std::string message;
      bool ended = false;
      if (!session_.Receive(&message, static_cast<int>(deadline - now), &ended)) return false;
      NoteHubPid(message);
      const std::string got = MessageType(message);
      if (got == type) return true;
      if (got == "MEET_APP_STOPPED") return false;
    }
  }

  void NoteHubPid(const std::string& message) {
    static const std::regex started("start application success, pid \\[(\\d+)\\]");
    std::smatch match;
    if (hub_pid_ <= 0 && std::regex_search(message, match, started)) hub_pid_ = std::atoi(match[1].str().c_str());
  }

  bool WaitForHostEnd() {
    const uint64_t deadline = vz::MonotonicMs() + kStepTimeoutMs;
    for (;;) {
      const uint64_t now = vz::MonotonicMs();
      if (now >= deadline) return false;
      std::string message;
      bool ended = false;
      if (!session_.Receive(&message, static_cast<int>(deadline - now), &ended)) {
        if (!ended) return false;
        break;
      }
      NoteHubPid(message);
    }
    int exit_code = -1;
    if (!session_.WaitHostEnd(kStepTimeoutMs, &exit_code)) return false;
    std::printf("vzbridge ended with exit code %d\n", exit_code);
    return exit_code == 0;
  }

  // VelzarHub is vzbridge's child, not ours: it has ended once it is gone
  // or is a zombie waiting for whoever inherited it.
  static bool WaitForProcessEnd(int pid) {
    const uint64_t deadline = vz::MonotonicMs() + kStepTimeoutMs;
    vz::ProcessStat stat;
    while (vz::ReadProcessStat(pid, &stat) && stat.state != 'Z' && stat.state != 'X') {
      if (vz::MonotonicMs() >= deadline) return false;
      vz::SleepMs(20);
    }
    return true;
  }

  static bool ReadLines(const std::string& path, std::vector<std::string>* lines) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines->push_back(line);
    }
    return true;
  }

  // Every line the process wrote starts with the time and "[pid:tid]".
  static bool CheckLogFormat(const std::string& path, int pid, std::string* why) {
    std::vector<std::string> lines;
    if (!ReadLines(path, &lines)) {
      *why = "no log file " + path;
      return false;
    }
    const std::regex format("^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}\\.\\d{3} \\[" + std::to_string(pid) +
                            ":\\d+\\] .*");
    int formatted = 0;
    for (const std::string& line : lines) {
      if (std::regex_match(line, format)) ++formatted;
    }
    if (lines.empty() || !std::regex_match(lines.front(), format) || formatted < 10) {
      *why = path + " does not hold lines in the log writer's format";
      return false;
    }
    std::printf("%s: %d lines in the log format\n", path.c_str(), formatted);
    return true;
  }

  // Video, sharing and audio close in that order, each followed by its
  // status 4 report through the link, and the message loop ends after them.
  static bool CheckQuitOrder(const std::string& path, std::string* why) {
    std::vector<std::string> lines;
    ReadLines(path, &lines);
    struct Step {
      const char* first;
      const char* second;
    };
    const Step order[] = {{"CMeetMainController::quitApplication", ""},
                          {"CMeetMainController::closeVideo", ""},
                          {"WSAVSessionResponseStatus", "status [4]"},
                          {"CMeetMainController::stopSharing", ""},
                          {"WSDSSessionResponseStatus", "status [4]"},
                          {"CMeetMainController::leaveAudio", ""},
                          {"WSACSessionResponseStatus", "status [4]"},
                          {"the message loop ended", ""}};
    size_t next = 0;
    for (const std::string& line : lines) {
      if (next < std::size(order) && line.find(order[next].first) != std::string::npos &&
          line.find(order[next].second) != std::string::npos) {
        ++next;
      }
    }
    if (next != std::size(order)) {
      *why = std::string("VelzarHub's log lacks the quit step [") + order[next].first + " " + order[next].second +
             "] in its place";
      return false;
    }
    std::printf("VelzarHub quit in order: video, sharing, audio, each with its status 4 report, then the loop ended\n");
    return true;
  }

  int Fail(const std::string& why) {
    std::printf("FAILED: %s\n", why.c_str());
    if (!work_.empty()) std::printf("the sandbox with both logs is kept at %s\n", work_.c_str());
    return 1;
  }

  Options options_;
  ExtensionSession session_;
  std::string work_;
  int bridge_pid_ = -1;
  int hub_pid_ = -1;
};

}  // namespace

int main(int argc, char** argv) {
  Options options;
  const std::string usage = std::string("usage: ") + argv[0] +
                            " --bin <folder of vzbridge and VelzarHub> [--work <folder>] [--check]\n";
  const DemoCommandLine outcome = ParseDemoCommandLine(argc, argv, OptionsOf(&options), usage, stdout, stderr);
  if (outcome != DemoCommandLine::kRun) return DemoCommandLineExitCode(outcome);
  return Demo(options).RunAll();
}

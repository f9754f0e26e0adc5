// vzhostile_cost: what one hostile member of a local meeting costs the
// honest ones. Each case runs a real meeting (vzrelay, and vzbridge with its
// VelzarHub for every honest participant, on an X display), pings each
// honest participant's programs as its web page does (every 100 ms) for a
// fixed span and reads its VelzarHub's CPU time, once beside a hostile
// member (vzhostile_member, with its own valid token) and once as a baseline
// of the same meeting without what the hostile member sends:
//
//   reconnect  two video members with their test cameras; the hostile
//              member joins the video anew in a loop for the whole span
//              (baseline: it never joins).
//   blocks     an honest attendee of a sharing session whose presenter is
//              the hostile member: it announces a 4096x4096 monitor, then
//              sends one single-colour JPEG of it and 1,500 blocks that each
//              cover the monitor with it (baseline: one such block).
//   strokes    an honest presenter sharing its screen; the hostile attendee
//              sends 50 annotation strokes of 10,000 points, weight 100,
//              across the monitor (baseline: it joins and sends nothing).
//
// Blocks and strokes also run a third time with what slips past the first
// defence: 1,500 blocks that overlap without one covering another, and 50
// strokes of 100 points (each within the presenter's ink bound alone); and
// blocks a fourth time with the attendee joining the sharing in the span,
// after the 1,500 blocks were sent (the relay replays them to it).
//
//   vzhostile_cost --bin <folder of vzbridge, VelzarHub, vzrelay> [--work <folder>]
//                  [--display :N] [--case reconnect|blocks|strokes|all] [--seconds S]
//
// vzhostile_member is looked for beside this program. Prints one line per
// honest participant and run: pings sent, round trip min/median/max, pings
// never answered, and its VelzarHub's CPU in ms per second of the span.
// A measurement, not a test: nothing is compared with a limit. Exit code 0
// when every meeting ran, 1 when one could not (it says why), 77 when there
// is no display and Xvfb is not installed.
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "client/app/demo/demo_display.h"
#include "client/app/demo/demo_options.h"
#include "client/app/demo/demo_relay.h"
#include "client/app/demo/demo_report.h"
#include "client/app/demo/meeting_entry.h"
#include "client/app/demo/meeting_participant.h"
#include "client/app/demo/page_pings.h"
#include "platform/clock.h"
#include "platform/piped_child_testlib.h"
#include "platform/process_stat.h"

namespace {

constexpr char kMeetId[] = "M4001";
constexpr char kDsId[] = "DS-M4001";
constexpr int kStepTimeoutMs = 30000;
// The hostile member's lines are short: more is not read.
constexpr size_t kMaxLineBytes = 400;
constexpr uint64_t kPingEveryMs = 100;
// Answers still due when the span ends are waited for this long before
// they count as lost: a frozen program answers late, not never.
constexpr uint64_t kPingGraceMs = 60000;
// The meeting runs this long before the span, so that the start's own work
// (first pictures, the first frame) is not counted.
constexpr uint64_t kSettleMs = 3000;
// The hostile member's message goes this far into the span.
constexpr uint64_t kHostileAtMs = 1000;
// The case's sizes, as a hostile member would pick them.
constexpr int kMonitorSide = 4096;
constexpr int kBlocks = 1500;
constexpr int kStrokes = 50;
constexpr int kStrokePoints = 10000;
constexpr int kStrokeWeight = 100;
// Short enough that each stroke's ink passes the presenter's bound alone.
constexpr int kShortStrokePoints = 100;

struct Options {
  std::string bin;
  std::string language = "en-us";
  std::string work;
  std::string display;
  std::string which = "all";
  int seconds = 15;
};

std::vector<DemoOption> OptionsOf(Options* options) {
  std::vector<DemoOption> list = DemoMeetingOptions(&options->bin, &options->language, &options->work, &options->display);
  list.insert(list.end(), {
      {"--case", true, false,
       [options](const std::string& v) {
         options->which = v;
         return v == "reconnect" || v == "blocks" || v == "strokes" || v == "all";
       }},
      {"--seconds", true, false, [options](const std::string& v) { return ParseDemoInt(v, 2, 600, &options->seconds); }},
  });
  return list;
}

// Each case's runs: the baseline, the hostile member as the case says, and
// (blocks, strokes) the same member sending what slips under the first
// defence: blocks that overlap without covering one another, strokes short
// enough to pass the ink bound one by one; and (blocks) an attendee that
// joins the sharing after the hostile blocks were sent, so that the relay
// replays them to it.
enum class Variant { kBaseline, kHostile, kHostileOtherwise, kLateJoiner };

struct Row {
  std::string scenario;
  std::string member;
  PingFigures pings;
  double cpu_ms_per_s = 0;
  std::string hostile;  // what the hostile member said it did
};

std::string Quote(const std::string& text) { return "\"" + text + "\""; }

class HostileCost {
 public:
  explicit HostileCost(const Options& options) : options_(options) {}

  int Run() {
    if (!MakeWorkFolder(options_.work, "vzhostile-cost", &work_)) return Fail("setup", "cannot make " + work_);
    std::string why, detail;
    bool missing = false;
    if (!display_.Open(options_.display, 1920, 1080, &detail, &why, &missing)) {
      Fail("display", why);
      return missing ? DemoDisplay::kNoDisplayExitCode : 1;
    }
    PrintStage("display", detail);
    std::error_code error;
    member_program_ =
        (std::filesystem::read_symlink("/proc/self/exe", error).parent_path() / "vzhostile_member").string();
    const bool all = options_.which == "all";
    for (const char* scenario : {"reconnect", "blocks", "strokes"}) {
      if (!all && options_.which != scenario) continue;
      for (const Variant variant :
           {Variant::kBaseline, Variant::kHostile, Variant::kHostileOtherwise, Variant::kLateJoiner}) {
        const std::string name = scenario;
        bool ran = true;
        if (name == "reconnect") {
          if (variant == Variant::kBaseline || variant == Variant::kHostile) ran = Reconnect(variant == Variant::kHostile);
        } else if (name == "blocks") {
          ran = Blocks(variant);
        } else if (variant != Variant::kLateJoiner) {
          ran = Strokes(variant);
        }
        if (!ran) return Fail(name + " " + std::to_string(static_cast<int>(variant)), why_);
      }
    }
    std::printf("\nsummary (%d s spans, a ping every %llu ms; load average %s)\n", options_.seconds,
                static_cast<unsigned long long>(kPingEveryMs), LoadAverage().c_str());
    std::printf("  %-20s %-9s %6s %8s %8s %8s %5s %10s  %s\n", "run", "member", "pings", "min ms", "median", "max ms",
                "lost", "CPU ms/s", "hostile member");
    for (const Row& row : rows_) {
      std::printf("  %-20s %-9s %6zu %8llu %8llu %8llu %5zu %10.0f  %s\n", row.scenario.c_str(), row.member.c_str(),
                  row.pings.sent, static_cast<unsigned long long>(row.pings.min_ms),
                  static_cast<unsigned long long>(row.pings.median_ms),
                  static_cast<unsigned long long>(row.pings.max_ms), row.pings.lost, row.cpu_ms_per_s,
                  row.hostile.c_str());
    }
    return 0;
  }

 private:
  struct Honest {
    std::string name;
    std::string roster;
    std::unique_ptr<MeetingParticipant> programs;
  };

  static std::string LoadAverage() {
    std::FILE* file = std::fopen("/proc/loadavg", "r");
    char text[64] = {0};
    if (file != nullptr) {
      if (std::fgets(text, sizeof(text), file) == nullptr) text[0] = 0;
      std::fclose(file);
    }
    std::string load(text);
    // The first three figures: 1, 5 and 15 minutes.
    size_t end = 0;
    for (int i = 0; i < 3 && end != std::string::npos; ++i) end = load.find(' ', end + 1);
    return load.substr(0, end);
  }

  int Fail(const std::string& stage, const std::string& why) {
    PrintFailure(stage, why, "", work_);
    return 1;
  }

  bool Stop(const std::string& why) {
    why_ = why;
    return false;
  }

  bool StartRelay(const std::string& folder, const std::vector<DemoMember>& members) {
    relay_ = std::make_unique<vz::PipedChild>();
    tokens_.clear();
    std::string why;
    if (!StartDemoMeetingRelay(options_.bin, folder, {}, kMeetId, members, relay_.get(), &port_, &tokens_, &why)) {
      return Stop(why);
    }
    PrintStage("relay up", DemoRelayDetail(*relay_, port_));
    return true;
  }

  bool Enter(Honest& honest, const std::string& folder, const std::vector<std::string>& environment,
             const std::string& rosters) {
    honest.programs = std::make_unique<MeetingParticipant>(honest.name, folder + "/" + honest.name);
    MeetingEntry entry;
    entry.bridge = options_.bin + "/vzbridge";
    entry.environment = environment;
    entry.environment.push_back("DISPLAY=" + display_.name());
    entry.meet_id = kMeetId;
    entry.language = options_.language;
    entry.roster = honest.roster;
    entry.rosters = rosters;
    std::string why;
    if (!EnterMeeting(*honest.programs, entry, kStepTimeoutMs, &why)) return Stop(honest.name + ": " + why);
    PrintStage(honest.name + " started", "VelzarHub " + std::to_string(honest.programs->hub_pid()));
    return true;
  }

  bool StartHostile(vz::PipedChild* child, const std::vector<std::string>& args, bool wait_ready) {
    std::vector<std::string> argv = {"vzhostile_member"};
    argv.insert(argv.end(), args.begin(), args.end());
    if (!child->Start(member_program_, argv, {})) return Stop("cannot start " + member_program_);
    std::string line;
    if (wait_ready && (!child->ReadLine(&line, kMaxLineBytes, kStepTimeoutMs) || line != "ready")) {
      return Stop("the hostile member said [" + line + "] rather than ready");
    }
    return true;
  }

  std::vector<std::string> HostileArgs(const std::string& mode, const std::string& roster) const {
    return {mode, "--port", std::to_string(port_), "--meeting", kMeetId, "--roster", roster, "--token",
            tokens_.at(roster), "--ds-id", kDsId};
  }

  // The span: every honest member pinged, its CPU time read before and
  // after; `begin` does the hostile member's part kHostileAtMs in.
  bool Measure(const std::string& scenario, std::vector<Honest*> honest, const std::function<bool()>& begin,
               const std::function<std::string()>& finish) {
    vz::SleepMs(static_cast<uint32_t>(kSettleMs));
    std::vector<std::unique_ptr<PagePinger>> pingers;
    std::vector<vz::ProcessStat> before(honest.size()), after(honest.size());
    for (size_t i = 0; i < honest.size(); ++i) {
      pingers.push_back(std::make_unique<PagePinger>(honest[i]->programs.get(), kMeetId, kPingEveryMs));
      if (!vz::ReadProcessStat(honest[i]->programs->hub_pid(), &before[i])) {
        return Stop("cannot read " + honest[i]->name + "'s CPU time");
      }
      pingers.back()->Start();
    }
    const uint64_t start = vz::MonotonicMs();
    vz::SleepMs(static_cast<uint32_t>(kHostileAtMs));
    if (!begin()) return false;
    const uint64_t span = static_cast<uint64_t>(options_.seconds) * 1000;
    const uint64_t now = vz::MonotonicMs();
    if (now < start + span) vz::SleepMs(static_cast<uint32_t>(start + span - now));
    for (auto& pinger : pingers) pinger->StopSending();
    const double seconds = static_cast<double>(vz::MonotonicMs() - start) / 1000.0;
    for (size_t i = 0; i < honest.size(); ++i) {
      if (!vz::ReadProcessStat(honest[i]->programs->hub_pid(), &after[i])) {
        return Stop(honest[i]->name + "'s VelzarHub ended during the span");
      }
    }
    const std::string hostile = finish();
    for (size_t i = 0; i < honest.size(); ++i) {
      Row row;
      row.scenario = scenario;
      row.member = honest[i]->name;
      row.pings = pingers[i]->Figures(kPingGraceMs);
      row.cpu_ms_per_s = static_cast<double>(after[i].cpu_ms - before[i].cpu_ms) / seconds;
      row.hostile = hostile;
      char text[200];
      std::snprintf(text, sizeof(text), "%zu pings, %llu/%llu/%llu ms, %zu lost, CPU %.0f ms/s", row.pings.sent,
                    static_cast<unsigned long long>(row.pings.min_ms),
                    static_cast<unsigned long long>(row.pings.median_ms),
                    static_cast<unsigned long long>(row.pings.max_ms), row.pings.lost, row.cpu_ms_per_s);
      PrintStage(scenario + " " + row.member, text);
      rows_.push_back(row);
    }
    return true;
  }

  bool StopAll(std::vector<Honest*> honest) {
    std::vector<MeetingParticipant*> programs;
    for (Honest* one : honest) programs.push_back(one->programs.get());
    MeetingParticipant* unended = nullptr;
    std::string why;
    // A program still busy with what the hostile member sent may not end
    // on the stop request: said, and ended, so that the next run can go on.
    if (!StopParticipants(programs, kStepTimeoutMs, &unended, &why)) PrintStage("stop", why + "; killed");
    for (MeetingParticipant* one : programs) one->Kill();
    relay_.reset();
    return true;
  }

  // A run's folder in the work folder: the case and the variant's number
  // (0 the baseline), short, since the programs' sockets are made in it and
  // a socket's path is short.
  std::string Folder(const std::string& scenario, Variant variant) const {
    const std::string folder = work_ + "/" + scenario + std::to_string(static_cast<int>(variant));
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    PrintStage("run", "in " + folder);
    return folder;
  }

  bool Reconnect(bool hostile) {
    const std::string folder = Folder("reconnect", hostile ? Variant::kHostile : Variant::kBaseline);
    if (!StartRelay(folder, {{"R1"}, {"R2"}, {"R3"}})) return false;
    const std::string rosters = "{\"id\":\"R1\",\"user\":{\"name\":\"Alice\"},\"is_host\":true,\"is_presenter\":false},"
                                "{\"id\":\"R2\",\"user\":{\"name\":\"Bob\"},\"is_presenter\":false},"
                                "{\"id\":\"R3\",\"user\":{\"name\":\"Mallory\"},\"is_presenter\":false}";
    Honest alice{"alice", "R1", nullptr}, bob{"bob", "R2", nullptr};
    for (Honest* one : {&alice, &bob}) {
      if (!Enter(*one, folder, {"VZ_VIDEO_TEST_CAMERA=1"}, rosters)) return false;
      const std::string port = std::to_string(port_);
      one->programs->Send(std::string("{\"type\":\"AV_SESSION_REQUEST_JOIN\",\"action\":{\"av_conf\":{\"conf_id\":\"") +
                          kMeetId + "\",\"server_addr\":\"127.0.0.1\",\"port\":" + port + ",\"tcp_port\":" + port +
                          ",\"token\":\"" + tokens_.at(one->roster) + "\",\"broadcast\":0,\"layout\":0},\"av_state\":{\"id\":\"" +
                          one->roster + "\"}}}");
      if (!one->programs->WaitFor("AV_SESSION_RESPONSE_JOINED", kStepTimeoutMs)) return Stop(one->name + " never joined the video");
    }
    for (Honest* one : {&alice, &bob}) {
      one->programs->Send(std::string("{\"type\":\"AV_SESSION_REQUEST_CAMERAON\",\"action\":{\"av_conf\":{\"conf_id\":\"") +
                          kMeetId + "\"}}}");
    }
    vz::PipedChild member;
    const std::vector<std::string> args = [&] {
      std::vector<std::string> list = HostileArgs("reconnect", "R3");
      list.insert(list.end(), {"--seconds", std::to_string(options_.seconds - kHostileAtMs / 1000)});
      return list;
    }();
    const bool measured = Measure(
        hostile ? "reconnect" : "reconnect baseline", {&alice, &bob},
        [&] { return !hostile || StartHostile(&member, args, false); },
        [&] {
          std::string line;
          if (hostile) member.ReadLine(&line, kMaxLineBytes, kStepTimeoutMs);
          return line;
        });
    return measured && StopAll({&alice, &bob});
  }

  static const char* RunName(const char* scenario, Variant variant) {
    static const std::map<std::string, std::vector<const char*>> kNames = {
        {"blocks", {"blocks baseline", "blocks", "blocks overlapping", "blocks late joiner"}},
        {"strokes", {"strokes baseline", "strokes", "strokes short"}}};
    return kNames.at(scenario)[static_cast<size_t>(variant)];
  }

  bool Blocks(Variant variant) {
    const bool hostile = variant != Variant::kBaseline;
    const std::string folder = Folder("blocks", variant);
    if (!StartRelay(folder, {{"R1", true}, {"R2"}})) return false;
    vz::PipedChild presenter;
    std::vector<std::string> args = HostileArgs("blocks", "R1");
    args.insert(args.end(), {"--side", std::to_string(kMonitorSide), "--blocks", hostile ? std::to_string(kBlocks) : "1",
                             "--overlap", variant == Variant::kHostileOtherwise ? "1" : "0"});
    if (!StartHostile(&presenter, args, true)) return false;
    // A late joiner: the blocks are kept by the relay before the attendee
    // joins the sharing, which it does in the span.
    const bool late = variant == Variant::kLateJoiner;
    std::string sent;
    if (late && (!presenter.WriteAll("send\n", 5000) || !presenter.ReadLine(&sent, kMaxLineBytes, kStepTimeoutMs))) {
      return Stop("the hostile presenter sent nothing");
    }
    const std::string rosters = "{\"id\":\"R1\",\"user\":{\"name\":\"Mallory\"},\"is_host\":true,\"is_presenter\":true},"
                                "{\"id\":\"R2\",\"user\":{\"name\":\"Ada\"},\"is_presenter\":false}";
    Honest attendee{"attendee", "R2", nullptr};
    if (!Enter(attendee, folder, {}, rosters)) return false;
    if (!late) {
      attendee.programs->Send(SharingRequest("DS_SESSION_REQUEST_START", "R2", false));
      if (!attendee.programs->WaitFor("DS_SESSION_RESPONSE_STARTED", kStepTimeoutMs)) {
        return Stop("the attendee's sharing never started");
      }
    }
    const bool measured = Measure(
        RunName("blocks", variant), {&attendee},
        [&] {
          if (late) {
            attendee.programs->Send(SharingRequest("DS_SESSION_REQUEST_START", "R2", false));
            return true;
          }
          return presenter.WriteAll("send\n", 5000) || Stop("the hostile presenter took no command");
        },
        [&] {
          std::string line = sent;
          if (!late) presenter.ReadLine(&line, kMaxLineBytes, kStepTimeoutMs);
          presenter.WriteAll("quit\n", 5000);
          return late ? "joined after: " + line : line;
        });
    return measured && StopAll({&attendee});
  }

  bool Strokes(Variant variant) {
    const bool hostile = variant != Variant::kBaseline;
    const std::string folder = Folder("strokes", variant);
    if (!StartRelay(folder, {{"R1", true}, {"R3"}})) return false;
    const std::string rosters = "{\"id\":\"R1\",\"user\":{\"name\":\"Pat\"},\"is_host\":true,\"is_presenter\":true},"
                                "{\"id\":\"R3\",\"user\":{\"name\":\"Mallory\"},\"is_presenter\":false}";
    Honest presenter{"presenter", "R1", nullptr};
    if (!Enter(presenter, folder, {}, rosters)) return false;
    presenter.programs->Send(SharingRequest("DS_SESSION_REQUEST_QUICKSTART", "R1", true));
    if (!presenter.programs->WaitFor("DS_SESSION_RESPONSE_STARTED", kStepTimeoutMs)) {
      return Stop("the presenter's sharing never started");
    }
    vz::PipedChild attendee;
    std::vector<std::string> args = HostileArgs("strokes", "R3");
    const int points = variant == Variant::kHostileOtherwise ? kShortStrokePoints : kStrokePoints;
    args.insert(args.end(), {"--to", "R1", "--side", "1080", "--count", hostile ? std::to_string(kStrokes) : "0",
                             "--points", std::to_string(points), "--weight", std::to_string(kStrokeWeight)});
    if (!StartHostile(&attendee, args, true)) return false;
    const bool measured = Measure(
        RunName("strokes", variant), {&presenter},
        [&] { return attendee.WriteAll("send\n", 5000) || Stop("the hostile attendee took no command"); },
        [&] {
          std::string line;
          attendee.ReadLine(&line, kMaxLineBytes, kStepTimeoutMs);
          attendee.WriteAll("quit\n", 5000);
          return line;
        });
    return measured && StopAll({&presenter});
  }

  std::string SharingRequest(const char* type, const char* roster, bool presenter) const {
    return std::string("{\"type\":\"") + type + "\",\"action\":{\"ds_conf\":{\"conf_id\":" + Quote(kMeetId) +
           ",\"server_addr\":\"127.0.0.1\",\"server_ip\":\"127.0.0.1\",\"port\":" + std::to_string(port_) +
           ",\"token\":" + Quote(tokens_.at(roster)) + "},\"ds_state\":{\"id\":" + Quote(roster) +
           ",\"ds_id\":" + Quote(kDsId) + ",\"is_presenter\":" + (presenter ? "1" : "0") + "}}}";
  }

  Options options_;
  std::string work_;
  std::string why_;
  std::string member_program_;
  DemoDisplay display_;
  std::unique_ptr<vz::PipedChild> relay_;
  int32_t port_ = 0;
  std::map<std::string, std::string> tokens_;
  std::vector<Row> rows_;
};

}  // namespace

int main(int argc, char** argv) {
  Options options;
  const std::string usage = std::string("usage: ") + argv[0] +
                            " --bin <folder of vzbridge, VelzarHub, vzrelay> [--work <folder>] [--display :N]\n"
                            "          [--case reconnect|blocks|strokes|all] [--seconds S]\n";
  const DemoCommandLine outcome = ParseDemoCommandLine(argc, argv, OptionsOf(&options), usage, stdout, stderr);
  if (outcome != DemoCommandLine::kRun) return DemoCommandLineExitCode(outcome);
  return HostileCost(options).Run();
}

// vzshare_demo: a local meeting with screen sharing, without a browser. It
// starts vzrelay (the local meeting server) on loopback and plays the browser
// extension of two participants, each against its own vzbridge, which starts
// its own VelzarHub in a sandbox of its own: the start request, the meeting
// config, the roster, then the presenter's sharing request (share monitor 1
// at once) and the attendee's, both naming the relay's address, port, token
// and the session ids. It measures the first frame, frames per second while
// a window moves, the change-to-frame latency and the presenter's CPU time,
// writes the attendee's rebuilt frame beside a grab of the presenter's
// screen as PNG files with the PSNR between them. Then a third participant,
// a browser attendee played by vzwebattendee (a plain client of the sharing
// session), annotates the presenter's screen, asks for remote control (the
// demonstration accepts the presenter's consent question by a click) and
// clicks a test window of the desktop remotely (web_attendee_scenario.h).
// Then it stops everything.
//
//   vzshare_demo --bin <folder of vzbridge, VelzarHub, vzrelay> [--work <folder>]
//                [--display :N] [--size WxH] [--duration S] [--min-psnr DB]
//                [--cut-attendee-after S] [--web-attendee <vzwebattendee>]
//                [--language TAG]
//
// --language is the web page's language (the start request's, "en-us"
// unless given, for example "de-de"): the programs' windows speak it.
//
// vzwebattendee is looked for in the --bin folder, then beside the
// demonstration itself.
//
// Display: --display, else $DISPLAY, else a private Xvfb of --size. The
// presenter's screen shows a desktop picture of the demonstration's own.
// Under a window manager its windows, the consent question and the click
// target are found where the manager put them, not where they were asked.
// The attendee's frame comes from VelzarHub's diagnostic dump of its
// rebuilt frame (VZ_SHARE_FRAME_DUMP). With --cut-attendee-after, vzrelay
// cuts the attendee's connection that long after it started; the run then
// also needs the attendee's reconnecting report, started again, and a
// matching frame after that. Exit code 0 when every stage held.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "client/app/demo/demo_display.h"
#include "client/app/demo/demo_options.h"
#include "client/app/demo/demo_report.h"
#include "client/app/demo/demo_relay.h"
#include "client/app/demo/desktop_picture.h"
#include "client/app/demo/frame_measures.h"
#include "client/app/demo/meeting_entry.h"
#include "client/app/demo/meeting_participant.h"
#include "client/app/demo/web_attendee_scenario.h"
#include "client/controller/frame_dump.h"
#include "platform/clock.h"
#include "platform/piped_child_testlib.h"
#include "platform/process_stat.h"
#include "platform/screen/screen_source.h"
#include "platform/ui/image.h"

namespace {

constexpr char kMeetId[] = "M2001";
constexpr char kDsId[] = "DS-M2001";
// The browser attendee's roster id: a participant in the web page.
constexpr char kWebRoster[] = "vzweb-R3";
constexpr int kStepTimeoutMs = 30000;

struct Options {
  std::string bin;
  std::string language = "en-us";  // the web page's, in the start request
  std::string work;
  std::string display;
  int width = 1920;
  int height = 1080;
  int duration_s = 10;
  double min_psnr = 35.0;
  int cut_attendee_after_s = 0;  // vzrelay cuts the attendee's connection this long after it started
  std::string web_attendee;      // vzwebattendee; empty: looked for
};

std::vector<DemoOption> OptionsOf(Options* options) {
  std::vector<DemoOption> list = DemoMeetingOptions(&options->bin, &options->language, &options->work, &options->display);
  list.insert(list.end(), {
      {"--size", true, false,
       [options](const std::string& v) {
         const size_t x = v.find('x');
         return x != std::string::npos && ParseDemoInt(v.substr(0, x), 640, 8192, &options->width) &&
                ParseDemoInt(v.substr(x + 1), 480, 8192, &options->height);
       }},
      {"--duration", true, false,
       [options](const std::string& v) { return ParseDemoInt(v, 2, 3600, &options->duration_s); }},
      {"--cut-attendee-after", true, false,
       [options](const std::string& v) { return ParseDemoInt(v, 1, 3600, &options->cut_attendee_after_s); }},
      {"--web-attendee", true, false,
       [options](const std::string& v) { options->web_attendee = v; return !v.empty(); }},
      {"--min-psnr", true, false,
       [options](const std::string& v) { return ParseDemoDouble(v, 0, kIdenticalPsnr, &options->min_psnr); }},
  });
  return list;
}

std::string Quote(const std::string& text) { return "\"" + text + "\""; }

double Percentile(std::vector<double> values, double share) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t index = std::min(values.size() - 1, static_cast<size_t>(share * static_cast<double>(values.size())));
  return values[index];
}

// The desktop's clock, ticking on a thread of its own; the moving window
// moves while `moving` is set.
class DesktopTicker {
 public:
  explicit DesktopTicker(DesktopPicture& desktop) : desktop_(desktop) {
    thread_ = std::thread([this] {
      while (!stop_) {
        const uint64_t now = vz::MonotonicMs();
        desktop_.ShowTime(now);
        // Read again each time: a window manager may move the clock.
        int x = 0, y = 0;
        const bool placed = desktop_.StampPlace(&x, &y);
        {
          std::lock_guard<std::mutex> hold(lock_);
          shown_.push_back(now);
          if (placed) stamp_ = {x, y, true};
        }
        if (moving_) desktop_.Step();
        vz::SleepMs(33);
      }
    });
  }
  // The times the clock showed (when each was put on the screen).
  std::vector<uint64_t> Shown() {
    std::lock_guard<std::mutex> hold(lock_);
    return shown_;
  }
  // Where the clock's stamp was on the screen when it last ticked; false
  // before the first tick found the clock window.
  bool StampPlace(int* x, int* y) {
    std::lock_guard<std::mutex> hold(lock_);
    *x = stamp_.x;
    *y = stamp_.y;
    return stamp_.known;
  }
  ~DesktopTicker() { Stop(); }
  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  void SetMoving(bool moving) { moving_ = moving; }

 private:
  DesktopPicture& desktop_;
  std::mutex lock_;
  std::vector<uint64_t> shown_;
  struct {
    int x = 0;
    int y = 0;
    bool known = false;
  } stamp_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> moving_{false};
  std::thread thread_;
};

class SharingDemo {
 public:
  explicit SharingDemo(const Options& options) : options_(options) {}

  int Run() {
    if (!MakeWorkFolder(options_.work, "vzshare-demo", &work_)) {
      return Fail("setup", "cannot make the work folder " + work_, "");
    }
    const uint64_t start_ms = vz::MonotonicMs();

    // Display and desktop picture.
    std::string why, detail;
    bool missing = false;
    if (!display_source_.Open(options_.display, options_.width, options_.height, &detail, &why, &missing)) {
      const int code = Fail("display", why, "");
      return missing ? DemoDisplay::kNoDisplayExitCode : code;
    }
    Stage("display", detail);
    const std::string display = display_source_.name();
    display_ = display;
    desktop_ = DesktopPicture::Open(display, &why);
    if (!desktop_) return Fail("desktop picture", why, "");
    ticker_ = std::make_unique<DesktopTicker>(*desktop_);
    int stamp_x = 0, stamp_y = 0;
    if (!WaitStampPlace(&stamp_x, &stamp_y)) return Fail("desktop picture", why_, "");
    Stage("desktop picture", std::to_string(desktop_->width()) + "x" + std::to_string(desktop_->height()) +
                                 ", a clock asked at the bottom left (" + std::to_string(desktop_->clock_asked_x()) +
                                 "," + std::to_string(desktop_->clock_asked_y()) + ") that changes every 33 ms, its "
                                 "stamp found at " + std::to_string(stamp_x) + "," + std::to_string(stamp_y));

    // The relay.
    relay_ = std::make_unique<vz::PipedChild>();
    std::vector<std::string> relay_args;
    if (options_.cut_attendee_after_s > 0) {
      relay_args = {"--cut-after", std::to_string(options_.cut_attendee_after_s), "--cut-for", "1", "--cut-roster",
                    "R2"};
    }
    if (!StartDemoMeetingRelay(options_.bin, work_, relay_args, kMeetId, {{"R1", true}, {"R2"}, {kWebRoster}},
                               relay_.get(), &port_, &tokens_, &why)) {
      return Fail("relay", why, "");
    }
    Stage("relay up", DemoRelayDetail(*relay_, port_));

    // Both participants' programs.
    dump_path_ = work_ + "/attendee-frame.vzfd";
    presenter_ = std::make_unique<MeetingParticipant>("presenter", work_ + "/presenter");
    attendee_ = std::make_unique<MeetingParticipant>("attendee", work_ + "/attendee");
    std::remove(dump_path_.c_str());
    if (!StartParticipant(*presenter_, "R1", {"DISPLAY=" + display})) return Fail("presenter start", why_, "");
    if (!StartParticipant(*attendee_, "R2", {"DISPLAY=" + display, "VZ_SHARE_FRAME_DUMP=" + dump_path_})) {
      return Fail("attendee start", why_, "");
    }

    // Sharing: the presenter shares monitor 1 at once, the attendee joins.
    const uint64_t share_ms = vz::MonotonicMs();
    presenter_->Send(SharingRequest("DS_SESSION_REQUEST_QUICKSTART", "R1", true));
    if (!presenter_->WaitFor("DS_SESSION_RESPONSE_STARTED", kStepTimeoutMs)) {
      return Fail("presenter joined", "no DS_SESSION_RESPONSE_STARTED for the presenter", presenter_->HubLog());
    }
    Stage("presenter joined", "sharing monitor 1, " + Ms(vz::MonotonicMs() - share_ms));
    const uint64_t join_ms = vz::MonotonicMs();
    attendee_->Send(SharingRequest("DS_SESSION_REQUEST_START", "R2", false));
    if (!attendee_->WaitFor("DS_SESSION_RESPONSE_STARTED", kStepTimeoutMs)) {
      return Fail("attendee joined", "no DS_SESSION_RESPONSE_STARTED for the attendee", attendee_->HubLog());
    }
    Stage("attendee joined", Ms(vz::MonotonicMs() - join_ms));
    FrameDumpHeader header{};
    while (!ReadFrameDumpHeader(dump_path_, &header)) {
      if (vz::MonotonicMs() - join_ms > kStepTimeoutMs) {
        return Fail("first frame", "the attendee wrote no rebuilt frame", attendee_->HubLog());
      }
      vz::SleepMs(5);
    }
    first_frame_ms_ = vz::MonotonicMs() - join_ms;
    Stage("first frame", Ms(first_frame_ms_) + " after the attendee's join request, " + std::to_string(header.width) +
                             "x" + std::to_string(header.height));

    if (!Measure()) return Fail("frames", why_, attendee_->HubLog());
    if (options_.cut_attendee_after_s > 0 && !Reconnected()) return Fail("reconnect", why_, attendee_->HubLog());
    if (!Compare()) return Fail("compare", why_, attendee_->HubLog());
    if (!WebAttendee()) return Fail(web_stage_, why_, presenter_->HubLog());

    // Stop: the sharing, then both programs.
    presenter_->Send(std::string("{\"type\":\"DS_SESSION_REQUEST_STOP\",\"action\":{\"ds_conf\":{\"conf_id\":") +
                     Quote(kMeetId) + "}}}");
    attendee_->Send(std::string("{\"type\":\"DS_SESSION_REQUEST_STOP\",\"action\":{\"ds_conf\":{\"conf_id\":") +
                    Quote(kMeetId) + "}}}");
    if (!presenter_->WaitFor("DS_SESSION_RESPONSE_STOPPED", kStepTimeoutMs)) {
      return Fail("stop", "the presenter's sharing did not report stopped", presenter_->HubLog());
    }
    if (!attendee_->WaitFor("DS_SESSION_RESPONSE_STOPPED", kStepTimeoutMs)) {
      return Fail("stop", "the attendee's sharing did not report stopped", attendee_->HubLog());
    }
    MeetingParticipant* unended = nullptr;
    if (!StopParticipants({presenter_.get(), attendee_.get()}, kStepTimeoutMs, &unended, &why)) {
      return Fail("stop", why, unended->HubLog());
    }
    Stage("stopped", "both VelzarHubs and vzbridges ended");
    ticker_.reset();
    relay_.reset();

    std::printf("\nsummary\n");
    std::printf("  display           %s (%dx%d)%s\n", display.c_str(), desktop_->width(), desktop_->height(),
                display_source_.is_private() ? ", a private Xvfb" : "");
    std::printf("  first frame       %llu ms after the attendee's join request\n",
                static_cast<unsigned long long>(first_frame_ms_));
    std::printf("  frames            %.1f per second while a window moves\n", fps_);
    std::printf("  latency           p50 %.0f ms, p95 %.0f ms (over %zu clock changes)\n", Percentile(latencies_, 0.5),
                Percentile(latencies_, 0.95), latencies_.size());
    std::printf("  presenter CPU     %.0f ms per second of sharing\n", cpu_per_second_);
    std::printf("  PSNR              %s inside the sharing border (at least %.1f dB asked), %s whole\n",
                PsnrText(psnr_).c_str(), options_.min_psnr, PsnrText(whole_psnr_).c_str());
    std::printf("  pictures          %s/presenter-screen.png, %s/attendee-frame.png\n", work_.c_str(), work_.c_str());
    std::printf("  logs              presenter: %s (VelzarHub), %s (vzbridge)\n", presenter_->HubLog().c_str(),
                presenter_->BridgeLog().c_str());
    std::printf("                    attendee: %s (VelzarHub), %s (vzbridge)\n", attendee_->HubLog().c_str(),
                attendee_->BridgeLog().c_str());
    std::printf("  log lines         %d from the presenter's programs, %d from the attendee's came up the pipe\n"
                "                    (counted, not printed; the log files hold them)\n",
                presenter_->hidden_log_messages(), attendee_->hidden_log_messages());
    std::printf("  total             %s\n", Ms(vz::MonotonicMs() - start_ms).c_str());
    std::printf("local meeting with sharing: passed\n");
    return 0;
  }

 private:
  static std::string Ms(uint64_t ms) { return std::to_string(ms) + " ms"; }

  void Stage(const std::string& stage, const std::string& detail) { PrintStage(stage, detail); }

  std::string SharingRequest(const char* type, const char* roster, bool presenter) const {
    return std::string("{\"type\":\"") + type + "\",\"action\":{\"ds_conf\":{\"conf_id\":" + Quote(kMeetId) +
           ",\"server_addr\":\"127.0.0.1\",\"server_ip\":\"127.0.0.1\",\"port\":" + std::to_string(port_) +
           ",\"token\":" + Quote(tokens_.at(roster)) + "},\"ds_state\":{\"id\":" + Quote(roster) + ",\"ds_id\":" + Quote(kDsId) +
           ",\"is_presenter\":" + (presenter ? "1" : "0") + "}}}";
  }

  bool StartParticipant(MeetingParticipant& participant, const char* roster, const std::vector<std::string>& extra) {
    MeetingEntry entry;
    entry.bridge = options_.bin + "/vzbridge";
    entry.environment = extra;
    entry.meet_id = kMeetId;
    entry.language = options_.language;
    entry.roster = roster;
    entry.rosters = "{\"id\":\"R1\",\"user\":{\"name\":\"Pat Presenter\"},\"is_host\":true,\"is_presenter\":true},"
                    "{\"id\":\"R2\",\"user\":{\"name\":\"Ada Attendee\"},\"is_presenter\":false},"
                    "{\"id\":\"" + std::string(kWebRoster) + "\",\"user\":{\"name\":\"Wes Web\"},\"is_presenter\":false}";
    if (!EnterMeeting(participant, entry, kStepTimeoutMs, &why_)) return false;
    Stage(roster[1] == '1' ? "presenter started" : "attendee started",
          "vzbridge " + std::to_string(participant.bridge_pid()) + ", VelzarHub " +
              std::to_string(participant.hub_pid()) + ", sandbox " + participant.sandbox());
    return true;
  }

  // Where the clock's stamp is, once the clock window has been placed.
  bool WaitStampPlace(int* x, int* y) {
    const uint64_t since = vz::MonotonicMs();
    while (!ticker_->StampPlace(x, y)) {
      if (vz::MonotonicMs() - since > static_cast<uint64_t>(kStepTimeoutMs)) {
        why_ = "the clock window was not found on the display";
        return false;
      }
      vz::SleepMs(20);
    }
    return true;
  }

  // Frames per second and change-to-frame latency while a window moves and
  // the clock ticks; the presenter's CPU time over the same span.
  bool Measure() {
    vz::ProcessStat before, after;
    if (!vz::ReadProcessStat(presenter_->hub_pid(), &before)) {
      why_ = "cannot read the presenter's CPU time";
      return false;
    }
    ticker_->SetMoving(true);
    const uint64_t start = vz::MonotonicMs();
    uint32_t first_sequence = 0, last_sequence = 0, last_stamp = 0;
    std::vector<Seen> seen;
    uint64_t next_line = start + 1000;
    std::vector<uint8_t> cells;
    while (vz::MonotonicMs() - start < static_cast<uint64_t>(options_.duration_s) * 1000) {
      FrameDumpHeader header{};
      if (ReadFrameDumpHeader(dump_path_, &header) && header.sequence != last_sequence) {
        if (first_sequence == 0) first_sequence = header.sequence;
        last_sequence = header.sequence;
        uint32_t stamp = 0;
        int stamp_x = 0, stamp_y = 0;
        if (ticker_->StampPlace(&stamp_x, &stamp_y) &&
            ReadFrameDumpRect(dump_path_, header, stamp_x, stamp_y, StampLayout::kWidth, StampLayout::kHeight,
                              &cells) &&
            ReadStamp(cells.data(), StampLayout::kWidth, StampLayout::kHeight, 0, 0, &stamp) && stamp != last_stamp) {
          last_stamp = stamp;
          seen.push_back({header.written_us / 1000, stamp});
          Latencies(start, seen);
        }
      }
      if (vz::MonotonicMs() >= next_line) {
        next_line += 1000;
        const double seconds = static_cast<double>(vz::MonotonicMs() - start) / 1000.0;
        std::printf("== frames: %.1f per second, latency p50 %.0f ms p95 %.0f ms\n",
                    static_cast<double>(last_sequence - first_sequence) / seconds, Percentile(latencies_, 0.5),
                    Percentile(latencies_, 0.95));
        std::fflush(stdout);
      }
      vz::SleepMs(3);
    }
    const double seconds = static_cast<double>(vz::MonotonicMs() - start) / 1000.0;
    ticker_->SetMoving(false);
    if (!vz::ReadProcessStat(presenter_->hub_pid(), &after)) {
      why_ = "cannot read the presenter's CPU time";
      return false;
    }
    fps_ = static_cast<double>(last_sequence - first_sequence) / seconds;
    cpu_per_second_ = static_cast<double>(after.cpu_ms - before.cpu_ms) / seconds;
    if (last_sequence == first_sequence) {
      why_ = "the attendee's frame did not change while a window moved";
      return false;
    }
    if (latencies_.empty()) {
      why_ = "the clock's stamp was never read from the attendee's frame";
      return false;
    }
    char rate[96];
    std::snprintf(rate, sizeof(rate), "%.1f frames per second rebuilt by the attendee while a window moved", fps_);
    Stage("fps", rate);
    char text[96];
    std::snprintf(text, sizeof(text), "p50 %.0f ms, p95 %.0f ms over %zu clock changes", Percentile(latencies_, 0.5),
                  Percentile(latencies_, 0.95), latencies_.size());
    Stage("latency", text);
    return true;
  }

  // The relay cuts the attendee's connection: the web page hears the
  // attendee connecting again, then started, and frames flow again.
  bool Reconnected() {
    if (!attendee_->WaitFor("DS_SESSION_RESPONSE_CONNECTING", kStepTimeoutMs)) {
      why_ = "the attendee never reported reconnecting after the relay cut its connection";
      return false;
    }
    const uint64_t cut_ms = vz::MonotonicMs();
    Stage("reconnecting", "the relay cut the attendee's connection; the web page heard DS_SESSION_RESPONSE_CONNECTING");
    if (!attendee_->WaitFor("DS_SESSION_RESPONSE_STARTED", kStepTimeoutMs)) {
      why_ = "the attendee did not report started again after the cut";
      return false;
    }
    Stage("attendee joined again", "the web page heard DS_SESSION_RESPONSE_STARTED");
    FrameDumpHeader before{}, after{};
    ReadFrameDumpHeader(dump_path_, &before);
    while (!ReadFrameDumpHeader(dump_path_, &after) || after.sequence == before.sequence) {
      if (vz::MonotonicMs() - cut_ms > kStepTimeoutMs) {
        why_ = "no rebuilt frame after the attendee joined again";
        return false;
      }
      vz::SleepMs(5);
    }
    Stage("frames again", "the attendee rebuilds frames again");
    return true;
  }

  struct Seen {
    uint64_t written_ms;  // when the attendee wrote the frame
    uint32_t stamp;       // the clock time the frame shows
  };

  // Change-to-frame latency: for each time the clock changed on the
  // presenter's screen, until the first attendee frame that shows that
  // change or a later one. Changes the frames have not caught up with yet
  // are left out.
  void Latencies(uint64_t since_ms, const std::vector<Seen>& seen) {
    latencies_.clear();
    for (uint64_t shown : ticker_->Shown()) {
      if (shown < since_ms) continue;
      for (const Seen& frame : seen) {
        if (frame.stamp >= static_cast<uint32_t>(shown)) {
          if (frame.written_ms >= shown) latencies_.push_back(static_cast<double>(frame.written_ms - shown));
          break;
        }
      }
    }
  }

  // The browser attendee's commands to the presenter.
  bool WebAttendee() {
    WebAttendeeSetup setup;
    setup.program = WebAttendeeProgram();
    setup.display = display_;
    setup.presenter_log = presenter_->HubLog();
    setup.presenter_pid = presenter_->hub_pid();
    setup.port = port_;
    setup.meet_id = kMeetId;
    setup.token = tokens_.at(kWebRoster);
    setup.ds_id = kDsId;
    setup.roster = kWebRoster;
    setup.presenter_roster = "R1";
    setup.screen_width = desktop_->width();
    setup.screen_height = desktop_->height();
    return RunWebAttendee(
        setup, [this](const std::string& stage, const std::string& detail) { Stage(stage, detail); }, &web_stage_,
        &why_);
  }

  std::string WebAttendeeProgram() const {
    if (!options_.web_attendee.empty()) return options_.web_attendee;
    std::error_code error;
    const std::filesystem::path in_bin = std::filesystem::path(options_.bin) / "vzwebattendee";
    if (std::filesystem::exists(in_bin, error)) return in_bin.string();
    return (std::filesystem::read_symlink("/proc/self/exe", error).parent_path() / "vzwebattendee").string();
  }

  // With the screen still (the clock stopped), the attendee's frame beside a
  // grab of the presenter's first monitor.
  bool Compare() {
    ticker_->Stop();
    auto screen = vz::OpenX11ScreenSource(vz::X11ScreenOptions{display_, true});
    if (!screen) {
      why_ = "cannot open the presenter's screen";
      return false;
    }
    std::vector<vz::ScreenMonitor> monitors = screen->Monitors();
    const vz::ScreenRect bounds = monitors.empty() ? screen->Bounds() : monitors.front().bounds;
    const uint64_t deadline = vz::MonotonicMs() + 10000;
    vz::ScreenPixels grab;
    DumpedFrame frame;
    for (;;) {
      vz::SleepMs(500);
      if (!screen->ReadPixels(bounds, &grab)) {
        why_ = "cannot grab the presenter's screen";
        return false;
      }
      if (!ReadFrameDump(dump_path_, &frame, &why_)) return false;
      if (static_cast<int>(frame.header.width) != grab.width || static_cast<int>(frame.header.height) != grab.height) {
        why_ = "the attendee's frame is " + std::to_string(frame.header.width) + "x" +
               std::to_string(frame.header.height) + ", the screen " + std::to_string(grab.width) + "x" +
               std::to_string(grab.height);
        return false;
      }
      std::vector<uint8_t> packed(static_cast<size_t>(grab.width) * grab.height * 4);
      for (int y = 0; y < grab.height; ++y) {
        std::copy_n(grab.Row(y), static_cast<size_t>(grab.width) * 4, packed.data() + static_cast<size_t>(y) * grab.width * 4);
      }
      whole_psnr_ = FramePsnr(packed.data(), frame.bgra.data(), static_cast<size_t>(grab.width) * grab.height);
      psnr_ = InnerPsnr(packed.data(), frame.bgra.data(), grab.width, grab.height);
      if (psnr_ >= options_.min_psnr || vz::MonotonicMs() > deadline) {
        WritePng(packed.data(), grab.width, grab.height, work_ + "/presenter-screen.png");
        WritePng(frame.bgra.data(), grab.width, grab.height, work_ + "/attendee-frame.png");
        break;
      }
    }
    char text[200];
    std::snprintf(text, sizeof(text),
                  "PSNR %s between the attendee's frame and the presenter's screen inside the sharing border "
                  "(%s with it)", PsnrText(psnr_).c_str(), PsnrText(whole_psnr_).c_str());
    Stage("compare", text);
    if (psnr_ < options_.min_psnr) {
      char asked[48];
      std::snprintf(asked, sizeof(asked), "%.1f dB", options_.min_psnr);
      why_ = std::string(text) + ", below the " + asked + " asked";
      return false;
    }
    return true;
  }

  // The presenter's screen carries the sharing border, a saturated frame a
  // few pixels wide along the edges that the tiles' JPEG coding rings around
  // within its 8x8 blocks; the comparison that gates the run leaves those
  // blocks out and keeps everything inside them.
  static double InnerPsnr(const uint8_t* a, const uint8_t* b, int width, int height) {
    constexpr int kMargin = 8;
    if (width <= 2 * kMargin || height <= 2 * kMargin) return FramePsnr(a, b, static_cast<size_t>(width) * height);
    std::vector<uint8_t> inner_a, inner_b;
    const size_t row_bytes = static_cast<size_t>(width - 2 * kMargin) * 4;
    for (int y = kMargin; y < height - kMargin; ++y) {
      const size_t offset = (static_cast<size_t>(y) * width + kMargin) * 4;
      inner_a.insert(inner_a.end(), a + offset, a + offset + row_bytes);
      inner_b.insert(inner_b.end(), b + offset, b + offset + row_bytes);
    }
    return FramePsnr(inner_a.data(), inner_b.data(), inner_a.size() / 4);
  }

  static void WritePng(const uint8_t* bgra, int width, int height, const std::string& path) {
    vz::Image image(width, height);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const uint8_t* p = bgra + (static_cast<size_t>(y) * width + x) * 4;
        image.data()[static_cast<size_t>(y) * width + x] = 0xFF000000u | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
      }
    }
    if (!image.WritePngFile(path)) std::printf("(could not write %s)\n", path.c_str());
  }

  int Fail(const std::string& stage, const std::string& why, const std::string& log) {
    PrintFailure(stage, why, log, work_);
    // Nothing is left running: both programs of each participant, the relay,
    // the desktop's clock and the Xvfb end with this object.
    if (presenter_) presenter_->Kill();
    if (attendee_) attendee_->Kill();
    return 1;
  }

  Options options_;
  std::string work_;
  std::string display_;
  std::string dump_path_;
  std::string why_;
  std::string web_stage_;
  int32_t port_ = 0;
  DemoDisplay display_source_;
  std::unique_ptr<DesktopPicture> desktop_;
  std::unique_ptr<DesktopTicker> ticker_;
  std::unique_ptr<vz::PipedChild> relay_;
  std::map<std::string, std::string> tokens_;  // roster id -> its member token, from the relay's secret
  std::unique_ptr<MeetingParticipant> presenter_;
  std::unique_ptr<MeetingParticipant> attendee_;
  uint64_t first_frame_ms_ = 0;
  double fps_ = 0;
  double cpu_per_second_ = 0;
  double psnr_ = 0;
  double whole_psnr_ = 0;
  std::vector<double> latencies_;
};

}  // namespace

int main(int argc, char** argv) {
  Options options;
  const std::string usage =
      std::string("usage: ") + argv[0] +
      " --bin <folder of vzbridge, VelzarHub, vzrelay> [--work <folder>] [--display :N]\n"
      "          [--size WxH] [--duration S] [--min-psnr DB] [--cut-attendee-after S]\n"
      "          [--web-attendee <vzwebattendee>] [--language TAG]\n";
  const DemoCommandLine outcome = ParseDemoCommandLine(argc, argv, OptionsOf(&options), usage, stdout, stderr);
  if (outcome != DemoCommandLine::kRun) return DemoCommandLineExitCode(outcome);
  return SharingDemo(options).Run();
}

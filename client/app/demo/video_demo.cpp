// vzvideo_demo: a local video meeting without a browser. It starts vzrelay
// (the local meeting server, whose video role forwards each sender's media
// to the members that subscribed to it) on loopback and plays the browser
// extension of two participants, each against its own vzbridge, which
// starts its own VelzarHub in a sandbox of its own with the synthetic test
// camera: the start request, the meeting config, both rosters, then the
// video join naming the relay's address, port, token and the conference id
// with the participant's roster id, then camera on. Each VelzarHub shows
// the other participant as soon as that one's video runs (it subscribes by
// itself) and logs a report of every 30th picture it receives: the test
// pattern's frame counter read from it and its PSNR against the pattern.
// The demonstration reads those reports from both logs, then leaves the
// video (the web page must hear the left report) and stops both programs.
//
//   vzvideo_demo --bin <folder of vzbridge, VelzarHub, vzrelay> [--work <folder>]
//                [--display :N] [--duration S] [--loss PERCENT] [--seed N]
//                [--min-psnr DB] [--alice-camera mjpeg|yuyv] [--language TAG]
//
// --language is the web page's language (the start request's, "en-us"
// unless given, for example "de-de"): the panels speak it.
// Display: --display, else $DISPLAY, else a private Xvfb. Under a window
// manager the panels are found inside its frames, asked side by side and
// then used where the manager really put them, followed when it moves
// them. --loss makes vzrelay drop that share of the media it forwards
// (with --seed's fault decisions); the pictures must still come, whole ones
// among them after the key-frame requests that the losses cause. Exit code
// 0 when every stage held, 1 when one failed (it names itself and its log;
// every process ends), 77 when there is no display and Xvfb is not
// installed.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <map>
#include <string>
#include <vector>

#include "client/app/demo/demo_display.h"
#include "client/app/demo/demo_options.h"
#include "client/app/demo/demo_report.h"
#include "client/app/demo/demo_relay.h"
#include "client/app/demo/frame_measures.h"
#include "client/app/demo/log_watch.h"
#include "client/app/demo/meeting_entry.h"
#include "client/app/demo/meeting_participant.h"
#include "client/app/demo/panel_picture.h"
#include "client/app/demo/picture_reports.h"
#include "platform/clock.h"
#include "platform/piped_child_testlib.h"
#include "platform/screen/screen_source.h"
#include "platform/screen/x11_top_windows_testlib.h"
#include "platform/ui/display_probe.h"
#include "platform/ui/input_injector.h"
#include "platform/ui/x11_desk_testlib.h"
#include "platform/ui/x11_full_screen_watch_testlib.h"
#include "platform/ui/x11_window_grab.h"

namespace {

constexpr char kMeetId[] = "M3001";
constexpr int kStepTimeoutMs = 30000;
// A window manager answers a move in moments; one that says nothing is
// waited for this long, then its window is watched until it stops moving.
constexpr int kMoveAnswerMs = 5000;
// A panel whose move was not answered is taken where it is once it stood
// unmoved this long; one whose move the manager answered, where it then
// holds still: that must take well under this wait (a place taken only
// after it would be the wait spent where the answer already told it).
constexpr uint64_t kUnmovedMs = 5000;
constexpr uint64_t kAnsweredPlacedMs = 4000;
// Pictures are reported every 30th: two reports hold a rise of the counter.
constexpr int kReportsWanted = 2;
// The video panel's and the full-screen window's classes (WM_CLASS: the
// instance, then VelzarHub's class), the same whatever the language of
// their titles; the camera's picture size. Each participant's panel is
// placed side by side with the other's, so that a grab of one never shows
// the other.
constexpr char kProgramClass[] = "VelzarHub";
constexpr char kPanelClass[] = "VideoMainPanelWindow";
constexpr char kFullScreenClass[] = "VzFullScreenVideo";
constexpr vz::Size kCameraSize{640, 360};
// The panel's controls, as its layout places them: the tool bar (30 high)
// one pixel inside the large view's bottom left corner, its first button
// (my video, 24 wide) 12 pixels in; the full-screen button (24 x 24) 6
// pixels inside the large view's top right corner.
constexpr int kToolbarHeight = 30;
constexpr int kMyVideoButtonCentre = 12 + 12;
constexpr int kFullScreenButtonSize = 24;
// The tool bar's background (0xRRGGBB).
constexpr uint32_t kToolbarBackground = 0x151515;
constexpr uint32_t kEscapeKeysym = 0xFF1B;
// How long the full-screen window is watched from the first moment it
// shows: it must cover its monitor from then on, while a manager that
// answers the state at once may still restack or frame it a moment later,
// or hand the focus back to the window that had it before.
constexpr uint64_t kFullScreenWatchMs = 3000;
// How often it is read meanwhile: a moment out of place is a fault.
constexpr uint64_t kFullScreenReadEveryMs = 10;

struct Options {
  std::string bin;
  std::string language = "en-us";  // the web page's, in the start request
  std::string work;
  std::string display;
  int duration_s = 6;
  double loss_percent = 0;
  int seed = 1;
  double min_psnr = 30.0;
  std::string alice_camera;  // an emulated camera for alice ("mjpeg", "yuyv"); else the test camera
};

std::vector<DemoOption> OptionsOf(Options* options) {
  std::vector<DemoOption> list = DemoMeetingOptions(&options->bin, &options->language, &options->work, &options->display);
  list.insert(list.end(), {
      {"--duration", true, false,
       [options](const std::string& v) { return ParseDemoInt(v, 2, 3600, &options->duration_s); }},
      {"--loss", true, false,
       [options](const std::string& v) { return ParseDemoDouble(v, 0, 90, &options->loss_percent); }},
      {"--seed", true, false, [options](const std::string& v) { return ParseDemoInt(v, 1, INT32_MAX, &options->seed); }},
      {"--min-psnr", true, false,
       [options](const std::string& v) { return ParseDemoDouble(v, 0, kIdenticalPsnr, &options->min_psnr); }},
      {"--alice-camera", true, false,
       [options](const std::string& v) {
         options->alice_camera = v;
         return v == "mjpeg" || v == "yuyv";
       }},
  });
  return list;
}

// One participant: its programs, the roster id, where its VelzarHub writes
// the PNG of pictures it receives, and what it saw of the other.
struct Member {
  std::string name;
  std::string roster;
  std::unique_ptr<MeetingParticipant> programs;
  std::string pictures;  // VZ_VIDEO_SNAPSHOT_DIR
  std::unique_ptr<LogWatch> log;
  uint64_t panel = 0;      // its video panel's window
  bool overlay = false;    // its panel's overlay controls shown, as its log last said
  vz::Point panel_at;      // its client area's top left on the screen, as last read
  PictureTally seen;               // the other's pictures, as this one logged them
  uint64_t first_key_request = 0;  // time of day this one was first asked for a key frame; 0: never
  int key_requests = 0;
};

std::string Figure(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof(text), format, value);
  return text;
}

class VideoDemo {
 public:
  explicit VideoDemo(const Options& options) : options_(options) {}

  int Run() {
    if (!MakeWorkFolder(options_.work, "vzvideo-demo", &work_)) {
      return Fail("setup", "cannot make the work folder " + work_, "");
    }
    const uint64_t start_ms = vz::MonotonicMs();

    std::string why, detail;
    bool missing = false;
    if (!display_.Open(options_.display, 1280, 720, &detail, &why, &missing)) {
      const int code = Fail("display", why, "");
      return missing ? DemoDisplay::kNoDisplayExitCode : code;
    }
    Stage("display", detail);

    std::vector<std::string> relay_args;
    if (options_.loss_percent > 0) {
      relay_args = {"--loss", Figure("%.4f", options_.loss_percent / 100.0), "--seed", std::to_string(options_.seed)};
    }
    if (!StartDemoMeetingRelay(options_.bin, work_, relay_args, kMeetId, {{"R1"}, {"R2"}}, &relay_, &port_, &tokens_,
                               &why)) {
      return Fail("relay", why, "");
    }
    Stage("relay up", DemoRelayDetail(relay_, port_) +
                          (options_.loss_percent > 0 ? ", dropping " + Figure("%.1f", options_.loss_percent) +
                                                           " % of the media (seed " + std::to_string(options_.seed) + ")"
                                                     : ""));

    alice_ = {"alice", "R1", nullptr, work_ + "/alice-pictures", nullptr, 0, false, {0, 0}, {}, 0, 0};
    bob_ = {"bob", "R2", nullptr, work_ + "/bob-pictures", nullptr, 0, false, {0, 0}, {}, 0, 0};
    for (Member* member : {&alice_, &bob_}) {
      if (!Enter(*member)) {
        MeetingParticipant& programs = *member->programs;
        return Fail(member->name + " start", why_, programs.hub_pid() > 0 ? programs.HubLog() : programs.BridgeLog());
      }
    }

    // The video join, then the camera. The join's broadcast flag stays 0:
    // the camera starts on the web page's camera-on request. One after the
    // other, so that each new panel window is known as whose it is.
    for (Member* member : {&alice_, &bob_}) {
      const uint64_t since = vz::MonotonicMs();
      member->programs->Send(JoinRequest(member->roster));
      if (!member->programs->WaitFor("AV_SESSION_RESPONSE_JOINED", kStepTimeoutMs)) {
        return Fail(member->name + " joined", "no AV_SESSION_RESPONSE_JOINED after the video join request",
                    member->programs->HubLog());
      }
      Stage(member->name + " joined", "the web page heard AV_SESSION_RESPONSE_JOINED, " +
                                          std::to_string(vz::MonotonicMs() - since) + " ms after the join request");
      if (!FindPanel(*member)) return Fail(stage_, why_, stage_log_);
    }
    // Like every web request but a few, camera on carries a non-empty
    // "action" (the link drops it otherwise), though nothing in it is read.
    for (Member* member : {&alice_, &bob_}) {
      member->programs->Send(std::string("{\"type\":\"AV_SESSION_REQUEST_CAMERAON\",\"action\":{\"av_conf\":{\"conf_id\":\"") +
                             kMeetId + "\"}}}");
    }
    Stage("camera on", "both asked to start their test camera");

    if (!FirstPictures()) return Fail(stage_, why_, stage_log_);
    if (!Measure()) return Fail(stage_, why_, stage_log_);
    // The pointer shows each panel's overlay for its kept grab; then, on
    // alice's own panel, through the display's input: my video off and on
    // again (bob's panel then shows her pictures anew), full screen and
    // Escape back.
    injector_ = vz::InputInjector::Open(display_.name().c_str());
    if (!injector_) return Fail("input", "the display has no XTest", "");
    for (Member* member : {&alice_, &bob_}) {
      if (!CheckPanel(*member)) return Fail(stage_, why_, stage_log_);
    }
    if (!ToggleMyVideo(alice_) || !CheckPanel(bob_) || !FullScreenAndBack(alice_, bob_)) {
      return Fail(stage_, why_, stage_log_);
    }
    for (const Member* member : {&alice_, &bob_}) {
      const Member& other = member == &alice_ ? bob_ : alice_;
      std::error_code missing;
      if (!std::filesystem::exists(PngPath(*member, other), missing)) {
        return Fail("pictures", member->name + "'s VelzarHub wrote no PNG of " + other.name + "'s pictures (" +
                                    PngPath(*member, other) + ")", member->programs->HubLog());
      }
    }

    // Leave: each web page must hear the left report (the session's status 4).
    for (Member* member : {&alice_, &bob_}) {
      member->programs->Send(std::string("{\"type\":\"AV_SESSION_REQUEST_LEAVE\",\"action\":{\"av_conf\":{\"conf_id\":\"") +
                             kMeetId + "\"}}}");
      if (!member->programs->WaitFor("AV_SESSION_RESPONSE_LEFT", kStepTimeoutMs)) {
        return Fail(member->name + " left", "no AV_SESSION_RESPONSE_LEFT after the leave request",
                    member->programs->HubLog());
      }
      Stage(member->name + " left", "the web page heard AV_SESSION_RESPONSE_LEFT");
      if (!WaitWindow(*member, member->panel, "", false, member->name + " panel closed")) {
        return Fail(stage_, why_, stage_log_);
      }
      Stage(member->name + " panel closed", "its window went with the leave");
    }
    MeetingParticipant* unended = nullptr;
    if (!StopParticipants({alice_.programs.get(), bob_.programs.get()}, kStepTimeoutMs, &unended, &why)) {
      return Fail("stop", why, unended->HubLog());
    }
    Stage("stopped", "both VelzarHubs and vzbridges ended");

    std::printf("\nsummary\n");
    std::printf("  display           %s%s\n", display_.name().c_str(), display_.is_private() ? ", a private Xvfb" : "");
    std::printf("  media loss        %.1f %% at the relay\n", options_.loss_percent);
    for (const Member* member : {&alice_, &bob_}) {
      const Member& other = member == &alice_ ? bob_ : alice_;
      std::printf("  %-5s sees %-5s  %s\n", member->name.c_str(), other.name.c_str(), Seen(*member).c_str());
      std::printf("                    %d key-frame request(s) reached %s\n", other.key_requests, other.name.c_str());
    }
    std::printf("  pictures          %s (a frame of bob's as alice received it), %s\n", PngPath(alice_, bob_).c_str(),
                PngPath(bob_, alice_).c_str());
    std::printf("  panels            %s, %s\n", PanelPng(alice_).c_str(), PanelPng(bob_).c_str());
    for (const Member* member : {&alice_, &bob_}) {
      std::printf("  logs %-5s        %s (VelzarHub), %s (vzbridge)\n", member->name.c_str(),
                  member->programs->HubLog().c_str(), member->programs->BridgeLog().c_str());
    }
    std::printf("  total             %llu ms\n", static_cast<unsigned long long>(vz::MonotonicMs() - start_ms));
    std::printf("local video meeting: passed\n");
    return 0;
  }

 private:
  void Stage(const std::string& stage, const std::string& detail) { PrintStage(stage, detail); }

  std::string JoinRequest(const std::string& roster) const {
    const std::string port = std::to_string(port_);
    return std::string("{\"type\":\"AV_SESSION_REQUEST_JOIN\",\"action\":{\"av_conf\":{\"conf_id\":\"") + kMeetId +
           "\",\"server_addr\":\"127.0.0.1\",\"port\":" + port + ",\"tcp_port\":" + port + ",\"token\":\"" + tokens_.at(roster) +
           "\",\"broadcast\":0,\"layout\":0},\"av_state\":{\"id\":\"" + roster + "\"}}}";
  }

  bool Enter(Member& member) {
    member.programs = std::make_unique<MeetingParticipant>(member.name, work_ + "/" + member.name);
    std::error_code error;
    std::filesystem::create_directories(member.pictures, error);
    MeetingEntry entry;
    entry.bridge = options_.bin + "/vzbridge";
    // Alice may send from an emulated camera through the V4L2 backend.
    const bool emulated = &member == &alice_ && !options_.alice_camera.empty();
    entry.environment = {"DISPLAY=" + display_.name(),
                         emulated ? "VZ_VIDEO_EMULATED_CAMERA=" + options_.alice_camera : "VZ_VIDEO_TEST_CAMERA=1",
                         "VZ_VIDEO_SNAPSHOT_DIR=" + member.pictures};
    entry.meet_id = kMeetId;
    entry.language = options_.language;
    entry.roster = member.roster;
    entry.rosters = "{\"id\":\"R1\",\"user\":{\"name\":\"Alice\"},\"is_host\":true,\"is_presenter\":false},"
                    "{\"id\":\"R2\",\"user\":{\"name\":\"Bob\"},\"is_presenter\":false}";
    if (!EnterMeeting(*member.programs, entry, kStepTimeoutMs, &why_)) return false;
    member.log = std::make_unique<LogWatch>(member.programs->HubLog());
    Stage(member.name + " started", "vzbridge " + std::to_string(member.programs->bridge_pid()) + ", VelzarHub " +
                                        std::to_string(member.programs->hub_pid()) + ", roster " + member.roster +
                                        ", sandbox " + member.programs->sandbox());
    return true;
  }

  // Waits for the member's video panel window (a new one whose title
  // starts with the panel's; under a window manager, inside its frame) and
  // asks for it at its place: alice's at the top left, bob's beside hers,
  // frames and all, so that a grab of one never shows the other.
  bool FindPanel(Member& member) {
    const uint64_t since = vz::MonotonicMs();
    const uint64_t other = &member == &alice_ ? bob_.panel : alice_.panel;
    while (member.panel == 0) {
      for (const vz::X11TopWindow& window : vz::ListX11TopWindows(display_.name())) {
        if (window.viewable && window.id != other && IsOfClass(window, kPanelClass)) member.panel = window.id;
      }
      if (member.panel != 0) break;
      if (!member.programs->Alive()) return Stop(member.name + " panel", "the programs ended", member.programs->HubLog());
      if (vz::MonotonicMs() - since > static_cast<uint64_t>(kStepTimeoutMs)) {
        return Stop(member.name + " panel", "no video panel window within " + std::to_string(kStepTimeoutMs / 1000) + " s",
                    member.programs->HubLog());
      }
      vz::SleepMs(100);
    }
    vz::X11TopWindow found;
    if (!PanelWindow(member, &found)) return false;
    vz::Point asked{0, 0};
    vz::X11TopWindow left;
    const bool beside = &member == &bob_;
    if (beside) {
      if (!PanelWindow(alice_, &left)) return false;
      // The panel's own frame edge lands on the right of alice's frame.
      asked.x = left.frame_x + left.frame_width + (found.x - found.frame_x);
    }
    const uint64_t move_since = vz::MonotonicMs();
    const vz::DisplayMoveResult moved =
        vz::MoveDisplayWindow(display_.name().c_str(), member.panel, asked, kMoveAnswerMs);
    if (moved == vz::DisplayMoveResult::kFailed) {
      return Stop(member.name + " panel", "its panel window could not be moved", member.programs->HubLog());
    }
    const bool answered = moved == vz::DisplayMoveResult::kAnswered;
    vz::X11TopWindow placed;
    if (!WaitPlaced(member, asked, answered, &placed)) return false;
    const uint64_t took = vz::MonotonicMs() - move_since;
    if (answered && took > kAnsweredPlacedMs) {
      return Stop(member.name + " panel",
                  "the window manager answered its move, yet its place was taken only " + std::to_string(took) +
                      " ms after the move was asked (within " + std::to_string(kAnsweredPlacedMs) + " wanted)",
                  member.programs->HubLog());
    }
    const bool overlap = placed.frame_x < left.frame_x + left.frame_width &&
                         left.frame_x < placed.frame_x + placed.frame_width &&
                         placed.frame_y < left.frame_y + left.frame_height &&
                         left.frame_y < placed.frame_y + placed.frame_height;
    if (beside && overlap) {
      return Stop(member.name + " panel",
                  "the window manager placed it over alice's panel (its frame at " + std::to_string(placed.frame_x) +
                      "," + std::to_string(placed.frame_y) + ", hers " + std::to_string(left.frame_x) + "," +
                      std::to_string(left.frame_y) + " " + std::to_string(left.frame_width) + "x" +
                      std::to_string(left.frame_height) + "): the screen is too small for both side by side",
                  member.programs->HubLog());
    }
    // Both panels must show whole: they are grabbed from the screen, and a
    // panel partly off it fails every later stage with nothing to say why.
    const vz::ScreenRect screen = ScreenBounds();
    const bool off_screen = placed.x < screen.x || placed.y < screen.y ||
                            placed.x + placed.width > screen.x + screen.width ||
                            placed.y + placed.height > screen.y + screen.height;
    if (screen.width > 0 && off_screen) {
      return Stop(member.name + " panel",
                  "the screen is " + std::to_string(screen.width) + "x" + std::to_string(screen.height) + ": " +
                      member.name + "'s panel, shown at " + std::to_string(placed.x) + "," +
                      std::to_string(placed.y) + " " + std::to_string(placed.width) + "x" +
                      std::to_string(placed.height) + ", reaches past its edge; the meeting shows both panels side by side, so the "
                      "screen must be at least " +
                      std::to_string(left.frame_width + placed.frame_width) + " wide (--display or a larger screen)",
                  member.programs->HubLog());
    }
    std::string detail = "\"" + placed.title + "\", window 0x" + Hex(member.panel) + " asked at " + std::to_string(asked.x) + "," +
                         std::to_string(asked.y) + ", shown at " + std::to_string(placed.x) + "," +
                         std::to_string(placed.y) + " " + std::to_string(placed.width) + "x" +
                         std::to_string(placed.height);
    if (placed.frame != placed.id) detail += " in the window manager's frame 0x" + Hex(placed.frame);
    detail += std::string(", placed ") + std::to_string(took) + " ms after the move was asked" +
              (answered ? "" : " (the move not answered)");
    Stage(member.name + " panel", detail);
    return true;
  }

  // Waits until the window manager (if any) has placed the member's panel
  // after a move: where asked, or wherever it settles (a manager may adjust
  // the place for its frame, or keep its title bar on the screen): the same
  // place on a few reads in a row once the manager answered the move, or,
  // from one that did not answer, once it moved or after a while unmoved.
  bool WaitPlaced(Member& member, vz::Point asked, bool answered, vz::X11TopWindow* placed) {
    constexpr int kSettledReads = 5;
    const uint64_t since = vz::MonotonicMs();
    if (!PanelWindow(member, placed)) return false;
    const vz::Point before{placed->x, placed->y};
    vz::Point last = before;
    int same = 0;
    for (;;) {
      if (!PanelWindow(member, placed)) return false;
      const vz::Point now{placed->x, placed->y};
      same = now == last ? same + 1 : 0;
      last = now;
      const bool settled =
          same >= kSettledReads && (answered || now != before || vz::MonotonicMs() - since > kUnmovedMs);
      if (now == asked || settled) return true;
      if (vz::MonotonicMs() - since > static_cast<uint64_t>(kStepTimeoutMs)) {
        return Stop(member.name + " panel", "its window did not settle after it was moved",
                    member.programs->HubLog());
      }
      vz::SleepMs(100);
    }
  }

  // The member's panel as the display has it now: its client area on the
  // screen (read again each time: a window manager may move or resize it)
  // and its frame.
  bool PanelWindow(Member& member, vz::X11TopWindow* out) {
    for (const vz::X11TopWindow& window : vz::ListX11TopWindows(display_.name())) {
      if (window.id == member.panel) {
        member.panel_at = {window.x, window.y};
        *out = window;
        return true;
      }
    }
    return Stop(member.name + " panel", "its panel window is gone", member.programs->HubLog());
  }

  // The member's panel's client area's size, its place followed.
  bool PanelSize(Member& member, vz::Size* size) {
    vz::X11TopWindow window;
    if (!PanelWindow(member, &window)) return false;
    *size = vz::Size{window.width, window.height};
    return true;
  }

  // Shows the panel's overlay controls and tool bar: the pointer moves over
  // the large view until the panel's log says they are shown.
  bool ShowOverlay(Member& member, const vz::Rect& large) {
    vz::Size size;
    if (!PanelSize(member, &size)) return false;
    const uint64_t since = vz::MonotonicMs();
    for (int step = 0;; ++step) {
      for (const std::string& line : member.log->NewLines()) {
        if (line.find("overlay controls shown") != std::string::npos) member.overlay = true;
        if (line.find("overlay controls hidden") != std::string::npos) member.overlay = false;
      }
      if (member.overlay) break;
      if (!member.programs->Alive()) return Stop(member.name + " overlay", "the programs ended", member.programs->HubLog());
      if (vz::MonotonicMs() - since > static_cast<uint64_t>(kStepTimeoutMs)) {
        return Stop(member.name + " overlay", "the panel's overlay controls did not show when the pointer moved over it",
                    member.programs->HubLog());
      }
      const int x = (large.left + large.right) / 2 + (step % 2) * 20;
      injector_->MoveTo({member.panel_at.x + x, member.panel_at.y + large.top + 40});
      injector_->Sync();
      vz::SleepMs(100);
    }
    return true;
  }

  // Shows the overlay, then clicks at `at` in the panel, where the pointer
  // then rests (which keeps it shown).
  bool ClickInPanel(Member& member, const vz::Rect& large, vz::Point at) {
    if (!ShowOverlay(member, large)) return false;
    injector_->MoveTo({member.panel_at.x + at.x, member.panel_at.y + at.y});
    injector_->Sync();
    injector_->Click({member.panel_at.x + at.x, member.panel_at.y + at.y});
    injector_->Sync();
    return true;
  }

  // The tool bar's my-video button stops the member's video (the web page
  // hears it stopped), and a second click starts it again.
  bool ToggleMyVideo(Member& member) {
    vz::Size client;
    if (!PanelSize(member, &client)) return false;
    const vz::Rect large = PanelLargeViewRect(client);
    const vz::Point button{large.left + 1 + kMyVideoButtonCentre, large.bottom - 1 - kToolbarHeight / 2};
    for (const char* heard : {"AV_SESSION_RESPONSE_UNBROADCASTED", "AV_SESSION_RESPONSE_BROADCASTED"}) {
      const uint64_t since = vz::MonotonicMs();
      if (!ClickInPanel(member, large, button)) return false;
      if (!member.programs->WaitFor(heard, kStepTimeoutMs)) {
        return Stop(member.name + " my video", std::string("no ") + heard + " after a click on the my-video button",
                    member.programs->HubLog());
      }
      Stage(member.name + " my video", std::string("clicked through XTest; the web page heard ") + heard + ", " +
                                           std::to_string(vz::MonotonicMs() - since) + " ms later");
    }
    return true;
  }

  // The full-screen button opens the full-screen window, Escape closes it
  // and the panel shows again. The other member's panel (another program's
  // window) has the focus before the click.
  bool FullScreenAndBack(Member& member, const Member& other) {
    vz::Size client;
    if (!PanelSize(member, &client)) return false;
    const vz::Rect large = PanelLargeViewRect(client);
    const vz::Point button{large.right - 6 - kFullScreenButtonSize / 2, large.top + 6 + kFullScreenButtonSize / 2};
    vz::X11TopWindow panel;
    if (!PanelWindow(member, &panel)) return false;
    const vz::ScreenRect monitor = MonitorOf(panel);
    if (!vz::FocusX11Window(display_.name(), other.panel, kStepTimeoutMs)) {
      return Stop(member.name + " full screen", other.name + "'s panel did not get the focus", "");
    }
    if (!ClickInPanel(member, large, button)) return false;
    vz::X11TopWindow full;
    if (!WatchFullScreen(member, monitor, &full)) return false;
    Stage(member.name + " full screen", "\"" + full.title + "\" window 0x" + Hex(full.id) +
                                            " over the panel's monitor, " + std::to_string(monitor.width) + "x" +
                                            std::to_string(monitor.height) + " at " + std::to_string(monitor.x) +
                                            "," + std::to_string(monitor.y) +
                                            ", without a frame, nothing over it and its keys taken from " +
                                            other.name + "'s panel, from its first moment on the screen for " +
                                            std::to_string(kFullScreenWatchMs) + " ms");
    // Keys go to the window under the pointer (no window manager), or to
    // the one with the focus, which a manager gives the new window: the
    // pointer rests in the middle of the full-screen window's client area.
    injector_->MoveTo({full.x + full.width / 2, full.y + full.height / 2});
    injector_->Sync();
    injector_->Tap(kEscapeKeysym);
    injector_->Sync();
    if (!WaitWindow(member, full.id, "", false, member.name + " Escape")) return false;
    if (!WaitWindow(member, member.panel, "", true, member.name + " Escape")) return false;
    // Where it was, at the size it had.
    const uint64_t since = vz::MonotonicMs();
    vz::X11TopWindow back;
    for (;;) {
      if (!PanelWindow(member, &back)) return false;
      if (back.x == panel.x && back.y == panel.y && back.width == panel.width && back.height == panel.height) break;
      if (vz::MonotonicMs() - since > static_cast<uint64_t>(kStepTimeoutMs)) {
        return Stop(member.name + " Escape",
                    "the panel came back " + std::to_string(back.width) + "x" + std::to_string(back.height) + " at " +
                        std::to_string(back.x) + "," + std::to_string(back.y) + ", not where it was (" +
                        std::to_string(panel.width) + "x" + std::to_string(panel.height) + " at " +
                        std::to_string(panel.x) + "," + std::to_string(panel.y) + ")",
                    member.programs->HubLog());
      }
      vz::SleepMs(100);
    }
    Stage(member.name + " Escape", "the full-screen window went and the panel shows again where it was");
    return true;
  }

  // The whole screen of the display (empty when it cannot be read).
  vz::ScreenRect ScreenBounds() {
    auto screen = vz::OpenX11ScreenSource(vz::X11ScreenOptions{display_.name(), false});
    return screen ? screen->Bounds() : vz::ScreenRect{};
  }

  // The monitor a window's client area is most on; the whole screen when
  // the display tells no monitors.
  vz::ScreenRect MonitorOf(const vz::X11TopWindow& window) {
    auto screen = vz::OpenX11ScreenSource(vz::X11ScreenOptions{display_.name(), false});
    if (!screen) return {};
    vz::ScreenRect best = screen->Bounds();
    int64_t most = 0;
    for (const vz::ScreenMonitor& monitor : screen->Monitors()) {
      const vz::ScreenRect& m = monitor.bounds;
      const int64_t w = std::min(m.x + m.width, window.x + window.width) - std::max(m.x, window.x);
      const int64_t h = std::min(m.y + m.height, window.y + window.height) - std::max(m.y, window.y);
      if (w > 0 && h > 0 && w * h > most) {
        most = w * h;
        best = m;
      }
    }
    return best;
  }

  // Whether the full-screen window's client area is the monitor, with no
  // frame around it and no window that shows (drawn, viewable) stacked
  // over it; what was seen into `seen` when not.
  bool Covers(uint64_t id, const vz::ScreenRect& monitor, vz::X11TopWindow* full, std::string* seen) {
    const std::vector<vz::X11TopWindow> windows = vz::ListX11TopWindows(display_.name());
    auto it = std::find_if(windows.begin(), windows.end(), [&](const vz::X11TopWindow& w) { return w.id == id; });
    if (it == windows.end() || !it->viewable) {
      *seen = "the window is not shown";
      return false;
    }
    *full = *it;
    const vz::ScreenRect client{it->x, it->y, it->width, it->height};
    const vz::ScreenRect frame{it->frame_x, it->frame_y, it->frame_width, it->frame_height};
    std::string over;
    for (auto above = it + 1; above != windows.end(); ++above) {
      // A manager's input-only windows (icewm's screen edges) draw nothing.
      const bool meets = above->viewable && above->frame_input_output &&
                         above->frame_x < monitor.x + monitor.width && monitor.x < above->frame_x + above->frame_width &&
                         above->frame_y < monitor.y + monitor.height && monitor.y < above->frame_y + above->frame_height;
      if (meets) over += " \"" + above->title + "\"";
    }
    if (client == monitor && frame == client && over.empty()) return true;
    *seen = "client area " + std::to_string(client.width) + "x" + std::to_string(client.height) + " at " +
            std::to_string(client.x) + "," + std::to_string(client.y) + ", frame " + std::to_string(frame.width) + "x" +
            std::to_string(frame.height) + " at " + std::to_string(frame.x) + "," + std::to_string(frame.y) +
            (over.empty() ? "" : ", under" + over);
    return false;
  }

  // Waits for the member's full-screen window and watches it from the
  // first read that finds it shown, for kFullScreenWatchMs: at every read
  // it covers the monitor (Covers); the member's panel is still shown
  // unless the full-screen window has the keyboard focus (a panel that goes
  // first hands the focus back to the window that had it before); the
  // focus, once the full-screen window's, stays; by the end it has it.
  bool WatchFullScreen(Member& member, const vz::ScreenRect& monitor, vz::X11TopWindow* full) {
    const uint64_t asked = vz::MonotonicMs();
    uint64_t first = 0;
    bool had_focus = false;
    std::string seen;
    auto stop = [&](const std::string& what) {
      const std::string when = first == 0 ? "" : std::to_string(vz::MonotonicMs() - first) + " ms after it showed, ";
      return Stop(member.name + " full screen", when + what, member.programs->HubLog());
    };
    for (;;) {
      const std::vector<vz::X11TopWindow> windows = vz::ListX11TopWindows(display_.name());
      bool panel_shown = false;
      full->id = 0;
      for (const vz::X11TopWindow& window : windows) {
        if (window.id == member.panel) panel_shown = window.viewable;
        if (IsOfClass(window, kFullScreenClass) && window.viewable) *full = window;
      }
      const uint64_t now = vz::MonotonicMs();
      if (first == 0 && full->id != 0) first = now;
      if (first == 0) {
        if (!member.programs->Alive()) return stop("the programs ended");
        if (now - asked > static_cast<uint64_t>(kStepTimeoutMs)) {
          return stop("no full-screen window showed within " + std::to_string(kStepTimeoutMs / 1000) + " s");
        }
      } else {
        if (full->id == 0) return stop("the full-screen window is not shown");
        if (!Covers(full->id, monitor, full, &seen)) {
          return stop("it does not cover the panel's monitor " + std::to_string(monitor.width) + "x" +
                      std::to_string(monitor.height) + " at " + std::to_string(monitor.x) + "," +
                      std::to_string(monitor.y) + ": " + seen);
        }
        const bool focused = vz::X11FocusIsIn(display_.name(), full->id);
        if (had_focus && !focused) return stop("it lost the keyboard focus");
        if (!focused && !panel_shown) {
          return stop("the panel went before the full-screen window had the keyboard focus");
        }
        had_focus = had_focus || focused;
        if (now - first >= kFullScreenWatchMs) {
          return had_focus ? true : stop("the full-screen window does not have the keyboard focus");
        }
      }
      vz::SleepMs(kFullScreenReadEveryMs);
    }
  }

  static bool IsOfClass(const vz::X11TopWindow& window, const char* instance) {
    return window.res_name == instance && window.res_class == kProgramClass;
  }

  // Waits until a window (by id, or else the first of this class; under a
  // window manager the client's own window inside its frame) is viewable
  // (`shown`) or not viewable or gone; it into `found`.
  bool WaitWindow(const Member& member, uint64_t id, const char* instance, bool shown, const std::string& stage,
                  vz::X11TopWindow* found = nullptr) {
    const uint64_t since = vz::MonotonicMs();
    for (;;) {
      bool there = false;
      for (const vz::X11TopWindow& window : vz::ListX11TopWindows(display_.name())) {
        const bool match = id != 0 ? window.id == id : IsOfClass(window, instance);
        if (match && window.viewable) {
          there = true;
          if (found != nullptr) *found = window;
        }
      }
      if (there == shown) return true;
      if (!member.programs->Alive() && shown) return Stop(stage, "the programs ended", member.programs->HubLog());
      if (vz::MonotonicMs() - since > static_cast<uint64_t>(kStepTimeoutMs)) {
        const std::string what = id != 0 ? "window 0x" + Hex(id) : std::string(instance) + " window";
        return Stop(stage, "the " + what + (shown ? " did not show" : " did not go") + " within " +
                               std::to_string(kStepTimeoutMs / 1000) + " s",
                    member.programs->HubLog());
      }
      vz::SleepMs(100);
    }
  }

  // Grabs the member's panel until the other's picture in its large view
  // shows a rising frame counter and matches the pattern, and its strip
  // shows a picture (its own); the last grab is kept as a PNG.
  bool CheckPanel(Member& member) {
    const Member& other = &member == &alice_ ? bob_ : alice_;
    const uint64_t since = vz::MonotonicMs();
    PanelPictureReading first, last;
    std::string why = "no grab of the panel window";
    for (;;) {
      std::optional<vz::Image> grab = vz::GrabX11Window(display_.name(), member.panel);
      if (grab) {
        const vz::Size client{grab->width(), grab->height()};
        const vz::Rect expected = PanelLargePictureRect(client, kCameraSize);
        const PanelPictureReading reading = ReadPanelPicture(*grab, expected, kCameraSize);
        grab->WritePngFile(PanelPng(member));
        if (!reading.found) {
          why = "no frame counter read from the large view of a " + std::to_string(client.width) + "x" +
                std::to_string(client.height) + " panel";
        } else if (reading.psnr < options_.min_psnr) {
          // Not the pattern (yet): a placeholder, or a picture still building up.
          why = "the large view's picture is " + Figure("%.1f", reading.psnr) + " dB against the pattern, " +
                Figure("%.1f", options_.min_psnr) + " wanted";
        } else if (!first.found) {
          first = reading;
        } else {
          last = reading;
          // Two tiles: the other's (hidden: it is the one shown large) and
          // its own, whichever of the two places holds a picture.
          PanelPictureReading tile;
          for (int index = 0; index < 2; ++index) {
            const PanelPictureReading one = ReadStripTile(*grab, PanelStripPictureRect(client, 2, index), kCameraSize);
            if (one.found && (!tile.found || one.psnr > tile.psnr)) tile = one;
          }
          if (last.counter <= first.counter) {
            why = "the frame counter did not rise: " + std::to_string(first.counter) + " -> " +
                  std::to_string(last.counter);
            // A counter that went back is a picture of a stream started
            // again (the sender's my-video off and on): count from it.
            if (last.counter < first.counter) first = last;
          } else if (!tile.found) {
            why = "no picture with a frame counter in the strip";
          } else if (tile.psnr < kTileMinPsnr) {
            why = "the strip's picture is " + Figure("%.1f", tile.psnr) + " dB against the pattern, " +
                  Figure("%.1f", kTileMinPsnr) + " wanted";
          } else if (!KeepGrabWithOverlay(member, client)) {
            return false;
          } else {
            Stage(member.name + "'s panel",
                  other.name + " large at " + std::to_string(last.picture.left) + "," +
                      std::to_string(last.picture.top) + " " + std::to_string(last.picture.Width()) + "x" +
                      std::to_string(last.picture.Height()) + ", counter " + std::to_string(first.counter) + " -> " +
                      std::to_string(last.counter) + ", PSNR " + Figure("%.1f", last.psnr) +
                      " dB at half size; itself in the strip at " + std::to_string(tile.picture.left) + "," +
                      std::to_string(tile.picture.top) + " " + std::to_string(tile.picture.Width()) + "x" +
                      std::to_string(tile.picture.Height()) + ", counter " + std::to_string(tile.counter) + ", PSNR " +
                      Figure("%.1f", tile.psnr) + " dB at a quarter size; " + PanelPng(member));
            return true;
          }
        }
      }
      if (!member.programs->Alive()) return Stop(member.name + "'s panel", "the programs ended", member.programs->HubLog());
      if (vz::MonotonicMs() - since > static_cast<uint64_t>(kStepTimeoutMs)) {
        return Stop(member.name + "'s panel", why + " (grab in " + PanelPng(member) + ")", member.programs->HubLog());
      }
      vz::SleepMs(300);
    }
  }

  // With the overlay shown, grabs the panel until its tool bar shows above
  // the video in the large view's bottom left corner, and keeps that grab.
  bool KeepGrabWithOverlay(Member& member, vz::Size client) {
    const vz::Rect large = PanelLargeViewRect(client);
    const vz::Point toolbar{large.left + 3, large.bottom - 1 - kToolbarHeight + 2};
    const uint64_t since = vz::MonotonicMs();
    for (;;) {
      // Shown again should it have hidden (the pointer resting) before the grab.
      if (!ShowOverlay(member, large)) return false;
      std::optional<vz::Image> grab = vz::GrabX11Window(display_.name(), member.panel);
      if (grab && toolbar.x < grab->width() && toolbar.y < grab->height() &&
          (grab->GetPixel(toolbar.x, toolbar.y) & 0xFFFFFF) == kToolbarBackground) {
        grab->WritePngFile(PanelPng(member));
        return true;
      }
      if (!member.programs->Alive()) return Stop(member.name + "'s panel", "the programs ended", member.programs->HubLog());
      if (vz::MonotonicMs() - since > static_cast<uint64_t>(kStepTimeoutMs)) {
        return Stop(member.name + "'s panel", "the tool bar did not show above the video", member.programs->HubLog());
      }
      vz::SleepMs(100);
    }
  }

  // The strip's tile is small and scaled twice (the sender's layer, then the
  // renderer): it must show the pattern, compared at a quarter size, at least so well.
  // A Motion-JPEG camera's own tile measures about 20 dB (its coding's loss,
  // then the scaling); a picture that is not the pattern stays far below.
  static constexpr double kTileMinPsnr = 18.0;

  static std::string Hex(uint64_t value) {
    char text[32];
    std::snprintf(text, sizeof(text), "%llx", static_cast<unsigned long long>(value));
    return text;
  }

  static std::string PanelPng(const Member& member) { return member.pictures + "/panel.png"; }

  // Takes the new lines of both logs: picture reports of the other's
  // pictures, key-frame requests to this one's sender, and whether the
  // panel's overlay controls show (they may have shown long before they are
  // looked for, and stay so while the pointer rests on them).
  void ReadLogs() {
    for (Member* member : {&alice_, &bob_}) {
      const Member& other = member == &alice_ ? bob_ : alice_;
      for (const std::string& line : member->log->NewLines()) {
        PictureReport report;
        if (ParsePictureReport(line, &report)) {
          if (report.from == other.roster) member->seen.Add(report);
        } else if (line.find("key frame requested by ssrc=") != std::string::npos) {
          ++member->key_requests;
          uint64_t ms = 0;
          if (member->first_key_request == 0 && LogLineTime(line, &ms)) member->first_key_request = ms;
        } else if (line.find("overlay controls shown") != std::string::npos) {
          member->overlay = true;
        } else if (line.find("overlay controls hidden") != std::string::npos) {
          member->overlay = false;
        }
      }
    }
  }

  bool FirstPictures() {
    const uint64_t since = vz::MonotonicMs();
    while (alice_.seen.reports() == 0 || bob_.seen.reports() == 0) {
      if (!alice_.programs->Alive() || !bob_.programs->Alive()) {
        Member& gone = alice_.programs->Alive() ? bob_ : alice_;
        return Stop("first pictures", "the programs of " + gone.name + " ended", gone.programs->HubLog());
      }
      if (vz::MonotonicMs() - since > static_cast<uint64_t>(kStepTimeoutMs)) {
        Member& blind = alice_.seen.reports() == 0 ? alice_ : bob_;
        return Stop("first pictures",
                    blind.name + " logged no picture of " + (&blind == &alice_ ? bob_.name : alice_.name) +
                        " within " + std::to_string(kStepTimeoutMs / 1000) + " s",
                    blind.programs->HubLog());
      }
      vz::SleepMs(100);
      ReadLogs();
    }
    for (const Member* member : {&alice_, &bob_}) {
      const PictureReport& first = member->seen.first();
      Stage("first pictures", member->name + " received " + first.from + "'s, " + std::to_string(first.width) + "x" +
                                  std::to_string(first.height) + ", counter " + std::to_string(first.counter) +
                                  ", PSNR " + PsnrText(first.psnr));
    }
    std::printf("   (%llu ms after the camera-on requests)\n",
                static_cast<unsigned long long>(vz::MonotonicMs() - since));
    return true;
  }

  // Pictures for the duration, and longer (within the step's time-out)
  // while a direction still lacks what it must show; then what each saw of
  // the other.
  bool Measure() {
    const uint64_t since = vz::MonotonicMs();
    const uint64_t span = static_cast<uint64_t>(options_.duration_s) * 1000;
    uint64_t next_line = since + 2000;
    std::string stage, why, log;
    for (;;) {
      if (!alice_.programs->Alive() || !bob_.programs->Alive()) {
        Member& gone = alice_.programs->Alive() ? bob_ : alice_;
        return Stop("pictures", "the programs of " + gone.name + " ended", gone.programs->HubLog());
      }
      vz::SleepMs(100);
      ReadLogs();
      const uint64_t elapsed = vz::MonotonicMs() - since;
      if (vz::MonotonicMs() >= next_line) {
        next_line += 2000;
        std::printf("== pictures: alice has %lld of bob's, bob %lld of alice's\n",
                    static_cast<long long>(alice_.seen.last().picture), static_cast<long long>(bob_.seen.last().picture));
        std::fflush(stdout);
      }
      if (elapsed < span) continue;
      const bool held = Held(alice_, bob_, &stage, &why, &log) && Held(bob_, alice_, &stage, &why, &log);
      if (held) break;
      if (elapsed >= span + kStepTimeoutMs) return Stop(stage, why, log);
    }
    for (const Member* member : {&alice_, &bob_}) {
      const Member& other = member == &alice_ ? bob_ : alice_;
      Stage(member->name + " sees " + other.name, Seen(*member));
    }
    return true;
  }

  // Whether what `receiver` saw of `sender` so far holds everything asked;
  // when not, the stage, the reason and the log to read.
  bool Held(const Member& receiver, const Member& sender, std::string* stage, std::string* why, std::string* log) {
    const PictureTally& seen = receiver.seen;
    *stage = receiver.name + " sees " + sender.name;
    *log = receiver.programs->HubLog();
    if (seen.reports() < kReportsWanted) {
      *why = std::to_string(seen.reports()) + " picture report(s) of " + sender.name + ", " +
             std::to_string(kReportsWanted) + " wanted";
      return false;
    }
    if (!seen.CountersRose()) {
      *why = "the frame counter of " + sender.name + "'s pictures did not rise: " +
             std::to_string(seen.first().counter) + " -> " + std::to_string(seen.last().counter) + ", " +
             std::to_string(seen.last().rising) + " of " + std::to_string(seen.last().picture) + " pictures rose";
      return false;
    }
    if (seen.best_psnr() < options_.min_psnr) {
      *why = "no reported picture of " + sender.name + " reached " + Figure("%.1f", options_.min_psnr) + " dB (best " +
             PsnrText(seen.best_psnr()) + ")";
      return false;
    }
    if (options_.loss_percent > 0) {
      // With losses the pictures after a loss wait for a key frame: whole
      // pictures must come after the first request that reached the sender.
      if (sender.first_key_request == 0) {
        *why = "media was dropped but " + sender.name + " was never asked for a key frame";
        *log = sender.programs->HubLog();
        return false;
      }
      if (seen.SharpSince(sender.first_key_request) <= 0) {
        *why = "no picture above 30 dB after " + sender.name + "'s first key-frame request";
        return false;
      }
    }
    return true;
  }

  std::string Seen(const Member& member) const {
    const PictureTally& seen = member.seen;
    std::string text = std::to_string(seen.last().picture) + " pictures, " + Figure("%.1f", seen.PerSecond()) +
                       " per second, " + std::to_string(seen.last().width) + "x" + std::to_string(seen.last().height) +
                       ", counter " + std::to_string(seen.first().counter) + " -> " +
                       std::to_string(seen.last().counter) + ", PSNR best " + PsnrText(seen.best_psnr()) +
                       ", last " + PsnrText(seen.last().psnr);
    if (seen.last().sharp >= 0) {
      text += ", " + std::to_string(seen.last().sharp) + " above 30 dB, " + std::to_string(seen.last().rising) +
              " with a rising counter";
    }
    return text;
  }

  // Where the receiver's VelzarHub writes the sender's pictures.
  static std::string PngPath(const Member& receiver, const Member& sender) {
    return receiver.pictures + "/" + sender.roster + ".png";
  }

  bool Stop(const std::string& stage, const std::string& why, const std::string& log) {
    stage_ = stage;
    why_ = why;
    stage_log_ = log;
    return false;
  }

  int Fail(const std::string& stage, const std::string& why, const std::string& log) {
    PrintFailure(stage, why, log, work_);
    // Nothing is left running: both programs of each participant here, the
    // relay and the Xvfb with this object.
    for (Member* member : {&alice_, &bob_}) {
      if (member->programs) member->programs->Kill();
    }
    return 1;
  }

  Options options_;
  std::string work_;
  std::string why_;
  std::string stage_;
  std::string stage_log_;
  int32_t port_ = 0;
  DemoDisplay display_;
  std::unique_ptr<vz::InputInjector> injector_;
  vz::PipedChild relay_;
  std::map<std::string, std::string> tokens_;  // roster id -> its member token, from the relay's secret
  Member alice_;
  Member bob_;
};

}  // namespace

int main(int argc, char** argv) {
  Options options;
  const std::string usage = std::string("usage: ") + argv[0] +
                            " --bin <folder of vzbridge, VelzarHub, vzrelay> [--work <folder>] [--display :N]\n"
                            "          [--duration S] [--loss PERCENT] [--seed N] [--min-psnr DB]\n"
                            "          [--alice-camera mjpeg|yuyv] [--language TAG]\n";
  const DemoCommandLine outcome = ParseDemoCommandLine(argc, argv, OptionsOf(&options), usage, stdout, stderr);
  if (outcome != DemoCommandLine::kRun) return DemoCommandLineExitCode(outcome);
  return VideoDemo(options).Run();
}

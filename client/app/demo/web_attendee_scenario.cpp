#include "client/app/demo/web_attendee_scenario.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "client/app/demo/log_watch.h"
#include "outside/vzres/vzres_ids.h"
#include "platform/clock.h"
#include "platform/piped_child_testlib.h"
#include "platform/screen/screen_source.h"
#include "platform/screen/x11_click_window_testlib.h"
#include "platform/screen/x11_top_windows_testlib.h"
#include "platform/ui/input_injector.h"

namespace {

constexpr int kWaitMs = 20000;
// The consent question's title (in English), its window class (the same in
// every language: the dialog's resource id) and its Allow button's centre
// in its client area (the dialog's layout in the resources).
constexpr char kConsentTitle[] = "Remote Control";
const std::string kConsentClass = "dialog-" + std::to_string(vzres::IDD_REMOTE_CONTROL);
constexpr char kProgramClass[] = "VelzarHub";
constexpr int kAllowX = 144 + 120 / 2;
constexpr int kAllowY = 108 + 28 / 2;
// The annotation: a filled rectangle in red (0xAABBGGRR), weight 4.
constexpr int kAnnotationType = 14;
constexpr char kAnnotationColour[] = "0xFF0000FF";

// The stand-in's output, a line at a time.
class StandIn {
 public:
  bool Start(const WebAttendeeSetup& s) {
    return child_.Start(s.program,
                        {"vzwebattendee", "--port", std::to_string(s.port), "--meet", s.meet_id, "--token", s.token,
                         "--ds-id", s.ds_id, "--roster", s.roster, "--presenter", s.presenter_roster},
                        {});
  }
  bool Send(const std::string& line) { return child_.WriteAll(line + "\n", 5000); }
  // Waits for a line that starts with `prefix`, skipping others (each
  // printed); false on time-out, or when the output ended first.
  bool WaitLine(const std::string& prefix, int timeout_ms, std::string* seen) {
    const uint64_t deadline = vz::MonotonicMs() + static_cast<uint64_t>(timeout_ms);
    std::string line;
    while (vz::MonotonicMs() < deadline) {
      char c = 0;
      const int left = static_cast<int>(deadline - vz::MonotonicMs());
      if (!child_.ReadExactly(&c, 1, left > 0 ? left : 1)) return false;
      if (c != '\n') {
        if (line.size() < 4096) line.push_back(c);
        continue;
      }
      std::printf("   web attendee: %s\n", line.c_str());
      *seen = line;
      if (line.compare(0, prefix.size(), prefix) == 0) return true;
      line.clear();
    }
    return false;
  }
  bool Quit(std::string* why) {
    std::string seen;
    if (!Send("quit") || !WaitLine("leaving", 5000, &seen)) {
      *why = "the web attendee did not leave after quit";
      return false;
    }
    int code = -1;
    if (!child_.Wait(10000, &code) || code != 0) {
      *why = "the web attendee ended with " + std::to_string(code);
      return false;
    }
    return true;
  }
  int Pid() const { return child_.Pid(); }

 private:
  vz::PipedChild child_;  // killed and reaped with the object when it still runs
};

// The share of pixels in `rect` that are clearly red.
double RedShare(vz::ScreenSource& screen, const vz::ScreenRect& rect) {
  vz::ScreenPixels pixels;
  if (!screen.ReadPixels(rect, &pixels)) return 0;
  size_t red = 0;
  for (int y = 0; y < pixels.height; ++y) {
    const uint8_t* row = pixels.Row(y);
    for (int x = 0; x < pixels.width; ++x) {
      const uint8_t b = row[x * 4], g = row[x * 4 + 1], r = row[x * 4 + 2];
      if (r > 160 && g < 100 && b < 100) ++red;
    }
  }
  return static_cast<double>(red) / (static_cast<double>(pixels.width) * pixels.height);
}

class Scenario {
 public:
  Scenario(const WebAttendeeSetup& setup, const std::function<void(const std::string&, const std::string&)>& stage)
      : s_(setup), stage_(stage), log_(setup.presenter_log) {}

  bool Run(std::string* failed, std::string* why) {
    failed_ = failed;
    why_ = why;
    const int w = s_.screen_width, h = s_.screen_height;
    // The click target: right of the middle, low, clear of the consent
    // question (centred) and of the panel (at the top).
    click_box_ = {w * 5 / 8, h * 5 / 8, 240, 140};
    window_ = vz::X11ClickWindow::Open(s_.display, click_box_.x, click_box_.y, click_box_.width, click_box_.height,
                                       0x2E7D32);
    if (!window_) return Fail("click target", "cannot make the click target window on " + s_.display);
    screen_ = vz::OpenX11ScreenSource(vz::X11ScreenOptions{s_.display, true});
    if (!screen_) return Fail("click target", "cannot open the presenter's screen");
    injector_ = vz::InputInjector::Open(s_.display.c_str());
    if (!injector_) return Fail("click target", "no input injection on " + s_.display);

    std::string seen;
    if (!stand_in_.Start(s_)) return Fail("web attendee joined", "cannot start " + s_.program);
    if (!stand_in_.WaitLine("joined", kWaitMs, &seen)) {
      return Fail("web attendee joined", "the web attendee never joined the sharing session (last said [" + seen + "])");
    }
    stage_("web attendee joined", "vzwebattendee (process " + std::to_string(stand_in_.Pid()) + ") as " + s_.roster +
                                      ", a plain client of the sharing session on vzrelay");
    return Annotation() && Control() && Click() && Leave();
  }

 private:
  bool Fail(const std::string& stage, const std::string& why) {
    *failed_ = stage;
    *why_ = why;
    return false;
  }

  bool Annotation() {
    const vz::ScreenRect box{s_.screen_width / 8, s_.screen_height * 5 / 8, 300, 120};
    const double before = RedShare(*screen_, box);
    char line[200];
    std::snprintf(line, sizeof(line), "annotate %d 1 %s 4 %d,%d %d,%d", kAnnotationType, kAnnotationColour, box.x,
                  box.y, box.x + box.width, box.y + box.height);
    std::string seen;
    if (!stand_in_.Send(line) || !stand_in_.WaitLine("sent", 5000, &seen) || seen != "sent annotate") {
      return Fail("annotation", "the web attendee did not send the annotation (said [" + seen + "])");
    }
    const std::string logged = "type [" + std::to_string(kAnnotationType) + "], color [" + kAnnotationColour + "]";
    if (!log_.Wait(logged, kWaitMs)) {
      return Fail("annotation", "the presenter's VelzarHub never logged the annotation command \"" + logged + "\"");
    }
    // Inside the rectangle (clear of its outline), the overlay's fill.
    const vz::ScreenRect inner{box.x + 20, box.y + 20, box.width - 40, box.height - 40};
    double after = 0;
    const uint64_t deadline = vz::MonotonicMs() + 5000;
    while ((after = RedShare(*screen_, inner)) < 0.9 && vz::MonotonicMs() < deadline) vz::SleepMs(50);
    char detail[200];
    std::snprintf(detail, sizeof(detail),
                  "a filled red rectangle on monitor 1 at %d,%d %dx%d: the presenter logged the command, "
                  "%.0f%% of it red on the screen (%.0f%% before)", box.x, box.y, box.width, box.height, after * 100,
                  before * 100);
    if (after < 0.9) return Fail("annotation", std::string(detail) + ", under the 90% asked");
    stage_("annotation", detail);
    return true;
  }

  bool Control() {
    std::string seen;
    if (!stand_in_.Send("request-control") || !stand_in_.WaitLine("sent", 5000, &seen)) {
      return Fail("control request", "the web attendee did not send the request");
    }
    vz::X11TopWindow question;
    const uint64_t deadline = vz::MonotonicMs() + kWaitMs;
    while (!FindConsent(&question)) {
      if (vz::MonotonicMs() > deadline) {
        return Fail("consent question", "no \"" + std::string(kConsentTitle) + "\" window (class " + kConsentClass +
                                            ") of the presenter appeared");
      }
      vz::SleepMs(50);
    }
    stage_("consent question", "the presenter's VelzarHub asks \"" + question.title + "\" at " +
                                   std::to_string(question.x) + "," + std::to_string(question.y));
    injector_->Click({question.x + kAllowX, question.y + kAllowY});
    injector_->Sync();
    if (!log_.Wait("remote-control question answered [1]", kWaitMs)) {
      return Fail("consent question", "the presenter's VelzarHub did not log the question as accepted");
    }
    // The presenter gives control: a command of type 1 to the stand-in.
    const std::string given = "command 1 from " + s_.presenter_roster + " to " + s_.roster;
    if (!stand_in_.WaitLine(given, kWaitMs, &seen)) {
      return Fail("control given", "the web attendee never heard \"" + given + "\"");
    }
    stage_("control given", "Allow clicked on the presenter's screen; the web attendee heard " + given);
    return true;
  }

  // The question by its class, whatever language its title is in; its
  // client area where the window manager (if any) put it.
  bool FindConsent(vz::X11TopWindow* out) {
    for (const vz::X11TopWindow& top : vz::ListX11TopWindows(s_.display)) {
      if (top.viewable && top.res_name == kConsentClass && top.res_class == kProgramClass &&
          (top.pid == 0 || top.pid == s_.presenter_pid)) {
        *out = top;
        return true;
      }
    }
    return false;
  }

  bool Click() {
    window_->Raise();
    // Where the target really is (a window manager may have placed it
    // elsewhere than asked); the point on monitor 1 (device pixels from its
    // top-left; monitor 1 starts at the screen's origin here, at scale 1).
    int left = 0, top = 0, width = 0, height = 0;
    if (!window_->ClientArea(&left, &top, &width, &height)) {
      return Fail("remote click", "the click target window is gone from " + s_.display);
    }
    const int x = left + width / 3;
    const int y = top + height / 2;
    vz::X11ClickWindow::Click click;
    while (window_->WaitClick(0, &click)) {
    }
    std::string seen;
    if (!stand_in_.Send("click 1 " + std::to_string(x) + " " + std::to_string(y)) ||
        !stand_in_.WaitLine("sent", 5000, &seen)) {
      return Fail("remote click", "the web attendee did not send the click");
    }
    if (!window_->WaitClick(kWaitMs, &click)) return Fail("remote click", "the click target got no click");
    const std::string at = std::to_string(click.root_x) + "," + std::to_string(click.root_y);
    if (click.root_x != x || click.root_y != y || click.button != 1) {
      return Fail("remote click", "the click target got button " + std::to_string(click.button) + " at " + at +
                                      ", not the left button at " + std::to_string(x) + "," + std::to_string(y));
    }
    stage_("remote click", "the click target recorded a left click at " + at + ", the point the web attendee sent");
    return true;
  }

  bool Leave() {
    std::string why;
    if (!stand_in_.Quit(&why)) return Fail("web attendee left", why);
    stage_("web attendee left", "vzwebattendee left the sharing session and ended with 0");
    return true;
  }

  const WebAttendeeSetup& s_;
  std::function<void(const std::string&, const std::string&)> stage_;
  LogWatch log_;
  std::string* failed_ = nullptr;
  std::string* why_ = nullptr;
  vz::ScreenRect click_box_;
  std::unique_ptr<vz::X11ClickWindow> window_;
  std::unique_ptr<vz::ScreenSource> screen_;
  std::unique_ptr<vz::InputInjector> injector_;
  StandIn stand_in_;
};

}  // namespace

bool RunWebAttendee(const WebAttendeeSetup& setup,
                    const std::function<void(const std::string&, const std::string&)>& stage, std::string* failed_stage,
                    std::string* why) {
  return Scenario(setup, stage).Run(failed_stage, why);
}

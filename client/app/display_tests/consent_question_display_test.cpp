// The remote-control question on a desk where another program's window has
// the keyboard focus, with no window manager and under each manager users
// run: the question shows, but the focus stays with that program (someone
// typing there who presses Enter must not answer it), and the question
// tells the manager so (a user time of 0) and asks for the user's
// attention instead. Asked while one of this program's windows has the
// focus, it takes it.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "client/sharingui/ds_remote_control_dialog.h"
#include "outside/vzres/vzres.h"
#include "outside/vzres/vzres_ids.h"
#include "platform/clock.h"
#include "platform/run_loop.h"
#include "platform/test_requirement_testlib.h"
#include "platform/ui/display_test_env_testlib.h"
#include "platform/ui/input_injector.h"
#include "platform/ui/window.h"
#include "platform/ui/x11_desk_testlib.h"
#include "platform/ui/x11_full_screen_watch_testlib.h"

namespace {

constexpr int kDeadlineMs = 30000;
// How long the focus is watched once the question shows.
constexpr uint64_t kWatchMs = 3000;
// The pointer rests on the other program's window, below where the question
// comes (a manager whose focus follows the pointer focuses what is under it).
constexpr vz::Point kPointer{860, 415};

class Plain : public vz::WindowDelegate {
 public:
  void OnPaint(vz::Canvas& canvas) override {
    canvas.FillRect({0, 0, canvas.size().width, canvas.size().height}, 0xFF405060);
  }
};

std::string Text(const vz::Rect& r) {
  return std::to_string(r.Width()) + "x" + std::to_string(r.Height()) + " at " + std::to_string(r.left) + "," +
         std::to_string(r.top);
}

// The parameter: the window manager, or "none".
class ConsentQuestionDisplayTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    std::string why;
    bool missing = false;
    if (!desk_.Start(GetParam(), kDeadlineMs, &why, &missing)) {
      if (missing) VZ_SKIP_TEST_WITHOUT(vz::NeedsXvfbAndManager(GetParam())) << why;
      FAIL() << why;
    }
    ASSERT_TRUE(vzres::LoadResourceLibrary("vzres"));
    vzres::SetResourceLanguage(vzres::kLanguageEnglish);
    system_ = vz::OpenDisplayWindowSystem(desk_.display().c_str());
    ASSERT_TRUE(system_);
  }
  void TearDown() override {
    system_.reset();
    vzres::UnloadResourceLibrary();
  }

  // Asks the question and, from the first read that finds it shown, reads
  // for kWatchMs (or until `enough` says so) where the focus is; `each`
  // judges every read ("" when it holds). What went wrong, else "".
  std::string AskAndWatch(const std::function<std::string(uint64_t question)>& each,
                          const std::function<bool(uint64_t question)>& enough) {
    std::string fault;
    uint64_t first = 0;
    const uint64_t asked = vz::MonotonicMs();
    loop_.StartTimer(&fault, 1, 10, [&] {
      CDSRemoteControlDialog* question = CDSRemoteControlDialog::InnermostForTesting();
      const uint64_t id = question != nullptr && question->window() != nullptr ? question->window()->NativeId() : 0;
      const uint64_t now = vz::MonotonicMs();
      bool done = false;
      if (first == 0 && id != 0 && vz::ReadX11Cover(desk_.display(), id).viewable) first = now;
      if (first == 0) {
        if (now - asked > static_cast<uint64_t>(kDeadlineMs)) fault = "the question never showed";
        done = !fault.empty();
      } else {
        const std::string wrong = each(id);
        if (!wrong.empty()) {
          fault = std::to_string(now - first) + " ms after the question showed (" +
                  Text(vz::ReadX11Cover(desk_.display(), id).client) + "): " + wrong;
        }
        done = !fault.empty() || enough(id) || now - first > kWatchMs;
        if (done) {
          user_time_ = vz::ReadX11Property(desk_.display(), id, "_NET_WM_USER_TIME");
          state_ = vz::ReadX11Property(desk_.display(), id, "_NET_WM_STATE");
        }
      }
      if (done) CDSRemoteControlDialog::CloseAll();
    });
    const bool accepted = showRemoteControlDialog(uint16_t{vzres::IDS_CONSENT_STOP_QUESTION},
                                                  uint16_t{vzres::IDS_CONSENT_STOP}, uint16_t{vzres::IDS_CANCEL},
                                                  vzres::IDB_CONSENT_STOP, system_.get());
    loop_.KillTimer(&fault, 1);
    if (accepted) fault += " (the question was answered yes)";
    return fault;
  }
  bool DemandsAttention() const {
    const long attention = static_cast<long>(vz::InternX11Atom(desk_.display(), "_NET_WM_STATE_DEMANDS_ATTENTION"));
    return state_ && std::find(state_->begin(), state_->end(), attention) != state_->end();
  }

  vz::DisplayTestEnv& env_ = vz::DisplayTestEnv::Get();
  vz::RunLoop& loop_ = vz::RunLoop::ForCurrentThread();
  vz::X11TestDesk desk_;
  std::unique_ptr<vz::WindowSystem> system_;
  std::optional<std::vector<long>> user_time_;
  std::optional<std::vector<long>> state_;
};

TEST_P(ConsentQuestionDisplayTest, AnotherProgramKeepsTheFocusAndTheQuestionAsksForAttention) {
  std::unique_ptr<vz::InputInjector> injector = vz::InputInjector::Open(desk_.display().c_str());
  ASSERT_TRUE(injector);
  injector->MoveTo(kPointer);
  injector->Sync();
  ASSERT_TRUE(desk_.FocusPlainWindow(kDeadlineMs)) << "another program's window did not get the focus";
  const uint64_t other = desk_.plain_window();
  const std::string fault = AskAndWatch(
      [&](uint64_t) -> std::string {
        return vz::X11FocusIsIn(desk_.display(), other) ? "" : "the other program's window lost the focus";
      },
      [](uint64_t) { return false; });
  EXPECT_EQ(fault, "");
  ASSERT_TRUE(user_time_.has_value()) << "the question says no user time";
  EXPECT_EQ(*user_time_, std::vector<long>{0});
  EXPECT_TRUE(DemandsAttention()) << "the question does not ask for attention";
}

TEST_P(ConsentQuestionDisplayTest, AskedWhileThisProgramHasTheFocusItTakesIt) {
  Plain plain;
  vz::WindowParams params;
  params.bounds = vz::Rect::FromXYWH(900, 150, 400, 300);
  params.title = "the presenter's window";
  std::unique_ptr<vz::Window> mine = system_->CreateWindow(params, &plain);
  ASSERT_TRUE(mine);
  mine->Show(true);
  ASSERT_TRUE(env_.RunUntil(loop_, [&] {
    system_->Sync();
    return system_->ActiveWindow() == mine.get();
  }, kDeadlineMs)) << "this program's window did not get the focus";
  bool taken = false;
  const std::string fault = AskAndWatch([](uint64_t) { return std::string(); },
                                        [&](uint64_t question) {
                                          taken = vz::X11FocusIsIn(desk_.display(), question);
                                          return taken;
                                        });
  EXPECT_EQ(fault, "");
  EXPECT_TRUE(taken) << "the question did not take the focus from this program's window";
  EXPECT_FALSE(DemandsAttention());
}

INSTANTIATE_TEST_SUITE_P(Managers, ConsentQuestionDisplayTest,
                         ::testing::Values("none", "twm", "openbox", "metacity", "fluxbox", "icewm", "xfwm4", "jwm",
                                           "i3"),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace

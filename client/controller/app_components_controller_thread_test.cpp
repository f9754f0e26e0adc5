// The controller's thread check: every entry point belongs to the UI
// thread; a call from elsewhere is an error line, and the call still runs.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "common/log_capture_testlib.h"
#include "client/controller/road_scenario_testlib.h"

namespace vz {
namespace {

using ControllerThread = RoadScenario;

// Wrong-thread lines written by `function`.
int FlaggedIn(LogLineCapture& log_lines, const std::string& function) {
  int count = 0;
  for (const std::string& line : log_lines.lines(vz::kFileLines)) {
    if (line.find(function) != std::string::npos && line.find("called off the UI thread") != std::string::npos) ++count;
  }
  return count;
}

TEST_F(ControllerThread, CallsOnTheUIThreadAreNotFlagged) {
  LogLineCapture log_lines;
  Connect();
  ACSessionConfig audio = AudioRequest();
  controller_->OnACSessionRequestJoin(&audio);
  hub_.audio()->EmitStatus(kSessionJoined);
  controller_->OnACSessionRequestLeave(u"M1");
  EXPECT_EQ(log_lines.Count("called off the UI thread", vz::kFileLines), 0u);
}

TEST_F(ControllerThread, AWebRequestFromAnotherThreadIsLoggedAndStillHandled) {
  Connect();
  LogLineCapture log_lines;
  MeetConfig config = controller_->GetMeetConfig();
  config.AudioEnabled = 0;
  std::thread([&] { EXPECT_EQ(controller_->OnAppCmdMeetConfig(&config), 1); }).join();
  EXPECT_EQ(FlaggedIn(log_lines, "CAppComponentsController::OnAppCmdMeetConfig [line# "), 1) << "the entry names itself";
  EXPECT_EQ(log_lines.Count("*** ERROR ****** >called off the UI thread (thread ", vz::kFileLines), 1u);
  EXPECT_EQ(controller_->GetMeetConfig().AudioEnabled, 0) << "a release build goes on with the call";
}

TEST_F(ControllerThread, AnEngineCallbackFromAnotherThreadIsLoggedAtTheRelay) {
  Connect();
  ACSessionConfig audio = AudioRequest();
  controller_->OnACSessionRequestJoin(&audio);
  LogLineCapture log_lines;
  FakeAudioEngine* engine = hub_.audio();
  ASSERT_NE(engine, nullptr);
  std::thread([&] { engine->EmitStatus(kSessionJoined); }).join();
  EXPECT_EQ(FlaggedIn(log_lines, "ACProviderSinkRelay::OnACStatusNotification [line# "), 1);
  EXPECT_EQ(log_lines.Count("called off the UI thread", vz::kFileLines), 1u);
  EXPECT_EQ(controller_->GetACState(), kSessionJoined);
}

TEST_F(ControllerThread, TheUIThreadIsTheGivenLoopsNotTheConstructingThreads) {
  // Made on a helper thread for the loop of this one: calls from here are
  // the UI thread's.
  std::unique_ptr<CAppWinComponentsController> made;
  std::thread([&] {
    ControllerPorts ports;
    ports.engines = &factory_;
    ports.ui_loop = &loop_;
    made = std::make_unique<CAppWinComponentsController>(ports);
  }).join();
  LogLineCapture log_lines;
  MeetConfig config = made->GetMeetConfig();
  EXPECT_EQ(made->OnAppCmdMeetConfig(&config), 1);
  made.reset();
  EXPECT_EQ(log_lines.Count("called off the UI thread", vz::kFileLines), 0u);
}

}  // namespace
}  // namespace vz

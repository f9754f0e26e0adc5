// The controller's thread check: every entry point belongs to the UI
// thread; a call from elsewhere is an error line, and the call still runs.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "client/controller/recording_tracer_testlib.h"
#include "client/controller/road_scenario_testlib.h"

namespace vz {
namespace {

using ControllerThread = RoadScenario;

// Wrong-thread lines written by `function`.
int FlaggedIn(const RecordingTracer& tracer, const std::string& function) {
  int count = 0;
  for (const std::string& line : tracer.lines()) {
    if (line.find(function) != std::string::npos && line.find("called off the UI thread") != std::string::npos) ++count;
  }
  return count;
}

TEST_F(ControllerThread, CallsOnTheUIThreadAreNotFlagged) {
  RecordingTracer tracer;
  Connect();
  ACSessionConfig audio = AudioRequest();
  controller_->OnACSessionRequestJoin(&audio);
  hub_.audio()->EmitStatus(kSessionJoined);
  controller_->OnACSessionRequestLeave(u"M1");
  EXPECT_EQ(tracer.CountLines("called off the UI thread"), 0);
}

TEST_F(ControllerThread, AWebRequestFromAnotherThreadIsLoggedAndStillHandled) {
  Connect();
  RecordingTracer tracer;
  MeetConfig config = controller_->GetMeetConfig();
  config.AudioEnabled = 0;
  std::thread([&] { EXPECT_EQ(controller_->OnAppCmdMeetConfig(&config), 1); }).join();
  EXPECT_EQ(FlaggedIn(tracer, "CAppComponentsController::OnAppCmdMeetConfig [line# "), 1) << "the entry names itself";
  EXPECT_EQ(tracer.CountLines("*** ERROR ****** >called off the UI thread (thread "), 1);
  EXPECT_EQ(controller_->GetMeetConfig().AudioEnabled, 0) << "a release build goes on with the call";
}

TEST_F(ControllerThread, AnEngineCallbackFromAnotherThreadIsLoggedAtTheRelay) {
  Connect();
  ACSessionConfig audio = AudioRequest();
  controller_->OnACSessionRequestJoin(&audio);
  RecordingTracer tracer;
  FakeAudioEngine* engine = hub_.audio();
  ASSERT_NE(engine, nullptr);
  std::thread([&] { engine->EmitStatus(kSessionJoined); }).join();
  EXPECT_EQ(FlaggedIn(tracer, "ACProviderSinkRelay::OnACStatusNotification [line# "), 1);
  EXPECT_EQ(tracer.CountLines("called off the UI thread"), 1);
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
  RecordingTracer tracer;
  MeetConfig config = made->GetMeetConfig();
  EXPECT_EQ(made->OnAppCmdMeetConfig(&config), 1);
  made.reset();
  EXPECT_EQ(tracer.CountLines("called off the UI thread"), 0);
}

}  // namespace
}  // namespace vz
